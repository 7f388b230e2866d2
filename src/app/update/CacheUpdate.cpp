#include "app/update/CacheUpdate.h"

#include <algorithm>
#include <new>
#include <optional>

#include "app/configfiles/ConfigFiles.h"
#include "app/update/PageCount.h"
#include "app/update/RunReport.h"
#include "app/update/ServerPlan.h"
#include "app/update/UpdateOutcome.h"

namespace fbu {

namespace {

namespace st = service_state;

bool TakesEffect(const ConfigFilePlan& plan)
{
  return plan.takesEffect;
}

void CheckCount(const Text& value, std::uint64_t memoryBytes)
{
  CheckCachePagesValue(value);
  CheckPageCountArgument(value);
  CheckCacheFitsMemory(value, memoryBytes);
}

// The parts of a report, each a paragraph.
Text Paragraphs(const std::vector<Text>& parts)
{
  Text text;
  for (const Text& part : parts)
    if (!part.empty()) text += (text.empty() ? u"" : u"\n\n") + part;
  return text;
}

void Add(std::vector<Text>& problems, Text problem)
{
  if (!problem.empty()) problems.push_back(std::move(problem));
}

Text WithoutLeadingBlank(const Text& text)
{
  return text.starts_with(u' ') ? text.substr(1) : text;
}

// One server's part of an update.
struct Restart {
  ServerToRestart server;
  bool touched = false; // its stop phase began, so its start phase must run
  ServiceSwitchOutcome guardianStop, stop, start, guardianStart;
  bool guardianHeld = false; // its Guardian stays stopped, as the server does not run
};

// The road's own state: what it was given and what it has found so far.
class UpdateRoad {
public:
  UpdateRoad(const Text& value, ConfigFilesPort& files, ServicesPort& services, WaitClock& clock,
             const UpdateSettings& settings)
      : value_(value), files_(files), services_(services), clock_(clock), settings_(settings)
  {
  }

  RunResult Run()
  {
    try {
      CheckCount(value_, settings_.memoryBytes);
      planned_ = files_.Plan(value_);
    } catch (const EUpdateIncomplete& incomplete) {
      return Ended(incomplete.Message(), incomplete.ExitCode);
    } catch (...) {
      return Ended(EscapedErrorText(), kUpdateFailed);
    }
    const std::vector<ConfigFilePlan>& plans = planned_.plans;
    if (std::none_of(plans.begin(), plans.end(), TakesEffect))
      return Ended(NothingAppliesMessage(files_.FoldersSearched(), planned_.found, plans), kNothingFound);
    // A save certain to be refused fails the run now, as the check tells, file by file.
    if (std::any_of(plans.begin(), plans.end(), [](const ConfigFilePlan& p) { return !p.refusal.empty(); })) {
      for (std::size_t i = 0; i < planned_.found.size(); ++i)
        result_.lines.push_back(CheckedFileLine(planned_.found[i], plans[i], value_));
      return Ended(RefusedFilesMessage(planned_.found, plans), kUpdateFailed);
    }
    try {
      servers_ = PlanServers(planned_, files_, services_, false);
    } catch (...) {
      return Ended(EscapedErrorText(), kUpdateFailed);
    }
    for (std::size_t i = 0; i < planned_.found.size(); ++i) {
      if (plans[i].rewrites)
        toSave_.push_back(planned_.found[i]);
      else
        TellFile(planned_.found[i], plans[i]);
    }
    for (const ServerToRestart& server : servers_.servers) restarts_.emplace_back().server = server;

    runEnd_ = clock_.Now() + settings_.serviceBound;
    // Between the first stop and the last start nothing may escape: every service
    // stopped is started again, whatever happened in between.
    try {
      StopAll();
      SaveAll();
    } catch (...) {
      error_ = EscapedErrorText();
    }
    StartAll();
    return Verdict();
  }

private:
  RunResult Ended(const Text& report, int exitCode)
  {
    result_.report = report;
    result_.exitCode = exitCode;
    return result_;
  }

  void TellFile(const Text& file, const ConfigFilePlan& plan)
  {
    result_.lines.push_back(UpdatedFileLine(file, plan, value_));
    for (const DatabaseCacheOverride& entry : files_.DatabaseOverrides(file))
      result_.lines.push_back(DatabaseOverrideLine(file, entry, plan.defaultPages));
  }

  // A phase that raises nothing: whatever escapes it is the phase's error.
  ServiceSwitchOutcome Switch(const Text& name, bool start, const std::vector<Text>& restartAfter = {})
  {
    ServiceSwitchOutcome failed;
    try {
      const std::unique_ptr<ServicePort> port = services_.Open(name, start);
      if (port) return RunServiceSwitch(start, *port, settings_.pump, clock_, restartAfter, runEnd_);
      failed.error = kInternalError;
    } catch (const std::bad_alloc&) {
      failed.error = kNotEnoughMemory;
    } catch (...) {
      failed.error = kInternalError;
    }
    return failed;
  }

  // Each Guardian before its server: stopping it stops the server too, and it must not
  // take the server's stop for a crash and start it again while the files are saved.
  void StopAll()
  {
    for (Restart& restart : restarts_) {
      restart.touched = true;
      if (!restart.server.guardianName.empty()) restart.guardianStop = Switch(restart.server.guardianName, false);
      restart.stop = Switch(restart.server.name, false);
    }
  }

  void SaveAll()
  {
    for (const Text& file : toSave_) {
      ++reached_;
      const std::optional<ConfigFilePlan> plan = files_.Save(file, value_);
      if (!plan) {
        // A file gone since it was read is no file saved.
        result_.lines.push_back(VanishedFileLine(file));
        afterSave_.push_back({file, u"it no longer exists"});
        continue;
      }
      if (plan->takesEffect) anyTakesEffect_ = true;
      if (plan->rewrites) saved_.push_back(file);
      afterSave_.push_back({file, NotAppliedReason(*plan)});
      TellFile(file, *plan);
    }
  }

  // Each server before its Guardian, and the Guardian only once its server runs (it would
  // otherwise start the server itself, or keep trying); dependents after what they need.
  void StartAll()
  {
    for (Restart& restart : restarts_) {
      if (!restart.touched) continue;
      restart.start = Switch(restart.server.name, true, StoppedDependents(restart.stop));
      if (restart.server.guardianName.empty()) continue;
      if (restart.start.stateLeft == st::kRunning)
        restart.guardianStart = Switch(restart.server.guardianName, true, StoppedDependents(restart.guardianStop));
      else
        restart.guardianHeld = true;
    }
  }

  RunResult Verdict()
  {
    std::vector<Text> stopped, others;
    for (Restart& restart : restarts_) {
      if (!restart.touched) continue;
      TellServer(restart, stopped, others);
    }
    for (const Text& line : servers_.lines) result_.lines.push_back(line);
    for (const Text& problem : servers_.problems) Add(others, problem);
    if (error_) {
      // The error may come after the last file was taken: then no file is left unreached.
      const auto next = toSave_.begin() + static_cast<std::ptrdiff_t>(std::min(reached_, toSave_.size()));
      stopped.push_back(FileErrorMessage(*error_, saved_, std::vector<Text>(next, toSave_.end())));
      stopped.insert(stopped.end(), others.begin(), others.end());
      return Ended(Paragraphs(stopped), kUpdateFailed);
    }
    if (!anyTakesEffect_) {
      std::vector<Text> files, reasons;
      for (const auto& [file, reason] : afterSave_) {
        files.push_back(file);
        reasons.push_back(reason);
      }
      stopped.push_back(ChangedMeanwhileMessage(files, reasons));
    }
    stopped.insert(stopped.end(), others.begin(), others.end());
    return Ended(Paragraphs(stopped), stopped.empty() ? kUpdateDone : kServiceNotRunning);
  }

  // The lines and problems of one server and its Guardian, judged from the snapshot
  // taken before any stop: the server's own stop phase comes after its Guardian's stop,
  // which has stopped it already.
  void TellServer(Restart& restart, std::vector<Text>& stopped, std::vector<Text>& others)
  {
    const ServerToRestart& server = restart.server;
    if (restart.stop.stateFound != 0) restart.stop.stateFound = server.stateBefore;
    const bool guardianStoppedIt = !server.guardianName.empty() && !restart.stop.result &&
                                   restart.stop.stateLeft == st::kStopped && restart.guardianStop.result;
    result_.lines.push_back(ServiceLine(restart.stop, restart.start, server.name, server.root,
                                        guardianStoppedIt ? TextView(server.guardianName) : TextView()));
    // Whatever this run stopped and did not bring back running is named first.
    Add(LeftStopped(restart.stop, restart.start) ? stopped : others,
        ServerProblem(restart.stop, restart.start, server.name));
    Add(stopped, WithoutLeadingBlank(DependentsProblem(restart.stop, restart.start, server.name)));
    if (server.guardianName.empty()) return;
    if (restart.guardianStop.stateFound != 0) restart.guardianStop.stateFound = server.guardianBefore;
    if (restart.guardianHeld) {
      ServiceSwitchOutcome notStarted;
      notStarted.stateFound = notStarted.stateLeft = restart.guardianStop.stateLeft;
      result_.lines.push_back(ServiceLine(restart.guardianStop, notStarted, server.guardianName));
      Add(stopped, GuardianHeldProblem(server.guardianName, server.name) +
                       DependentsProblem(restart.guardianStop, notStarted, server.guardianName));
      return;
    }
    result_.lines.push_back(ServiceLine(restart.guardianStop, restart.guardianStart, server.guardianName));
    Add(restart.guardianStart.stateFound == 0 ? others : stopped,
        GuardianProblem(restart.guardianStop, restart.guardianStart, server.guardianName));
  }

  const Text& value_;
  ConfigFilesPort& files_;
  ServicesPort& services_;
  WaitClock& clock_;
  const UpdateSettings& settings_;

  RunResult result_;
  PlannedFiles planned_;
  ServerPlan servers_;
  std::vector<Restart> restarts_;
  std::vector<Text> toSave_;
  std::vector<Text> saved_;
  std::vector<std::pair<Text, Text>> afterSave_; // each file taken and why it does not take the value
  bool anyTakesEffect_ = false;
  std::size_t reached_ = 0; // files taken so far, the failing one included
  std::optional<Text> error_;
  WaitClock::TimePoint runEnd_{};
};

// The server that runs from the file's folder and started before the file was last
// written, so that it does not yet run with what the file says; empty when none.
Text RestartPendingFor(const Text& file, const std::vector<FirebirdService>& listed, ConfigFilesPort& files,
                       ServicesPort& services)
{
  const Text root = files.InstallationFolder(file);
  for (const FirebirdService& server : listed) {
    if (server.guardian || server.state == st::kStopped || !SameInstallation(server.finalRoot, root)) continue;
    const auto started = services.ProcessStarted(server.processId);
    const auto written = files.LastWritten(file);
    if (started && written && *started < *written) return server.name;
  }
  return {};
}

} // namespace

RunResult RunCacheUpdate(const Text& value, ConfigFilesPort& files, ServicesPort& services, WaitClock& clock,
                         const UpdateSettings& settings)
{
  return UpdateRoad(value, files, services, clock, settings).Run();
}

RunResult RunCacheCheck(const Text& value, ConfigFilesPort& files, ServicesPort& services, std::uint64_t memoryBytes)
{
  RunResult run;
  const auto ended = [&run](int code) {
    run.exitCode = code;
    return run;
  };
  try {
    CheckCount(value, memoryBytes);
    const PlannedFiles planned = files.Plan(value);
    const ServerPlan servers = PlanServers(planned, files, services, true);
    bool pending = false;
    for (std::size_t i = 0; i < planned.found.size(); ++i) {
      const Text& file = planned.found[i];
      Text line = CheckedFileLine(file, planned.plans[i], value);
      if (planned.plans[i].takesEffect) {
        const Text server = RestartPendingFor(file, servers.services, files, services);
        if (!server.empty()) {
          line += u", restart pending (" + server + u" started before the file was last written)";
          pending = true;
        }
      }
      run.lines.push_back(line);
      for (const DatabaseCacheOverride& entry : files.DatabaseOverrides(file))
        run.lines.push_back(DatabaseOverrideLine(file, entry, planned.plans[i].defaultPages));
    }
    run.lines.insert(run.lines.end(), servers.lines.begin(), servers.lines.end());
    const int code = CheckExitCode(planned.plans, value);
    if (code == kNothingFound) {
      run.lines.push_back(NothingAppliesMessage(files.FoldersSearched(), planned.found, planned.plans));
      return ended(code);
    }
    // A save the update would refuse fails it before any server matters.
    if (code != kUpdateFailed && !servers.problems.empty()) {
      run.lines.insert(run.lines.end(), servers.problems.begin(), servers.problems.end());
      return ended(kCheckNotReached);
    }
    if (code == kUpdateDone && pending) {
      run.lines.push_back(u"Restart pending: the files give the server " + Text(kCachePagesKey) + u" = " + value +
                          u", but it started before they were last written; an update would restart it.");
      return ended(kCheckWouldChange);
    }
    run.lines.push_back(CheckSummary(planned.plans, value));
    return ended(code);
  } catch (const EUpdateIncomplete& incomplete) {
    run.lines.push_back(incomplete.Message());
    return ended(incomplete.ExitCode);
  } catch (...) {
    run.lines.push_back(EscapedErrorText());
    return ended(kUpdateFailed);
  }
}

} // namespace fbu
