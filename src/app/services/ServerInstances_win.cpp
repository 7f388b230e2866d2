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

bool SameFolder(TextView a, TextView b)
{
  const Text left = FullFolder(ComparableFolder(a));
  const Text right = FullFolder(ComparableFolder(b));
  return CompareStringOrdinal(reinterpret_cast<const wchar_t*>(left.data()), static_cast<int>(left.size()),
                              reinterpret_cast<const wchar_t*>(right.data()), static_cast<int>(right.size()),
                              TRUE) == CSTR_EQUAL;
}

std::optional<std::vector<FirebirdService>> FirebirdServiceMap()
{
  const UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE));
  if (!manager) return std::nullopt;
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
    if (!done && GetLastError() != ERROR_MORE_DATA) return std::nullopt;
    const auto* entries = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(block.data());
    for (DWORD i = 0; i < count; ++i) {
      auto service = FirebirdServiceNamed(FromWide(entries[i].lpServiceName));
      if (!service) continue;
      service->state = entries[i].ServiceStatusProcess.dwCurrentState;
      service->processId = entries[i].ServiceStatusProcess.dwProcessId;
      services.push_back(std::move(*service));
    }
    if (done) break;
    if (count == 0 && needed <= block.size()) return std::nullopt; // no progress
  }
  for (FirebirdService& service : services)
    service.root = FullFolder(InstallationRoot(BinaryPath(manager.get(), service.name)));
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
