#include "tools/ServiceQueries.h"

#include <cstddef>
#include <utility>
#include <vector>

#include "base/WinHandles.h"
#include "tools/ServiceQueriesCore.h"
#include "tools/ServiceQueriesWin.h"

namespace fbu {

namespace {

// One block for the whole enumeration. Services that do not fit make the call fail, and
// the enumeration is then reported as failed rather than continued.
constexpr DWORD kEnumBlockSize = 64800; // 0xFD20

// The empty text names the local machine.
const wchar_t* MachinePtr(const Text& machineName)
{
  return machineName.empty() ? nullptr : WidePtr(machineName);
}

// The folder of one service's executable, empty when anything fails. The service handle
// belongs to the enclosing search, so at most one is open at a time.
Text GetServiceBinaryFolder(QueryServiceConfigFn query, SC_HANDLE manager, UniqueScHandle& service,
                            const Text& serviceName)
{
  service.reset();
  service.reset(OpenServiceW(manager, WidePtr(serviceName), SERVICE_QUERY_CONFIG));
  if (!service) return Text();
  DWORD needed = 0;
  query(service.get(), nullptr, 0, &needed);
  // A size below the record itself never comes from the system; it is refused so the
  // record is never read past its block.
  if (needed < sizeof(QUERY_SERVICE_CONFIGW)) return Text();
  std::vector<std::byte> block(needed);
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(block.data());
  if (!query(service.get(), config, needed, &needed) || !config->lpBinaryPathName) return Text();
  return ServiceBinaryPathFolder(FromWide(config->lpBinaryPathName));
}

} // namespace

bool EnumWin32Services(TStringList* list, const Text& machineName)
{
  if (!list) return false;
  list->Clear();
  UniqueScHandle manager(OpenSCManagerW(MachinePtr(machineName), nullptr, GENERIC_READ));
  if (!manager) return false;
  std::vector<std::byte> block(kEnumBlockSize);
  auto* entries = reinterpret_cast<ENUM_SERVICE_STATUSW*>(block.data());
  DWORD needed = 0;
  DWORD returned = 0;
  DWORD resume = 0;
  if (!EnumServicesStatusW(manager.get(), SERVICE_WIN32, SERVICE_STATE_ALL, entries, kEnumBlockSize, &needed, &returned,
                           &resume))
    return false;
  // Filled aside so that the caller's list never holds a part of the names.
  TStringList names;
  for (DWORD i = 0; i < returned; ++i) names.Add(FromWide(entries[i].lpServiceName));
  *list = std::move(names);
  return true;
}

bool FindServices(TStringList* list, const Text& pattern, const Text& machineName, bool exactMatch)
{
  return FindServicesIn(list, pattern, exactMatch,
                        [&machineName](TStringList* names) { return EnumWin32Services(names, machineName); });
}

bool GetServiceFoldersUsing(QueryServiceConfigFn query, TStringList* folders, const Text& pattern,
                            const Text& machineName, bool exactMatch)
{
  if (!folders) return false;
  folders->Clear();
  TStringList names;
  bool ok = FindServices(&names, pattern, machineName, exactMatch) && names.Count() > 0;
  // Declared in this order so the service handle is closed before the manager's.
  UniqueScHandle manager;
  UniqueScHandle service;
  if (ok) {
    manager.reset(OpenSCManagerW(MachinePtr(machineName), nullptr, SC_MANAGER_CONNECT));
    ok = static_cast<bool>(manager);
  }
  if (ok) {
    for (const Text& name : names) {
      AddDistinctFolder(*folders, GetServiceBinaryFolder(query, manager.get(), service, name));
    }
  }
  if (!ok) folders->Clear();
  return ok;
}

bool GetServiceFolderUsing(QueryServiceConfigFn query, Text& folder, const Text& pattern, const Text& machineName,
                           bool exactMatch)
{
  folder.clear();
  TStringList folders;
  if (!GetServiceFoldersUsing(query, &folders, pattern, machineName, exactMatch) || folders.Count() != 1) return false;
  folder = folders[0];
  return true;
}

bool GetServiceFolders(TStringList* folders, const Text& pattern, const Text& machineName, bool exactMatch)
{
  return GetServiceFoldersUsing(QueryServiceConfigW, folders, pattern, machineName, exactMatch);
}

bool GetServiceFolder(Text& folder, const Text& pattern, const Text& machineName, bool exactMatch)
{
  return GetServiceFolderUsing(QueryServiceConfigW, folder, pattern, machineName, exactMatch);
}

bool GetFirebirdServerFolder(Text& folder, const Text& machineName)
{
  return GetServiceFolder(folder, u"FirebirdServer", machineName, false);
}

} // namespace fbu
