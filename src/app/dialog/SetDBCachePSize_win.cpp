#include "app/dialog/SetDBCachePSize.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>

#include "app/update/CacheUpdate.h"
#include "app/update/MachinePorts.h"
#include "app/program/TestSeams.h"
#include "app/update/PageCount.h"
#include "app/update/UpdateOutcome.h"
#include "base/Exceptions.h"
#include "base/StringList.h"

namespace fbu {

namespace {

constexpr int kButton1Id = 1001;
constexpr int kComboBox1Id = 1002;
constexpr int kLabel1Id = 1003;
// Posted by the first showing so that the command-line run starts once the form is on
// screen, with its own message handling ready for the waits.
constexpr UINT kRunCommandLineMessage = WM_APP + 1;

constexpr DWORD kFormStyle = WS_OVERLAPPEDWINDOW | DS_SETFONT | WS_CLIPCHILDREN;
// WS_EX_APPWINDOW: the form owns the application's taskbar button.
constexpr DWORD kFormExStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;

// Layout at 96 pixels per inch: left, top, width, height.
struct Bounds {
  int left, top, width, height;
};
constexpr int kClientWidth = 289;
constexpr int kClientHeight = 78;
constexpr Bounds kLabel1Bounds{24, 18, 112, 13};
constexpr Bounds kComboBox1Bounds{142, 18, 113, 21};
constexpr Bounds kButton1Bounds{104, 45, 75, 25};
// Room for the five offered items when the list drops down.
constexpr int kComboListHeight = 100;

// An in-memory dialog template (DLGTEMPLATE and its DLGITEMTEMPLATEs), so the dialog
// needs no resource in whichever module links this unit. Positions are left at zero:
// WM_INITDIALOG places everything in pixels, scaled for the display.
class DialogTemplate {
public:
  DialogTemplate(DWORD style, DWORD exStyle, std::u16string_view caption, WORD pointSize, std::u16string_view font)
  {
    AddDword(style);
    AddDword(exStyle);
    countAt_ = words_.size();
    words_.push_back(0);
    // x of 0x8000 (CW_USEDEFAULT in 16 bits) asks for the default window placement.
    words_.push_back(0x8000);
    words_.push_back(0);
    words_.push_back(200);
    words_.push_back(50);
    words_.push_back(0); // no menu
    words_.push_back(0); // the standard dialog class
    AddText(caption);
    words_.push_back(pointSize);
    AddText(font);
  }

  void AddItem(WORD classAtom, DWORD style, WORD id, std::u16string_view text)
  {
    if (words_.size() % 2) words_.push_back(0); // items start on a DWORD boundary
    AddDword(style | WS_CHILD | WS_VISIBLE);
    AddDword(0);
    for (int i = 0; i < 4; ++i) words_.push_back(0);
    words_.push_back(id);
    words_.push_back(0xFFFF);
    words_.push_back(classAtom);
    AddText(text);
    words_.push_back(0); // no creation data
    ++words_[countAt_];
  }

  const DLGTEMPLATE* Get() const noexcept { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
  void AddDword(DWORD value)
  {
    words_.push_back(LOWORD(value));
    words_.push_back(HIWORD(value));
  }
  void AddText(std::u16string_view text)
  {
    words_.insert(words_.end(), text.begin(), text.end());
    words_.push_back(0);
  }

  std::vector<WORD> words_;
  std::size_t countAt_ = 0;
};

constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kStaticAtom = 0x0082;
constexpr WORD kComboBoxAtom = 0x0085;

int ScreenDpi()
{
  HDC dc = GetDC(nullptr);
  const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc) ReleaseDC(nullptr, dc);
  return dpi > 0 ? dpi : 96;
}

Text WindowText(HWND window)
{
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, buffer.data(), length + 1);
  return FromWide(buffer.data(), static_cast<std::size_t>(copied > 0 ? copied : 0));
}

} // namespace

bool DesktopIsVisible()
{
  if (const auto forced = seams::DesktopVisibility()) return *forced;
  // Session 0 is the services' session: nobody there can see or answer a box.
  DWORD session = 0;
  if (ProcessIdToSessionId(GetCurrentProcessId(), &session) && session == 0) return false;
  USEROBJECTFLAGS flags{};
  DWORD needed = 0;
  HWINSTA station = GetProcessWindowStation();
  // When the station cannot be asked, a box that may hang beats a report nobody sees.
  if (!station || !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed)) return true;
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

void ShowErrorReport(HWND owner, const std::exception& error)
{
  const Text text = ExceptionText(error);
  MessageBoxW(owner, WidePtr(text), reinterpret_cast<const wchar_t*>(kFormCaption), MB_OK | MB_ICONERROR);
}

// Until an unattended run has finished, nothing it could end with says "done".
TDBConfigForm::TDBConfigForm(std::vector<Text> arguments)
    : arguments_(std::move(arguments)), exitCode_(arguments_.empty() ? kUpdateDone : kUpdateFailed)
{
}

TDBConfigForm::~TDBConfigForm()
{
  if (window_) DestroyWindow(window_);
}

void TDBConfigForm::Create(HINSTANCE instance)
{
  DialogTemplate form(kFormStyle, kFormExStyle, kFormCaption, 8, u"Tahoma");
  // Creation order is the tab order: Button1 (0) ahead of ComboBox1 (1).
  form.AddItem(kButtonAtom, BS_PUSHBUTTON | WS_TABSTOP, kButton1Id, u"Update");
  form.AddItem(kComboBoxAtom, CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, kComboBox1Id, u"");
  form.AddItem(kStaticAtom, SS_LEFTNOWORDWRAP | SS_NOPREFIX, kLabel1Id, u"Database  cache pages");
  HWND window = CreateDialogIndirectParamW(instance, form.Get(), nullptr, &TDBConfigForm::DialogProc,
                                           reinterpret_cast<LPARAM>(this));
  if (!window) RaiseOSError(GetLastError());
}

void TDBConfigForm::Show(int showCommand)
{
  ShowWindow(window_, showCommand);
  UpdateWindow(window_);
  // A start hidden (or in some other show state) may bring no WM_SHOWWINDOW: the first
  // showing happens here all the same, once, as FormShow keeps track.
  FormShow(nullptr);
}

INT_PTR CALLBACK TDBConfigForm::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message == WM_INITDIALOG) SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
  auto* form = reinterpret_cast<TDBConfigForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!form) return FALSE;
  if (message == WM_INITDIALOG) form->window_ = window;
  // Nothing may unwind through the system's code: report whatever escapes here.
  try {
    return form->HandleMessage(message, wParam, lParam);
  } catch (const std::exception& error) {
    form->HandleException(error);
  } catch (...) {
    form->HandleException(Exception(u"Unknown error"));
  }
  return TRUE;
}

INT_PTR TDBConfigForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
  switch (message) {
  case WM_INITDIALOG: {
    Label1 = GetDlgItem(window_, kLabel1Id);
    ComboBox1 = GetDlgItem(window_, kComboBox1Id);
    Button1 = GetDlgItem(window_, kButton1Id);
    for (const char16_t* item : kOfferedCachePages)
      SendMessageW(ComboBox1, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    LayOutControls();
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window_, GWLP_HINSTANCE));
    if (HICON icon = LoadIconW(instance, L"MAINICON")) {
      SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
      SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
    FormCreate(nullptr);
    return TRUE; // focus goes to the first control in the tab order, Button1
  }
  case WM_SHOWWINDOW:
    if (wParam) FormShow(nullptr);
    return FALSE;
  case kRunCommandLineMessage: RunCommandLine(); return TRUE;
  case WM_COMMAND:
    if (LOWORD(wParam) == kButton1Id && HIWORD(wParam) == BN_CLICKED) {
      RunUpdate(reinterpret_cast<void*>(lParam));
      return TRUE;
    }
    // Enter and Escape reach the dialog as IDOK and IDCANCEL; the form has neither a
    // default nor a cancel button, so both do nothing.
    return LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL;
  case WM_CLOSE: Close(); return TRUE;
  case WM_DESTROY: PostQuitMessage(exitCode_); return FALSE;
  case WM_NCDESTROY: window_ = Label1 = ComboBox1 = Button1 = nullptr; return FALSE;
  default: return FALSE;
  }
}

void TDBConfigForm::LayOutControls()
{
  const int dpi = ScreenDpi();
  auto scale = [dpi](int pixels) { return MulDiv(pixels, dpi, 96); };
  auto place = [&](HWND control, const Bounds& b, int extraHeight) {
    MoveWindow(control, scale(b.left), scale(b.top), scale(b.width), scale(b.height) + extraHeight, FALSE);
  };
  place(Label1, kLabel1Bounds, 0);
  place(Button1, kButton1Bounds, 0);
  // A drop-down combo box's window height includes its list; the closed box's own
  // height is set through the height of its selection field.
  place(ComboBox1, kComboBox1Bounds, scale(kComboListHeight));
  RECT closed{};
  GetWindowRect(ComboBox1, &closed);
  const LRESULT field = SendMessageW(ComboBox1, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
  if (field != CB_ERR) {
    const int wanted = scale(kComboBox1Bounds.height);
    const int now = static_cast<int>(closed.bottom - closed.top);
    if (now != wanted && field + (wanted - now) > 0)
      SendMessageW(ComboBox1, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field + (wanted - now));
  }

  // Client size: start from the frame the system says the style has, then correct by
  // what the window really got (window managers may add or take frame pixels).
  const int width = scale(kClientWidth);
  const int height = scale(kClientHeight);
  RECT frame{0, 0, width, height};
  AdjustWindowRectEx(&frame, kFormStyle & ~DS_SETFONT, FALSE, kFormExStyle);
  int outerWidth = frame.right - frame.left;
  int outerHeight = frame.bottom - frame.top;
  for (int attempt = 0; attempt < 2; ++attempt) {
    SetWindowPos(window_, nullptr, 0, 0, outerWidth, outerHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client{};
    GetClientRect(window_, &client);
    if (client.right == width && client.bottom == height) break;
    outerWidth += width - client.right;
    outerHeight += height - client.bottom;
  }
}

void TDBConfigForm::FormCreate(void* /*Sender*/)
{
  Done = false;
}

void TDBConfigForm::FormShow(void* /*Sender*/)
{
  if (Done) return;
  Done = true;
  if (!arguments_.empty()) PostMessageW(window_, kRunCommandLineMessage, 0, 0);
}

void TDBConfigForm::GetCachePagesValue(Text& Value) const
{
  const Text* firstArgument = arguments_.empty() ? nullptr : &arguments_.front();
  Value = ChooseCachePagesValue(firstArgument, WindowText(ComboBox1));
}

void TDBConfigForm::Button1Click(void* /*Sender*/)
{
  Text Value;
  GetCachePagesValue(Value);
  MachineConfigFiles files;
  MachineServices services;
  SteadyWaitClock clock;
  UpdateSettings settings;
  settings.memoryBytes = PhysicalMemoryBytes();
  settings.pump = [this] { PumpMessages(); };
  RunResult run = RunCacheUpdate(Value, files, services, clock, settings);
  runLines_ = std::move(run.lines);
  if (run.exitCode != kUpdateDone) throw EUpdateIncomplete(run.report, run.exitCode);
}

void TDBConfigForm::TellCaller(const Text& report)
{
  if (arguments_.empty()) return;
  if (!caller_) caller_.emplace();
  for (const Text& line : runLines_) caller_->WriteLine(line);
  if (!report.empty()) caller_->WriteLine(report);
}

void TDBConfigForm::ReportOutcome(const std::exception& error, int exitCode)
{
  const bool unattended = !arguments_.empty();
  if (unattended) exitCode_ = exitCode;
  TellCaller(ExceptionText(error));
  // Nobody could answer a box on an invisible desktop, and the run would hang for ever.
  if (unattended && !DesktopIsVisible()) return;
  HandleException(error);
}

void TDBConfigForm::RunUpdate(void* Sender)
{
  // One update at a time: the waits dispatch messages, and a click that arrives
  // meanwhile must not start a second update inside the first.
  if (busy_) return;
  busy_ = true;
  HWND focused = GetFocus();
  EnableWindow(Button1, FALSE);
  runLines_.clear();
  try {
    Button1Click(Sender);
    if (!arguments_.empty()) exitCode_ = kUpdateDone;
    TellCaller({});
  } catch (const EUpdateIncomplete& incomplete) {
    ReportOutcome(incomplete, incomplete.ExitCode);
  } catch (const std::exception& error) {
    ReportOutcome(error, kUpdateFailed);
  } catch (...) {
    ReportOutcome(Exception(u"Unknown error"), kUpdateFailed);
  }
  if (Button1) {
    EnableWindow(Button1, TRUE);
    if (focused == Button1) SetFocus(Button1);
  }
  busy_ = false;
  if (quitSeen_) {
    quitSeen_ = false;
    PostQuitMessage(quitCode_);
  }
  if (closeWhenIdle_) {
    closeWhenIdle_ = false;
    Close();
  }
}

void TDBConfigForm::RunCommandLine()
{
  // An unattended run ends either way; its exit code tells a script what happened.
  RunUpdate(nullptr);
  Close();
}

void TDBConfigForm::PumpMessages()
{
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Kept for the main loop, which must see it once the update is over.
      quitSeen_ = true;
      quitCode_ = static_cast<int>(msg.wParam);
      continue;
    }
    if (!window_ || !IsDialogMessageW(window_, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

void TDBConfigForm::Close()
{
  if (busy_) {
    closeWhenIdle_ = true; // the update in progress finishes first
    return;
  }
  if (window_) DestroyWindow(window_);
}

void TDBConfigForm::HandleException(const std::exception& error) const
{
  ShowErrorReport(window_ && IsWindow(window_) ? window_ : nullptr, error);
}

int RunMessageLoop(const TDBConfigForm& form)
{
  MSG msg{};
  for (;;) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(msg.wParam);
    if (got == -1) return 1;
    if (!form.Handle() || !IsDialogMessageW(form.Handle(), &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

} // namespace fbu
