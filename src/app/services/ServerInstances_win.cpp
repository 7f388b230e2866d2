// The Firebird services of this machine, read from the service control manager.
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <vector>
#include <string>

#include "app/services/ServerInstances.h"
#include "base/WinHandles.h"

namespace fbu {

namespace {

Text FullFolder(const Text& folder)
{
  if (folder.empty()) return folder;
  const DWORD length = GetFullPathNameW(WidePtr(folder), 0, nullptr, nullptr);
  if (length == 0) return folder;
  std::wstring buffer(length, L'\0');
  const DWORD written = GetFullPathNameW(WidePtr(folder), length, buffer.data(), nullptr);
  if (written == 0 || written >= length) return folder;
  return ComparableFolder(FromWide(buffer.data(), written));
}

// The command line the manager keeps for a service; empty when it cannot be read.
Text BinaryPath(SC_HANDLE manager, const Text& name)
{
  const UniqueScHandle service(OpenServiceW(manager, WidePtr(name), SERVICE_QUERY_CONFIG));
  if (!service) return {};
  DWORD needed = 0;
  QueryServiceConfigW(service.get(), nullptr, 0, &needed);
  if (needed < sizeof(QUERY_SERVICE_CONFIGW)) return {};
  std::vector<std::byte> block(needed);
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(block.data());
  if (!QueryServiceConfigW(service.get(), config, needed, &needed) || !config->lpBinaryPathName) return {};
  return FromWide(config->lpBinaryPathName);
}

std::uint64_t FileTimeValue(const FILETIME& time)
{
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

} // namespace

Text FinalFolder(const Text& folder)
{
  if (folder.empty()) return {};
  // Opening a folder takes backup semantics; no access right beyond its attributes.
  const UniqueFileHandle handle(CreateFileW(WidePtr(folder), FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle) return {};
  constexpr DWORD kFlags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
  const DWORD length = GetFinalPathNameByHandleW(handle.get(), nullptr, 0, kFlags);
  if (length == 0) return {};
  std::wstring buffer(length, L'\0');
  const DWORD written = GetFinalPathNameByHandleW(handle.get(), buffer.data(), length, kFlags);
  if (written == 0 || written >= length) return {};
  Text path = FromWide(buffer.data(), written);
  // The plain form of "\\?\C:\..." and "\\?\UNC\server\share\...".
  if (path.starts_with(u"\\\\?\\UNC\\"))
    path.replace(0, 8, u"\\\\");
  else if (path.starts_with(u"\\\\?\\") && path.size() > 5 && path[5] == u':')
    path.erase(0, 4);
  return ComparableFolder(path);
}

std::optional<std::vector<FirebirdService>> FirebirdServiceMap(std::uint32_t* error)
{
  const auto failed = [error](DWORD code) -> std::optional<std::vector<FirebirdService>> {
    if (error) *error = code;
    return std::nullopt;
  };
  const UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE));
  if (!manager) return failed(GetLastError());
  std::vector<std::byte> block;
  DWORD needed = 0;
  DWORD count = 0;
  DWORD resume = 0;
  std::vector<FirebirdService> services;
  // The list comes in blocks; each call goes on where the last ended.
  for (int round = 0; round < 64; ++round) {
    block.resize(std::max<std::size_t>(needed, 16384));
    const BOOL done = EnumServicesStatusExW(manager.get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL,
                                            reinterpret_cast<BYTE*>(block.data()), static_cast<DWORD>(block.size()),
                                            &needed, &count, &resume, nullptr);
    if (!done && GetLastError() != ERROR_MORE_DATA) return failed(GetLastError());
    const auto* entries = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(block.data());
    for (DWORD i = 0; i < count; ++i) {
      auto service = FirebirdServiceNamed(FromWide(entries[i].lpServiceName));
      if (!service) continue;
      service->state = entries[i].ServiceStatusProcess.dwCurrentState;
      service->processId = entries[i].ServiceStatusProcess.dwProcessId;
      services.push_back(std::move(*service));
    }
    if (done) break;
    if (count == 0 && needed <= block.size()) return failed(ERROR_MORE_DATA); // no progress
  }
  for (FirebirdService& service : services) {
    service.root = FullFolder(InstallationRoot(BinaryPath(manager.get(), service.name)));
    service.finalRoot = FinalFolder(service.root);
  }
  return services;
}

std::optional<std::uint64_t> ProcessStartTime(std::uint32_t processId)
{
  if (processId == 0) return std::nullopt;
  const UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return std::nullopt;
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!GetProcessTimes(process.get(), &created, &exited, &kernel, &user)) return std::nullopt;
  return FileTimeValue(created);
}

std::optional<std::uint64_t> FileWriteTime(const Text& path)
{
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(WidePtr(path), GetFileExInfoStandard, &data)) return std::nullopt;
  return FileTimeValue(data.ftLastWriteTime);
}

} // namespace fbu
