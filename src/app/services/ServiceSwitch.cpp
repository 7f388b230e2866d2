#include "app/services/ServiceSwitch.h"

#include <algorithm>
#include <thread>

namespace fbu {

namespace {

using std::chrono::milliseconds;

// How long a wait gives a service to show progress after its last status.
std::chrono::milliseconds StepBound(const ServiceStatusReport& status)
{
  return std::max(milliseconds(status.waitHintMs), kServiceWaitBound);
}

// Polls while keepWaiting holds for the last status, as long as the service moves on (a
// new check point or state within its step bound) and the phase's ceiling is not
// reached, or until a query fails. Answers the last status seen.
ServiceStatusReport WaitWhile(const std::function<bool(std::uint32_t)>& keepWaiting, ServiceStatusReport last,
                              ServicePort& port, const std::function<void()>& pump, WaitClock& clock)
{
  const auto ceiling = clock.Now() + kServicePhaseCeiling;
  auto deadline = std::min(clock.Now() + StepBound(last), ceiling);
  while (keepWaiting(last.state)) {
    const auto now = clock.Now();
    if (now >= deadline) break;
    const auto next = std::min(now + ServicePollInterval(last.waitHintMs), deadline);
    if (pump) pump();
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
                           const ServiceStatusReport& from, ServicePort& port, const std::function<void()>& pump,
                           WaitClock& clock)
{
  const ServiceStatusReport last = WaitWhile(keepWaiting, from, port, pump, clock);
  outcome.stateLeft = last.state;
  outcome.waitEnded = keepWaiting(last.state);
  return last;
}

DependentOutcome SwitchDependent(bool start, const Text& name, ServicePort& port, const std::function<void()>& pump,
                                 WaitClock& clock)
{
  DependentOutcome done{name};
  const std::unique_ptr<ServicePort> other = port.PortFor(name);
  if (!other) return done;
  const ServiceSwitchOutcome switched = RunServiceSwitch(start, *other, pump, clock);
  done.result = switched.result;
  done.stateLeft = switched.stateLeft;
  done.error = switched.error;
  return done;
}

void StopDependents(ServiceSwitchOutcome& outcome, ServicePort& port, const std::function<void()>& pump,
                    WaitClock& clock)
{
  for (const Text& name : port.ActiveDependents())
    outcome.dependents.push_back(SwitchDependent(false, name, port, pump, clock));
}

void StopPhase(ServiceSwitchOutcome& outcome, const ServiceStatusReport& found, ServicePort& port,
               const std::function<void()>& pump, WaitClock& clock)
{
  // A service on its way up would read the old value: let it get there, then stop it.
  if (StartingOrResuming(found.state)) Settle(outcome, StartingOrResuming, found, port, pump, clock);
  if (outcome.stateLeft != service_state::kRunning) return;
  auto answer = port.SendStop();
  if (!answer && port.LastError() == kDependentServicesRunning) {
    StopDependents(outcome, port, pump, clock);
    answer = port.SendStop();
  }
  if (!answer) {
    outcome.error = port.LastError();
    return;
  }
  // The control was accepted: that is the result, however the wait ends.
  outcome.result = true;
  Settle(outcome, NotStopped, *answer, port, pump, clock);
}

void StartPhase(ServiceSwitchOutcome& outcome, const ServiceStatusReport& found, ServicePort& port,
                const std::function<void()>& pump, WaitClock& clock)
{
  // A stop still in progress (ours or another's) would make the start fail; let it finish
  // and then judge the state the service settled in.
  if (found.state == service_state::kStopPending) Settle(outcome, NotStopped, found, port, pump, clock);
  if (outcome.stateLeft == service_state::kRunning) {
    outcome.result = true;
    return;
  }
  if (outcome.stateLeft != service_state::kStopped) return;
  outcome.startSent = true;
  if (!port.Start()) {
    outcome.error = port.LastError();
    return;
  }
  outcome.result = true;
  const auto first = port.Query();
  if (!first) {
    outcome.stateLeft = 0;
    return;
  }
  const auto last = Settle(outcome, Starting, *first, port, pump, clock);
  if (last.state == service_state::kStopped) outcome.serviceExit = last.exitCode;
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
                                      WaitClock& clock, const std::vector<Text>& restartAfter)
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
  if (start) {
    StartPhase(outcome, *status, port, pump, clock);
    // Dependents need their server: they start once it runs.
    if (outcome.stateLeft == service_state::kRunning)
      for (auto name = restartAfter.rbegin(); name != restartAfter.rend(); ++name)
        outcome.dependents.push_back(SwitchDependent(true, *name, port, pump, clock));
  } else {
    StopPhase(outcome, *status, port, pump, clock);
  }
  return outcome;
}

} // namespace fbu
