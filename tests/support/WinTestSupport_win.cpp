#include "support/WinTestSupport.h"

#include <stdexcept>
#include <vector>

#include "base/WinHandles.h"

namespace fbu::test {

ScopedService::ScopedService(const std::wstring& name, const std::wstring& binaryPath, DWORD startType) : name_(name)
{
  UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) throw std::runtime_error("OpenSCManager failed");
  // A leftover from an earlier, aborted run would make CreateService fail.
  if (UniqueScHandle old{OpenServiceW(manager.get(), name.c_str(), SERVICE_ALL_ACCESS)}) {
    SERVICE_STATUS status{};
    ControlService(old.get(), SERVICE_CONTROL_STOP, &status);
    DeleteService(old.get());
  }
  UniqueScHandle service(CreateServiceW(manager.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                        SERVICE_WIN32_OWN_PROCESS, startType, SERVICE_ERROR_NORMAL, binaryPath.c_str(),
                                        nullptr, nullptr, nullptr, nullptr, nullptr));
  if (!service) throw std::runtime_error("CreateService failed: " + std::to_string(GetLastError()));
}

ScopedService::~ScopedService()
{
  UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return;
  UniqueScHandle service(OpenServiceW(manager.get(), name_.c_str(), SERVICE_ALL_ACCESS));
  if (!service) return;
  // A service held in STOP_PENDING by a test may take a minute to stop, and its process
  // (which holds its executable) ends only after it reports STOPPED: both are waited for,
  // or the files beside it could not be removed.
  SERVICE_STATUS_PROCESS status{};
  DWORD needed = 0;
  if (QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof(status),
                           &needed) &&
      status.dwCurrentState != SERVICE_STOPPED) {
    UniqueKernelHandle process(status.dwProcessId ? OpenProcess(SYNCHRONIZE, FALSE, status.dwProcessId) : nullptr);
    SERVICE_STATUS ignored{};
    ControlService(service.get(), SERVICE_CONTROL_STOP, &ignored);
    // 90 s for a stop under way; a service that refused the stop is given 10 s, as before.
    const ULONGLONG start = GetTickCount64();
    for (DWORD state; (state = State()) != SERVICE_STOPPED; Sleep(25)) {
      const ULONGLONG waited = GetTickCount64() - start;
      if (waited > ScaledMs(90000) || (state != SERVICE_STOP_PENDING && waited > ScaledMs(10000))) break;
    }
    if (process && State() == SERVICE_STOPPED) WaitForSingleObject(process.get(), ScaledMs(30000));
  }
  DeleteService(service.get());
}

bool ScopedService::Start()
{
  UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  UniqueScHandle service(manager ? OpenServiceW(manager.get(), name_.c_str(), SERVICE_ALL_ACCESS) : nullptr);
  return service && StartServiceW(service.get(), 0, nullptr);
}

DWORD ScopedService::State()
{
  UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  UniqueScHandle service(manager ? OpenServiceW(manager.get(), name_.c_str(), SERVICE_QUERY_STATUS) : nullptr);
  SERVICE_STATUS status{};
  if (!service || !QueryServiceStatus(service.get(), &status)) return 0;
  return status.dwCurrentState;
}

DWORD ScaledMs(DWORD ms)
{
  static const double scale = [] {
    wchar_t text[32] = {};
    const DWORD length = GetEnvironmentVariableW(L"FBU_TIME_SCALE", text, 32);
    const double value = length > 0 && length < 32 ? _wtof(text) : 1.0;
    return value > 1.0 ? value : 1.0;
  }();
  const double scaled = ms * scale;
  return scaled >= INFINITE - 1.0 ? INFINITE - 1 : static_cast<DWORD>(scaled);
}

bool ScopedService::WaitForState(DWORD state, DWORD timeoutMs)
{
  const ULONGLONG end = GetTickCount64() + ScaledMs(timeoutMs);
  while (State() != state) {
    if (GetTickCount64() > end) return false;
    Sleep(25);
  }
  return true;
}

bool ScopedService::StopAndWait(DWORD timeoutMs)
{
  UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  UniqueScHandle service(manager ? OpenServiceW(manager.get(), name_.c_str(), SERVICE_ALL_ACCESS) : nullptr);
  if (!service) return false;
  SERVICE_STATUS status{};
  ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
  return WaitForState(SERVICE_STOPPED, timeoutMs);
}

ScopedTempDir::ScopedTempDir(const std::wstring& prefix)
{
  wchar_t base[MAX_PATH + 1];
  GetTempPathW(MAX_PATH, base);
  for (unsigned n = GetTickCount() ^ GetCurrentProcessId();; ++n) {
    std::wstring candidate = std::wstring(base) + prefix + L"-" + std::to_wstring(n);
    if (CreateDirectoryW(candidate.c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("CreateDirectory failed");
  }
}

ScopedTempDir::~ScopedTempDir()
{
  RemoveTree(path_);
}

void RemoveTree(const std::wstring& path)
{
  const DWORD attrs = GetFileAttributesW(path.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL | (attrs & FILE_ATTRIBUTE_DIRECTORY));
  if (attrs & FILE_ATTRIBUTE_DIRECTORY) {
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(FindFirstFileW((path + L"\\*").c_str(), &data));
    if (find) {
      do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") RemoveTree(path + L"\\" + name);
      } while (FindNextFileW(find.get(), &data));
    }
    find.reset();
    RemoveDirectoryW(path.c_str());
  } else {
    DeleteFileW(path.c_str());
  }
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
  UniqueFileHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw std::runtime_error("cannot create test file");
  DWORD done = 0;
  if (!bytes.empty() && !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr))
    throw std::runtime_error("cannot write test file");
}

std::string ReadFileBytes(const std::wstring& path)
{
  UniqueFileHandle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) throw std::runtime_error("cannot open test file");
  std::string out;
  char buffer[65536];
  DWORD done = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &done, nullptr) && done) out.append(buffer, done);
  return out;
}

bool MakeFileLink(const std::wstring& link, const std::wstring& target)
{
  const auto opens = [&] { return GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES; };
  if (CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) && opens())
    return true;
  // Wine starts a Unix program given by its Z: path, in the current folder given, and
  // does not wait for it: the link is there once it opens.
  const std::size_t slash = link.find_last_of(L'\\');
  std::wstring unixTarget = target;
  for (auto& c : unixTarget)
    if (c == L'\\') c = L'/';
  std::wstring command = L"Z:\\bin\\ln -s \"" + unixTarget + L"\" \"" + link.substr(slash + 1) + L"\"";
  const std::wstring folder = link.substr(0, slash);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int i = 0; i < 400 && !opens(); ++i) Sleep(25);
  return opens();
}

void RemoveFileLink(const std::wstring& link)
{
  const std::wstring placeholder = link + L".removed";
  WriteFileBytes(placeholder, "");
  MoveFileExW(placeholder.c_str(), link.c_str(), MOVEFILE_REPLACE_EXISTING);
  DeleteFileW(link.c_str());
}

std::wstring FinalPathOf(const std::wstring& path)
{
  UniqueFileHandle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  wchar_t buffer[1024];
  const DWORD n = file ? GetFinalPathNameByHandleW(file.get(), buffer, 1024, 0) : 0;
  const std::wstring final(buffer, n < 1024 ? n : 0);
  return final.starts_with(L"\\\\?\\") ? final.substr(4) : final;
}

ScopedEnv::ScopedEnv(const std::wstring& name, const wchar_t* value) : name_(name)
{
  std::vector<wchar_t> buffer(32768);
  const DWORD n = GetEnvironmentVariableW(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n > 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND) {
    hadOld_ = true;
    old_.assign(buffer.data(), n);
  }
  SetEnvironmentVariableW(name.c_str(), value);
}

ScopedEnv::~ScopedEnv()
{
  SetEnvironmentVariableW(name_.c_str(), hadOld_ ? old_.c_str() : nullptr);
}

std::wstring ProgramFolder()
{
  wchar_t path[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  std::wstring p(path, n);
  return p.substr(0, p.find_last_of(L"\\/"));
}

} // namespace fbu::test
