#include <gtest/gtest.h>

#include "base/Stream.h"
#include "base/WinHandles.h"
#include "support/WinTestSupport.h"

namespace fbu {
namespace {

using test::ScopedTempDir;

Text T(const std::wstring& w)
{
  return FromWide(w.c_str());
}

TEST(TFileStreamWin, WritesAndReadsARealFile)
{
  ScopedTempDir dir;
  const std::wstring path = dir / L"data.bin";
  {
    TFileStream out(T(path), fmCreate);
    out.WriteBuffer("\x00\x01\xFF", 3);
    out.Flush();
    EXPECT_EQ(out.Size(), 3);
  }
  EXPECT_EQ(test::ReadFileBytes(path), std::string("\x00\x01\xFF", 3));
  TFileStream in(T(path), fmOpenRead | fmShareDenyWrite);
  std::uint8_t buf[4] = {};
  EXPECT_EQ(in.Read(buf, 4), 3);
  EXPECT_THROW(in.ReadBuffer(buf, 1), EReadError);
}

TEST(TFileStreamWin, SharingModeDeniesWritersButNotReaders)
{
  ScopedTempDir dir;
  const std::wstring path = dir / L"shared.txt";
  test::WriteFileBytes(path, "abc");
  TFileStream reader(T(path), fmOpenRead | fmShareDenyWrite);
  UniqueFileHandle writer(
      CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(writer);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  TFileStream secondReader(T(path), fmOpenRead | fmShareDenyWrite);
  EXPECT_EQ(secondReader.Size(), 3);
}

TEST(TFileStreamWin, ErrorsCarryPathAndSystemText)
{
  ScopedTempDir dir;
  const std::wstring missing = dir / L"missing.conf";
  try {
    TFileStream in(T(missing), fmOpenRead | fmShareDenyWrite);
    FAIL() << "expected EFOpenError";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), Format(u"Cannot open file \"%s\". %s", {T(missing), SysErrorMessage(ERROR_FILE_NOT_FOUND)}));
    EXPECT_FALSE(SysErrorMessage(ERROR_FILE_NOT_FOUND).empty());
  }
  const std::wstring inMissingFolder = dir / L"nofolder\\x.conf";
  try {
    TFileStream out(T(inMissingFolder), fmCreate);
    FAIL() << "expected EFCreateError";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(),
              Format(u"Cannot create file \"%s\". %s", {T(inMissingFolder), SysErrorMessage(ERROR_PATH_NOT_FOUND)}));
  }
}

} // namespace
} // namespace fbu
