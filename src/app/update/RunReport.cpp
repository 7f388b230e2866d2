#include "app/update/RunReport.h"

#include <algorithm>

#include "app/IBSystemActions.h"
#include "app/update/PageCount.h"
#include "app/update/UpdateOutcome.h"

namespace fbu {

namespace {

namespace st = service_state;

Text KeyLine(TextView value)
{
  return Text(kCachePagesKey) + u" = " + Text(value);
}

} // namespace

Text ServiceStateName(std::uint32_t state)
{
  switch (state) {
  case st::kStopped: return u"stopped";
  case st::kStartPending: return u"starting";
  case st::kStopPending: return u"stopping";
  case st::kRunning: return u"running";
  case st::kContinuePending: return u"resuming";
  case st::kPausePending: return u"pausing";
  case st::kPaused: return u"paused";
  case 0: return u"in a state that could not be read";
  default: return u"in state " + IntToText(state);
  }
}

Text SettingDescription(const ServerSetting& setting, std::int32_t defaultPages)
{
  switch (setting.kind) {
  case ServerSetting::Kind::Set: return KeyLine(FromUtf8(setting.value));
  case ServerSetting::Kind::NotSet: return u"no setting (the server uses " + IntToText(defaultPages) + u" pages)";
  default: return u"unreadable to the server";
  }
}

Text UpdatedFileLine(TextView path, const ConfigFilePlan& done, TextView value)
{
  if (!done.rewrites) return Text(path) + u": left alone, " + NotAppliedReason(done);
  Text line = Text(path) + u": " + SettingDescription(done.before, done.defaultPages) + u" -> " + KeyLine(value);
  if (!done.takesEffect) line += u" (" + NotAppliedReason(done) + u")";
  return line;
}

Text VanishedFileLine(TextView path)
{
  return Text(path) + u": left alone, it no longer exists";
}

Text ServiceLine(const ServiceSwitchOutcome& stop, const ServiceSwitchOutcome& start, TextView serviceName,
                 TextView root, TextView stoppedBy)
{
  const Text head = u"Service " + Text(serviceName) + u": ";
  if (!start.installed) return head + u"not installed";
  if (start.stateFound == 0) {
    const Text line = head + u"could not be controlled";
    return start.error ? line + u" (" + SysErrorMessage(start.error) + u")" : line;
  }
  Text line = head + u"found " + ServiceStateName(stop.stateFound);
  const bool wasUp = stop.stateFound != st::kStopped && stop.stateFound != 0;
  // An accepted stop control is not yet a stopped service.
  if (stop.result)
    line += stop.stateLeft == st::kStopped ? Text(u", stopped")
                                           : u", asked to stop (" + ServiceStateName(stop.stateLeft) +
                                                 (stop.waitEnded ? u" when the wait ended)" : u")");
  else if (wasUp && stop.stateLeft == st::kStopped)
    line += stoppedBy.empty() ? Text(u", stopped") : u", stopped by " + Text(stoppedBy);
  if (start.startSent)
    line += start.startBeaten ? u", started by another meanwhile" : start.result ? u", started" : u", start refused";
  line += u", left " + ServiceStateName(start.stateLeft);
  for (const DependentOutcome& d : stop.dependents)
    line += u"; dependent " + d.name + (d.result ? u" stopped" : u" did not stop");
  for (const DependentOutcome& d : start.dependents)
    line += u"; dependent " + d.name +
            (d.result ? u" started, left " + ServiceStateName(d.stateLeft) : Text(u" start refused"));
  if (!root.empty()) line += u" (runs from " + Text(root) + u")";
  return line;
}

Text DatabaseOverrideLine(TextView configFile, const DatabaseCacheOverride& entry, std::int32_t defaultPages)
{
  const std::size_t cut = configFile.find_last_of(u"\\/");
  const Text folder = cut == TextView::npos ? Text() : Text(configFile.substr(0, cut + 1));
  return folder + u"databases.conf: " + FromUtf8(entry.alias) + u" keeps " +
         IntToText(ServerCachePages(entry.value, defaultPages)) + u" pages";
}

bool SettingHolds(const ConfigFilePlan& plan, TextView count)
{
  switch (plan.before.kind) {
  case ServerSetting::Kind::Set: return ServerCachePages(plan.before.value, plan.defaultPages) == ServerPagesFor(count);
  case ServerSetting::Kind::NotSet: return plan.defaultPages == ServerPagesFor(count);
  default: return false;
  }
}

Text CheckedFileLine(TextView path, const ConfigFilePlan& plan, TextView count)
{
  const Text line = Text(path) + u": " + SettingDescription(plan.before, plan.defaultPages);
  if (!plan.refusal.empty()) return line + u", cannot be saved: " + plan.refusal;
  if (!plan.rewrites) return line + u", left alone, " + NotAppliedReason(plan);
  if (!plan.takesEffect)
    return line + (plan.changes ? u", would become " + KeyLine(count) : Text(u", would stay as it is")) + u" (" +
           NotAppliedReason(plan) + u")";
  return line + (SettingHolds(plan, count) ? u", in place" : u", would become " + KeyLine(count));
}

namespace {

// Files an update would change: those the server would read count with a setting it does
// not read today, and those it rewrites without reading them (UTF-16) whose bytes change.
bool WouldChange(const ConfigFilePlan& plan, TextView count)
{
  return plan.takesEffect ? !SettingHolds(plan, count) : plan.rewrites && plan.changes;
}

bool Refused(const ConfigFilePlan& plan)
{
  return !plan.refusal.empty();
}

} // namespace

int CheckExitCode(const std::vector<ConfigFilePlan>& plans, TextView count)
{
  const auto applies = [](const ConfigFilePlan& plan) { return plan.takesEffect; };
  if (std::none_of(plans.begin(), plans.end(), applies)) return kNothingFound;
  if (std::any_of(plans.begin(), plans.end(), Refused)) return kUpdateFailed;
  const bool inPlace =
      std::none_of(plans.begin(), plans.end(), [&](const ConfigFilePlan& plan) { return WouldChange(plan, count); });
  return inPlace ? kUpdateDone : kCheckWouldChange;
}

Text CheckSummary(const std::vector<ConfigFilePlan>& plans, TextView count)
{
  const auto refused = std::count_if(plans.begin(), plans.end(), Refused);
  if (refused != 0)
    return u"An update would fail: " + IntToText(refused) + (refused == 1 ? u" file" : u" files") +
           u" cannot be saved (see above); it would change nothing.";
  const auto changing =
      std::count_if(plans.begin(), plans.end(), [&](const ConfigFilePlan& plan) { return WouldChange(plan, count); });
  if (changing == 0)
    return u"In place: the server reads " + KeyLine(count) + u" from every file it would take it from.";
  return u"An update would change " + IntToText(changing) + (changing == 1 ? u" file" : u" files") + u" to " +
         KeyLine(count) + u" and restart the service.";
}

Text RefusedFilesMessage(const std::vector<Text>& files, const std::vector<ConfigFilePlan>& plans)
{
  Text text = u"Some files cannot be saved, so nothing was changed and the service was not touched:";
  for (std::size_t i = 0; i < files.size() && i < plans.size(); ++i)
    if (Refused(plans[i])) text += u"\n  " + plans[i].refusal;
  return text;
}

} // namespace fbu
