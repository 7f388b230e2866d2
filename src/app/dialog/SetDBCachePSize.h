#pragma once
// Unit SetDBCachePSize: the program's only window, TDBConfigForm. Which page count it
// asks an update for is portable, so that native tests reach it; the dialog itself is
// Win32 and lives in SetDBCachePSize_win.cpp.

#include <vector>

#include "base/Text.h"

#ifdef _WIN32
#include <windows.h>

#include <exception>
#include <functional>
#include <optional>

#include "app/update/CallerOutput.h"
#endif

namespace fbu {

inline constexpr char16_t kFormCaption[] = u"Firebird config utility";
inline constexpr const char16_t* kOfferedCachePages[] = {u"75", u"256", u"512", u"1024", u"2048"};

// The page count an update is asked for: the first command-line argument (null when
// there is none) unchanged, else the combo box's text, selected or typed. Both then pass
// the same checks (CheckPageCountArgument, CheckCacheFitsMemory); nothing stands in for a
// refused text. The text is never converted to a number and back.
Text ChooseCachePagesValue(const Text* firstArgument, TextView comboText);

#ifdef _WIN32

// The dialog. One instance, DBConfigForm, is the program's main window. Arguments are
// the command-line arguments after the program name; any argument selects the
// command-line run, which happens once, at the first showing, and then closes the form.
class TDBConfigForm {
public:
  explicit TDBConfigForm(std::vector<Text> arguments);
  ~TDBConfigForm();
  TDBConfigForm(const TDBConfigForm&) = delete;
  TDBConfigForm& operator=(const TDBConfigForm&) = delete;

  // Creates the (still hidden) window; FormCreate runs during creation. Raises EOSError
  // when the window cannot be made.
  void Create(HINSTANCE instance);
  // Shows the window; its first showing runs FormShow's command-line run.
  void Show(int showCommand);
  HWND Handle() const noexcept { return window_; }
  // The code the program ends with: after a command-line run, the UpdateExitCode of its
  // outcome; 0 otherwise.
  int ExitCode() const noexcept { return exitCode_; }

  void FormCreate(void* Sender);
  void FormShow(void* Sender);
  // The update of the chosen page count (RunCacheUpdate on this machine). Raises
  // EUpdateIncomplete with the report and exit code when it did not fully take effect;
  // the lines it tells are kept for the caller.
  void Button1Click(void* Sender);

  // The default report of an error escaping an event handler: a message box with the
  // error's text, owned by the form when it exists.
  void HandleException(const std::exception& error) const;

private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void LayOutControls();
  void GetCachePagesValue(Text& Value) const;
  // Runs Button1Click as an event: guarded against re-entry, Button1 disabled meanwhile,
  // errors reported.
  void RunUpdate(void* Sender);
  // An unattended run's outcome is kept first, so that nothing which ends the loop
  // meanwhile (a close request while the report is up) can lose it.
  void ReportOutcome(const std::exception& error, int exitCode);
  // Writes an unattended run's lines and its report (when not empty) to the output of
  // the tool that started the program, where there is one.
  void TellCaller(const Text& report);
  void RunCommandLine();
  // Dispatches waiting messages during the service waits, so the form stays responsive.
  void PumpMessages();
  void Close();

  std::vector<Text> arguments_;
  HWND window_ = nullptr;
  HWND Label1 = nullptr;
  HWND ComboBox1 = nullptr;
  HWND Button1 = nullptr;
  bool Done = false;
  bool busy_ = false;
  bool closeWhenIdle_ = false;
  bool quitSeen_ = false;
  int quitCode_ = 0;
  int exitCode_ = 0;
  std::vector<Text> runLines_; // what the update did, a line per file and the service
  std::optional<CallerOutput> caller_;
};

// The message loop of the main window; returns the code of its WM_QUIT.
int RunMessageLoop(const TDBConfigForm& form);

// The default error report without a form (start-up errors).
void ShowErrorReport(HWND owner, const std::exception& error);

// Whether this process's window station is visible, so that a message box can be seen
// and answered; services and deployment tools may run the program where it is not. The
// test build can make it false (TestSeams.h), a case Wine never has.
bool DesktopIsVisible();

#endif

} // namespace fbu
