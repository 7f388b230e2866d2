#pragma once
// Which files an update applies to, and which servers read them.

#include <vector>

#include "app/configfiles/ConfigText.h"
#include "app/services/ServerInstances.h"
#include "base/Text.h"

namespace fbu {

#ifdef _WIN32

// Every firebird.conf an update would touch, each read and planned for value, in the
// order an update takes them. A file that cannot be read raises EUpdateIncomplete with
// the update's report and exit code.
struct PlannedFiles {
  std::vector<Text> found;
  std::vector<ConfigFilePlan> plans;
};
PlannedFiles PlanConfigFiles(const Text& value);

// A server an update stops and starts again: its file is saved (or, with the folder
// overridden, it is the default instance), and it was not found stopped.
struct ServerToRestart {
  Text name;
  Text root;         // the folder it runs from; empty when unknown
  Text guardianName; // its Guardian when that was running, else empty
};
struct RestartPlan {
  std::vector<ServerToRestart> servers;
  std::vector<Text> lines;               // servers the update leaves alone, and why
  Text problem;                          // the default instance runs where the update does not reach
  std::vector<FirebirdService> services; // the Firebird services found
};
// Which servers of this machine read which of the files an update (check false) or a
// check (check true) applies to. Without a readable list of services, the default
// instance is restarted, as it always was.
RestartPlan PlanRestarts(const PlannedFiles& planned, bool check = false);

#endif

} // namespace fbu
