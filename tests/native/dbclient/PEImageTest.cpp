#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "dbclient/PEImage.h"

namespace fbu {
namespace {

constexpr std::uint32_t kNtOffset = 0x80;

// The smallest header block that passes the checks: "MZ", the NT-header offset at 0x3C,
// "PE\0\0", the machine field and the rest of the 248 bytes of 32-bit NT headers.
std::vector<std::uint8_t> Image(std::uint16_t machine, std::uint32_t ntOffset = kNtOffset)
{
  std::vector<std::uint8_t> bytes(std::max<std::size_t>(0x40, std::size_t{ntOffset} + 248), 0);
  bytes[0] = 'M';
  bytes[1] = 'Z';
  for (int i = 0; i < 4; ++i) bytes[0x3C + i] = static_cast<std::uint8_t>(ntOffset >> (8 * i));
  {
    std::memcpy(&bytes[ntOffset], "PE\0\0", 4);
    bytes[ntOffset + 4] = static_cast<std::uint8_t>(machine);
    bytes[ntOffset + 5] = static_cast<std::uint8_t>(machine >> 8);
  }
  return bytes;
}

enum class Answer { X86, X64, Unknown };

Answer Classify(const std::vector<std::uint8_t>& bytes)
{
  try {
    return IsX64ImageHeaders(bytes) ? Answer::X64 : Answer::X86;
  } catch (const EPEImageError& e) {
    EXPECT_STREQ(e.what(), "Unknown PE target");
    return Answer::Unknown;
  }
}

TEST(IsX64ImageHeaders, ClassifiesHeaderBlocks)
{
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    Answer answer;
  };
  auto noMz = Image(0x8664);
  noMz[0] = 'Z';
  auto zeroOffset = Image(0x8664);
  std::memset(&zeroOffset[0x3C], 0, 4);
  auto offsetPastEnd = Image(0x8664);
  offsetPastEnd[0x3C + 2] = 0x01; // 0x10080, beyond the buffer
  auto noSignature = Image(0x8664);
  noSignature[kNtOffset + 2] = 'x';
  auto truncated = Image(0x8664);
  truncated.resize(kNtOffset + 247); // one byte short of the 32-bit NT headers
  auto exactlyComplete = Image(0x8664);
  exactlyComplete.resize(kNtOffset + 248);
  const Case cases[] = {
      {"32-bit x86", Image(0x014C), Answer::X86},
      {"x64", Image(0x8664), Answer::X64},
      {"ARM64", Image(0xAA64), Answer::Unknown},
      {"Itanium", Image(0x0200), Answer::Unknown},
      {"no MZ", noMz, Answer::Unknown},
      {"zero NT offset", zeroOffset, Answer::Unknown},
      {"NT offset beyond the file", offsetPastEnd, Answer::Unknown},
      {"no PE signature", noSignature, Answer::Unknown},
      {"truncated NT headers", truncated, Answer::Unknown},
      {"NT headers ending with the file", exactlyComplete, Answer::X64},
      {"empty", {}, Answer::Unknown},
      {"only MZ", {'M', 'Z'}, Answer::Unknown},
  };
  for (const auto& c : cases) EXPECT_EQ(Classify(c.bytes), c.answer) << c.what;
}

TEST(IsX64ImageHeaders, NtHeadersFarIntoTheFile)
{
  EXPECT_EQ(Classify(Image(0x8664, 0x10000)), Answer::X64);
  auto nearFourGiB = Image(0x014C);
  std::memset(&nearFourGiB[0x3C], 0xF0, 4); // 0xF0F0F0F0: nothing there
  EXPECT_EQ(Classify(nearFourGiB), Answer::Unknown);
}

TEST(RaiseImageOpenError, MapsTheSystemsAnswer)
{
  try {
    RaiseImageOpenError(0, false, u"C:\\x\\fbclient.dll");
    ADD_FAILURE();
  } catch (const EPEImageError& e) {
    EXPECT_STREQ(e.what(), "This is not a PE format");
  }
  try {
    RaiseImageOpenError(2, true, u"C:\\x\\fbclient.dll");
    ADD_FAILURE();
  } catch (const EFOpenError& e) {
    EXPECT_STREQ(e.what(), "Cannot open file \"C:\\x\\fbclient.dll\"");
  }
  try {
    RaiseImageOpenError(5, false, u"C:\\x\\fbclient.dll");
    ADD_FAILURE();
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode, 5u);
    EXPECT_EQ(e.Message(), Format(u"System Error.  Code: %d.\r\n%s", {std::int64_t{5}, SysErrorMessage(5)}));
  }
}

// The file layer, on real files of the platform the test runs on.
class IsX64ImageFile : public ::testing::Test {
protected:
  void SetUp() override
  {
    dir_ = std::filesystem::temp_directory_path() /
           ("fbu-peimage-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path Write(const std::string& name, const std::vector<std::uint8_t>& bytes)
  {
    const auto path = dir_ / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  static Text T(const std::filesystem::path& p) { return p.u16string(); }

  std::filesystem::path dir_;
};

TEST_F(IsX64ImageFile, AnswersForImagesAndForNothing)
{
  EXPECT_TRUE(IsX64Image(T(Write("x64.dll", Image(0x8664)))));
  EXPECT_FALSE(IsX64Image(T(Write("x86.dll", Image(0x014C)))));
  EXPECT_FALSE(IsX64Image(T(dir_ / "missing.dll")));
  EXPECT_FALSE(IsX64Image(u""));
  std::filesystem::create_directory(dir_ / "folder.dll");
  EXPECT_FALSE(IsX64Image(T(dir_ / "folder.dll")));
}

TEST_F(IsX64ImageFile, OtherFilesAreUnknownTargets)
{
  for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::vector<std::uint8_t>>>{
           {"empty.dll", {}}, {"text.dll", {'h', 'e', 'l', 'l', 'o'}}, {"arm.dll", Image(0xAA64)}}) {
    EXPECT_THROW(IsX64Image(T(Write(name, bytes))), EPEImageError) << name;
  }
}

TEST_F(IsX64ImageFile, FollowsSymbolicLinks)
{
  const auto target = Write("x64.dll", Image(0x8664));
  std::error_code error;
  std::filesystem::create_symlink(target, dir_ / "link.dll", error);
  std::filesystem::create_symlink(dir_ / "absent.dll", dir_ / "dangling.dll", error);
  if (error) GTEST_SKIP() << "symbolic links cannot be made here: " << error.message();
  EXPECT_TRUE(IsX64Image(T(dir_ / "link.dll")));
  EXPECT_FALSE(IsX64Image(T(dir_ / "dangling.dll")));
}

} // namespace
} // namespace fbu
