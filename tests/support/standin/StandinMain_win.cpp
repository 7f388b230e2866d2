// The stand-in database service: a real own-process Win32 service that only reports the
// states a test asks for (through the control file next to it) and appends, at each
// start, the DefaultDbCachePages setting it finds in its instance's firebird.conf and the
// cache the server would make of it (ServerReading.h).
#include <windows.h>

#include <shellapi.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "support/standin/ServerReading.h"
#include "support/standin/StandinControl.h"

namespace {

namespace standin = fbu::test::standin;

constexpr DWORD kPendingWaitHintMs = 1000;
constexpr DWORD kPendingSliceMs = 100; // the check point moves on this often while pending
constexpr DWORD kGuardianPollMs = 100; // a Guardian looks at its server this often

struct Settings {
  DWORD startDelay = 0;
  DWORD stopDelay = 0;
  DWORD pauseDelay = 0;
  DWORD continueDelay = 0;
  bool acceptStop = true;
  DWORD failStart = 0;     // an exit code: the next start ends in STOPPED with it
  bool stopStalls = false; // STOP_PENDING holds its check point still
};

std::wstring ExeFolder()
{
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path.substr(0, path.find_last_of(L"\\/"));
}

// The installation root: the executable's folder, or the parent of a "bin" folder (as
// the 2.5 server lives in bin and later ones in the root).
std::wstring InstanceFolder()
{
  const std::wstring folder = ExeFolder();
  const std::size_t cut = folder.find_last_of(L"\\/");
  if (cut == std::wstring::npos || _wcsicmp(folder.c_str() + cut + 1, L"bin") != 0) return folder;
  return folder.substr(0, cut);
}

// "-guardian <server service>" on the command line: the stand-in is that server's
// Guardian, which records no start, starts (or adopts) the server when it starts, asks it
// to stop when it is stopped, and ends when its server stops.
std::wstring GuardedServer()
{
  int count = 0;
  wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
  std::wstring server;
  for (int i = 1; words && i + 1 < count; ++i)
    if (std::wstring(words[i]) == L"-guardian") server = words[i + 1];
  if (words) LocalFree(words);
  return server;
}

// One call on another service: its state after asking it to start (start), to stop
// (control SERVICE_CONTROL_STOP) or nothing; 0 when it cannot be reached.
DWORD OnService(const std::wstring& name, bool start = false, DWORD control = 0)
{
  const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  const SC_HANDLE service =
      manager ? OpenServiceW(manager, name.c_str(), SERVICE_QUERY_STATUS | SERVICE_START | SERVICE_STOP) : nullptr;
  SERVICE_STATUS status{};
  if (service && start) StartServiceW(service, 0, nullptr); // one that runs already is adopted
  if (service && control) ControlService(service, control, &status);
  const bool known = service && QueryServiceStatus(service, &status);
  if (service) CloseServiceHandle(service);
  if (manager) CloseServiceHandle(manager);
  return known ? status.dwCurrentState : 0;
}

DWORD ServiceStateOf(const std::wstring& name)
{
  return OnService(name);
}

// How long a Guardian waits for its server to finish a stop, and then to run.
constexpr DWORD kGuardianWaitMs = 30000;

// A Guardian's start, as the real one does it: it waits for a stop of its server in
// progress to end, starts the server (adopting one that runs) and waits for it to run.
void StartGuarded(const std::wstring& server)
{
  const ULONGLONG end = GetTickCount64() + kGuardianWaitMs;
  while (ServiceStateOf(server) == SERVICE_STOP_PENDING && GetTickCount64() < end) Sleep(kGuardianPollMs);
  OnService(server, true);
  while (ServiceStateOf(server) != SERVICE_RUNNING && GetTickCount64() < end) Sleep(kGuardianPollMs);
}

std::optional<std::string> ReadAll(const std::wstring& path)
{
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  char buffer[4096];
  DWORD done = 0;
  while (ReadFile(file, buffer, sizeof buffer, &done, nullptr) && done) bytes.append(buffer, done);
  CloseHandle(file);
  return bytes;
}

std::string Trimmed(const std::string& text)
{
  const auto blank = " \t\r\n";
  const auto first = text.find_first_not_of(blank);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(blank) - first + 1);
}

template <class Visit> void ForEachLine(const std::string& bytes, Visit visit)
{
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    if (!visit(bytes.substr(start, end - start))) return;
    start = end + 1;
  }
}

Settings ReadSettings()
{
  Settings settings;
  const auto bytes = ReadAll(ExeFolder() + L"\\" + standin::kControlFile);
  if (!bytes) return settings;
  ForEachLine(*bytes, [&](const std::string& line) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) return true;
    const std::string key = Trimmed(line.substr(0, eq));
    const DWORD value = std::strtoul(Trimmed(line.substr(eq + 1)).c_str(), nullptr, 10);
    if (key == "start-delay") settings.startDelay = value;
    if (key == "stop-delay") settings.stopDelay = value;
    if (key == "pause-delay") settings.pauseDelay = value;
    if (key == "continue-delay") settings.continueDelay = value;
    if (key == "accept-stop") settings.acceptStop = value != 0;
    if (key == "fail-start") settings.failStart = value;
    if (key == "stop-stalls") settings.stopStalls = value != 0;
    return true;
  });
  return settings;
}

// Control characters are written as \xNN so that each start stays one line of the log.
std::string Printable(const std::string& text)
{
  std::string out;
  for (const unsigned char c : text) {
    if (c >= 0x20 && c != 0x7F) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    constexpr char kHex[] = "0123456789ABCDEF";
    out += {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
  }
  return out;
}

// What the server would take from the instance's firebird.conf, one line of the log:
//   DefaultDbCachePages = VALUE -> PAGES pages   (VALUE as the server sees it)
//   DefaultDbCachePages not set -> 2048 pages
//   no firebird.conf -> 2048 pages
//   firebird.conf unreadable: line N ...         (the server refuses the whole file)
std::string CacheReading()
{
  const auto conf = ReadAll(InstanceFolder() + L"\\firebird.conf");
  const auto pages = [](std::int32_t count) { return " -> " + std::to_string(count) + " pages"; };
  if (!conf) return "no firebird.conf" + pages(standin::kServerDefaultPages);
  const standin::ServerReading read = standin::ReadAsTheServer(*conf);
  switch (read.kind) {
  case standin::ServerReading::Kind::Set:
    return std::string(standin::kCacheKey) + " = " + Printable(read.value) + pages(read.pages);
  case standin::ServerReading::Kind::NotSet: return std::string(standin::kCacheKey) + " not set" + pages(read.pages);
  case standin::ServerReading::Kind::Refused: break;
  }
  return "firebird.conf unreadable: " + read.why;
}

void RecordStart()
{
  const std::wstring log = InstanceFolder() + L"\\" + standin::kStartLog;
  std::size_t starts = 0;
  if (const auto old = ReadAll(log)) ForEachLine(*old, [&](const std::string&) { return ++starts, true; });
  const std::string line = "start " + std::to_string(starts + 1) + " " + CacheReading() + "\r\n";
  // Opened for each line so a test can read the log while the service runs.
  const HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD done = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &done, nullptr);
  CloseHandle(file);
}

// One running service. The control handler only records a request and reports the
// pending state; the service's main thread holds that state and then reports the next.
class StandinService {
public:
  void Run(const wchar_t* name)
  {
    handle_ = RegisterServiceCtrlHandlerExW(name, &StandinService::Handler, this);
    if (!handle_) return;
    std::unique_lock lock(mutex_);
    settings_ = ReadSettings();
    Hold(lock, SERVICE_START_PENDING, settings_.startDelay);
    if (settings_.failStart) {
      status_.dwWin32ExitCode = settings_.failStart;
      Report(SERVICE_STOPPED);
      return;
    }
    const std::wstring guarded = GuardedServer();
    if (guarded.empty()) RecordStart(); // before RUNNING, so whoever sees RUNNING finds the line
    if (!guarded.empty()) {
      lock.unlock();
      StartGuarded(guarded);
      lock.lock();
    }
    Report(SERVICE_RUNNING);
    for (;;) {
      // A Guardian takes its server's normal stop as the end of its own work.
      if (!guarded.empty()) {
        cv_.wait_for(lock, std::chrono::milliseconds(kGuardianPollMs), [&] { return !requests_.empty(); });
        if (requests_.empty() && ServiceStateOf(guarded) == SERVICE_STOPPED) {
          Report(SERVICE_STOP_PENDING);
          Report(SERVICE_STOPPED);
          return;
        }
        if (requests_.empty()) continue;
      }
      cv_.wait(lock, [&] { return !requests_.empty(); });
      const DWORD request = requests_.front();
      requests_.pop_front();
      if (request == SERVICE_CONTROL_STOP) {
        // A Guardian asks its server to stop before it reports itself stopped.
        if (!guarded.empty()) OnService(guarded, false, SERVICE_CONTROL_STOP);
        Hold(lock, SERVICE_STOP_PENDING, settings_.stopDelay, !settings_.stopStalls);
        Report(SERVICE_STOPPED);
        return;
      }
      if (request == SERVICE_CONTROL_PAUSE) {
        Hold(lock, SERVICE_PAUSE_PENDING, settings_.pauseDelay);
        Report(SERVICE_PAUSED);
      } else {
        Hold(lock, SERVICE_CONTINUE_PENDING, settings_.continueDelay);
        Report(SERVICE_RUNNING);
      }
    }
  }

private:
  static DWORD WINAPI Handler(DWORD control, DWORD, void*, void* context)
  {
    return static_cast<StandinService*>(context)->Control(control);
  }

  DWORD Control(DWORD control)
  {
    std::lock_guard lock(mutex_);
    settings_ = ReadSettings();
    const DWORD state = status_.dwCurrentState;
    const bool settled = state == SERVICE_RUNNING || state == SERVICE_PAUSED;
    switch (control) {
    case SERVICE_CONTROL_STOP:
      if (!(status_.dwControlsAccepted & SERVICE_ACCEPT_STOP)) return ERROR_INVALID_SERVICE_CONTROL;
      if (!settled) return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
      return Request(control, SERVICE_STOP_PENDING);
    case SERVICE_CONTROL_PAUSE:
      if (state != SERVICE_RUNNING) return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
      return Request(control, SERVICE_PAUSE_PENDING);
    case SERVICE_CONTROL_CONTINUE:
      if (state != SERVICE_PAUSED) return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
      return Request(control, SERVICE_CONTINUE_PENDING);
    case SERVICE_CONTROL_INTERROGATE: return NO_ERROR;
    case standin::kReloadControl:
      Report(state); // the accepted controls follow the file just read
      return NO_ERROR;
    default: return ERROR_CALL_NOT_IMPLEMENTED;
    }
  }

  DWORD Request(DWORD control, DWORD pendingState)
  {
    Report(pendingState);
    requests_.push_back(control);
    cv_.notify_one();
    return NO_ERROR;
  }

  // Stays in a pending state for ms, moving the check point on as a live service does
  // (unless told not to, as a hung one does not).
  void Hold(std::unique_lock<std::mutex>& lock, DWORD pendingState, DWORD ms, bool progress = true)
  {
    Report(pendingState);
    for (DWORD held = 0; held < ms; held += kPendingSliceMs) {
      lock.unlock();
      Sleep(ms - held < kPendingSliceMs ? ms - held : kPendingSliceMs);
      lock.lock();
      if (progress) ++status_.dwCheckPoint;
      SetServiceStatus(handle_, &status_);
    }
  }

  void Report(DWORD state)
  {
    const bool pending = state != SERVICE_RUNNING && state != SERVICE_PAUSED && state != SERVICE_STOPPED;
    status_.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    if (state != status_.dwCurrentState) status_.dwCheckPoint = pending ? 1 : 0;
    status_.dwCurrentState = state;
    status_.dwControlsAccepted = pending || state == SERVICE_STOPPED
                                     ? 0
                                     : SERVICE_ACCEPT_PAUSE_CONTINUE | (settings_.acceptStop ? SERVICE_ACCEPT_STOP : 0);
    if (state != SERVICE_STOPPED) status_.dwWin32ExitCode = NO_ERROR;
    status_.dwWaitHint = pending ? kPendingWaitHintMs : 0;
    SetServiceStatus(handle_, &status_);
  }

  SERVICE_STATUS_HANDLE handle_ = nullptr;
  SERVICE_STATUS status_{};
  Settings settings_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<DWORD> requests_;
};

void WINAPI ServiceMain(DWORD argc, wchar_t** argv)
{
  StandinService service;
  service.Run(argc > 0 && argv[0] ? argv[0] : L"");
}

} // namespace

int main()
{
  // An own-process service: the control manager passes the real name to ServiceMain.
  wchar_t anyName[] = L"";
  SERVICE_TABLE_ENTRYW table[] = {{anyName, ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
