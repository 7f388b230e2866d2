// End to end, one table: the real program (or its seams build) in an unattended run
// against the demo installation, each row arranging one situation of a real machine.
// Every row checks what a script and an operator would see: the exit code, the report
// (or that none appeared), the bytes of every firebird.conf, the state the service is
// left in and how often it started, and that no temporary file stays behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "e2e/DemoInstallation.h"
#include "support/standin/StandinControl.h"

namespace fbu::test {
namespace {

constexpr DWORD kRunTimeoutMs = 90000;

// What a row may arrange around one run.
struct Scene {
  DemoInstallation& demo;
  std::wstring program; // empty: the shipped program
  std::vector<std::unique_ptr<ScopedEnv>> env;
  std::wstring toHold; // held open without sharing during the run
  std::optional<HeldOpenFile> held;
  std::optional<ScopedTempDir> otherRoot;

  void SetEnv(const wchar_t* name, const std::wstring& value)
  {
    env.push_back(std::make_unique<ScopedEnv>(name, value.c_str()));
  }
  void UseSeams(const wchar_t* variable, const std::wstring& value)
  {
    program = BuiltFile(L"FBU_SEAM_PROGRAM");
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
};

constexpr std::size_t kAll = SIZE_MAX;

void Pause(Scene& s)
{
  ASSERT_TRUE(s.demo.SendServiceControl(SERVICE_CONTROL_PAUSE));
  ASSERT_TRUE(s.demo.WaitForServiceState(SERVICE_PAUSED, 20000));
}

void RefuseStop(Scene& s)
{
  s.demo.SetServiceControl("accept-stop=0\n");
  ASSERT_TRUE(s.demo.SendServiceControl(standin::kReloadControl));
}

// A second installation where a 32-bit process does not look by itself: the program's
// own view of "ProgramFiles" is the x86 folder, the server's is "ProgramW6432".
void SecondRoot(Scene& s)
{
  s.otherRoot.emplace(L"fbu-x86");
  const std::wstring instance = *s.otherRoot / L"Firebird";
  CreateDirectoryW(instance.c_str(), nullptr);
  CreateDirectoryW((instance + L"\\Firebird_x86").c_str(), nullptr);
  WriteFileBytes(instance + L"\\Firebird_x86\\firebird.conf", "DefaultDbCachePages = 75\r\n");
  // Wine gives a 64-bit process "ProgramFiles" equal to "ProgramW6432" whatever the
  // parent sets; "ProgramFiles(86)" passes through and names the x86 view here.
  s.SetEnv(L"ProgramFiles(86)", s.otherRoot->Path());
}

void CloseDuringStopWait(ProgramRun& run)
{
  Dialog dialog = run.WaitForDialog(kRunTimeoutMs);
  ASSERT_TRUE(dialog.window);
  Sleep(1000); // the stop control is out; the stand-in holds STOP_PENDING for 3 s
  PostMessageW(dialog.window, WM_CLOSE, 0, 0);
}

void CloseWhileReportIsUp(ProgramRun& run)
{
  ASSERT_TRUE(run.WaitForMessageBox(kRunTimeoutMs));
  PostMessageW(run.WaitForDialog(kRunTimeoutMs).window, WM_CLOSE, 0, 0);
  Sleep(500); // the close request is handled while the report waits for its answer
}

const Row kRows[] = {
    {"BothProgramFilesViewsSearched", L"1024", SecondRoot, nullptr, 0, nullptr, kAll, "1024", SERVICE_RUNNING, 1,
     [](Scene& s) {
       EXPECT_EQ(ReadFileBytes(*s.otherRoot / L"Firebird\\Firebird_x86\\firebird.conf"),
                 "DefaultDbCachePages = 1024\r\n");
     }},
    {"QuestionMarkIsNoPageCount", L"/?", nullptr, nullptr, 1, L"is not a page count", 0, "", SERVICE_RUNNING, 0},
    {"WordIsNoPageCount", L"abc", nullptr, nullptr, 1, L"is not a page count", 0, "", SERVICE_RUNNING, 0},
    {"NegativeIsNoPageCount", L"-5", nullptr, nullptr, 1, L"is not a page count", 0, "", SERVICE_RUNNING, 0},
    {"EmptyArgumentIsNoPageCount", L"\"\"", nullptr, nullptr, 1, L"is not a page count", 0, "", SERVICE_RUNNING, 0},
    {"NothingFound", L"1024", [](Scene& s) { s.demo.RemoveConfigFiles(); }, nullptr, 2,
     L"No firebird.conf was found below ", 0, "", SERVICE_RUNNING, 0},
    {"ServiceMissing", L"1024", [](Scene& s) { s.demo.RemoveService(); }, nullptr, 0, nullptr, kAll, "1024", 0, 0},
    {"ServiceRefusesToStop", L"1024", RefuseStop, nullptr, 3,
     L"did not stop, so the new value takes effect at its next restart.", kAll, "1024", SERVICE_RUNNING, 0},
    {"ServiceFailsToStart", L"1024", [](Scene& s) { s.demo.SetServiceControl("fail-start=2\n"); }, nullptr, 3,
     L"is not running again: it stopped while starting", kAll, "1024", SERVICE_STOPPED, 0},
    {"ServicePaused", L"1024", Pause, nullptr, 3, L"is not running again: it is paused.", kAll, "1024", SERVICE_PAUSED,
     0},
    {"InvisibleDesktopRefusedValue", L"abc", [](Scene& s) { s.UseSeams(L"FBU_SEAM_DESKTOP", L"invisible"); }, nullptr,
     1, nullptr, 0, "", SERVICE_RUNNING, 0},
    {"InvisibleDesktopNothingFound", L"1024",
     [](Scene& s) {
       s.UseSeams(L"FBU_SEAM_DESKTOP", L"invisible");
       s.demo.RemoveConfigFiles();
     },
     nullptr, 2, nullptr, 0, "", SERVICE_RUNNING, 0},
    {"CloseRequestDuringTheStopWait", L"1024",
     [](Scene& s) {
       s.demo.SetServiceStopDelay(3000);
       s.HoldFirstFile();
     },
     CloseDuringStopWait, 1, L"Cannot open file", 0, "", SERVICE_RUNNING, 1},
    {"CloseRequestWhileTheReportIsUp", L"1024", [](Scene& s) { s.HoldFirstFile(); }, CloseWhileReportIsUp, 1,
     L"Cannot open file", 0, "", SERVICE_RUNNING, 1},
};

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
  ASSERT_FALSE(HasFatalFailure());
  const auto before = demo.Snapshot();
  const std::size_t starts = demo.ServiceStarts().size();
  if (!scene.toHold.empty()) scene.held.emplace(scene.toHold);

  ProgramRun run(row.arguments, scene.program);
  if (row.during) row.during(run);
  if (row.reported) {
    HWND box = run.WaitForMessageBox(kRunTimeoutMs);
    ASSERT_TRUE(box) << "no report";
    const std::wstring text = Dialog::MessageBoxText(box);
    EXPECT_NE(text.find(row.reported), std::wstring::npos) << std::string(text.begin(), text.end());
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
  ASSERT_TRUE(run.WaitForExit(kRunTimeoutMs)) << "the unattended run did not end";
  EXPECT_EQ(run.ExitCode(), row.exitCode);
  if (!row.reported) EXPECT_FALSE(run.EverShowedMessageBox());

  scene.held.reset();
  demo.ExpectWritten(before, row.value, row.written);
  EXPECT_EQ(demo.StrayFiles(), std::vector<std::wstring>{});
  EXPECT_EQ(demo.ServiceState(), row.serviceAfter);
  EXPECT_EQ(demo.ServiceStarts().size(), starts + row.starts);
  if (row.starts && row.written) EXPECT_EQ(demo.ServiceStarts().back(), row.value);
  if (row.verify) row.verify(scene);
}

INSTANTIATE_TEST_SUITE_P(Rows, UnattendedRun, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

} // namespace
} // namespace fbu::test
