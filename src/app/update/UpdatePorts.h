#pragma once
// What the update's road needs of the machine, as two ports: its configuration files and
// its services. The program passes the machine's own (MachinePorts.h); tests pass doubles.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "app/configfiles/ConfigText.h"
#include "app/configfiles/ServerReading.h"
#include "app/services/ServerInstances.h"
#include "app/services/ServiceSwitch.h"
#include "base/Text.h"

namespace fbu {

// Every firebird.conf an update would touch, each read and planned for a value, in the
// order an update takes them.
struct PlannedFiles {
  std::vector<Text> found;
  std::vector<ConfigFilePlan> plans;
};

class ConfigFilesPort {
public:
  virtual ~ConfigFilesPort() = default;
  // The Firebird folders searched, for the reports.
  virtual std::vector<Text> FoldersSearched() = 0;
  // Whether "ProgramFiles(86)" names the one folder searched.
  virtual bool FolderOverridden() = 0;
  // Finds and plans every file for value, changing nothing. A folder or file that cannot
  // be read raises EUpdateIncomplete with the report and exit code.
  virtual PlannedFiles Plan(const Text& value) = 0;
  // Saves one planned file: what was done, or nothing when the file no longer exists.
  // Read and write errors raise.
  virtual std::optional<ConfigFilePlan> Save(const Text& file, const Text& value) = 0;
  // The databases.conf entries beside a firebird.conf that set their own cache pages.
  virtual std::vector<DatabaseCacheOverride> DatabaseOverrides(const Text& file) = 0;
  // The installation folder holding a firebird.conf as its final path (links, junctions
  // and short names resolved), comparable with FirebirdService::finalRoot; empty when the
  // folder cannot be opened.
  virtual Text InstallationFolder(const Text& file) = 0;
  // When a file was last written (FILETIME units); nothing when it cannot be read.
  virtual std::optional<std::uint64_t> LastWritten(const Text& file) = 0;
};

class ServicesPort {
public:
  virtual ~ServicesPort() = default;
  // Every Firebird server and Guardian service, with its state: one snapshot of them all.
  // Nothing when the list cannot be read (MapError tells why).
  virtual std::optional<std::vector<FirebirdService>> ServiceMap() = 0;
  virtual std::uint32_t MapError() = 0;
  // A port on one service for its stop (start false) or start phase.
  virtual std::unique_ptr<ServicePort> Open(const Text& name, bool start) = 0;
  // When a process started (FILETIME units); nothing when it cannot be asked.
  virtual std::optional<std::uint64_t> ProcessStarted(std::uint32_t processId) = 0;
};

} // namespace fbu
