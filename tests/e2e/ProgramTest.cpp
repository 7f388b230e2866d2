// End to end: the real FbConfigUtility.exe in the test prefix, against a demo
// installation below C:\Program Files\Firebird with the stand-in database service
// installed as "FirebirdServerDefaultInstance". The program is started with
// CreateProcessW and its dialog driven with window messages, as a user or an installer
// would drive it.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/DemoInstallation.h"

namespace fbu::test {
namespace {

constexpr DWORD kRunTimeoutMs = 60000;

class ProgramTest : public ::testing::Test {
protected:
  DemoInstallation demo;
};

struct CommandLineCase {
  const char* name;
  std::wstring arguments;
  std::string written;
};

class CommandLineRun : public ProgramTest, public ::testing::WithParamInterface<CommandLineCase> {};

TEST_P(CommandLineRun, WritesEveryInstanceRestartsTheServiceAndCloses)
{
  const CommandLineCase& c = GetParam();
  const auto before = demo.Snapshot();
  const std::size_t startsBefore = demo.ServiceStarts().size();

  ProgramRun run(c.arguments);
  ASSERT_TRUE(run.WaitForExit(kRunTimeoutMs)) << "the dialog did not close after the command-line run";
  EXPECT_EQ(run.ExitCode(), 0u);

  demo.ExpectWritten(before, c.written);
  const auto starts = demo.ServiceStarts();
  ASSERT_EQ(starts.size(), startsBefore + 1) << "one stop and one start per update";
  // The server reads the value without the blanks around it, and exactly one setting.
  const std::size_t digits = c.written.find_first_not_of(' ');
  EXPECT_EQ(starts.back(), c.written.substr(digits, c.written.find_last_not_of(' ') - digits + 1))
      << "the restarted service read the new value";
  EXPECT_EQ(demo.ServiceState(), static_cast<DWORD>(SERVICE_RUNNING));
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandLineRun,
                         ::testing::Values(CommandLineCase{"Number", L"75", "75"},
                                           // Only the first argument counts.
                                           CommandLineCase{"ExtraArguments", L"512 abc 1024", "512"},
                                           // Written exactly as given.
                                           CommandLineCase{"QuotedBlanksKept", L"\" 1024 \" x", " 1024 "},
                                           // Control characters separate arguments, as scripts end lines.
                                           CommandLineCase{"TrailingCarriageReturn", L"1024\r", "1024"},
                                           CommandLineCase{"ControlCharacterSeparates", L"512\x01junk", "512"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgramTest, CommandLineRunStartsAServiceThatWasStopped)
{
  ASSERT_TRUE(demo.StopService());
  const auto before = demo.Snapshot();
  const std::size_t startsBefore = demo.ServiceStarts().size();
  ProgramRun run(L"2048");
  ASSERT_TRUE(run.WaitForExit(kRunTimeoutMs));
  EXPECT_EQ(run.ExitCode(), 0u);
  demo.ExpectWritten(before, "2048");
  ASSERT_EQ(demo.ServiceStarts().size(), startsBefore + 1);
  EXPECT_EQ(demo.ServiceStarts().back(), "2048");
}

TEST_F(ProgramTest, InteractiveUpdatesThroughTheDialog)
{
  const auto original = demo.Snapshot();
  const std::size_t startsBefore = demo.ServiceStarts().size();
  ProgramRun run(L"");
  Dialog dialog = run.WaitForDialog(kRunTimeoutMs);
  ASSERT_TRUE(dialog.window) << "no dialog";

  // Layout at 96 dpi (Wine's default), tab order and the offered items.
  RECT client{};
  GetClientRect(dialog.window, &client);
  EXPECT_EQ(client.right, 289);
  EXPECT_EQ(client.bottom, 78);
  EXPECT_EQ(dialog.ChildBounds(dialog.label), (std::array<int, 4>{24, 18, 112, 13}));
  EXPECT_EQ(dialog.ChildBounds(dialog.button), (std::array<int, 4>{104, 45, 75, 25}));
  EXPECT_EQ(dialog.ChildBounds(dialog.combo), (std::array<int, 4>{142, 18, 113, 21}));
  EXPECT_EQ(GetNextDlgTabItem(dialog.window, nullptr, FALSE), dialog.button);
  EXPECT_EQ(GetNextDlgTabItem(dialog.window, dialog.button, FALSE), dialog.combo);
  EXPECT_EQ(dialog.Text(dialog.label), L"Database  cache pages");
  EXPECT_EQ(dialog.Text(dialog.button), L"Update");
  EXPECT_EQ(dialog.Text(dialog.window), L"Firebird config utility");
  EXPECT_EQ(dialog.Items(), (std::vector<std::wstring>{L"75", L"256", L"512", L"1024", L"2048"}));
  EXPECT_EQ(SendMessageW(dialog.combo, CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_EQ(dialog.Text(dialog.combo), L"");
  // Nothing happens until the button is pressed.
  EXPECT_EQ(demo.Snapshot(), original);
  EXPECT_EQ(demo.ServiceStarts().size(), startsBefore);

  struct Press {
    int item;            // -1: none selected
    std::wstring typed;  // text put into the box after the selection
    const char* written; // what lands in the files; nullptr: refused, nothing touched
  };
  const Press presses[] = {
      {-1, L"", nullptr},                        // nothing chosen
      {-1, L"1000", "1000"},                     // a typed integer
      {3, L"", "1024"},                          // a selected item
      {-1, L"abc", nullptr},                     // typed, not an integer
      {-1, L" 512", " 512"},                     // a leading blank is kept
      {-1, L"512 ", "512 "},                     // and a trailing one
      {-1, L"$200", nullptr},                    // hexadecimal, which the server reads as 0
      {-1, L"+64", nullptr},                     // a sign, likewise
      {-1, std::wstring(100000, L'9'), nullptr}, // far beyond the 32-bit range
  };
  std::size_t starts = startsBefore;
  for (const Press& p : presses) {
    SCOPED_TRACE(std::string(p.typed.begin(), p.typed.begin() + std::min<std::size_t>(p.typed.size(), 20)));
    const auto before = demo.Snapshot();
    SendMessageW(dialog.combo, CB_SETCURSEL, static_cast<WPARAM>(p.item), 0);
    if (p.item < 0) SendMessageW(dialog.combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(p.typed.c_str()));
    if (!p.written) {
      // Refused with a report that names the rule; the dialog stays for another try.
      PostMessageW(dialog.button, BM_CLICK, 0, 0);
      const HWND box = run.WaitForMessageBox(5 * kRunTimeoutMs);
      ASSERT_TRUE(box) << "no report of the refused value";
      const std::wstring text = Dialog::MessageBoxText(box);
      EXPECT_NE(text.find(L"from 1 to 2147483647 in decimal digits"), std::wstring::npos)
          << std::string(text.begin(), text.end());
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      ASSERT_TRUE(dialog.WaitUntilEnabled(kRunTimeoutMs));
      EXPECT_EQ(demo.Snapshot(), before);
      EXPECT_EQ(demo.ServiceStarts().size(), starts);
      continue;
    }
    // Wine's edit control is slow with long texts (seconds here, a minute or more in the
    // emulated 32-bit lane): the limit only has to end a press that never returns.
    if (!dialog.Click(5 * kRunTimeoutMs)) {
      const HWND box = run.WaitForMessageBox(0);
      const std::wstring text = box ? Dialog::MessageBoxText(box) : L"none";
      FAIL() << "the press did not return; message box: " << std::string(text.begin(), text.end());
    }
    demo.ExpectWritten(before, p.written);
    // Every press is one full cycle of its own: one more start of the service.
    const auto log = demo.ServiceStarts();
    ASSERT_EQ(log.size(), ++starts);
    // The service reads the value as a server does, without the blanks around it.
    const std::string written = p.written;
    const std::size_t first = written.find_first_not_of(' ');
    EXPECT_EQ(log.back(), written.substr(first, written.find_last_not_of(' ') - first + 1));
    EXPECT_TRUE(IsWindowEnabled(dialog.button));
  }

  PostMessageW(dialog.window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(run.WaitForExit(kRunTimeoutMs));
  EXPECT_EQ(run.ExitCode(), 0u);
}

TEST_F(ProgramTest, RegistrationSwitchesEndTheProgramWithoutAnUpdate)
{
  const auto before = demo.Snapshot();
  const std::size_t starts = demo.ServiceStarts().size();
  for (const wchar_t* arguments : {L"/regserver", L"-UnRegServer", L"/REGSERVERPERUSER", L"75 -unregserverperuser"}) {
    SCOPED_TRACE(std::string(arguments, arguments + wcslen(arguments)));
    ProgramRun run(arguments);
    ASSERT_TRUE(run.WaitForExit(kRunTimeoutMs));
    EXPECT_EQ(run.ExitCode(), 0u);
    EXPECT_FALSE(run.EverShowedDialog());
  }
  EXPECT_EQ(demo.Snapshot(), before);
  EXPECT_EQ(demo.ServiceStarts().size(), starts) << "the service was touched";
  EXPECT_EQ(demo.ServiceState(), static_cast<DWORD>(SERVICE_RUNNING));
}

TEST_F(ProgramTest, FileErrorIsReportedBeforeAnythingIsTouchedAndRunFails)
{
  // The first configuration file the program meets is held open without sharing, as a
  // running editor or backup tool may hold it: reading it fails before the stop phase.
  const auto order = demo.ConfigFilesInProgramOrder();
  ASSERT_GE(order.size(), 2u);
  const auto before = demo.Snapshot();
  const std::size_t starts = demo.ServiceStarts().size();
  {
    HeldOpenFile held(order.front());
    ProgramRun run(L"4096");
    HWND box = run.WaitForMessageBox(kRunTimeoutMs);
    ASSERT_TRUE(box) << "no error report";
    const std::wstring text = Dialog::MessageBoxText(box);
    EXPECT_NE(text.find(L"Cannot open file \"" + order.front() + L"\""), std::wstring::npos)
        << std::string(text.begin(), text.end());
    // The service was never stopped.
    EXPECT_EQ(demo.ServiceStarts().size(), starts);
    EXPECT_EQ(demo.ServiceState(), static_cast<DWORD>(SERVICE_RUNNING));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(run.WaitForExit(kRunTimeoutMs)) << "an unattended run must end after its error";
    EXPECT_EQ(run.ExitCode(), 1u);
  }
  // The loop ended at the failing file: it and every later file are untouched.
  EXPECT_EQ(demo.Snapshot(), before);
}

TEST_F(ProgramTest, ValueWithLineBreakIsRefusedBeforeAnythingIsTouched)
{
  const auto before = demo.Snapshot();
  const std::size_t starts = demo.ServiceStarts().size();
  ProgramRun run(L"\"75\r\nRemoteServicePort = 1\"");
  HWND box = run.WaitForMessageBox(kRunTimeoutMs);
  ASSERT_TRUE(box);
  EXPECT_NE(Dialog::MessageBoxText(box).find(L"line breaks"), std::wstring::npos);
  EXPECT_EQ(demo.ServiceState(), static_cast<DWORD>(SERVICE_RUNNING)) << "the service was stopped";
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(run.WaitForExit(kRunTimeoutMs));
  EXPECT_EQ(run.ExitCode(), 1u);
  EXPECT_EQ(demo.Snapshot(), before);
  EXPECT_EQ(demo.ServiceStarts().size(), starts);
}

TEST_F(ProgramTest, DialogAnswersDuringTheWaitAndIgnoresASecondPress)
{
  // The stand-in lingers in STOP_PENDING, so the update waits a while for it.
  demo.SetServiceStopDelay(3000);
  const std::size_t starts = demo.ServiceStarts().size();
  ProgramRun run(L"");
  Dialog dialog = run.WaitForDialog(kRunTimeoutMs);
  ASSERT_TRUE(dialog.window);
  SendMessageW(dialog.combo, CB_SETCURSEL, 2, 0); // "512"
  PostMessageW(dialog.button, BM_CLICK, 0, 0);
  ASSERT_TRUE(demo.WaitForServiceState(SERVICE_STOP_PENDING, 10000));
  // Mid-wait: the dialog answers at once, its button is disabled, and a second press
  // does not start a second update.
  DWORD_PTR result = 0;
  EXPECT_NE(SendMessageTimeoutW(dialog.window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result), 0);
  EXPECT_FALSE(IsWindowEnabled(dialog.button));
  SendMessageW(dialog.window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(dialog.button), BN_CLICKED),
               reinterpret_cast<LPARAM>(dialog.button));
  ASSERT_TRUE(demo.WaitForServiceStarts(starts + 1, kRunTimeoutMs));
  ASSERT_TRUE(dialog.WaitUntilEnabled(kRunTimeoutMs));
  Sleep(1000); // room for a second cycle, which must not come
  EXPECT_EQ(demo.ServiceStarts().size(), starts + 1);
  EXPECT_EQ(demo.ServiceStarts().back(), "512");
  PostMessageW(dialog.window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(run.WaitForExit(kRunTimeoutMs));
  EXPECT_EQ(run.ExitCode(), 0u);
}

} // namespace
} // namespace fbu::test
