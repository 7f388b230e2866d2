#pragma once
// What an unattended run tells the tool that started it, as lines of text: one line per
// configuration file, one for the service, then the report a message box would show. The
// check run (/check COUNT) reads the same files by the same rules and changes nothing.

#include <vector>

#include "app/configfiles/ConfigText.h"
#include "app/IBSystemActions.h"
#include "app/services/ServerInstances.h"
#include "app/services/ServiceSwitch.h"
#include "base/Text.h"

namespace fbu {

// Exit code of a check run that found the value missing from at least one file (the
// other codes are those of the update: 0 in place, 1 refused or unreadable, 2 nothing).
inline constexpr int kCheckWouldChange = 4;
// Exit code of a check run that found the default instance running from a folder whose
// firebird.conf an update would not change: an update would not reach the server that runs.
inline constexpr int kCheckNotReached = 3;

// What the server reads: "DefaultDbCachePages = 1024", "no setting (the server uses 2048
// pages)" (defaultPages, by its ServerMode), or "unreadable to the server".
Text SettingDescription(const ServerSetting& setting, std::int32_t defaultPages = kServerDefaultCachePages);

// "<path>: <before> -> DefaultDbCachePages = <value>" for a file saved, with a note when
// the server does not read the new line; "<path>: left alone, <why>" otherwise.
Text UpdatedFileLine(TextView path, const ConfigFilePlan& done, TextView value);

// "<path>: left alone, it no longer exists" for a file gone between reading and saving.
Text VanishedFileLine(TextView path);

// The name of a service state as the lines tell it ("running", "stopped", ...).
Text ServiceStateName(std::uint32_t state);

// "Service FirebirdServerDefaultInstance: found running, stopped, started, left running",
// or that it is not installed or could not be controlled; then the dependents stopped and
// started for it, and the folder it runs from when known. The state found is the stop
// phase's; stoppedBy names the service whose stop stopped it (its Guardian), if any.
Text ServiceLine(const ServiceSwitchOutcome& stop, const ServiceSwitchOutcome& start,
                 TextView serviceName = kFirebirdServiceName, TextView root = {}, TextView stoppedBy = {});

// "databases.conf: security.db keeps 50 pages", naming the file beside configFile.
Text DatabaseOverrideLine(TextView configFile, const DatabaseCacheOverride& entry, std::int32_t defaultPages);

// True when the server already uses count's pages from this file: its setting, or the
// default of its ServerMode when it has none.
bool SettingHolds(const ConfigFilePlan& plan, TextView count);

// A file's verdict from its plan, the same for the check and for an update that stops
// before touching anything: "<path>: <what the server reads>, in place" / ", would
// become ..." (a file the server cannot read says so after it) / ", left alone, <why>" /
// ", cannot be saved: <the save's report>".
Text CheckedFileLine(TextView path, const ConfigFilePlan& plan, TextView count);

// The check's outcome over the files found, as the update would end: 2 when an update
// would apply to none, 1 when a file it would save cannot be saved, 0 when the server
// already uses count from every file an update would apply to and no other file would
// change, else 4.
int CheckExitCode(const std::vector<ConfigFilePlan>& plans, TextView count);

// The check's closing line for exit codes 0, 1 and 4.
Text CheckSummary(const std::vector<ConfigFilePlan>& plans, TextView count);

// The update's report when files it would save cannot be saved: each file's refusal.
Text RefusedFilesMessage(const std::vector<Text>& files, const std::vector<ConfigFilePlan>& plans);

} // namespace fbu
