#include "app/update/UpdateOutcome.h"

#include "app/IBSystemActions.h"

#include <algorithm>
#include <new>

namespace fbu {

namespace {

namespace st = service_state;

Text FileList(const std::vector<Text>& files)
{
  if (files.empty()) return u"\n  (none)";
  Text out;
  for (const Text& file : files) out += u"\n  " + file;
  return out;
}

Text WithCause(Text text, std::uint32_t error)
{
  if (error != 0) text += u" (" + SysErrorMessage(error) + u")";
  return text;
}

Text WhyNotRunning(const ServiceSwitchOutcome& start)
{
  switch (start.stateLeft) {
  case st::kStopped:
    if (start.startSent && !start.result) return WithCause(u"it could not be started", start.error);
    if (start.startSent) return WithCause(u"it stopped while starting", start.serviceExit);
    return u"it is stopped";
  case st::kStartPending: return start.waitEnded ? u"it was still starting when the wait ended" : u"it is starting";
  case st::kStopPending: return start.waitEnded ? u"it was still stopping when the wait ended" : u"it is stopping";
  case st::kPaused: return u"it is paused";
  case st::kPausePending: return u"it was pausing";
  case st::kContinuePending: return u"it was resuming from a pause";
  case 0: return u"its state could not be read";
  default: return u"its state is " + IntToText(start.stateLeft);
  }
}

Text JoinedFolders(const std::vector<Text>& folders)
{
  Text joined;
  for (const Text& folder : folders) joined += (joined.empty() ? u"" : u" or ") + folder;
  return joined;
}

} // namespace

Text NothingFoundMessage(const std::vector<Text>& foldersSearched)
{
  return u"No firebird.conf was found below " + JoinedFolders(foldersSearched) + u".";
}

Text FileErrorMessage(TextView error, const std::vector<Text>& saved, const std::vector<Text>& notReached)
{
  return Text(error) + u"\n\nSaved before the error:" + FileList(saved) + u"\nNot reached:" + FileList(notReached);
}

bool LeftStopped(const ServiceSwitchOutcome& stop, const ServiceSwitchOutcome& start)
{
  const bool wasUp = stop.stateFound != 0 && stop.stateFound != st::kStopped && stop.stateFound != st::kStopPending;
  return start.installed && wasUp && (start.stateLeft == st::kStopped || start.stateLeft == st::kStopPending);
}

// Dependents stopped for the server and not running again.
Text DependentsProblem(const ServiceSwitchOutcome& stop, const ServiceSwitchOutcome& start, TextView serviceName)
{
  Text text;
  for (const DependentOutcome& stopped : stop.dependents) {
    if (!stopped.result) {
      text += u" The service " + stopped.name + u", which depends on " + Text(serviceName) + u", did not stop" +
              (stopped.error ? u" (" + SysErrorMessage(stopped.error) + u")" : Text()) + u".";
      continue;
    }
    const auto again = std::find_if(start.dependents.begin(), start.dependents.end(),
                                    [&](const DependentOutcome& d) { return d.name == stopped.name; });
    if (again != start.dependents.end() && again->result && again->stateLeft == st::kRunning) continue;
    text += u" The service " + stopped.name + u", which depends on " + Text(serviceName) +
            u", was stopped and is not running again";
    if (again != start.dependents.end() && again->error) text += u" (" + SysErrorMessage(again->error) + u")";
    text += u".";
  }
  return text;
}

Text ServerProblem(const ServiceSwitchOutcome& stop, const ServiceSwitchOutcome& start, TextView serviceName)
{
  const Text head = u"The new value was written, but the service " + Text(serviceName);
  if (start.stateFound == 0)
    return WithCause(head + u" could not be controlled", start.error) +
           u", so the new value takes effect at its next restart.";
  // Only a start after the files were saved makes the server read them.
  if (start.startSent && start.result && start.stateLeft == st::kRunning) return {};
  const Text later = u", so the new value takes effect at its next restart.";
  const bool stillStarting = stop.stateLeft == st::kStartPending || stop.stateLeft == st::kContinuePending;
  if (stop.waitEnded && stillStarting) return head + u" was still starting when the wait ended" + later;
  if (start.stateLeft == st::kRunning) {
    // Running all along because it refused to stop: it still holds the old value.
    if (stop.stateFound == st::kRunning && !stop.result) {
      Text text = head + u" did not stop" + later;
      if (stop.error) text += u" The stop was refused: " + SysErrorMessage(stop.error);
      return text;
    }
    return head + u" was not stopped and started again by this update" + later;
  }
  Text text = head + u" is not running again: " + WhyNotRunning(start) + u".";
  if (LeftStopped(stop, start))
    text = u"The Firebird server " + Text(serviceName) + u" is stopped" +
           (start.stateLeft == st::kStopPending ? u" (still stopping when the wait ended)" : u"") +
           u" and was not started again; start it to bring it back. " + text;
  return text;
}

Text ServiceProblem(const ServiceSwitchOutcome& stop, const ServiceSwitchOutcome& start, TextView serviceName)
{
  if (!start.installed) return {};
  Text text = ServerProblem(stop, start, serviceName);
  const Text dependents = DependentsProblem(stop, start, serviceName);
  if (text.empty() && !dependents.empty()) return dependents.substr(1);
  return text + dependents;
}

Text GuardianProblem(const ServiceSwitchOutcome& stop, const ServiceSwitchOutcome& start, TextView serviceName)
{
  const Text dependents = DependentsProblem(stop, start, serviceName);
  if (start.stateLeft == st::kRunning) return dependents.empty() ? dependents : dependents.substr(1);
  if (start.stateFound == 0)
    return WithCause(u"The Guardian service " + Text(serviceName) + u" could not be controlled", start.error) +
           u", so the server runs unguarded.";
  Text text = u"The Guardian service " + Text(serviceName) + u" ran before the update and is not running again: " +
              WhyNotRunning(start) + u"; the server runs unguarded.";
  if (!stop.result && stop.error) text += u" Its stop was refused: " + SysErrorMessage(stop.error);
  return text + dependents;
}

Text GuardianHeldProblem(TextView guardianName, TextView serverName)
{
  return u"The Guardian service " + Text(guardianName) +
         u" ran before the update and was not started again, "
         u"because its server " +
         Text(serverName) + u" does not run; start " + Text(serverName) + u", then " + Text(guardianName) + u".";
}

Text ElsewhereProblem(TextView serviceName, TextView root, bool check, bool stopped)
{
  if (stopped)
    return (check ? u"An update would start the service " : u"The service ") + Text(serviceName) +
           (check ? u" from " : u" was started from ") + Text(root) + u", whose firebird.conf " +
           (check ? u"an update would not change" : u"this run did not change") +
           u", so that server does not use the new value.";
  return (check ? u"An update would not reach the server that runs: the service " : u"The service ") +
         Text(serviceName) + u" runs from " + Text(root) + u", whose firebird.conf " +
         (check ? u"an update would not change" : u"this run did not change") +
         u", so that server does not use the new value.";
}

Text UnreadableFolderProblem(TextView serviceName, TextView root, bool check)
{
  const Text where = root.empty() ? Text(u"a folder its configuration does not name")
                                  : Text(root) + u", a folder that could not be read";
  return (check ? u"An update could not tell whether the service " : u"This run could not tell whether the service ") +
         Text(serviceName) + u" uses the new value: it runs from " + where + u".";
}

Text UnlistedServicesProblem(std::uint32_t error, bool check)
{
  const Text why = u"The list of services could not be read" + (error ? u" (" + SysErrorMessage(error) + u")" : Text());
  if (check) return why + u", so an update could not tell which Firebird servers read these files.";
  return why + u", so this run restarted only " + Text(kFirebirdServiceName) +
         u" (and its Guardian); another Firebird server that runs from these folders still uses the old value.";
}

Text ChangedMeanwhileMessage(const std::vector<Text>& files, const std::vector<Text>& reasons)
{
  Text text = Text(u"The files changed after they were read: none of those saved gives the server ") + kCachePagesKey +
              u" where it reads it now, so the servers restarted do not use the new value:";
  for (std::size_t i = 0; i < files.size() && i < reasons.size(); ++i) text += u"\n  " + files[i] + u": " + reasons[i];
  return text;
}

Text EscapedErrorText()
{
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return SysErrorMessage(kNotEnoughMemory);
  } catch (const std::exception& error) {
    return ExceptionText(error);
  } catch (...) {
    return SysErrorMessage(kInternalError);
  }
}

Text NotAppliedReason(const ConfigFilePlan& plan)
{
  if (!plan.rewrites) return Text(u"it does not name ") + kCachePagesKey;
  if (plan.before.kind == ServerSetting::Kind::Unreadable)
    return u"the server cannot read it (UTF-16, or a line that starts with NUL)";
  if (plan.takesEffect) return {};
  return u"the server would not read the rewritten setting";
}

Text NothingAppliesMessage(const std::vector<Text>& foldersSearched, const std::vector<Text>& files,
                           const std::vector<ConfigFilePlan>& plans)
{
  if (files.empty()) return NothingFoundMessage(foldersSearched);
  Text text = Text(u"No firebird.conf below ") + JoinedFolders(foldersSearched) + u" sets " + kCachePagesKey +
              u" where the server reads it, so nothing was changed:";
  for (std::size_t i = 0; i < files.size() && i < plans.size(); ++i)
    text += u"\n  " + files[i] + u": " + NotAppliedReason(plans[i]);
  return text;
}

} // namespace fbu
