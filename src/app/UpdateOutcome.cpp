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
  case st::kStartPending: return u"it was still starting when the wait ended";
  case st::kStopPending: return u"it was still stopping when the wait ended";
  case st::kPaused: return u"it is paused";
  case st::kPausePending: return u"it was pausing";
  case st::kContinuePending: return u"it was resuming from a pause";
  case 0: return u"its state could not be read";
  default: return u"its state is " + IntToText(start.stateLeft);
  }
}

} // namespace

Text NothingFoundMessage(const std::vector<Text>& foldersSearched)
{
  Text folders;
  for (const Text& folder : foldersSearched) folders += (folders.empty() ? u"" : u" or ") + folder;
  return u"No firebird.conf was found below " + folders + u".";
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
  if (start.stateLeft == st::kRunning) {
    // Running all along because it refused to stop: it still holds the old value.
    if (stop.stateFound == st::kRunning && !stop.result)
      return head + u" did not stop, so the new value takes effect at its next restart.";
    return {};
  }
  return head + u" is not running again: " + WhyNotRunning(start) + u".";
}

} // namespace fbu
