#pragma once
// Unit SetDBCachePSize: the program's only window, TDBConfigForm, and the rules it
// applies. The rules (which page count an update writes, which arguments are the
// registration switches, which page counts are refused) are portable so that native
// tests reach them; the dialog itself is Win32 and lives in SetDBCachePSize_win.cpp.

#include <vector>

#include "base/Text.h"

#ifdef _WIN32
#include <windows.h>

#include <exception>
#endif

namespace fbu {

inline constexpr char16_t kFormCaption[] = u"Firebird config utility";
inline constexpr char16_t kDefaultCachePages[] = u"256";
inline constexpr const char16_t* kOfferedCachePages[] = {u"75", u"256", u"512", u"1024", u"2048"};

// The page count an update writes, chosen from the first command-line argument (null
// when there is none), the combo box's selected item index (-1 for none) and its text:
// the argument unchanged; else the text when an item is selected and the text is not
// empty; else the text unchanged when it parses as a 32-bit integer (no trimming); else
// "256". The text is never converted to a number and back.
Text ChooseCachePagesValue(const Text* firstArgument, int itemIndex, TextView comboText);

// True for "REGSERVER", "UNREGSERVER", "REGSERVERPERUSER" and "UNREGSERVERPERUSER"
// introduced by "/" or "-", in any case.
bool IsRegistrationSwitch(TextView argument);
// True when any of the arguments (the program name excluded) is such a switch.
bool HasRegistrationSwitch(const std::vector<Text>& arguments);

// Raises Exception when the page count holds CR, LF or NUL: such a value would split
// the key line and inject other settings into every configuration file.
void CheckCachePagesValue(TextView value);

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
  // The code the program ends with: 1 after a command-line run that reported an error.
  int ExitCode() const noexcept { return exitCode_; }

  void FormCreate(void* Sender);
  void FormShow(void* Sender);
  // The update. Raises what the configuration-file operations raise (after the start
  // phase has run) and Exception for a refused page count (before anything is touched).
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
  // errors reported. False when an error was reported.
  bool RunUpdate(void* Sender);
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
};

// The message loop of the main window; returns the code of its WM_QUIT.
int RunMessageLoop(const TDBConfigForm& form);

// The default error report without a form (start-up errors).
void ShowErrorReport(HWND owner, const std::exception& error);

#endif

} // namespace fbu
