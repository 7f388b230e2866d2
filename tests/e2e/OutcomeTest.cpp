// End to end, one table: the real program (or its seams build) in an unattended run
// against the demo installation, each row arranging one situation of a real machine or
// one fault. Every row checks what a script and an operator would see: the exit code,
// the report (or that none appeared), the bytes of every firebird.conf (only the key
// line of files fully saved may change), the state the service is left in and how often
// it started, and that no temporary file stays behind.
//
// Not a row: a Firebird folder without write rights. Wine keeps no access lists on
// files and these tests run as root, whom Unix permissions do not stop, so Wine cannot
// express it; a read-only file stands for a file the caller may not write.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "e2e/DemoInstallation.h"

namespace fbu::test {
namespace {

constexpr DWORD kRunTimeoutMs = 90000;
// How long a Guardian may take to notice that its server stopped.
constexpr DWORD kGuardianEndMs = 5000;
// A write clearly later than the server's start, whatever the clocks' resolution.
constexpr DWORD kWriteAfterStartMs = 50;

// What a row may arrange around one run.
struct Scene {
  explicit Scene(DemoInstallation& installation) : demo(installation) {}

  DemoInstallation& demo;
  const wchar_t* program = L"FBU_PROGRAM"; // the variable naming the build to run
  int show = -1;                           // the show command the run is started with
  std::vector<std::unique_ptr<ScopedEnv>> env;
  std::wstring toHold;       // held open without sharing during the run
  std::wstring output;       // the file that gets the run's redirected output
  std::wstring watched;      // a file outside the demo installation that a row watches
  std::string watchedBefore; // its bytes before the run
  std::optional<HeldOpenFile> held;
  std::optional<ScopedTempDir> otherRoot;
  std::vector<std::function<void()>> cleanups;

  ~Scene()
  {
    for (auto& cleanup : cleanups) cleanup();
  }

  void SetEnv(const wchar_t* name, const std::wstring& value)
  {
    env.push_back(std::make_unique<ScopedEnv>(name, value.c_str()));
  }
  void UseSeams(const wchar_t* variable, const std::wstring& value)
  {
    program = L"FBU_SEAM_PROGRAM";
    SetEnv(variable, value);
  }
  void HoldFirstFile() { toHold = demo.ConfigFilesInProgramOrder().front(); }
};

struct Row {
  const char* name;
  std::wstring arguments;
  std::function<void(Scene&)> arrange;     // before the run
  std::function<void(ProgramRun&)> during; // right after the program started
  DWORD exitCode;
  const wchar_t* reported; // part of the report's text; nullptr: no report may appear
  std::size_t written;     // files rewritten, in the program's order
  const char* value;       // what they hold
  DWORD serviceAfter;      // 0: the service is not installed
  std::size_t starts;      // starts of the service during the run
  std::function<void(Scene&)> verify = nullptr;
  const char* printed = nullptr; // part of what it wrote to its redirected output
};

constexpr std::size_t kAll = SIZE_MAX;

// A staging root named by "ProgramFiles(86)", with one instance folder whose file sets 75.
void UseStagingRoot(Scene& s, const wchar_t* rootName, const std::wstring& instanceName)
{
  s.otherRoot.emplace(rootName);
  const std::wstring firebird = *s.otherRoot / L"Firebird";
  CreateDirectoryW(firebird.c_str(), nullptr);
  CreateDirectoryW((firebird + L"\\" + instanceName).c_str(), nullptr);
  WriteFileBytes(firebird + L"\\" + instanceName + L"\\firebird.conf", "DefaultDbCachePages = 75\r\n");
  s.SetEnv(L"ProgramFiles(86)", s.otherRoot->Path());
}

// A staging copy named by "ProgramFiles(86)": the run stays in it, even where
// "ProgramW6432" names the live installation.
void StagingRoot(Scene& s)
{
  UseStagingRoot(s, L"fbu-x86", L"Firebird_x86");
  const std::wstring& server = s.demo.Root();
  s.SetEnv(L"ProgramW6432", server.substr(0, server.rfind(L'\\')));
}

// The first file the program meets, arranged by change.
void ChangeFirstFile(Scene& s, const std::function<void(const std::wstring&)>& change)
{
  change(s.demo.ConfigFilesInProgramOrder().front());
}

void ReadOnlyFirst(Scene& s)
{
  ChangeFirstFile(s, [&](const std::wstring& path) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    s.cleanups.push_back([path] { SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL); });
  });
}

void FolderInsteadOfFirst(Scene& s)
{
  ChangeFirstFile(s, [](const std::wstring& path) {
    DeleteFileW(path.c_str());
    CreateDirectoryW(path.c_str(), nullptr);
  });
}

void EmptyFirst(Scene& s)
{
  ChangeFirstFile(s, [](const std::wstring& path) { WriteFileBytes(path, ""); });
}

void LargeFirst(Scene& s)
{
  ChangeFirstFile(s, [](const std::wstring& path) {
    std::string text;
    while (text.size() < (30u << 20)) text += "# one of many comment lines of a very large configuration file\r\n";
    WriteFileBytes(path, text + "DefaultDbCachePages = 2048\r\n");
  });
}

// The first file in UTF-16: the server cannot read it; an update rewrites it all the same.
void Utf16First(Scene& s)
{
  ChangeFirstFile(s, [](const std::wstring& path) {
    std::string wide = "\xFF\xFE";
    for (const char c : ReadFileBytes(path)) wide += std::string{c, '\0'};
    WriteFileBytes(path, wide);
  });
}

// A mixed installation: the first file in UTF-16, the second read-only (its save is refused).
void MixedInstallation(Scene& s)
{
  Utf16First(s);
  const std::wstring readOnly = s.demo.ConfigFilesInProgramOrder()[1];
  SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
  s.cleanups.push_back([readOnly] { SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL); });
}

// The lines of an output that tell about one file of the installation.
std::vector<std::string> FileLines(const std::string& output, const std::wstring& root)
{
  const std::string prefix(root.begin(), root.end());
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < output.size();) {
    const std::size_t end = std::min(output.find("\r\n", at), output.size());
    if (output.compare(at, prefix.size(), prefix) == 0) lines.push_back(output.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

// The update on the same installation ends as the check said, with the same verdict
// for every file, and touches nothing.
void UpdateAgreesWithTheCheck(Scene& s)
{
  const auto before = s.demo.Snapshot();
  const std::size_t starts = s.demo.ServiceStarts().size();
  const ScopedEnv invisible(L"FBU_SEAM_DESKTOP", L"invisible");
  const ScopedTempDir dir(L"fbu-upd");
  ProgramRun update(L"1024", L"FBU_SEAM_PROGRAM", -1, dir / L"update.txt");
  ASSERT_TRUE(update.WaitForExit(kRunTimeoutMs));
  EXPECT_EQ(update.ExitCode(), 1u);
  const auto checked = FileLines(ReadFileBytes(s.output), s.demo.Root());
  EXPECT_EQ(checked.size(), s.demo.ConfigFilesInProgramOrder().size());
  EXPECT_EQ(FileLines(ReadFileBytes(dir / L"update.txt"), s.demo.Root()), checked);
  EXPECT_EQ(s.demo.Snapshot(), before);
  EXPECT_EQ(s.demo.ServiceStarts().size(), starts);
}

// Non-ASCII names in the paths the output tells: a staging root holding them.
void NonAsciiRoot(Scene& s)
{
  UseStagingRoot(s, L"fbu-\u00dc\u4e2d", L"Firebird_\u00e9");
}

// The output is in the code page the caller's tools decode with: its console's, else the
// OEM one; what that page lacks is '?'.
void OutputInTheCallersCodePage(Scene& s)
{
  const UINT page = GetConsoleOutputCP() ? GetConsoleOutputCP() : GetOEMCP();
  const std::string output = ReadFileBytes(s.output);
  if (page == CP_UTF8) {
    EXPECT_NE(output.find("\xC3\x9C\xE4\xB8\xAD"), std::string::npos) << output;
  } else if (page == 437 || page == 850) {
    EXPECT_NE(output.find("fbu-\x9A?"), std::string::npos) << output;
    EXPECT_NE(output.find("Firebird_\x82\\firebird.conf"), std::string::npos) << output;
  } else {
    GTEST_SKIP() << "no expectation for code page " << page;
  }
}

void SaveFault(Scene& s, const wchar_t* fault)
{
  s.UseSeams(L"FBU_SEAM_SAVE_FAULT", fault);
}

// A real full disk: a 64 KB file system that the run's set-up mounted in the prefix
// (tests/e2e/small-disk) as C:\fbu-small-disk, filled so that the rewritten file no
// longer fits. Its Firebird folder is searched first.
constexpr wchar_t kSmallDisk[] = L"C:\\fbu-small-disk";

void FillSmallDisk(Scene& s)
{
  const std::wstring marker = std::wstring(kSmallDisk) + L"\\mounted";
  if (GetFileAttributesW(marker.c_str()) == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "no small file system was mounted for this run (mount refused or not root; see "
                    "build/<preset>/wine/small-disk.log)";
  const std::wstring firebird = std::wstring(kSmallDisk) + L"\\Firebird";
  CreateDirectoryW(firebird.c_str(), nullptr);
  CreateDirectoryW((firebird + L"\\Firebird_small").c_str(), nullptr);
  s.cleanups.push_back([firebird] { RemoveTree(firebird); });
  std::string text;
  while (text.size() < 20000) text += "# a comment line that takes room on the small disk\r\n";
  WriteFileBytes(firebird + L"\\Firebird_small\\firebird.conf", text + "DefaultDbCachePages = 2048\r\n");
  ULARGE_INTEGER free{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(kSmallDisk, &free, nullptr, nullptr));
  ASSERT_GT(free.QuadPart, 8192u);
  WriteFileBytes(firebird + L"\\filler", std::string(static_cast<std::size_t>(free.QuadPart) - 8192, 'x'));
  s.SetEnv(L"ProgramFiles(86)", kSmallDisk);
  s.watched = firebird + L"\\Firebird_small\\firebird.conf";
}

// After the full disk: the small file is intact; with room again the update succeeds.
void RunAgainWithRoom(Scene& s)
{
  const std::wstring firebird = std::wstring(kSmallDisk) + L"\\Firebird";
  EXPECT_EQ(ReadFileBytes(s.watched), s.watchedBefore);
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(FindFirstFileW((firebird + L"\\Firebird_small\\*.tmp").c_str(), &data));
  EXPECT_FALSE(find) << "a temporary file stayed on the full disk";
  DeleteFileW((firebird + L"\\filler").c_str());
  ProgramRun again(L"1024");
  ASSERT_TRUE(again.WaitForExit(kRunTimeoutMs));
  EXPECT_EQ(again.ExitCode(), 0u);
  const std::string now = ReadFileBytes(s.watched);
  EXPECT_EQ(now.substr(now.size() - 28), "DefaultDbCachePages = 1024\r\n");
}

// The demo's service reaching a state, asked of the service manager (a row's run does not
// know the demo).
bool WaitForServiceState(DWORD state)
{
  const UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  const UniqueScHandle service(
      manager ? OpenServiceW(manager.get(), L"FirebirdServerDefaultInstance", SERVICE_QUERY_STATUS) : nullptr);
  for (const ULONGLONG end = GetTickCount64() + ScaledMs(kRunTimeoutMs); service && GetTickCount64() < end; Sleep(25)) {
    SERVICE_STATUS status{};
    if (QueryServiceStatus(service.get(), &status) && status.dwCurrentState == state) return true;
  }
  return false;
}

void CloseDuringStopWait(ProgramRun& run)
{
  // The stop control is out and the program waits: the stand-in holds STOP_PENDING for
  // 3 s. (WaitForDialog would wait for the program to be idle, which is after the wait.)
  ASSERT_TRUE(WaitForServiceState(SERVICE_STOP_PENDING));
  const HWND form = FindWindowW(L"#32770", L"Firebird config utility");
  DWORD owner = 0;
  GetWindowThreadProcessId(form, &owner);
  ASSERT_EQ(owner, GetProcessId(run.Handle()));
  PostMessageW(form, WM_CLOSE, 0, 0);
}

void CloseWhileReportIsUp(ProgramRun& run)
{
  ASSERT_TRUE(run.WaitForMessageBox(kRunTimeoutMs));
  // Sent rather than posted, so that it returns once the form has handled the close
  // request, while the report still waits for its answer.
  DWORD_PTR result = 0;
  ASSERT_TRUE(SendMessageTimeoutW(run.WaitForDialog(kRunTimeoutMs).window, WM_CLOSE, 0, 0, SMTO_NORMAL,
                                  ScaledMs(kRunTimeoutMs), &result));
}

// A second instance (3.0 layout: the executable in the installation root) running from
// Firebird_3_0, whose file the update saves.
constexpr wchar_t kSecondServer[] = L"FirebirdServerSecond";
constexpr wchar_t kGuardian[] = L"FirebirdGuardianDefaultInstance";

void SecondInstance(Scene& s, bool running)
{
  s.demo.AddService(kSecondServer, L"Firebird_3_0", false, L"-s Second", running);
}

void ExpectSecondInstance(Scene& s, DWORD state, std::size_t starts)
{
  EXPECT_EQ(s.demo.ServiceStateOf(kSecondServer), state);
  const auto values = s.demo.StartsIn(L"Firebird_3_0");
  EXPECT_EQ(values.size(), starts);
  if (starts > 1) {
    EXPECT_EQ(values.back(), "1024");
  }
}

// The demo's server guarded by a Guardian that runs.
void Guarded(Scene& s)
{
  s.demo.AddService(kGuardian, L"Firebird_4_0", true, L"-guardian FirebirdServerDefaultInstance", true);
}

// The files a run searches hold no installation the default instance runs from: the
// program is pointed at another program-files folder with an installation of its own.
void ServerOutsideTheSearch(Scene& s)
{
  s.otherRoot.emplace(L"fbu-pf");
  const std::wstring firebird = *s.otherRoot / L"Firebird";
  CreateDirectoryW(firebird.c_str(), nullptr);
  CreateDirectoryW((firebird + L"\\Elsewhere").c_str(), nullptr);
  WriteFileBytes(firebird + L"\\Elsewhere\\firebird.conf", "DefaultDbCachePages = 75\r\n");
  s.SetEnv(L"ProgramFiles", s.otherRoot->Path());
  s.SetEnv(L"ProgramW6432", s.otherRoot->Path());
}

// Every file set as given, the server then restarted so that it runs with them.
void AllFilesRestarted(Scene& s, const std::string& bytes)
{
  for (const auto& path : s.demo.ConfigFilesInProgramOrder()) WriteFileBytes(path, bytes);
  ASSERT_TRUE(s.demo.StopService());
  ASSERT_TRUE(s.demo.StartService());
  ASSERT_TRUE(s.demo.WaitForServiceState(SERVICE_RUNNING, kRunTimeoutMs));
}

void StockDatabasesConf(Scene& s)
{
  WriteFileBytes(s.demo.Root() + L"\\Firebird_3_0\\databases.conf",
                 "employee = $(dir_sampleDb)/employee.fdb\r\nsecurity.db = $(dir_secDb)/security3.fdb\r\n{\r\n"
                 "\tRemoteAccess = false\r\n\tDefaultDbCachePages = 50\r\n}\r\n");
}

const Row kRows[] = {
    {"OverrideConfinesTheRun", L"1024", StagingRoot, nullptr, 0, nullptr, 0, "", SERVICE_RUNNING, 1,
     [](Scene& s) {
       EXPECT_EQ(ReadFileBytes(*s.otherRoot / L"Firebird\\Firebird_x86\\firebird.conf"),
                 "DefaultDbCachePages = 1024\r\n");
     },
     "left running (runs from "},
    // Servers and where they run from.
    {"DefaultInstanceRunsOutsideTheSearch", L"1024", ServerOutsideTheSearch, nullptr, 3,
     L"Firebird_4_0, whose firebird.conf this run did not change", 0, "", SERVICE_RUNNING, 0,
     [](Scene& s) {
       EXPECT_EQ(ReadFileBytes(*s.otherRoot / L"Firebird\\Elsewhere\\firebird.conf"), "DefaultDbCachePages = 1024\r\n");
     }},
    {"CheckDefaultInstanceRunsOutsideTheSearch", L"/check 1024", ServerOutsideTheSearch, nullptr, 3, nullptr, 0, "",
     SERVICE_RUNNING, 0, nullptr, "An update would not reach the server that runs"},
    {"SecondInstanceRestartedToo", L"1024", [](Scene& s) { SecondInstance(s, true); }, nullptr, 0, nullptr, kAll,
     "1024", SERVICE_RUNNING, 1, [](Scene& s) { ExpectSecondInstance(s, SERVICE_RUNNING, 2); },
     "Service FirebirdServerSecond: found running, stopped, started, left running"},
    {"GuardianRunsAfterwards", L"1024", Guarded, nullptr, 0, nullptr, kAll, "1024", SERVICE_RUNNING, 1,
     [](Scene& s) { EXPECT_EQ(s.demo.ServiceStateOf(kGuardian), static_cast<DWORD>(SERVICE_RUNNING)); },
     // The Guardian's stop stops its server; started again once the server runs, it adopts it.
     "Service FirebirdServerDefaultInstance: found running, stopped by FirebirdGuardianDefaultInstance, started, left "
     "running"},
    // The stand-in's Guardian ends with its server, as the real one does: stopped by
    // someone else, the server stops unguarded and the update's start leaves it so.
    {"GuardianThatEndedWithItsServer", L"1024",
     [](Scene& s) {
       Guarded(s);
       ASSERT_TRUE(s.demo.StopService());
       for (const ULONGLONG end = GetTickCount64() + kGuardianEndMs;
            s.demo.ServiceStateOf(kGuardian) != SERVICE_STOPPED && GetTickCount64() < end;)
         Sleep(25);
       ASSERT_EQ(s.demo.ServiceStateOf(kGuardian), static_cast<DWORD>(SERVICE_STOPPED));
       ASSERT_TRUE(s.demo.StartService());
       ASSERT_TRUE(s.demo.WaitForServiceState(SERVICE_RUNNING, kRunTimeoutMs));
     },
     nullptr, 0, nullptr, kAll, "1024", SERVICE_RUNNING, 1,
     [](Scene& s) { EXPECT_EQ(s.demo.ServiceStateOf(kGuardian), static_cast<DWORD>(SERVICE_STOPPED)); }},
    {"DatabasesConfListed", L"1024", StockDatabasesConf, nullptr, 0, nullptr, kAll, "1024", SERVICE_RUNNING, 1,
     nullptr, "Firebird_3_0\\databases.conf: security.db keeps 50 pages"},
    {"QuestionMarkIsNoPageCount", L"/?", nullptr, nullptr, 1, L"is not a page count", 0, "", SERVICE_RUNNING, 0},
    {"WordIsNoPageCount", L"abc", nullptr, nullptr, 1, L"is not a page count", 0, "", SERVICE_RUNNING, 0},
    {"NegativeIsNoPageCount", L"-5", nullptr, nullptr, 1, L"is not a page count", 0, "", SERVICE_RUNNING, 0},
    {"EmptyArgumentIsNoPageCount", L"\"\"", nullptr, nullptr, 1, L"is not a page count", 0, "", SERVICE_RUNNING, 0},
    {"NothingFound", L"1024", [](Scene& s) { s.demo.RemoveConfigFiles(); }, nullptr, 2,
     L"No firebird.conf was found below ", 0, "", SERVICE_RUNNING, 0},
    {"NoFileNamesTheSetting", L"1024",
     [](Scene& s) {
       for (const auto& path : s.demo.ConfigFilesInProgramOrder()) WriteFileBytes(path, "RemoteServicePort = 3050\r\n");
     },
     nullptr, 2, L"where the server reads it, so nothing was changed", 0, "", SERVICE_RUNNING, 0},
    {"PageCountBeyondMemory", L"2147483647", nullptr, nullptr, 1, L"the largest count it can hold is", 0, "",
     SERVICE_RUNNING, 0},
    // Whatever the show command, the unattended run runs once and ends.
    {"HiddenStart", L"1024", [](Scene& s) { s.show = SW_HIDE; }, nullptr, 0, nullptr, kAll, "1024", SERVICE_RUNNING, 1},
    {"MinimisedStart", L"1024", [](Scene& s) { s.show = SW_SHOWMINNOACTIVE; }, nullptr, 0, nullptr, kAll, "1024",
     SERVICE_RUNNING, 1},
    {"MaximisedStart", L"1024", [](Scene& s) { s.show = SW_SHOWMAXIMIZED; }, nullptr, 0, nullptr, kAll, "1024",
     SERVICE_RUNNING, 1},
    {"ServiceMissing", L"1024", [](Scene& s) { s.demo.RemoveService(); }, nullptr, 0, nullptr, kAll, "1024", 0, 0},
    {"ServiceFailsToStart", L"1024", [](Scene& s) { s.demo.SetServiceControl("fail-start=2\n"); }, nullptr, 3,
     L"The Firebird server FirebirdServerDefaultInstance is stopped and was not started again", kAll, "1024",
     SERVICE_STOPPED, 0, nullptr, "found running, stopped, start"},
    {"InvisibleDesktopRefusedValue", L"abc", [](Scene& s) { s.UseSeams(L"FBU_SEAM_DESKTOP", L"invisible"); }, nullptr,
     1, nullptr, 0, "", SERVICE_RUNNING, 0},
    {"InvisibleDesktopNothingFound", L"1024",
     [](Scene& s) {
       s.UseSeams(L"FBU_SEAM_DESKTOP", L"invisible");
       s.demo.RemoveConfigFiles();
     },
     nullptr, 2, nullptr, 0, "", SERVICE_RUNNING, 0},
    // A close request waits for the update to end.
    {"CloseRequestDuringTheStopWait", L"1024", [](Scene& s) { s.demo.SetServiceStopDelay(3000); }, CloseDuringStopWait,
     0, nullptr, kAll, "1024", SERVICE_RUNNING, 1},
    {"CloseRequestWhileTheReportIsUp", L"1024", [](Scene& s) { s.HoldFirstFile(); }, CloseWhileReportIsUp, 1,
     L"Cannot open file", 0, "", SERVICE_RUNNING, 0},
    // Files. Each is read before the service is touched.
    {"FileHeldOpenWithoutSharing", L"1024", [](Scene& s) { s.HoldFirstFile(); }, nullptr, 1, L"Cannot open file", 0, "",
     SERVICE_RUNNING, 0},
    // A save certain to be refused is told before anything is touched.
    {"FileReadOnly", L"1024", ReadOnlyFirst, nullptr, 1, L"has the read-only attribute", 0, "", SERVICE_RUNNING, 0},
    // Only "not found" means no file: a path that cannot be looked at is an error.
    {"FileThatCannotBeLookedAt", L"1024", [](Scene& s) { s.UseSeams(L"FBU_SEAM_QUERY_FAULT", L"5"); }, nullptr, 1,
     L"Cannot open file", 0, "", SERVICE_RUNNING, 0},
    {"FilesNotFound", L"1024", [](Scene& s) { s.UseSeams(L"FBU_SEAM_QUERY_FAULT", L"3"); }, nullptr, 2,
     L"No firebird.conf was found below ", 0, "", SERVICE_RUNNING, 0},
    // Another program replaces the file while it is saved: it keeps that program's file.
    {"FileReplacedDuringTheSave", L"1024", [](Scene& s) { s.UseSeams(L"FBU_SEAM_SWAP_ORIGINAL", L"1"); }, nullptr, 1,
     L"Another program replaced or moved the file", 0, "", SERVICE_RUNNING, 1},
    {"ConfigNameIsAFolder", L"1024", FolderInsteadOfFirst, nullptr, 0, nullptr, kAll, "1024", SERVICE_RUNNING, 1},
    {"EmptyFileLeftAlone", L"1024", EmptyFirst, nullptr, 0, nullptr, kAll, "1024", SERVICE_RUNNING, 1},
    {"LargeFile", L"1024", LargeFirst, nullptr, 0, nullptr, kAll, "1024", SERVICE_RUNNING, 1},
    {"FullDisk", L"1024", FillSmallDisk, nullptr, 1, L"Cannot create file", 0, "", SERVICE_RUNNING, 1,
     RunAgainWithRoom},
    // Each save step failing, through the seams build.
    {"SaveStepCreateFails", L"1024", [](Scene& s) { SaveFault(s, L"create:112"); }, nullptr, 1, L"Cannot create file",
     0, "", SERVICE_RUNNING, 1},
    // The new file cannot take the original's access list: Wine keeps none, so only the
    // seam reaches this.
    {"SaveStepProtectFails", L"1024", [](Scene& s) { SaveFault(s, L"protect:5"); }, nullptr, 1, L"Cannot create file",
     0, "", SERVICE_RUNNING, 1},
    {"SaveStepWriteFailsPartWay", L"1024", [](Scene& s) { SaveFault(s, L"write:112"); }, nullptr, 1,
     L"Cannot create file", 0, "", SERVICE_RUNNING, 1},
    {"SaveStepFlushFails", L"1024", [](Scene& s) { SaveFault(s, L"flush:1117"); }, nullptr, 1, L"Cannot create file", 0,
     "", SERVICE_RUNNING, 1},
    {"SaveStepReplaceFails", L"1024", [](Scene& s) { SaveFault(s, L"replace:5"); }, nullptr, 1, L"Cannot create file",
     0, "", SERVICE_RUNNING, 1},
    // A check reads as an update would and changes nothing; it never shows a box.
    {"CheckWouldChange", L"/check 1024", nullptr, nullptr, 4, nullptr, 0, "", SERVICE_RUNNING, 0, nullptr,
     "would become DefaultDbCachePages = 1024"},
    {"CheckInPlace", L"-Check 1024", [](Scene& s) { AllFilesRestarted(s, "defaultdbcachepages=1k\n"); }, nullptr, 0,
     nullptr, 0, "", SERVICE_RUNNING, 0, nullptr, "DefaultDbCachePages = 1k, in place"},
    // A Classic server without a setting already uses 256 pages.
    {"CheckClassicDefaultInPlace", L"/check 256",
     [](Scene& s) { AllFilesRestarted(s, "ServerMode = Classic\r\n#DefaultDbCachePages = 2048\r\n"); }, nullptr, 0,
     nullptr, 0, "", SERVICE_RUNNING, 0, nullptr, "no setting (the server uses 256 pages), in place"},
    // The files hold the value, but the server started before they were written.
    {"CheckRestartPending", L"/check 1024",
     [](Scene& s) {
       Sleep(kWriteAfterStartMs);
       for (const auto& path : s.demo.ConfigFilesInProgramOrder()) WriteFileBytes(path, "DefaultDbCachePages = 1024\n");
     },
     nullptr, 4, nullptr, 0, "", SERVICE_RUNNING, 0, nullptr,
     "in place, restart pending (FirebirdServerDefaultInstance started before the file was last written)"},
    {"CheckListsDatabasesConf", L"/check 1024", StockDatabasesConf, nullptr, 4, nullptr, 0, "", SERVICE_RUNNING, 0,
     nullptr, "Firebird_3_0\\databases.conf: security.db keeps 50 pages"},
    {"CheckNothingFound", L"/CHECK 1024", [](Scene& s) { s.demo.RemoveConfigFiles(); }, nullptr, 2, nullptr, 0, "",
     SERVICE_RUNNING, 0, nullptr, "No firebird.conf was found below "},
    {"CheckUnreadableFile", L"/check 1024", [](Scene& s) { s.HoldFirstFile(); }, nullptr, 1, nullptr, 0, "",
     SERVICE_RUNNING, 0, nullptr, "Cannot open file"},
    {"CheckRefusedCount", L"/check 0", nullptr, nullptr, 1, nullptr, 0, "", SERVICE_RUNNING, 0, nullptr,
     "is not a page count"},
    // The check answers as the update ends: a refused save fails both, and a UTF-16 file
    // is one the update rewrites.
    {"CheckAgreesWithTheUpdate", L"/check 1024", MixedInstallation, nullptr, 1, nullptr, 0, "", SERVICE_RUNNING, 0,
     UpdateAgreesWithTheCheck, "cannot be saved: Cannot create file"},
    {"CheckTellsAUtf16FileIsRewritten", L"/check 1024", Utf16First, nullptr, 4, nullptr, 0, "", SERVICE_RUNNING, 0, nullptr,
     "unreadable to the server, would become DefaultDbCachePages = 1024 (the server cannot read it"},
    // Paths in the caller's code page.
    {"OutputInTheCallersCodePage", L"/check 1024", NonAsciiRoot, nullptr, 4, nullptr, 0, "", SERVICE_RUNNING, 0,
     OutputInTheCallersCodePage, "would become"},
    // At a prompt: the console companion waits for the program, passes the command line's
    // tail as it is (the quoted blanks stay) and ends with the program's exit code.
    {"CompanionRunsTheProgram", L"\"/check\" \" 1024 \"", [](Scene& s) { s.program = L"FBU_COMPANION"; }, nullptr, 4,
     nullptr, 0, "", SERVICE_RUNNING, 0, nullptr, "would become DefaultDbCachePages =  1024 \r\n"},
    // A redirected update tells what it did.
    {"UpdateOutputRedirected", L"1024", nullptr, nullptr, 0, nullptr, kAll, "1024", SERVICE_RUNNING, 1, nullptr,
     "Service FirebirdServerDefaultInstance: found running, stopped, started, left running"},
    // Page counts. A Windows command line holds at most 32767 characters, so the longest
    // value a script can pass stands in for a value of 100,000 characters.
    {"PageCountWithLineBreak", L"\"75\r\nRemoteServicePort = 1\"", nullptr, nullptr, 1, L"line breaks", 0, "",
     SERVICE_RUNNING, 0},
    {"PageCountAsLongAsACommandLine", std::wstring(32000, L'9'), nullptr, nullptr, 1, L"...\" is not a page count", 0,
     "", SERVICE_RUNNING, 0},
};

// When each configuration file was last written.
std::vector<ULONGLONG> WriteTimes(const DemoInstallation& demo)
{
  std::vector<ULONGLONG> times;
  for (const auto& path : demo.ConfigFilesInProgramOrder()) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    times.push_back(ULARGE_INTEGER{{data.ftLastWriteTime.dwLowDateTime, data.ftLastWriteTime.dwHighDateTime}}.QuadPart);
  }
  return times;
}

// gtest names a row by its name, not by its bytes.
void PrintTo(const Row& row, std::ostream* out)
{
  *out << row.name;
}

class UnattendedRun : public ::testing::TestWithParam<Row> {
protected:
  DemoInstallation demo;
};

TEST_P(UnattendedRun, EndsWithTheOutcomeItReports)
{
  const Row& row = GetParam();
  Scene scene{demo};
  if (row.arrange) row.arrange(scene);
  if (IsSkipped() || HasFatalFailure()) return;
  if (!scene.watched.empty()) scene.watchedBefore = ReadFileBytes(scene.watched);
  const auto before = demo.Snapshot();
  const std::size_t starts = demo.ServiceStarts().size();
  if (!scene.toHold.empty()) scene.held.emplace(scene.toHold);

  const ScopedTempDir outputDir(L"fbu-out");
  const std::wstring output = outputDir / L"output.txt";
  scene.output = output;
  const bool check = row.arguments.find(L"check") != std::wstring::npos;
  const auto times = check ? WriteTimes(demo) : std::vector<ULONGLONG>{};
  ProgramRun run(row.arguments, scene.program, scene.show, output);
  if (row.during) row.during(run);
  if (row.reported) {
    HWND box = run.WaitForMessageBox(kRunTimeoutMs);
    ASSERT_TRUE(box) << "no report";
    const std::wstring text = Dialog::MessageBoxText(box);
    EXPECT_NE(text.find(row.reported), std::wstring::npos) << std::string(text.begin(), text.end());
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
  ASSERT_TRUE(run.WaitForExit(kRunTimeoutMs)) << "the unattended run did not end; its output so far:\n"
                                              << ReadFileBytes(output);
  EXPECT_EQ(run.ExitCode(), row.exitCode);
  if (!row.reported) {
    EXPECT_FALSE(run.EverShowedMessageBox());
  }

  scene.held.reset();
  demo.ExpectWritten(before, row.value, row.written);
  EXPECT_EQ(demo.StrayFiles(), std::vector<std::wstring>{});
  EXPECT_EQ(demo.ServiceState(), row.serviceAfter);
  EXPECT_EQ(demo.ServiceStarts().size(), starts + row.starts);
  if (row.starts && row.written) {
    EXPECT_EQ(demo.ServiceStarts().back(), row.value);
  }
  if (row.verify) row.verify(scene);
  if (row.printed) {
    EXPECT_NE(ReadFileBytes(output).find(row.printed), std::string::npos) << ReadFileBytes(output);
    // The first line says which build ran (the seams build carries no version resource).
    const std::string first = ReadFileBytes(output).substr(0, ReadFileBytes(output).find("\r\n"));
    EXPECT_EQ(first,
              scene.program == std::wstring(L"FBU_SEAM_PROGRAM") ? "FbConfigUtility" : "FbConfigUtility 1.0.0.0");
  }
  if (check) {
    EXPECT_EQ(WriteTimes(demo), times) << "a check changed a file's time stamp";
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, UnattendedRun, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

} // namespace
} // namespace fbu::test
