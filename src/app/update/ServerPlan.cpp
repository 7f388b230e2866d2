#include "app/update/ServerPlan.h"

#include <algorithm>
#include <optional>

#include "app/configfiles/ConfigFiles.h"
#include "app/services/ServiceControl.h"
#include "app/update/RunReport.h"
#include "app/update/UpdateOutcome.h"

namespace fbu {

namespace {

namespace st = service_state;

bool InAny(const std::vector<Text>& roots, TextView root)
{
  return std::any_of(roots.begin(), roots.end(), [&](const Text& r) { return SameInstallation(r, root); });
}

bool IsDefaultInstance(const FirebirdService& service)
{
  return UpperAsciiOnly(service.name) == UpperAsciiOnly(kFirebirdServiceName);
}

// The state of a service asked of it directly; nothing when it is not installed, 0 when
// it cannot be read.
std::optional<std::uint32_t> StateOf(ServicesPort& services, const Text& name)
{
  const std::unique_ptr<ServicePort> port = services.Open(name, false);
  if (!port || !port->OpenManager()) return 0;
  if (!port->OpenNamedService()) {
    if (port->LastError() == kServiceDoesNotExist) return std::nullopt;
    return 0;
  }
  const auto status = port->Query();
  return status ? status->state : 0;
}

// Without a list of the services, the default instance and its Guardian are found by name.
void PlanUnlisted(ServerPlan& plan, ServicesPort& services, bool check)
{
  plan.problems.push_back(UnlistedServicesProblem(services.MapError(), check));
  if (check) return;
  const auto server = StateOf(services, kFirebirdServiceName);
  if (!server) {
    plan.lines.push_back(u"Service " + Text(kFirebirdServiceName) + u": not installed");
    return;
  }
  ServerToRestart restart;
  restart.name = kFirebirdServiceName;
  restart.stateBefore = *server;
  const Text guardian = Text(kGuardianServicePrefix) + u"DefaultInstance";
  const auto guardianState = StateOf(services, guardian);
  if (guardianState && *guardianState != st::kStopped) {
    restart.guardianName = guardian;
    restart.guardianBefore = *guardianState;
  }
  plan.servers.push_back(std::move(restart));
}

} // namespace

ServerPlan PlanServers(const PlannedFiles& planned, ConfigFilesPort& files, ServicesPort& services, bool check)
{
  ServerPlan plan;
  std::vector<Text> saved, reached; // final roots of the files saved, and of those the server then reads
  for (std::size_t i = 0; i < planned.found.size() && i < planned.plans.size(); ++i) {
    if (!planned.plans[i].rewrites) continue;
    const Text root = files.InstallationFolder(planned.found[i]);
    saved.push_back(root);
    if (planned.plans[i].takesEffect) reached.push_back(root);
  }
  auto listed = services.ServiceMap();
  if (!listed) {
    PlanUnlisted(plan, services, check);
    return plan;
  }
  plan.services = std::move(*listed);
  const bool overridden = files.FolderOverridden();
  bool defaultSeen = false;
  for (const FirebirdService& server : plan.services) {
    if (server.guardian) continue;
    const bool isDefault = IsDefaultInstance(server);
    defaultSeen = defaultSeen || isDefault;
    const bool stopped = server.state == st::kStopped;
    const bool known = !server.finalRoot.empty();
    const Text head = u"Service " + server.name + u": ";
    const Text from = u"runs from " + (server.root.empty() ? Text(u"a folder that could not be read") : server.root);
    // The default instance is started at the end of an update even when it was stopped,
    // as it always was; another instance found stopped reads its file when it starts.
    if (stopped && !isDefault) {
      if (InAny(saved, server.finalRoot))
        plan.lines.push_back(head + (check ? u"stopped" : u"found stopped, left stopped") + u" (" + from +
                             u"; it reads the file when it starts)");
      continue;
    }
    const bool restart = InAny(saved, server.finalRoot) || (isDefault && (overridden || stopped));
    if (restart && !check) {
      ServerToRestart restarted;
      restarted.name = server.name;
      restarted.root = server.root;
      restarted.stateBefore = server.state;
      const FirebirdService* guardian = FindGuardian(plan.services, server.instance);
      if (guardian && guardian->state != st::kStopped) {
        restarted.guardianName = guardian->name;
        restarted.guardianBefore = guardian->state;
      }
      plan.servers.push_back(std::move(restarted));
    }
    if (check) plan.lines.push_back(head + ServiceStateName(server.state) + u", " + from);
    if (!known) {
      // Whether it reads one of the files is not known: it is named, not passed over.
      if (!overridden) plan.problems.push_back(UnreadableFolderProblem(server.name, server.root, check));
      if (!restart && !check)
        plan.lines.push_back(head + u"found " + ServiceStateName(server.state) + u", left as it was (" + from + u")");
      continue;
    }
    if (!isDefault || InAny(reached, server.finalRoot) || overridden) continue;
    // The default instance runs, or is to be started, from a folder whose file does not
    // get the value.
    plan.problems.push_back(ElsewhereProblem(server.name, server.root, check, stopped));
    if (!restart && !check)
      plan.lines.push_back(head + u"found running, left running (" + from +
                           u", whose firebird.conf this run did not change)");
  }
  if (!defaultSeen && !check) plan.lines.push_back(u"Service " + Text(kFirebirdServiceName) + u": not installed");
  return plan;
}

} // namespace fbu
