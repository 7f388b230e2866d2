#include "e2e/DemoInstallation.h"

#include "support/StandinService.h"
#include "support/standin/StandinControl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

namespace fbu::test {

namespace {

constexpr wchar_t kServiceName[] = L"FirebirdServerDefaultInstance";
constexpr char kKey[] = "DefaultDbCachePages";

struct InstanceFolder {
  const wchar_t* name;
  const char* config; // nullptr: the instance has no firebird.conf
};

// Line-break styles and key mentions of real files: LF ends; the server's own layout, the
// key first named in a header comment, then as a commented setting, then set further
// down in lower case and without a final line break; a fresh installation's file, whose
// header shows an example before the disabled entry that the update activates.
const InstanceFolder kInstances[] = {
    {L"Firebird_2_5", "# Firebird 2.5\r\n#    DefaultDbCachePages = 2048   # This is an end-of-line comment\r\n"
                      "#DefaultDbCachePages = 2048\r\n"},
    {L"Firebird_3_0", "# Firebird 3\n#\nDefaultDbCachePages = 75\nRemoteServicePort = 3050\n"},
    {L"Firebird_4_0", "# Firebird 4\r\n# Set DefaultDbCachePages below, for example DefaultDbCachePages = 2048.\r\n"
                      "#DefaultDbCachePages = 2048\r\nServerMode = Super\r\n  defaultdbcachepages = 1024"},
    {L"Firebird_5_0", nullptr},
};
constexpr wchar_t kServiceInstance[] = L"Firebird_4_0";
constexpr wchar_t kHiddenFolder[] = L"Backup";
constexpr char kHiddenConfig[] = "DefaultDbCachePages = 9999\r\n";

// Whether a line sets the key as the server reads it: blanks, the key in any case,
// blanks, '='.
bool SetsKey(const std::string& line)
{
  const std::size_t name = line.find_first_not_of(" \t");
  if (name == std::string::npos || line.size() - name < sizeof kKey - 1 ||
      _strnicmp(line.c_str() + name, kKey, sizeof kKey - 1) != 0)
    return false;
  const std::size_t eq = line.find_first_not_of(" \t", name + sizeof kKey - 1);
  return eq != std::string::npos && line[eq] == '=';
}

// What the program makes of a file: lines split at CR LF, CR or LF, the first line that
// sets the key (else the first "#" directly followed by a setting, else the first that
// mentions it) replaced, every line ended by CR LF. Unchanged when nothing matches.
std::string Rewritten(const std::string& bytes, const std::string& value)
{
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r' && bytes[i] != '\n') continue;
    lines.push_back(bytes.substr(start, i - start));
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < bytes.size()) lines.push_back(bytes.substr(start));
  auto match = std::find_if(lines.begin(), lines.end(), SetsKey);
  if (match == lines.end())
    match = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
      return line.starts_with('#') && line.size() > 1 && line[1] != ' ' && line[1] != '\t' && SetsKey(line.substr(1));
    });
  if (match == lines.end())
    match = std::find_if(lines.begin(), lines.end(),
                         [](const std::string& line) { return line.find(kKey) != std::string::npos; });
  if (match == lines.end()) return bytes;
  *match = std::string(kKey) + " = " + value;
  std::string out;
  for (const auto& line : lines) out += line + "\r\n";
  return out;
}

bool Exists(const std::wstring& path)
{
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WaitUntil(DWORD timeoutMs, const auto& condition)
{
  const ULONGLONG end = GetTickCount64() + ScaledMs(timeoutMs);
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() > end) return false;
    Sleep(25);
  }
}

std::string Narrow(const std::wstring& text)
{
  return std::string(text.begin(), text.end());
}

} // namespace

std::wstring EnvironmentValue(const wchar_t* name)
{
  wchar_t buffer[32768];
  const DWORD n = GetEnvironmentVariableW(name, buffer, 32768);
  return n && n < 32768 ? std::wstring(buffer, n) : std::wstring();
}

std::wstring BuiltFile(const wchar_t* variable)
{
  std::wstring path = EnvironmentValue(variable);
  if (path.empty()) throw std::runtime_error("environment variable not set: " + Narrow(variable));
  // Wine maps the Unix root to drive Z:.
  for (auto& c : path)
    if (c == L'/') c = L'\\';
  return L"Z:" + path;
}

DemoInstallation::DemoInstallation()
{
  // "ProgramFiles(86)" is empty under wine64, so the program looks where "ProgramFiles" points.
  root_ = EnvironmentValue(L"ProgramFiles") + L"\\Firebird";
  if (Exists(root_)) throw std::runtime_error("a Firebird folder is already present: " + Narrow(root_));
  CreateDirectoryW(root_.c_str(), nullptr);
  for (const auto& instance : kInstances) {
    const std::wstring folder = root_ + L"\\" + instance.name;
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"\\bin").c_str(), nullptr);
    if (instance.config) WriteFileBytes(folder + L"\\firebird.conf", instance.config);
  }
  const std::wstring hidden = root_ + L"\\" + kHiddenFolder;
  CreateDirectoryW(hidden.c_str(), nullptr);
  hiddenConfig_ = hidden + L"\\firebird.conf";
  WriteFileBytes(hiddenConfig_, kHiddenConfig);
  SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);

  serviceInstance_ = root_ + L"\\" + kServiceInstance;
  const std::wstring exe = serviceInstance_ + L"\\bin\\fbu_standin_service.exe";
  if (!CopyFileW(BuiltFile(L"FBU_STANDIN").c_str(), exe.c_str(), FALSE))
    throw std::runtime_error("cannot copy the stand-in service");
  service_.emplace(kServiceName, L"\"" + exe + L"\"");
  if (!service_->Start() || !service_->WaitForState(SERVICE_RUNNING))
    throw std::runtime_error("the stand-in service does not start");
}

DemoInstallation::~DemoInstallation()
{
  // A test may have told the stand-in to refuse the stop or to fail its start.
  if (service_) {
    SetServiceControl("");
    SendServiceControl(standin::kReloadControl);
  }
  others_.clear();  // Guardians and other instances go first
  service_.reset(); // stopped and deleted before its executable is removed
  RemoveTree(root_);
}

bool DemoInstallation::SendServiceControl(DWORD control)
{
  UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  UniqueScHandle service(manager ? OpenServiceW(manager.get(), kServiceName, SERVICE_ALL_ACCESS) : nullptr);
  SERVICE_STATUS status{};
  return service && ControlService(service.get(), control, &status);
}

bool DemoInstallation::StartService()
{
  return service_ && service_->Start();
}

void DemoInstallation::RemoveService()
{
  service_.reset();
}

void DemoInstallation::AddService(const std::wstring& name, const std::wstring& instance, bool inBin,
                                  const std::wstring& switches, bool start)
{
  const std::wstring folder = root_ + L"\\" + instance + (inBin ? L"\\bin" : L"");
  const std::wstring exe = folder + L"\\" + name + L".exe";
  if (!CopyFileW(BuiltFile(L"FBU_STANDIN").c_str(), exe.c_str(), FALSE))
    throw std::runtime_error("cannot copy the stand-in service");
  auto& service = *others_.emplace_back(std::make_unique<ScopedService>(name, L"\"" + exe + L"\" " + switches));
  if (start && (!service.Start() || !service.WaitForState(SERVICE_RUNNING)))
    throw std::runtime_error("the stand-in service does not start: " + Narrow(name));
}

DWORD DemoInstallation::ServiceStateOf(const std::wstring& name) const
{
  for (const auto& other : others_)
    if (other->Name() == name) return other->State();
  return name == kServiceName ? ServiceState() : 0;
}

std::vector<std::string> DemoInstallation::StartsIn(const std::wstring& instance) const
{
  return StandinStartValues(root_ + L"\\" + instance);
}

void DemoInstallation::RemoveConfigFiles()
{
  for (const auto& instance : kInstances) DeleteFileW((root_ + L"\\" + instance.name + L"\\firebird.conf").c_str());
}

std::map<std::wstring, std::string> DemoInstallation::Snapshot() const
{
  std::map<std::wstring, std::string> files;
  for (const auto& instance : kInstances) {
    const std::wstring path = root_ + L"\\" + instance.name + L"\\firebird.conf";
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
      files[path] = ReadFileBytes(path);
  }
  files[hiddenConfig_] = ReadFileBytes(hiddenConfig_);
  return files;
}

void DemoInstallation::ExpectWritten(const std::map<std::wstring, std::string>& before, const std::string& value,
                                     std::size_t count) const
{
  const auto now = Snapshot();
  ASSERT_EQ(now.size(), before.size());
  const auto order = ConfigFilesInProgramOrder();
  for (const auto& [path, bytes] : before) {
    SCOPED_TRACE(Narrow(path));
    const auto at = std::find(order.begin(), order.end(), path);
    const bool written = at != order.end() && static_cast<std::size_t>(at - order.begin()) < count;
    EXPECT_EQ(now.at(path), written ? Rewritten(bytes, value) : bytes);
  }
}

std::vector<std::wstring> DemoInstallation::StrayFiles() const
{
  // Anything in an instance folder that the installation did not put there.
  std::vector<std::wstring> stray;
  for (const auto& instance : kInstances) {
    const std::wstring folder = root_ + L"\\" + instance.name;
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(FindFirstFileW((folder + L"\\*.*").c_str(), &data));
    if (!find) continue;
    do {
      const std::wstring name = data.cFileName;
      // Besides the installation's own files: a stand-in installed in the folder itself,
      // and a databases.conf a row writes.
      const bool own = name == L"." || name == L".." || name == L"bin" || name == L"firebird.conf" ||
                       name == L"standin-starts.log" || name == L"databases.conf" || name.ends_with(L".exe");
      if (!own) stray.push_back(folder + L"\\" + name);
    } while (FindNextFileW(find.get(), &data));
  }
  return stray;
}

void DemoInstallation::SetServiceControl(const std::string& text)
{
  // Read by the stand-in at each start and each control.
  WriteFileBytes(serviceInstance_ + L"\\bin\\standin-control.txt", text);
}

std::vector<std::wstring> DemoInstallation::ConfigFilesInProgramOrder() const
{
  std::vector<std::wstring> files;
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(FindFirstFileW((root_ + L"\\*.*").c_str(), &data));
  if (!find) return files;
  do {
    if (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) continue;
    const std::wstring path = root_ + L"\\" + data.cFileName + L"\\firebird.conf";
    const DWORD attrs = GetFileAttributesW(path.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(path);
  } while (FindNextFileW(find.get(), &data));
  return files;
}

DWORD DemoInstallation::ServiceState() const
{
  return service_ ? service_->State() : 0;
}

bool DemoInstallation::WaitForServiceState(DWORD state, DWORD timeoutMs) const
{
  return service_->WaitForState(state, timeoutMs);
}

bool DemoInstallation::StopService()
{
  return service_->StopAndWait();
}

std::vector<std::string> DemoInstallation::ServiceStarts() const
{
  return StandinStartValues(serviceInstance_);
}

void DemoInstallation::SetServiceStopDelay(DWORD ms)
{
  SetServiceControl("stop-delay=" + std::to_string(ms) + "\n");
}

bool DemoInstallation::WaitForServiceStarts(std::size_t count, DWORD timeoutMs) const
{
  return WaitUntil(timeoutMs, [&] { return ServiceStarts().size() >= count; });
}

std::array<int, 4> Dialog::ChildBounds(HWND child) const
{
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::wstring Dialog::Text(HWND window)
{
  // WM_GETTEXT is carried across processes; GetWindowTextW would not ask the control.
  // A program just started may take seconds to answer on a slow (emulated) machine.
  constexpr DWORD kAnswerMs = 30000;
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, ScaledMs(kAnswerMs), &length))
    return L"<no answer>";
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_NORMAL,
                      ScaledMs(kAnswerMs), &copied);
  text.resize(copied);
  return text;
}

std::vector<std::wstring> Dialog::Items() const
{
  std::vector<std::wstring> items;
  const auto count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const auto length = SendMessageW(combo, CB_GETLBTEXTLEN, i, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto copied = SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    items.push_back(text);
  }
  return items;
}

bool Dialog::Click(DWORD timeoutMs) const
{
  // The click handler runs the whole update before the message returns.
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, ScaledMs(timeoutMs), &result) != 0;
}

bool Dialog::WaitUntilEnabled(DWORD timeoutMs) const
{
  return WaitUntil(timeoutMs, [&] { return IsWindowEnabled(button) != FALSE; });
}

std::wstring Dialog::MessageBoxText(HWND box)
{
  // The message box shows its text in a static control with the identifier 0xFFFF.
  return Text(GetDlgItem(box, 0xFFFF));
}

ProgramRun::ProgramRun(const std::wstring& arguments, const wchar_t* programVariable, int show,
                       const std::wstring& output)
{
  const std::wstring program = BuiltFile(programVariable);
  std::wstring commandLine = L"\"" + program + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  if (show >= 0) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(show);
  }
  PROCESS_INFORMATION info{};
  SECURITY_ATTRIBUTES inherited{sizeof(inherited), nullptr, TRUE};
  UniqueFileHandle outputFile;
  if (!output.empty()) {
    outputFile.reset(CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = outputFile.get();
  }
  // Wine now and then fails a start with ERROR_INTERNAL_ERROR while its server is busy
  // with the services of the row before; a few more tries, a moment apart, get through.
  for (int attempt = 1;; ++attempt) {
    if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, outputFile ? TRUE : FALSE, 0, nullptr,
                       nullptr, &startup, &info))
      break;
    const DWORD error = GetLastError();
    if (error != ERROR_INTERNAL_ERROR || attempt == 3)
      throw std::runtime_error("CreateProcessW failed: " + std::to_string(error));
    Sleep(200);
  }
  CloseHandle(info.hThread);
  process_.reset(info.hProcess);
  processId_ = info.dwProcessId;
}

ProgramRun::~ProgramRun()
{
  if (WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.get(), 99);
    WaitForSingleObject(process_.get(), ScaledMs(10000));
  }
}

bool ProgramRun::WaitForExit(DWORD timeoutMs)
{
  return WaitUntil(timeoutMs, [&] {
    FindWindowOfProcess(false);
    FindWindowOfProcess(true);
    return WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0;
  });
}

void ProgramRun::Kill()
{
  TerminateProcess(process_.get(), 99);
  WaitForSingleObject(process_.get(), ScaledMs(10000));
}

DWORD ProgramRun::ExitCode() const
{
  DWORD code = 0;
  GetExitCodeProcess(process_.get(), &code);
  return code;
}

namespace {

struct WindowSearch {
  DWORD processId;
  bool owned;
  HWND found;
};

// An EnumWindows callback: stdcall on 32-bit Windows, which a lambda cannot convert to.
BOOL CALLBACK MatchDialogOfProcess(HWND window, LPARAM param)
{
  auto* s = reinterpret_cast<WindowSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  wchar_t cls[32] = {};
  GetClassNameW(window, cls, 32);
  if (pid != s->processId || std::wstring(cls) != L"#32770" || !IsWindowVisible(window)) return TRUE;
  if ((GetWindow(window, GW_OWNER) != nullptr) != s->owned) return TRUE;
  s->found = window;
  return FALSE;
}

} // namespace

HWND ProgramRun::FindWindowOfProcess(bool owned)
{
  WindowSearch search{processId_, owned, nullptr};
  EnumWindows(MatchDialogOfProcess, reinterpret_cast<LPARAM>(&search));
  if (search.found) sawWindow_ = true;
  if (search.found && owned) sawBox_ = true;
  return search.found;
}

Dialog ProgramRun::WaitForDialog(DWORD timeoutMs)
{
  Dialog dialog;
  WaitUntil(timeoutMs, [&] { return (dialog.window = FindWindowOfProcess(false)) != nullptr; });
  if (!dialog.window) return dialog;
  // Visible is not yet answering: until the program first waits for input, a message sent
  // with SMTO_ABORTIFHUNG may find it "hung" on a slow machine (the emulated 32-bit lane).
  WaitForInputIdle(process_.get(), ScaledMs(timeoutMs));
  dialog.button = FindWindowExW(dialog.window, nullptr, L"Button", nullptr);
  dialog.combo = FindWindowExW(dialog.window, nullptr, L"ComboBox", nullptr);
  dialog.label = FindWindowExW(dialog.window, nullptr, L"Static", nullptr);
  return dialog;
}

HWND ProgramRun::WaitForMessageBox(DWORD timeoutMs)
{
  HWND box = nullptr;
  WaitUntil(timeoutMs, [&] {
    box = FindWindowOfProcess(true);
    return box != nullptr || WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0;
  });
  return box;
}

HeldOpenFile::HeldOpenFile(const std::wstring& path)
    : file_(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
{
  if (!file_) throw std::runtime_error("cannot hold the file open");
}

} // namespace fbu::test
