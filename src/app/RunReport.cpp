#include "app/RunReport.h"

#include <algorithm>

#include "app/IBSystemActions.h"
#include "app/SetDBCachePSize.h"
#include "app/UpdateOutcome.h"

namespace fbu {

namespace {

namespace st = service_state;

Text StateName(std::uint32_t state)
{
  switch (state) {
  case st::kStopped: return u"stopped";
  case st::kStartPending: return u"starting";
  case st::kStopPending: return u"stopping";
  case st::kRunning: return u"running";
  case st::kContinuePending: return u"resuming";
  case st::kPausePending: return u"pausing";
  case st::kPaused: return u"paused";
  default: return u"in state " + IntToText(state);
  }
}

Text KeyLine(TextView value)
{
  return Text(kCachePagesKey) + u" = " + Text(value);
}

} // namespace

bool IsCheckSwitch(TextView argument)
{
  return (argument.starts_with(u'/') || argument.starts_with(u'-')) && UpperAsciiOnly(argument.substr(1)) == u"CHECK";
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

Text ServiceLine(const ServiceSwitchOutcome& stop, const ServiceSwitchOutcome& start, TextView serviceName,
                 TextView root)
{
  const Text head = u"Service " + Text(serviceName) + u": ";
  if (!start.installed) return head + u"not installed";
  if (start.stateFound == 0) return head + u"could not be controlled (" + SysErrorMessage(start.error) + u")";
  Text line = head + u"found " + StateName(stop.stateFound);
  if (stop.result) line += u", stopped";
  if (start.startSent) line += start.result ? u", started" : u", start refused";
  line += u", left " + StateName(start.stateLeft);
  for (const DependentOutcome& d : stop.dependents)
    line += u"; dependent " + d.name + (d.result ? u" stopped" : u" did not stop");
  for (const DependentOutcome& d : start.dependents)
    line += u"; dependent " + d.name + (d.result ? u" started, left " + StateName(d.stateLeft) : u" start refused");
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
  if (!plan.takesEffect) return line + u", left alone, " + NotAppliedReason(plan);
  return line + (SettingHolds(plan, count) ? u", in place" : u", would become " + KeyLine(count));
}

int CheckExitCode(const std::vector<ConfigFilePlan>& plans, TextView count)
{
  const auto applies = [](const ConfigFilePlan& plan) { return plan.takesEffect; };
  if (std::none_of(plans.begin(), plans.end(), applies)) return kNothingFound;
  const bool inPlace = std::all_of(plans.begin(), plans.end(), [&](const ConfigFilePlan& plan) {
    return !plan.takesEffect || SettingHolds(plan, count);
  });
  return inPlace ? kUpdateDone : kCheckWouldChange;
}

Text CheckSummary(const std::vector<ConfigFilePlan>& plans, TextView count)
{
  const auto changing = std::count_if(plans.begin(), plans.end(), [&](const ConfigFilePlan& plan) {
    return plan.takesEffect && !SettingHolds(plan, count);
  });
  if (changing == 0)
    return u"In place: the server reads " + KeyLine(count) + u" from every file it would take it from.";
  return u"An update would change " + IntToText(changing) + (changing == 1 ? u" file" : u" files") + u" to " +
         KeyLine(count) + u" and restart the service.";
}

} // namespace fbu
