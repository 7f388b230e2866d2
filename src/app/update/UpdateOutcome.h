#pragma once
// What an update tells its operator, and the code an unattended run ends with: every
// outcome short of full success is an EUpdateIncomplete carrying both.

#include <vector>

#include "app/configfiles/ConfigText.h"
#include "app/IBSystemActions.h"
#include "app/services/ServiceSwitch.h"
#include "base/Exceptions.h"
#include "base/Text.h"

namespace fbu {

// Exit codes of an unattended run.
enum UpdateExitCode : int {
  kUpdateDone = 0,        // the server reads the new value from at least one file, and the
                          // service, when installed, was started again after the save
  kUpdateFailed = 1,      // an error was reported, or the run did not finish
  kNothingFound = 2,      // no firebird.conf below the Firebird folders sets the value where
                          // the server reads it; nothing touched
  kServiceNotRunning = 3, // the files were saved, but the server does not run with the value
};

class EUpdateIncomplete : public Exception {
public:
  EUpdateIncomplete(Text message, int exitCode) : Exception(std::move(message)), ExitCode(exitCode) {}
  int ExitCode;
};

// "No firebird.conf was found below <folders>." with the folders joined by " or ".
Text NothingFoundMessage(const std::vector<Text>& foldersSearched);

// Why an update leaves a file found alone, or empty when the update applies to it.
Text NotAppliedReason(const ConfigFilePlan& plan);

// The report of a run in which no file would take the new value: NothingFoundMessage when
// none was found, else each file found (plans in the same order) with why it is left.
Text NothingAppliesMessage(const std::vector<Text>& foldersSearched, const std::vector<Text>& files,
                           const std::vector<ConfigFilePlan>& plans);

// The error that stopped the loop, then the files saved before it and those not reached.
Text FileErrorMessage(TextView error, const std::vector<Text>& saved, const std::vector<Text>& notReached);

// The sentence telling that the new value does not take effect now, judged from the two
// phases of an update; empty when the service runs again or is not installed. When the
// server was running and is left stopped (or still stopping), its first words say so.
// Dependents the stop phase stopped and the start phase did not start again are named.
Text ServiceProblem(const ServiceSwitchOutcome& stop, const ServiceSwitchOutcome& start,
                    TextView serviceName = kFirebirdServiceName);

// Whether the two phases left a server that was running stopped or stopping.
bool LeftStopped(const ServiceSwitchOutcome& stop, const ServiceSwitchOutcome& start);

// A Guardian that ran before the update and does not run after it; empty when it runs.
Text GuardianProblem(const ServiceSwitchOutcome& stop, const ServiceSwitchOutcome& start, TextView serviceName);

// The default instance runs from root, whose firebird.conf the update did not change.
Text ElsewhereProblem(TextView serviceName, TextView root, bool check);

} // namespace fbu
