#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "base/Stream.h"

namespace fbu {
namespace {

TEST(TMemoryStream, ReadsReturnTheCountReadAndWholeReadsRaise)
{
  TMemoryStream s;
  const char data[] = "abcdef";
  s.WriteBuffer(data, 6);
  EXPECT_EQ(s.Size(), 6);
  EXPECT_EQ(s.Position(), 6);
  s.SetPosition(4);
  char buf[8] = {};
  EXPECT_EQ(s.Read(buf, 8), 2); // short read: only what is there
  EXPECT_EQ(std::string(buf, 2), "ef");
  EXPECT_EQ(s.Read(buf, 1), 0);
  s.SetPosition(5);
  try {
    s.ReadBuffer(buf, 2);
    FAIL() << "short ReadBuffer must raise";
  } catch (const EReadError& e) {
    EXPECT_STREQ(e.what(), "Stream read error");
  }
  s.SetPosition(100); // past the end: reads give nothing, writes extend
  EXPECT_EQ(s.Read(buf, 1), 0);
}

TEST(TFixedMemoryStream, ShortWritesRaiseAndKeepWhatWasWritten)
{
  std::uint8_t block[5] = {};
  TFixedMemoryStream s(block, sizeof block);
  s.WriteBuffer("abc", 3);
  EXPECT_EQ(s.Write("xyz", 3), 2);
  s.SetPosition(3);
  try {
    s.WriteBuffer("12", 3);
    FAIL() << "short WriteBuffer must raise";
  } catch (const EWriteError& e) {
    EXPECT_STREQ(e.what(), "Stream write error");
  }
  EXPECT_EQ(std::string(reinterpret_cast<char*>(block), 5), "abc12");
}

TEST(TStream, SizesAndPositionsAre64Bit)
{
  TMemoryStream s;
  const std::int64_t far = (std::int64_t{1} << 33) + 3;
  EXPECT_EQ(s.Seek(far, TSeekOrigin::soBeginning), far);
  EXPECT_EQ(s.Position(), far);
  EXPECT_EQ(s.Seek(-3, TSeekOrigin::soCurrent), far - 3);
}

TEST(TFileStream, RoundTripAndErrorTexts)
{
  const auto dir = std::filesystem::temp_directory_path() /
                   ("fbu-stream-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(dir);
  const Text path = FromUtf8((dir / "data.bin").string());
  {
    TFileStream out(path, fmCreate);
    out.WriteBuffer("hello", 5);
    out.Flush();
  }
  {
    TFileStream in(path, fmOpenRead | fmShareDenyWrite);
    EXPECT_EQ(in.Size(), 5);
    char buf[8] = {};
    EXPECT_EQ(in.Read(buf, 8), 5);
    EXPECT_EQ(std::string(buf, 5), "hello");
  }
  const Text missing = FromUtf8((dir / "missing.bin").string());
  try {
    TFileStream in(missing, fmOpenRead);
    FAIL() << "opening a missing file must raise";
  } catch (const EFOpenError& e) {
    const std::string m = e.what();
    EXPECT_EQ(m.rfind("Cannot open file \"" + ToUtf8(missing) + "\". ", 0), 0u) << m;
    EXPECT_GT(m.size(), ToUtf8(missing).size() + 20); // the system's text follows
  }
  const Text noFolder = FromUtf8((dir / "no" / "such" / "x.bin").string());
  EXPECT_THROW(TFileStream(noFolder, fmCreate), EFCreateError);
  std::filesystem::remove_all(dir);
}

} // namespace
} // namespace fbu
