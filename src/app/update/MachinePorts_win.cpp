#include "app/update/MachinePorts.h"

#include <windows.h>

#include "app/IBSystemActions.h"
#include "app/update/UpdateOutcome.h"
#include "base/Exceptions.h"
#include "base/StringList.h"

namespace fbu {

PlannedFiles PlanConfigFiles(const Text& value)
{
  PlannedFiles planned;
  TStringList list;
  if (FindFirebirdConfigFiles(&list)) {
    for (int i = 0; i < list.Count(); ++i)
      if (ConfigFileExists(list[i])) planned.found.push_back(list[i]);
  }
  for (const Text& file : planned.found) {
    try {
      planned.plans.push_back(PlanConfigFile(file, kCachePagesKey, value));
    } catch (const std::exception& e) {
      const auto next = planned.found.begin() + static_cast<std::ptrdiff_t>(planned.plans.size()) + 1;
      throw EUpdateIncomplete(FileErrorMessage(ExceptionText(e), {}, std::vector<Text>(next, planned.found.end())),
                              kUpdateFailed);
    }
  }
  return planned;
}

std::vector<Text> MachineConfigFiles::FoldersSearched()
{
  return FirebirdFolders();
}

bool MachineConfigFiles::FolderOverridden()
{
  return fbu::FolderOverridden();
}

PlannedFiles MachineConfigFiles::Plan(const Text& value)
{
  return PlanConfigFiles(value);
}

std::optional<ConfigFilePlan> MachineConfigFiles::Save(const Text& file, const Text& value)
{
  return UpdateConfigFile(file, kCachePagesKey, value);
}

std::vector<DatabaseCacheOverride> MachineConfigFiles::DatabaseOverrides(const Text& file)
{
  return DatabaseOverridesBeside(file);
}

Text MachineConfigFiles::InstallationFolder(const Text& file)
{
  return FinalFolder(ConfigFileRoot(file));
}

std::optional<std::uint64_t> MachineConfigFiles::LastWritten(const Text& file)
{
  return FileWriteTime(file);
}

std::optional<std::vector<FirebirdService>> MachineServices::ServiceMap()
{
  return FirebirdServiceMap(&mapError_);
}

std::unique_ptr<ServicePort> MachineServices::Open(const Text& name, bool start)
{
  return OpenServicePort(name, start);
}

std::optional<std::uint64_t> MachineServices::ProcessStarted(std::uint32_t processId)
{
  return ProcessStartTime(processId);
}

} // namespace fbu
