// Which files an update applies to, and which servers read them.
#include <algorithm>

#include "app/IBSystemActions.h"
#include "app/update/RunReport.h"
#include "app/update/UpdatePlanning.h"
#include "app/update/UpdateOutcome.h"
#include "base/StringList.h"

namespace fbu {

PlannedFiles PlanConfigFiles(const Text& value)
{
  PlannedFiles planned;
  TStringList list;
  if (FindFirebirdConfigFiles(&list)) {
    for (int i = 0; i < list.Count(); ++i)
      if (ConfigFileExists(list[i])) planned.found.push_back(list[i]);
  }
  for (const Text& file : planned.found) {
    try {
      planned.plans.push_back(PlanConfigFile(file, kCachePagesKey, value));
    } catch (const std::exception& e) {
      const auto next = planned.found.begin() + static_cast<std::ptrdiff_t>(planned.plans.size()) + 1;
      throw EUpdateIncomplete(FileErrorMessage(ExceptionText(e), {}, std::vector<Text>(next, planned.found.end())),
                              kUpdateFailed);
    }
  }
  return planned;
}

namespace {

bool InAny(const std::vector<Text>& roots, const Text& root)
{
  return !root.empty() && std::any_of(roots.begin(), roots.end(), [&](const Text& r) { return SameFolder(r, root); });
}

bool IsDefaultInstance(const FirebirdService& service)
{
  return UpperAsciiOnly(service.name) == UpperAsciiOnly(kFirebirdServiceName);
}

} // namespace

RestartPlan PlanRestarts(const PlannedFiles& planned, bool check)
{
  RestartPlan plan;
  std::vector<Text> saved, reached; // roots of files saved, and of those the server then reads
  for (std::size_t i = 0; i < planned.found.size() && i < planned.plans.size(); ++i) {
    if (planned.plans[i].rewrites) saved.push_back(ConfigFileRoot(planned.found[i]));
    if (planned.plans[i].takesEffect) reached.push_back(ConfigFileRoot(planned.found[i]));
  }
  const auto services = FirebirdServiceMap();
  if (!services) {
    if (!check) plan.servers.push_back({kFirebirdServiceName, {}, {}});
    return plan;
  }
  plan.services = *services;
  const bool overridden = FolderOverridden();
  bool defaultSeen = false;
  for (const FirebirdService& server : plan.services) {
    if (server.guardian) continue;
    const bool isDefault = IsDefaultInstance(server);
    defaultSeen = defaultSeen || isDefault;
    const Text head = u"Service " + server.name + u": ";
    const Text from = server.root.empty() ? Text() : u"runs from " + server.root;
    // The default instance is started at the end of an update even when it was stopped,
    // as it always was; another instance found stopped reads its file when it starts.
    if (server.state == service_state::kStopped && isDefault) {
      if (!check) plan.servers.push_back({server.name, server.root, {}});
      continue;
    }
    if (server.state == service_state::kStopped) {
      if (InAny(saved, server.root))
        plan.lines.push_back(head + (check ? u"stopped" : u"found stopped, left stopped") + u" (" + from +
                             u"; it reads the file when it starts)");
      continue;
    }
    const bool restart = InAny(saved, server.root) || (isDefault && (overridden || server.root.empty()));
    if (restart && !check) {
      const FirebirdService* guardian = FindGuardian(plan.services, server.instance);
      const bool guarded = guardian && guardian->state != service_state::kStopped && guardian->state != 0;
      plan.servers.push_back({server.name, server.root, guarded ? guardian->name : Text()});
    }
    if (check && !from.empty()) plan.lines.push_back(head + u"running, " + from);
    if (!isDefault || server.root.empty() || InAny(reached, server.root)) continue;
    // The default instance runs from a folder whose file does not get the value.
    if (!overridden) plan.problem = ElsewhereProblem(server.name, server.root, check);
    if (!restart && !check)
      plan.lines.push_back(head + u"found running, left running (" + from +
                           u", whose firebird.conf this run did not change)");
  }
  if (!defaultSeen && !check) plan.lines.push_back(u"Service " + Text(kFirebirdServiceName) + u": not installed");
  return plan;
}

} // namespace fbu
