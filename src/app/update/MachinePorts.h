#pragma once
// The machine's own configuration files and services, as the update's road reaches them.

#ifdef _WIN32

#include "app/update/UpdatePorts.h"

namespace fbu {

// Every firebird.conf an update would touch, each read and planned for value, in the
// order an update takes them. A file that cannot be read raises EUpdateIncomplete with
// the update's report and exit code.
PlannedFiles PlanConfigFiles(const Text& value);

// The firebird.conf files below the Firebird folders of this process's environment.
class MachineConfigFiles final : public ConfigFilesPort {
public:
  std::vector<Text> FoldersSearched() override;
  bool FolderOverridden() override;
  PlannedFiles Plan(const Text& value) override;
  std::optional<ConfigFilePlan> Save(const Text& file, const Text& value) override;
  std::vector<DatabaseCacheOverride> DatabaseOverrides(const Text& file) override;
  Text InstallationFolder(const Text& file) override;
  std::optional<std::uint64_t> LastWritten(const Text& file) override;
};

// The local service control manager.
class MachineServices final : public ServicesPort {
public:
  std::optional<std::vector<FirebirdService>> ServiceMap() override;
  std::uint32_t MapError() override { return mapError_; }
  std::unique_ptr<ServicePort> Open(const Text& name, bool start) override;
  std::optional<std::uint64_t> ProcessStarted(std::uint32_t processId) override;

private:
  std::uint32_t mapError_ = 0;
};

} // namespace fbu

#endif
