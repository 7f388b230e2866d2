#pragma once
// Which servers of the machine read which of the files an update saves: those it stops
// and starts again, those it leaves alone, and those the new value will not reach.

#include <cstdint>
#include <vector>

#include "app/services/ServerInstances.h"
#include "app/update/UpdatePorts.h"
#include "base/Text.h"

namespace fbu {

// A server an update stops and starts again (the default instance found stopped: only
// starts), with its Guardian when that ran. The states are those of the one snapshot
// taken before any stop.
struct ServerToRestart {
  Text name;
  Text root; // the folder it runs from; empty when unknown
  std::uint32_t stateBefore = 0;
  Text guardianName; // empty when it has no Guardian that ran
  std::uint32_t guardianBefore = 0;
};

struct ServerPlan {
  std::vector<ServerToRestart> servers;
  std::vector<Text> lines;               // servers left alone and why; for a check, where each runs
  std::vector<Text> problems;            // servers the new value will not reach: exit code 3
  std::vector<FirebirdService> services; // the Firebird services listed
};

// Plans the servers for the files planned, for an update (check false) or a check. A
// server runs from a saved installation when its final root is that of a file the update
// rewrites. Every running server of such a folder is restarted, with its Guardian; another
// found stopped reads its file when it starts. "FirebirdServerDefaultInstance" is started
// at the end of an update also when it was stopped, and with the folder overridden it is
// restarted wherever it runs. Named, as a problem: the default instance running (or to be
// started) from a folder whose file does not get the value (not with the override), a
// running server whose folder cannot be read, and a service list that cannot be read
// (then the update restarts the default instance and its Guardian by name).
ServerPlan PlanServers(const PlannedFiles& planned, ConfigFilesPort& files, ServicesPort& services, bool check);

} // namespace fbu
