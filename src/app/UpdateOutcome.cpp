#include "app/UpdateOutcome.h"

#include "app/IBSystemActions.h"

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

Text ServiceProblem(const ServiceSwitchOutcome& stop, const ServiceSwitchOutcome& start)
{
  if (!start.installed) return {};
  const Text head = Text(u"The new value was written, but the service ") + kFirebirdServiceName;
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
    if (stop.stateFound == st::kRunning && !stop.result) return head + u" did not stop" + later;
    return head + u" was not stopped and started again by this update" + later;
  }
  return head + u" is not running again: " + WhyNotRunning(start) + u".";
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
