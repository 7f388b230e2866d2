#include "support/StandinService.h"

#include <stdexcept>
#include <string_view>

#include "base/WinHandles.h"
#include "support/standin/StandinControl.h"

namespace fbu::test {

namespace {

constexpr wchar_t kServiceName[] = L"FirebirdServerDefaultInstance";
constexpr wchar_t kExeName[] = L"fbu_standin_service.exe";

std::wstring StandinExecutable()
{
  wchar_t buffer[32768];
  const DWORD n = GetEnvironmentVariableW(L"FBU_STANDIN", buffer, 32768);
  if (n && n < 32768) {
    // A Unix path: Wine maps the Unix root to drive Z:.
    std::wstring path(buffer, n);
    for (auto& c : path)
      if (c == L'/') c = L'\\';
    return L"Z:" + path;
  }
  return ProgramFolder() + L"\\support\\standin\\" + kExeName;
}

bool Exists(const std::wstring& path)
{
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

StandinService::StandinService(const std::string& config, const std::wstring& instance)
    : root_(L"fbu-standin"), instance_(root_ / instance)
{
  const std::wstring bin = instance_ + L"\\bin";
  if (!CreateDirectoryW(instance_.c_str(), nullptr) || !CreateDirectoryW(bin.c_str(), nullptr))
    throw std::runtime_error("cannot make the instance folder");
  const std::wstring exe = bin + L"\\" + kExeName;
  if (!CopyFileW(StandinExecutable().c_str(), exe.c_str(), FALSE))
    throw std::runtime_error("cannot copy the stand-in service: " + std::to_string(GetLastError()));
  WriteFileBytes(ConfigFile(), config);
  service_.emplace(kServiceName, L"\"" + exe + L"\"");
}

StandinService::~StandinService()
{
  // A test may leave the service pending, paused or refusing to stop: lift the control
  // file, let a start in progress finish, then stop it so its executable can go.
  try {
    SetControl(std::string());
  } catch (const std::exception&) {
    // The stop below may then be refused; the service is deleted all the same.
  }
  Reload();
  const ULONGLONG end = GetTickCount64() + 20000;
  for (DWORD state = State(); state == SERVICE_START_PENDING || state == SERVICE_PAUSE_PENDING ||
                              state == SERVICE_CONTINUE_PENDING || state == SERVICE_STOP_PENDING;
       state = State()) {
    if (GetTickCount64() > end) break;
    Sleep(25);
  }
  if (State() != SERVICE_STOPPED) service_->StopAndWait();
  service_.reset();
  // The process ends a moment after it reports STOPPED; until then its image is in use.
  const std::wstring exe = instance_ + L"\\bin\\" + kExeName;
  for (int i = 0; i < 200 && Exists(exe) && !DeleteFileW(exe.c_str()); ++i) Sleep(50);
}

void StandinService::SetControl(const std::map<std::string, std::string>& values)
{
  std::string text;
  for (const auto& [key, value] : values) text += key + "=" + value + "\r\n";
  SetControl(text);
}

void StandinService::SetControl(const std::string& text)
{
  WriteFileBytes(instance_ + L"\\bin\\" + standin::kControlFile, text);
}

bool StandinService::Reload()
{
  return Send(standin::kReloadControl);
}

bool StandinService::Send(DWORD control)
{
  UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  UniqueScHandle service(manager ? OpenServiceW(manager.get(), kServiceName, SERVICE_ALL_ACCESS) : nullptr);
  SERVICE_STATUS status{};
  return service && ControlService(service.get(), control, &status);
}

std::vector<std::string> StandinStartValues(const std::wstring& instanceFolder)
{
  // One line per start: "start N ", then "DefaultDbCachePages = VALUE -> PAGES pages" or
  // what the service found instead (see the stand-in's CacheReading).
  constexpr std::string_view kSetting = "DefaultDbCachePages = ";
  std::vector<std::string> values;
  const std::wstring log = instanceFolder + L"\\" + standin::kStartLog;
  if (GetFileAttributesW(log.c_str()) == INVALID_FILE_ATTRIBUTES) return values;
  const std::string bytes = ReadFileBytes(log);
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    start = end + 1;
    const std::size_t afterNumber = line.find(' ', 6);
    if (line.rfind("start ", 0) != 0 || afterNumber == std::string::npos) continue;
    std::string found = line.substr(afterNumber + 1);
    if (found.rfind(kSetting, 0) == 0) found = found.substr(kSetting.size(), found.rfind(" -> ") - kSetting.size());
    values.push_back(found);
  }
  return values;
}

std::vector<std::string> StandinService::Starts() const
{
  return StandinStartValues(instance_);
}

bool StandinService::WaitForStarts(std::size_t count, DWORD timeoutMs) const
{
  const ULONGLONG end = GetTickCount64() + ScaledMs(timeoutMs);
  while (Starts().size() < count) {
    if (GetTickCount64() > end) return false;
    Sleep(25);
  }
  return true;
}

} // namespace fbu::test
