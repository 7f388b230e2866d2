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

// The dependents the stop phase stopped (or could not stop) that the start phase did not
// bring back running, each as a sentence after a blank; empty when there are none.
Text DependentsProblem(const ServiceSwitchOutcome& stop, const ServiceSwitchOutcome& start, TextView serviceName);

// ServiceProblem without the dependents.
Text ServerProblem(const ServiceSwitchOutcome& stop, const ServiceSwitchOutcome& start, TextView serviceName);

// Whether the two phases left a server that was running stopped or stopping.
bool LeftStopped(const ServiceSwitchOutcome& stop, const ServiceSwitchOutcome& start);

// A Guardian that ran before the update and does not run after it; empty when it runs.
Text GuardianProblem(const ServiceSwitchOutcome& stop, const ServiceSwitchOutcome& start, TextView serviceName);

// A Guardian that ran before the update and was not started again because its server
// does not run: started, it would only try to start that server again.
Text GuardianHeldProblem(TextView guardianName, TextView serverName);

// The default instance runs (or, stopped, is started by the update) from root, whose
// firebird.conf the update did not change.
Text ElsewhereProblem(TextView serviceName, TextView root, bool check, bool stopped = false);

// A server whose installation folder cannot be read (or whose configuration names none):
// whether it reads one of the files is not known.
Text UnreadableFolderProblem(TextView serviceName, TextView root, bool check);

// The list of services could not be read, so which servers read the files is not known;
// an update then restarts the default instance (and its Guardian) by name.
Text UnlistedServicesProblem(std::uint32_t error, bool check);

// After the servers were stopped, the files saved gave the server the value no more:
// each file with why (files and reasons in the same order).
Text ChangedMeanwhileMessage(const std::vector<Text>& files, const std::vector<Text>& reasons);

// The text of whatever escaped a step: an exception's message, out of memory, or the
// system's text for an internal error. Call only inside a catch block.
Text EscapedErrorText();

} // namespace fbu
