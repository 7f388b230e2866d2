#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <vector>

#include "base/WinHandles.h"
#include "support/WinTestSupport.h"
#include "tools/ServiceQueries.h"
#include "tools/ServiceQueriesWin.h"

// Every service made here is named "FbuTest..." so that none collides with the prefix's
// own services, and every one is deleted again by its owner. Binary paths need not exist:
// the services are only created, never started.

namespace fbu {
namespace {

using test::ScopedService;

constexpr DWORD kEnumBlockSize = 64800;

Text T(const std::wstring& w)
{
  return FromWide(w.c_str());
}

int Occurrences(const TStringList& list, const Text& item)
{
  return static_cast<int>(std::count(list.begin(), list.end(), item));
}

// A kernel driver entry, which the Win32 enumeration must pass over.
class ScopedDriverService {
public:
  ScopedDriverService(const std::wstring& name, const std::wstring& binaryPath)
  {
    UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    service_.reset(CreateServiceW(manager.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                  SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, binaryPath.c_str(), nullptr, nullptr,
                                  nullptr, nullptr, nullptr));
  }
  ~ScopedDriverService()
  {
    if (service_) DeleteService(service_.get());
  }
  explicit operator bool() const noexcept { return static_cast<bool>(service_); }

private:
  UniqueScHandle service_;
};

// What the system says the local Win32 services and their strings need, in bytes.
DWORD Win32EnumerationBytes()
{
  UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, GENERIC_READ));
  DWORD needed = 0;
  DWORD returned = 0;
  DWORD resume = 0;
  EnumServicesStatusW(manager.get(), SERVICE_WIN32, SERVICE_STATE_ALL, nullptr, 0, &needed, &returned, &resume);
  return needed;
}

TEST(EnumWin32ServicesWin, ListsWin32ServicesOnlyAndReplacesTheContent)
{
  ScopedService service(L"FbuTestEnumOwnProcess", L"C:\\FbuTest\\bin\\own.exe");
  ScopedDriverService driver(L"FbuTestEnumDriver", L"C:\\FbuTest\\drivers\\fbu.sys");
  ASSERT_TRUE(driver);
  TStringList list;
  list.Add(u"stale entry");
  ASSERT_TRUE(EnumWin32Services(&list, Text()));
  EXPECT_EQ(Occurrences(list, u"FbuTestEnumOwnProcess"), 1);
  EXPECT_EQ(Occurrences(list, u"FbuTestEnumDriver"), 0);
  EXPECT_EQ(list.IndexOf(u"stale entry"), -1);
  EXPECT_FALSE(EnumWin32Services(nullptr, Text()));
}

TEST(GetFirebirdServerFolderWin, OneServiceGivesItsBinFolderWithoutQuotesOrTrailingSeparator)
{
  ScopedService service(L"FbuTestFirebirdServerDefaultInstance",
                        L"\"C:\\Program Files\\Firebird\\Firebird_3_0\\bin\\fbserver.exe\" -s DefaultInstance");
  Text folder = u"junk";
  ASSERT_TRUE(GetFirebirdServerFolder(folder, Text()));
  EXPECT_EQ(folder, u"C:\\Program Files\\Firebird\\Firebird_3_0\\bin");
}

TEST(GetFirebirdServerFolderWin, NameInCapitalsMatches)
{
  ScopedService service(L"FBUTESTFIREBIRDSERVERCAPS", L"C:\\FbuTest\\Caps\\bin\\fbserver.exe");
  Text folder;
  ASSERT_TRUE(GetFirebirdServerFolder(folder, Text()));
  EXPECT_EQ(folder, u"C:\\FbuTest\\Caps\\bin");
  ASSERT_TRUE(GetServiceFolder(folder, u"fbutestfirebirdservercaps", Text(), true));
  EXPECT_EQ(folder, u"C:\\FbuTest\\Caps\\bin");
}

TEST(GetFirebirdServerFolderWin, TwoServicesInOneFolderGiveThatFolder)
{
  const struct {
    const wchar_t* first;
    const wchar_t* second;
  } cases[] = {
      {L"C:\\FbuTest\\Shared\\bin\\fbserver.exe", L"C:\\FbuTest\\Shared\\bin\\fbguard.exe"},
      {L"C:\\FbuTest\\Shared\\bin\\fbserver.exe", L"\"c:\\fbutest\\SHARED\\Bin\\fbguard.exe\" -forever"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(T(c.second)));
    ScopedService first(L"FbuTestFirebirdServerFirst", c.first);
    ScopedService second(L"FbuTestFirebirdServerSecond", c.second);
    TStringList folders;
    ASSERT_TRUE(GetServiceFolders(&folders, u"FbuTestFirebirdServer", Text(), false));
    ASSERT_EQ(folders.Count(), 1);
    Text folder;
    ASSERT_TRUE(GetFirebirdServerFolder(folder, Text()));
    // Whichever service the system lists first gives the spelling.
    EXPECT_TRUE(SameTextIgnoreCase(folder, u"C:\\FbuTest\\Shared\\bin")) << ToUtf8(folder);
    EXPECT_EQ(folder, folders[0]);
  }
}

TEST(GetFirebirdServerFolderWin, TwoServicesInDifferentFoldersFail)
{
  ScopedService first(L"FbuTestFirebirdServerFirst", L"C:\\FbuTest\\One\\bin\\fbserver.exe");
  ScopedService second(L"FbuTestFirebirdServerSecond", L"C:\\FbuTest\\Two\\bin\\fbserver.exe");
  TStringList folders;
  ASSERT_TRUE(GetServiceFolders(&folders, u"FbuTestFirebirdServer", Text(), false));
  EXPECT_EQ(folders.Count(), 2);
  Text folder = u"junk";
  EXPECT_FALSE(GetServiceFolder(folder, u"FbuTestFirebirdServer", Text(), false));
  EXPECT_EQ(folder, u"");
  folder = u"junk";
  EXPECT_FALSE(GetFirebirdServerFolder(folder, Text()));
  EXPECT_EQ(folder, u"");
}

TEST(GetFirebirdServerFolderWin, NoMatchingServiceFails)
{
  TStringList names;
  ASSERT_TRUE(FindServices(&names, u"FirebirdServer", Text(), false));
  ASSERT_EQ(names.Count(), 0) << "a service of another test was left behind";
  // A driver is no Win32 service, whatever its name.
  ScopedDriverService driver(L"FbuTestFirebirdServerDriver", L"C:\\FbuTest\\drivers\\fbu.sys");
  ASSERT_TRUE(driver);

  TStringList folders;
  folders.Add(u"stale");
  EXPECT_FALSE(GetServiceFolders(&folders, u"FirebirdServer", Text(), false));
  EXPECT_EQ(folders.Count(), 0);
  Text folder = u"junk";
  EXPECT_FALSE(GetFirebirdServerFolder(folder, Text()));
  EXPECT_EQ(folder, u"");
  EXPECT_FALSE(GetServiceFolders(nullptr, u"FirebirdServer", Text(), false));
}

TEST(GetServiceFoldersWin, ExactMatchNeedsTheWholeName)
{
  ScopedService service(L"FbuTestExactServer", L"C:\\FbuTest\\Exact\\bin\\fbserver.exe");
  TStringList folders;
  EXPECT_FALSE(GetServiceFolders(&folders, u"FbuTestExact", Text(), true));
  EXPECT_TRUE(GetServiceFolders(&folders, u"FbuTestExact", Text(), false));
  EXPECT_TRUE(GetServiceFolders(&folders, u"fbutestexactserver", Text(), true));
  ASSERT_EQ(folders.Count(), 1);
  EXPECT_EQ(folders[0], u"C:\\FbuTest\\Exact\\bin");
}

// The folder comes from the configuration the service control manager stores, so each
// binary path goes through a real service.
TEST(GetServiceFolderWin, FolderOfStoredBinaryPath)
{
  const struct {
    const wchar_t* binaryPath;
    const char16_t* folder;
  } cases[] = {
      {L"C:\\fbserver.exe", u"C:"},
      // A switch holding a path does not move the cut.
      {L"\"C:\\FbuTest\\Fb\\bin\\fbserver.exe\" -c C:\\FbuTest\\Fb\\conf", u"C:\\FbuTest\\Fb\\bin"},
      {L"\"C:\\FbuTest\\With Blank\\bin\\fbserver.exe\"", u"C:\\FbuTest\\With Blank\\bin"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(T(c.binaryPath)));
    ScopedService service(L"FbuTestStoredPath", c.binaryPath);
    Text folder;
    ASSERT_TRUE(GetServiceFolder(folder, u"FbuTestStoredPath", Text(), true));
    EXPECT_EQ(folder, c.folder);
  }
}

TEST(GetServiceFolderWin, PathWithoutSeparatorGivesNoFolderButOthersCount)
{
  ScopedService bare(L"FbuTestNoFolderBare", L"fbserver.exe -s");
  TStringList folders;
  EXPECT_TRUE(GetServiceFolders(&folders, u"FbuTestNoFolder", Text(), false));
  EXPECT_EQ(folders.Count(), 0);
  Text folder = u"junk";
  EXPECT_FALSE(GetServiceFolder(folder, u"FbuTestNoFolder", Text(), false));
  EXPECT_EQ(folder, u"");

  ScopedService rooted(L"FbuTestNoFolderRooted", L"D:\\fbserver.exe");
  ASSERT_TRUE(GetServiceFolder(folder, u"FbuTestNoFolder", Text(), false));
  EXPECT_EQ(folder, u"D:");
}

// Wine's service control manager cannot be made to refuse a configuration: it accepts a
// DACL denying SERVICE_QUERY_CONFIG through SetServiceObjectSecurity but never applies it,
// and refuses an empty binary path at creation. So the refusal comes from this stand-in
// for QueryServiceConfigW, which passes every other service to the real call.
struct QueryRecord {
  int calls = 0;
  DWORD readableReported = 0; // size reported for the readable service
  DWORD readableGiven = 0;    // size of the block then passed for it
};
QueryRecord gRecord;

Text RealBinaryPath(SC_HANDLE service)
{
  DWORD needed = 0;
  QueryServiceConfigW(service, nullptr, 0, &needed);
  std::vector<std::byte> block(needed);
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(block.data());
  if (!needed || !QueryServiceConfigW(service, config, needed, &needed)) return Text();
  return FromWide(config->lpBinaryPathName);
}

BOOL WINAPI RefusingQuery(SC_HANDLE service, LPQUERY_SERVICE_CONFIGW config, DWORD size, LPDWORD needed)
{
  ++gRecord.calls;
  const Text path = RealBinaryPath(service);
  // As on Windows when access is denied: failure, and no size reported.
  if (path.find(u"RefuseAlways") != Text::npos || (config && path.find(u"RefuseData") != Text::npos)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  const BOOL ok = QueryServiceConfigW(service, config, size, needed);
  if (path.find(u"Readable") != Text::npos) {
    if (config) {
      gRecord.readableGiven = size;
    } else {
      gRecord.readableReported = *needed;
    }
  }
  return ok;
}

TEST(GetServiceFolderWin, UnreadableConfigurationGivesNoFolderButOthersCount)
{
  ScopedService readable(L"FbuTestFirebirdServerReadable", L"C:\\FbuTest\\Readable\\bin\\fbserver.exe");
  ScopedService noSize(L"FbuTestFirebirdServerNoSize", L"C:\\FbuTest\\RefuseAlways\\bin\\fbserver.exe");
  ScopedService noData(L"FbuTestFirebirdServerNoData", L"C:\\FbuTest\\RefuseData\\bin\\fbserver.exe");
  gRecord = {};
  Text folder;
  ASSERT_TRUE(GetServiceFolderUsing(RefusingQuery, folder, u"FbuTestFirebirdServer", Text(), false));
  EXPECT_EQ(folder, u"C:\\FbuTest\\Readable\\bin");
  // Two calls for each service that answers the size query, one for the one that does not;
  // the data call gets a block of exactly the reported size.
  EXPECT_EQ(gRecord.calls, 5);
  EXPECT_GT(gRecord.readableReported, 0u);
  EXPECT_EQ(gRecord.readableGiven, gRecord.readableReported);

  TStringList folders;
  ASSERT_TRUE(GetServiceFoldersUsing(RefusingQuery, &folders, u"FbuTestFirebirdServerNo", Text(), false));
  EXPECT_EQ(folders.Count(), 0);
}

// Long names, as the system allows them, fill the block with few services.
std::wstring LongServiceName(int index)
{
  std::wstring name = L"FbuTestOverflow" + std::to_wstring(1000 + index);
  name.resize(250, L'x');
  return name;
}

TEST(EnumWin32ServicesWin, ServicesOverflowingTheBlockFailEverything)
{
  std::vector<std::unique_ptr<ScopedService>> services;
  services.push_back(std::make_unique<ScopedService>(L"FbuTestFirebirdServerOverflow", L"C:\\FbuTest\\bin\\fb.exe"));
  TStringList list;
  Text folder;
  ASSERT_TRUE(GetFirebirdServerFolder(folder, Text()));
  // Up to the block's size the enumeration succeeds, with every name.
  while (Win32EnumerationBytes() <= kEnumBlockSize) {
    ASSERT_TRUE(EnumWin32Services(&list, Text())) << Win32EnumerationBytes();
    ASSERT_GE(list.IndexOf(T(services.back()->Name())), 0);
    ASSERT_LT(services.size(), 200u) << "the enumeration size does not grow";
    services.push_back(std::make_unique<ScopedService>(LongServiceName(static_cast<int>(services.size())),
                                                       L"C:\\FbuTest\\bin\\overflow.exe"));
  }

  list.Add(u"stale");
  EXPECT_FALSE(EnumWin32Services(&list, Text()));
  EXPECT_EQ(list.Count(), 0);
  list.Add(u"stale");
  EXPECT_FALSE(FindServices(&list, u"FirebirdServer", Text(), false));
  EXPECT_EQ(list.Count(), 0);
  list.Add(u"stale");
  EXPECT_FALSE(GetServiceFolders(&list, u"FirebirdServer", Text(), false));
  EXPECT_EQ(list.Count(), 0);
  folder = u"junk";
  EXPECT_FALSE(GetFirebirdServerFolder(folder, Text()));
  EXPECT_EQ(folder, u"");
}

} // namespace
} // namespace fbu
