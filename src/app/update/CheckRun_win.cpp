// The check run: what an update would do, changing nothing.
#include "app/IBSystemActions.h"
#include "app/update/PageCount.h"
#include "app/update/RunReport.h"
#include "app/update/CheckRun.h"
#include "app/update/UpdatePlanning.h"
#include "app/update/UpdateOutcome.h"

namespace fbu {

namespace {

// The server that runs from the file's folder and started before the file was last
// written, so that it does not yet run with what the file says; empty when none.
Text RestartPendingFor(const Text& file, const std::vector<FirebirdService>& services)
{
  const Text root = ConfigFileRoot(file);
  for (const FirebirdService& server : services) {
    if (server.guardian || server.state == service_state::kStopped || !SameFolder(server.root, root)) continue;
    const auto started = ProcessStartTime(server.processId);
    const auto written = FileWriteTime(file);
    if (started && written && *started < *written) return server.name;
  }
  return {};
}

} // namespace

int RunCheck(const std::vector<Text>& arguments, CallerOutput& output)
{
  try {
    const Text count = arguments.size() > 1 ? arguments[1] : Text();
    CheckCachePagesValue(count);
    CheckPageCountArgument(count);
    CheckCacheFitsMemory(count, PhysicalMemoryBytes());
    const PlannedFiles planned = PlanConfigFiles(count);
    const RestartPlan servers = PlanRestarts(planned, true);
    bool pending = false;
    for (std::size_t i = 0; i < planned.found.size(); ++i) {
      Text line = CheckedFileLine(planned.found[i], planned.plans[i], count);
      if (planned.plans[i].takesEffect) {
        const Text server = RestartPendingFor(planned.found[i], servers.services);
        if (!server.empty()) {
          line += u", restart pending (" + server + u" started before the file was last written)";
          pending = true;
        }
      }
      output.WriteLine(line);
      for (const DatabaseCacheOverride& entry : DatabaseOverridesBeside(planned.found[i]))
        output.WriteLine(DatabaseOverrideLine(planned.found[i], entry, planned.plans[i].defaultPages));
    }
    for (const Text& line : servers.lines) output.WriteLine(line);
    int code = CheckExitCode(planned.plans, count);
    if (code == kNothingFound) {
      output.WriteLine(NothingAppliesMessage(FirebirdFolders(), planned.found, planned.plans));
      return code;
    }
    if (!servers.problem.empty()) {
      output.WriteLine(servers.problem);
      return kCheckNotReached;
    }
    if (code == kUpdateDone && pending) {
      output.WriteLine(u"Restart pending: the files give the server " + Text(kCachePagesKey) + u" = " + count +
                       u", but it started before they were last written; an update would restart it.");
      return kCheckWouldChange;
    }
    output.WriteLine(CheckSummary(planned.plans, count));
    return code;
  } catch (const EUpdateIncomplete& e) {
    output.WriteLine(e.Message());
    return e.ExitCode;
  } catch (const std::exception& e) {
    output.WriteLine(ExceptionText(e));
    return kUpdateFailed;
  }
}

} // namespace fbu
