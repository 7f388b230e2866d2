#include "app/services/ServiceSwitch.h"

#include <algorithm>
#include <thread>

namespace fbu {

namespace {

using std::chrono::milliseconds;

// What every wait of one switch shares: the pump between polls, the clock and the end of
// the whole run's waits.
struct WaitContext {
  const std::function<void()>& pump;
  WaitClock& clock;
  std::optional<WaitClock::TimePoint> runEnd;
};

// How long a wait gives a service to show progress after its last status.
std::chrono::milliseconds StepBound(const ServiceStatusReport& status)
{
  return std::max(milliseconds(status.waitHintMs), kServiceWaitBound);
}

// Polls while keepWaiting holds for the last status, as long as the service moves on (a
// new check point or state within its step bound) and neither the phase's ceiling nor the
// run's end is reached, or until a query fails. Answers the last status seen.
ServiceStatusReport WaitWhile(const std::function<bool(std::uint32_t)>& keepWaiting, ServiceStatusReport last,
                              ServicePort& port, const WaitContext& wait)
{
  WaitClock& clock = wait.clock;
  auto ceiling = clock.Now() + kServicePhaseCeiling;
  if (wait.runEnd) ceiling = std::min(ceiling, *wait.runEnd);
  auto deadline = std::min(clock.Now() + StepBound(last), ceiling);
  while (keepWaiting(last.state)) {
    const auto now = clock.Now();
    if (now >= deadline) break;
    const auto next = std::min(now + ServicePollInterval(last.waitHintMs), deadline);
    if (wait.pump) wait.pump();
    const auto afterPump = clock.Now();
    if (afterPump < next) clock.Sleep(std::chrono::duration_cast<milliseconds>(next - afterPump));
    const auto status = port.Query();
    if (!status) break;
    const bool moved = status->checkPoint != last.checkPoint || status->state != last.state;
    last = *status;
    if (moved) deadline = std::min(clock.Now() + StepBound(last), ceiling);
  }
  return last;
}

bool NotStopped(std::uint32_t state)
{
  return state != service_state::kStopped;
}

bool Stopping(std::uint32_t state)
{
  return state == service_state::kStopPending;
}

bool Starting(std::uint32_t state)
{
  return state == service_state::kStartPending;
}

bool StartingOrResuming(std::uint32_t state)
{
  return state == service_state::kStartPending || state == service_state::kContinuePending;
}

// WaitWhile, noting in outcome the state it ended in and whether it ended still waiting.
ServiceStatusReport Settle(ServiceSwitchOutcome& outcome, bool (*keepWaiting)(std::uint32_t),
                           const ServiceStatusReport& from, ServicePort& port, const WaitContext& wait)
{
  const ServiceStatusReport last = WaitWhile(keepWaiting, from, port, wait);
  outcome.stateLeft = last.state;
  outcome.waitEnded = keepWaiting(last.state);
  return last;
}

ServiceSwitchOutcome Switch(bool start, ServicePort& port, const WaitContext& wait,
                            const std::vector<Text>& restartAfter);

// Switches one dependent; the dependents its own stop had to stop come first in done.
void SwitchDependent(bool start, const Text& name, ServicePort& port, const WaitContext& wait,
                     std::vector<DependentOutcome>& done)
{
  DependentOutcome dependent{name};
  const std::unique_ptr<ServicePort> other = port.PortFor(name);
  if (other) {
    ServiceSwitchOutcome switched = Switch(start, *other, wait, {});
    if (!start) done.insert(done.end(), switched.dependents.begin(), switched.dependents.end());
    dependent.result = switched.result;
    dependent.stateLeft = switched.stateLeft;
    dependent.error = switched.error;
  }
  done.push_back(std::move(dependent));
}

void StopPhase(ServiceSwitchOutcome& outcome, const ServiceStatusReport& found, ServicePort& port,
               const WaitContext& wait)
{
  // A service on its way up would read the old value: let it get there, then stop it.
  if (StartingOrResuming(found.state)) Settle(outcome, StartingOrResuming, found, port, wait);
  // One already stopping (its Guardian's stop, an operator's) is let finish.
  if (Stopping(found.state)) Settle(outcome, Stopping, found, port, wait);
  if (outcome.stateLeft != service_state::kRunning) return;
  auto answer = port.SendStop();
  if (!answer && port.LastError() == kDependentServicesRunning) {
    for (const Text& name : port.ActiveDependents()) SwitchDependent(false, name, port, wait, outcome.dependents);
    answer = port.SendStop();
  }
  if (!answer) {
    outcome.error = port.LastError();
    return;
  }
  // The control was accepted: that is the result, however the wait ends.
  outcome.result = true;
  Settle(outcome, NotStopped, *answer, port, wait);
}

void StartPhase(ServiceSwitchOutcome& outcome, const ServiceStatusReport& found, ServicePort& port,
                const WaitContext& wait)
{
  // A stop still in progress (ours or another's) would make the start fail; let it finish
  // and then judge the state the service settled in.
  if (found.state == service_state::kStopPending) Settle(outcome, NotStopped, found, port, wait);
  if (outcome.stateLeft == service_state::kRunning) {
    outcome.result = true;
    return;
  }
  if (outcome.stateLeft != service_state::kStopped) return;
  outcome.startSent = true;
  const bool sent = port.Start();
  if (!sent) outcome.error = port.LastError();
  const auto first = port.Query();
  if (!first) {
    outcome.stateLeft = 0;
    return;
  }
  outcome.stateLeft = first->state;
  // A refused start is no failure when someone else started the service meanwhile.
  if (!sent && first->state != service_state::kRunning && !Starting(first->state)) return;
  const auto last = Settle(outcome, Starting, *first, port, wait);
  if (!sent && last.state == service_state::kRunning) {
    outcome.startBeaten = true;
    outcome.error = 0;
  }
  outcome.result = sent || outcome.startBeaten;
  if (last.state == service_state::kStopped) outcome.serviceExit = last.exitCode;
}

ServiceSwitchOutcome Switch(bool start, ServicePort& port, const WaitContext& wait,
                            const std::vector<Text>& restartAfter)
{
  ServiceSwitchOutcome outcome;
  if (!port.OpenManager()) {
    outcome.error = port.LastError();
    return outcome;
  }
  if (!port.OpenNamedService()) {
    outcome.error = port.LastError();
    outcome.installed = outcome.error != kServiceDoesNotExist;
    return outcome;
  }
  const auto status = port.Query();
  if (!status) {
    outcome.error = port.LastError();
    return outcome;
  }
  outcome.stateFound = outcome.stateLeft = status->state;
  if (!start) {
    StopPhase(outcome, *status, port, wait);
    return outcome;
  }
  StartPhase(outcome, *status, port, wait);
  // Dependents need their server: they start once it runs.
  if (outcome.stateLeft == service_state::kRunning)
    for (auto name = restartAfter.rbegin(); name != restartAfter.rend(); ++name)
      SwitchDependent(true, *name, port, wait, outcome.dependents);
  return outcome;
}

} // namespace

WaitClock::TimePoint SteadyWaitClock::Now()
{
  return std::chrono::steady_clock::now();
}

void SteadyWaitClock::Sleep(std::chrono::milliseconds duration)
{
  std::this_thread::sleep_for(duration);
}

std::chrono::milliseconds ServicePollInterval(std::uint32_t waitHintMs) noexcept
{
  return std::clamp(milliseconds(waitHintMs / 10), kServicePollMin, kServicePollMax);
}

ServiceSwitchOutcome RunServiceSwitch(bool start, ServicePort& port, const std::function<void()>& pump,
                                      WaitClock& clock, const std::vector<Text>& restartAfter,
                                      std::optional<WaitClock::TimePoint> runEnd)
{
  return Switch(start, port, WaitContext{pump, clock, runEnd}, restartAfter);
}

std::vector<Text> StoppedDependents(const ServiceSwitchOutcome& outcome)
{
  std::vector<Text> stopped;
  for (const DependentOutcome& d : outcome.dependents)
    if (d.result) stopped.push_back(d.name);
  return stopped;
}

} // namespace fbu
