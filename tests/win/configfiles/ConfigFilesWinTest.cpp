// Folder listing, configuration-file discovery and the key-line rewrite on real files
// and folders of the test prefix (LC_ALL is pinned by the runner, so the ANSI code page
// is 1252).
#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <thread>
#include <vector>

#include "app/IBSystemActions.h"
#include "base/Exceptions.h"
#include "base/WinHandles.h"
#include "support/WinTestSupport.h"
#include "tools/GeneralTools.h"

namespace fbu {
namespace {

using test::ReadFileBytes;
using test::ScopedEnv;
using test::ScopedTempDir;
using test::WriteFileBytes;

Text T(const std::wstring& s)
{
  return FromWide(s.c_str());
}

std::vector<Text> Sorted(const TStringList& list)
{
  std::vector<Text> items(list.begin(), list.end());
  std::sort(items.begin(), items.end());
  return items;
}

void MakeFolder(const std::wstring& path, DWORD attributes = 0)
{
  ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << GetLastError();
  if (attributes) {
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), attributes));
  }
}

// Names in the folder matching a pattern such as "fbu*.tmp".
std::vector<std::wstring> Matching(const std::wstring& folder, const std::wstring& pattern)
{
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW entry{};
  const UniqueFindHandle search(FindFirstFileW((folder + L"\\" + pattern).c_str(), &entry));
  if (search) {
    do names.emplace_back(entry.cFileName);
    while (FindNextFileW(search.get(), &entry));
  }
  return names;
}

FILETIME WriteTime(const std::wstring& path)
{
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

TEST(ListFolderEntries, ListsVisibleFilesAndFoldersOnly)
{
  ScopedTempDir dir;
  MakeFolder(dir / L"A");
  MakeFolder(dir / L"B");
  MakeFolder(dir / L"Hidden", FILE_ATTRIBUTE_HIDDEN);
  MakeFolder(dir / L"System", FILE_ATTRIBUTE_SYSTEM);
  WriteFileBytes(dir / L"plain.txt", "x");
  WriteFileBytes(dir / L"hidden.txt", "x");
  SetFileAttributesW((dir / L"hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
  WriteFileBytes(dir / L"readonly.txt", "x");
  SetFileAttributesW((dir / L"readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);

  for (const std::wstring& folder : {dir.Path(), dir.Path() + L"\\"}) {
    TStringList list;
    list.Add(u"left over");
    ASSERT_TRUE(ListFolderEntries(T(folder), &list));
    EXPECT_EQ(Sorted(list), (std::vector<Text>{u"A", u"B", u"plain.txt", u"readonly.txt"}));
  }
}

TEST(ListFolderEntries, MissingFolderOrNoList)
{
  ScopedTempDir dir;
  WriteFileBytes(dir / L"file", "x");
  const std::wstring missing[] = {dir / L"nothing", dir / L"nothing\\deeper", dir / L"file", dir / L"bad<name>"};
  for (const std::wstring& folder : missing) {
    TStringList list;
    list.Add(u"left over");
    EXPECT_FALSE(ListFolderEntries(T(folder), &list)) << folder.c_str();
    EXPECT_EQ(list.Count(), 0);
  }
  EXPECT_FALSE(ListFolderEntries(T(dir.Path()), nullptr));
}

TEST(ListFolderEntries, EmptyFolderGivesAnEmptyList)
{
  ScopedTempDir dir;
  TStringList list;
  ASSERT_TRUE(ListFolderEntries(T(dir.Path()), &list));
  EXPECT_EQ(list.Count(), 0);
}

// Two installations, one under each program-files variable, to see which one is read.
class ConfigDiscovery : public testing::Test {
protected:
  void SetUp() override
  {
    for (const ScopedTempDir* root : {&x86_, &plain_}) MakeFolder(*root / L"Firebird");
    MakeFolder(x86_ / L"Firebird\\A");
    MakeFolder(x86_ / L"Firebird\\B");
    MakeFolder(x86_ / L"Firebird\\Hidden", FILE_ATTRIBUTE_HIDDEN);
    WriteFileBytes(x86_ / L"Firebird\\notes.txt", "x");
    MakeFolder(plain_ / L"Firebird\\C");
  }
  ScopedTempDir x86_{L"pf86"};
  ScopedTempDir plain_{L"pf"};
};

TEST_F(ConfigDiscovery, ProgramFiles86WinsWhenSet)
{
  ScopedEnv a(L"ProgramFiles(86)", x86_.Path().c_str());
  ScopedEnv b(L"ProgramFiles", plain_.Path().c_str());
  TStringList list;
  ASSERT_TRUE(FindFirebirdConfigFiles(&list));
  const Text base = T(x86_.Path()) + u"\\Firebird\\";
  EXPECT_EQ(Sorted(list), (std::vector<Text>{base + u"A\\firebird.conf", base + u"B\\firebird.conf",
                                             base + u"notes.txt\\firebird.conf"}));
}

TEST_F(ConfigDiscovery, ProgramFilesWhenThe86VariableIsEmptyOrUnset)
{
  const Text expected = T(plain_.Path()) + u"\\Firebird\\C\\firebird.conf";
  for (const wchar_t* x86 : {static_cast<const wchar_t*>(nullptr), L""}) {
    ScopedEnv a(L"ProgramFiles(86)", x86);
    ScopedEnv b(L"ProgramFiles", plain_.Path().c_str());
    // The x86 spelling that Windows itself sets is not the one read.
    ScopedEnv c(L"ProgramFiles(x86)", x86_.Path().c_str());
    TStringList list;
    ASSERT_TRUE(FindFirebirdConfigFiles(&list));
    EXPECT_EQ(Sorted(list), std::vector<Text>{expected});
  }
}

TEST_F(ConfigDiscovery, NoFirebirdFolder)
{
  ScopedTempDir empty;
  ScopedEnv a(L"ProgramFiles(86)", empty.Path().c_str());
  TStringList list;
  list.Add(u"left over");
  EXPECT_FALSE(FindFirebirdConfigFiles(&list));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_FALSE(FindFirebirdConfigFiles(nullptr));
}

TEST(ConfigDiscoveryNoVariables, FirebirdFolderOnTheCurrentDrive)
{
  ScopedEnv a(L"ProgramFiles(86)", nullptr);
  ScopedEnv b(L"ProgramFiles", nullptr);
  wchar_t previous[MAX_PATH];
  ASSERT_TRUE(GetCurrentDirectoryW(MAX_PATH, previous));
  ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\"));
  const bool made = CreateDirectoryW(L"C:\\Firebird", nullptr) && CreateDirectoryW(L"C:\\Firebird\\X", nullptr);
  TStringList list;
  const bool found = FindFirebirdConfigFiles(&list);
  test::RemoveTree(L"C:\\Firebird");
  SetCurrentDirectoryW(previous);
  ASSERT_TRUE(made);
  ASSERT_TRUE(found);
  EXPECT_EQ(Sorted(list), std::vector<Text>{u"\\Firebird\\X\\firebird.conf"});
}

class SetConfigFile : public testing::Test {
protected:
  std::wstring Conf() const { return dir_ / L"firebird.conf"; }
  void ExpectNoTemporaryLeft() const { EXPECT_TRUE(Matching(dir_.Path(), L"fbu*.tmp").empty()); }
  ScopedTempDir dir_;
};

TEST_F(SetConfigFile, RewritesTheKeyLine)
{
  const struct {
    const char* name;
    std::string before, after;
  } cases[] = {
      {"utf8 bom, lf", "\xEF\xBB\xBF#x\nDefaultDbCachePages = 2048\n",
       "\xEF\xBB\xBF#x\r\nDefaultDbCachePages = 75\r\n"},
      {"ansi, commented", "caf\xE9\r\n#DefaultDbCachePages = 2048", "caf\xE9\r\nDefaultDbCachePages = 75\r\n"},
      {"utf16 le",
       std::string("\xFF\xFE"
                   "D\0e\0f\0a\0u\0l\0t\0D\0b\0C\0a\0c\0h\0e\0P\0a\0g\0e\0s\0=\0"
                   "1\0",
                   44),
       std::string("\xFF\xFE"
                   "D\0e\0f\0a\0u\0l\0t\0D\0b\0C\0a\0c\0h\0e\0P\0a\0g\0e\0s\0 \0=\0 \0"
                   "7\0"
                   "5\0\r\0\n\0",
                   54)},
  };
  for (const auto& c : cases) {
    WriteFileBytes(Conf(), c.before);
    EXPECT_TRUE(SetConfigFileValue(T(Conf()), u"DefaultDbCachePages", u"75")) << c.name;
    EXPECT_EQ(ReadFileBytes(Conf()), c.after) << c.name;
  }
  ExpectNoTemporaryLeft();
}

TEST_F(SetConfigFile, FileWithoutTheKeyIsNotWritten)
{
  WriteFileBytes(Conf(), "a = 1\nDefaultDbCache = 5\n");
  // A time stamp well in the past, which any write would move.
  const SYSTEMTIME past{2001, 1, 1, 1, 12, 0, 0, 0};
  FILETIME stamp{};
  ASSERT_TRUE(SystemTimeToFileTime(&past, &stamp));
  {
    const UniqueFileHandle file(
        CreateFileW(Conf().c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &stamp));
  }
  EXPECT_TRUE(SetConfigFileValue(T(Conf()), u"DefaultDbCachePages", u"75"));
  EXPECT_EQ(ReadFileBytes(Conf()), "a = 1\nDefaultDbCache = 5\n");
  EXPECT_EQ(CompareFileTime(&stamp, std::array{WriteTime(Conf())}.data()), 0);
}

TEST_F(SetConfigFile, MissingFileOrFolderIsPassedOver)
{
  MakeFolder(dir_ / L"folder.conf");
  EXPECT_FALSE(SetConfigFileValue(T(dir_ / L"none.conf"), u"DefaultDbCachePages", u"75"));
  EXPECT_FALSE(SetConfigFileValue(T(dir_ / L"no\\such\\firebird.conf"), u"DefaultDbCachePages", u"75"));
  EXPECT_FALSE(SetConfigFileValue(T(dir_ / L"folder.conf"), u"DefaultDbCachePages", u"75"));
  EXPECT_FALSE(GetFileAttributesW((dir_ / L"none.conf").c_str()) != INVALID_FILE_ATTRIBUTES);
}

TEST_F(SetConfigFile, RelativePathIsRewrittenInPlace)
{
  WriteFileBytes(Conf(), "DefaultDbCachePages = 1\n");
  wchar_t previous[MAX_PATH];
  ASSERT_TRUE(GetCurrentDirectoryW(MAX_PATH, previous));
  ASSERT_TRUE(SetCurrentDirectoryW(dir_.Path().c_str()));
  bool result = false;
  EXPECT_NO_THROW(result = SetConfigFileValue(u"firebird.conf", u"DefaultDbCachePages", u"2"));
  SetCurrentDirectoryW(previous);
  EXPECT_TRUE(result);
  EXPECT_EQ(ReadFileBytes(Conf()), "DefaultDbCachePages = 2\r\n");
  ExpectNoTemporaryLeft();
}

TEST_F(SetConfigFile, HiddenAndSystemAttributesAreKept)
{
  // The creation time is kept too, which Wine cannot show: it reports success for any
  // creation time set and keeps the Unix file system's own.
  WriteFileBytes(Conf(), "DefaultDbCachePages = 1\n");
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  ASSERT_TRUE(SetFileAttributesW(Conf().c_str(), kKept));
  EXPECT_TRUE(SetConfigFileValue(T(Conf()), u"DefaultDbCachePages", u"2"));
  EXPECT_EQ(ReadFileBytes(Conf()), "DefaultDbCachePages = 2\r\n");
  EXPECT_EQ(GetFileAttributesW(Conf().c_str()) & kKept, kKept);
  ExpectNoTemporaryLeft();
}

TEST_F(SetConfigFile, LinkStaysALinkAndItsFinalTargetIsSaved)
{
  // A link to a link to the file: the file at the end is what the server reads.
  MakeFolder(dir_ / L"real");
  const std::wstring target = dir_ / L"real\\firebird.conf";
  WriteFileBytes(target, "DefaultDbCachePages = 1\n");
  ASSERT_TRUE(test::MakeFileLink(dir_ / L"middle.conf", L"real\\firebird.conf"));
  ASSERT_TRUE(test::MakeFileLink(Conf(), L"middle.conf"));
  EXPECT_TRUE(SetConfigFileValue(T(Conf()), u"DefaultDbCachePages", u"75"));
  EXPECT_EQ(ReadFileBytes(target), "DefaultDbCachePages = 75\r\n");
  EXPECT_EQ(_wcsicmp(test::FinalPathOf(Conf()).c_str(), target.c_str()), 0);
  ExpectNoTemporaryLeft();
  EXPECT_TRUE(Matching(dir_ / L"real", L"fbu*.tmp").empty());
  test::RemoveFileLink(Conf());
  test::RemoveFileLink(dir_ / L"middle.conf");
}

TEST_F(SetConfigFile, FileWithTwoNamesIsRefused)
{
  // Wine makes hard links as the host's, and counts them.
  const std::string before = "DefaultDbCachePages = 1\n";
  WriteFileBytes(Conf(), before);
  ASSERT_TRUE(CreateHardLinkW((dir_ / L"other.conf").c_str(), Conf().c_str(), nullptr));
  try {
    SetConfigFileValue(T(Conf()), u"DefaultDbCachePages", u"75");
    ADD_FAILURE() << "no error raised";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message().rfind(u"Cannot create file \"" + T(Conf()) + u"\". The file has 2 names (hard links)", 0),
              0u);
  }
  EXPECT_EQ(ReadFileBytes(Conf()), before);
  EXPECT_EQ(ReadFileBytes(dir_ / L"other.conf"), before);
  ExpectNoTemporaryLeft();
}

std::wstring DaclText(const std::wstring& path)
{
  DWORD size = 0;
  GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
  std::vector<BYTE> descriptor(size);
  if (!size || !GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), size, &size)) return {};
  LPWSTR text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor.data(), SDDL_REVISION_1,
                                                            DACL_SECURITY_INFORMATION, &text, nullptr))
    return {};
  std::wstring result(text);
  LocalFree(text);
  return result;
}

TEST_F(SetConfigFile, SecurityDescriptorIsKept)
{
  WriteFileBytes(Conf(), "DefaultDbCachePages = 1\n");
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;FA;;;WD)(A;;FR;;;BU)", SDDL_REVISION_1,
                                                                   &descriptor, nullptr));
  const BOOL set = SetFileSecurityW(Conf().c_str(), DACL_SECURITY_INFORMATION, descriptor);
  LocalFree(descriptor);
  ASSERT_TRUE(set);
  const std::wstring before = DaclText(Conf());
  // Wine keeps security descriptors only where the host file system stores extended
  // attributes; without them there is nothing to compare.
  if (before.find(L"BU") == std::wstring::npos) GTEST_SKIP() << "this Wine prefix stores no file security descriptors";
  EXPECT_TRUE(SetConfigFileValue(T(Conf()), u"DefaultDbCachePages", u"2"));
  EXPECT_EQ(ReadFileBytes(Conf()), "DefaultDbCachePages = 2\r\n");
  EXPECT_EQ(DaclText(Conf()), before);
}

// Failures: the error text names the full path and the system's reason, the original
// stays as it was and no temporary file of ours is left.
template <class Error> void ExpectError(const std::wstring& path, const char16_t* prefix, DWORD code)
{
  try {
    SetConfigFileValue(FromWide(path.c_str()), u"DefaultDbCachePages", u"75");
    ADD_FAILURE() << "no error raised";
  } catch (const Error& e) {
    EXPECT_EQ(e.Message(), Text(prefix) + FromWide(path.c_str()) + u"\". " + SysErrorMessage(code));
  }
}

TEST_F(SetConfigFile, ReadOnlyFileRaisesCreateError)
{
  const std::string before = "DefaultDbCachePages = 1\n";
  WriteFileBytes(Conf(), before);
  ASSERT_TRUE(SetFileAttributesW(Conf().c_str(), FILE_ATTRIBUTE_READONLY));
  try {
    SetConfigFileValue(T(Conf()), u"DefaultDbCachePages", u"75");
    ADD_FAILURE() << "no error raised";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), u"Cannot create file \"" + T(Conf()) +
                               u"\". The file has the read-only attribute, so it was left unchanged.");
  }
  SetFileAttributesW(Conf().c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadFileBytes(Conf()), before);
  ExpectNoTemporaryLeft();
}

TEST_F(SetConfigFile, FileHeldOpenRaisesOpenError)
{
  // Held through a second handle: the sharing check is the system's, whichever process
  // holds it.
  const std::string before = "DefaultDbCachePages = 1\n";
  WriteFileBytes(Conf(), before);
  {
    const UniqueFileHandle held(
        CreateFileW(Conf().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    ExpectError<EFOpenError>(Conf(), u"Cannot open file \"", ERROR_SHARING_VIOLATION);
  }
  EXPECT_EQ(ReadFileBytes(Conf()), before);
  ExpectNoTemporaryLeft();
}

TEST_F(SetConfigFile, FileOpenForWritingElsewhereRaisesOpenError)
{
  const std::string before = "DefaultDbCachePages = 1\n";
  WriteFileBytes(Conf(), before);
  {
    const UniqueFileHandle writer(CreateFileW(Conf().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    ExpectError<EFOpenError>(Conf(), u"Cannot open file \"", ERROR_SHARING_VIOLATION);
  }
  EXPECT_EQ(ReadFileBytes(Conf()), before);
}

TEST_F(SetConfigFile, FileThatCannotBeReplacedRaisesCreateError)
{
  // Readable and writable by everyone, but not to be deleted or renamed, for longer than
  // the replace is retried: only the final replacement step can fail.
  const std::string before = "DefaultDbCachePages = 1\n";
  WriteFileBytes(Conf(), before);
  {
    const UniqueFileHandle reader(CreateFileW(Conf().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader);
    try {
      SetConfigFileValue(T(Conf()), u"DefaultDbCachePages", u"75");
      ADD_FAILURE() << "no error raised";
    } catch (const EFCreateError& e) {
      EXPECT_EQ(e.Message().rfind(u"Cannot create file \"" + T(Conf()) + u"\". ", 0), 0u);
    }
  }
  EXPECT_EQ(ReadFileBytes(Conf()), before);
  ExpectNoTemporaryLeft();
  // Wine's ReplaceFileW leaves a file of its own ("rf*.tmp") behind in this case;
  // Windows does not. It is not ours to remove.
}

TEST_F(SetConfigFile, ReplaceWaitsForABriefHolder)
{
  // A scanner's handle without delete sharing, closed after a moment: the replace is
  // tried again until it is gone. (Windows refuses the replace with a sharing
  // violation, Wine with access denied.)
  WriteFileBytes(Conf(), "DefaultDbCachePages = 1\n");
  UniqueFileHandle holder(CreateFileW(Conf().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);
  std::thread release([&holder] {
    Sleep(300);
    holder.reset();
  });
  EXPECT_NO_THROW(SetConfigFileValue(T(Conf()), u"DefaultDbCachePages", u"75"));
  release.join();
  EXPECT_EQ(ReadFileBytes(Conf()), "DefaultDbCachePages = 75\r\n");
  ExpectNoTemporaryLeft();
}

TEST_F(SetConfigFile, HugeFileWithVeryLongLines)
{
  std::string before(30 << 20, 'x');
  for (std::size_t i = 1000000; i < before.size(); i += 3000000) before[i] = '\n';
  before += "\nDefaultDbCachePages = 1";
  WriteFileBytes(Conf(), before);
  EXPECT_TRUE(SetConfigFileValue(T(Conf()), u"DefaultDbCachePages", u"75"));
  const std::string after = ReadFileBytes(Conf());
  // Each LF gains a CR, the last line its CR LF, and "1" became "75".
  EXPECT_EQ(after.size(), before.size() + std::count(before.begin(), before.end(), '\n') + 2 + 1);
  EXPECT_EQ(after.substr(after.size() - 28), "\r\nDefaultDbCachePages = 75\r\n");
  ExpectNoTemporaryLeft();
}

} // namespace
} // namespace fbu
