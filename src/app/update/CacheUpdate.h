#pragma once
// The road of an update and of a check, over the machine's files and services as ports:
// the count's checks, the plan of every file, the servers that read them, one snapshot of
// those services, every stop, every save, every start, and the verdict. The dialog, the
// unattended run and /check all take this road; only the ports differ in tests.

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "app/services/ServiceSwitch.h"
#include "app/update/UpdatePorts.h"
#include "base/Text.h"

namespace fbu {

// All the service waits of one update together end within this, so that a deployment
// tool's own limit (Intune's is an hour) never ends a run between a stop and its start.
inline constexpr std::chrono::milliseconds kUpdateServiceBound = std::chrono::minutes(15);

// What a run tells: a line per file and per service, its report (empty for a full
// success; a check puts everything in its lines) and its exit code (UpdateExitCode).
struct RunResult {
  std::vector<Text> lines;
  Text report;
  int exitCode = 0;
};

struct UpdateSettings {
  std::uint64_t memoryBytes = UINT64_MAX; // the machine's physical memory
  std::function<void()> pump;             // runs between the polls of the waits
  std::chrono::milliseconds serviceBound = kUpdateServiceBound;
};

// The update to value. Nothing is touched for a refused count (exit 1), a file that
// cannot be read or whose save would be refused (1), or when no file would give the server
// the value (2). Otherwise every server that reads a saved file is stopped (its Guardian
// first, which stops it too), every file saved, and every service stopped started again,
// whatever happened in between: a server before its Guardian (only once the server runs)
// and before the dependents stopped for it. Exit 1 names a file that could not be saved,
// exit 3 a server, Guardian or dependent that does not run with the value; a server that
// was running and is left stopped is named in the report's first words.
RunResult RunCacheUpdate(const Text& value, ConfigFilesPort& files, ServicesPort& services, WaitClock& clock,
                         const UpdateSettings& settings);

// The check of value: the update's own plan, file by file, changing nothing and
// controlling no service; everything it tells is in the lines. Exit 0 in place, 4 an
// update would change a file or restart a server whose file changed since it started,
// 2 nothing applies, 1 a refused count, an unreadable file or a save that would be
// refused, 3 an update would not reach a server that runs.
RunResult RunCacheCheck(const Text& value, ConfigFilesPort& files, ServicesPort& services, std::uint64_t memoryBytes);

} // namespace fbu
