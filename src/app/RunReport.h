#pragma once
// What an unattended run tells the tool that started it, as lines of text: one line per
// configuration file, one for the service, then the report a message box would show. The
// check run (/check COUNT) reads the same files by the same rules and changes nothing.

#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "base/WinHandles.h"
#endif

#include "app/ConfigText.h"
#include "app/IBSystemActions.h"
#include "app/ServerInstances.h"
#include "app/ServiceSwitch.h"
#include "base/Text.h"

namespace fbu {

// Exit code of a check run that found the value missing from at least one file (the
// other codes are those of the update: 0 in place, 1 refused or unreadable, 2 nothing).
inline constexpr int kCheckWouldChange = 4;
// Exit code of a check run that found the default instance running from a folder whose
// firebird.conf an update would not change: an update would not reach the server that runs.
inline constexpr int kCheckNotReached = 3;

// True for "/check" and "-check", in any case.
bool IsCheckSwitch(TextView argument);

// What the server reads: "DefaultDbCachePages = 1024", "no setting (the server uses 2048
// pages)" (defaultPages, by its ServerMode), or "unreadable to the server".
Text SettingDescription(const ServerSetting& setting, std::int32_t defaultPages = kServerDefaultCachePages);

// "<path>: <before> -> DefaultDbCachePages = <value>" for a file saved, with a note when
// the server does not read the new line; "<path>: left alone, <why>" otherwise.
Text UpdatedFileLine(TextView path, const ConfigFilePlan& done, TextView value);

// "<path>: left alone, it no longer exists" for a file gone between reading and saving.
Text VanishedFileLine(TextView path);

// "Service FirebirdServerDefaultInstance: found running, stopped, started, left running",
// or that it is not installed or could not be controlled; then the dependents stopped and
// started for it, and the folder it runs from when known.
Text ServiceLine(const ServiceSwitchOutcome& stop, const ServiceSwitchOutcome& start,
                 TextView serviceName = kFirebirdServiceName, TextView root = {});

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

#ifdef _WIN32

// Where the tool that started the program reads its output: the standard output (else
// error) it passed, a pipe or a file, written in the code page the caller decodes it with
// (its console's output code page, else the OEM one; UTF-8 where that page is 65001;
// characters the page lacks become '?'); else, when it runs in a console, that console,
// attached to. Nothing at all for a start from Explorer. The first line written names the
// program and its version.
class CallerOutput {
public:
  CallerOutput();
  bool Present() const noexcept { return handle_ != nullptr; }
  // Writes text and a line break; line breaks inside it become CR LF.
  void WriteLine(TextView text);

private:
  HANDLE handle_ = nullptr;
  bool console_ = false;
  bool versionWritten_ = false;
  UINT codePage_ = CP_UTF8;
  UniqueFileHandle consoleOutput_; // the console's output, opened after attaching
};

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

// The check run for "/check COUNT": no service, no file written, no window. Writes a line
// per file and its outcome to output; returns its exit code.
int RunCheck(const std::vector<Text>& arguments, CallerOutput& output);

#endif

} // namespace fbu
