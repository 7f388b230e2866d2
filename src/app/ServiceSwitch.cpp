#include "app/ServiceSwitch.h"

#include <algorithm>
#include <thread>

namespace fbu {

namespace {

using std::chrono::milliseconds;

// Polls while the service has not reached target, until the bound passes or a query
// fails. Answers the last status seen.
ServiceStatusReport WaitForState(std::uint32_t target, ServiceStatusReport last, ServicePort& port,
                                 const std::function<void()>& pump, WaitClock& clock)
{
  const auto deadline = clock.Now() + kServiceWaitBound;
  while (last.state != target) {
    const auto now = clock.Now();
    if (now >= deadline) break;
    const auto next = std::min(now + ServicePollInterval(last.waitHintMs), deadline);
    if (pump) pump();
    const auto afterPump = clock.Now();
    if (afterPump < next) clock.Sleep(std::chrono::duration_cast<milliseconds>(next - afterPump));
    const auto status = port.Query();
    if (!status) break;
    last = *status;
  }
  return last;
}

bool StopPhase(const ServiceStatusReport& status, ServicePort& port, const std::function<void()>& pump,
               WaitClock& clock)
{
  if (status.state != service_state::kRunning) return false;
  const auto answer = port.SendStop();
  if (!answer) return false;
  // The control was accepted: that is the result, however the wait ends.
  WaitForState(service_state::kStopped, *answer, port, pump, clock);
  return true;
}

bool StartPhase(ServiceStatusReport status, ServicePort& port, const std::function<void()>& pump, WaitClock& clock)
{
  // A stop still in progress (ours or another's) would make the start fail; let it finish
  // and then judge the state the service settled in.
  if (status.state == service_state::kStopPending)
    status = WaitForState(service_state::kStopped, status, port, pump, clock);
  switch (status.state) {
  case service_state::kStopped: return port.Start();
  case service_state::kRunning: return true;
  default: return false;
  }
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

bool RunServiceSwitch(bool start, ServicePort& port, const std::function<void()>& pump, WaitClock& clock)
{
  if (!port.OpenManager() || !port.OpenNamedService()) return false;
  const auto status = port.Query();
  if (!status) return false;
  return start ? StartPhase(*status, port, pump, clock) : StopPhase(*status, port, pump, clock);
}

} // namespace fbu
