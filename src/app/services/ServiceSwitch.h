#pragma once
// The stop and start phases of an update as a state table over a small service port,
// with the bounded waits that keep a restart from leaving the server stopped. The port
// and the clock are passed in, so the table and the waits run without a service control
// manager and without real sleeping.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "base/Text.h"

namespace fbu {

// dwCurrentState values of the service control manager.
namespace service_state {
inline constexpr std::uint32_t kStopped = 1;
inline constexpr std::uint32_t kStartPending = 2;
inline constexpr std::uint32_t kStopPending = 3;
inline constexpr std::uint32_t kRunning = 4;
inline constexpr std::uint32_t kContinuePending = 5;
inline constexpr std::uint32_t kPausePending = 6;
inline constexpr std::uint32_t kPaused = 7;
} // namespace service_state

// A wait goes on while the service shows progress (its check point or state moves); each
// step without progress ends after the service's wait hint, but never sooner than this.
// A stop that was accepted still counts when a wait ends.
inline constexpr std::chrono::milliseconds kServiceWaitBound = std::chrono::seconds(30);
// However steadily a service moves on, one phase waits no longer than this: a server
// with many attachments may need minutes to stop.
inline constexpr std::chrono::milliseconds kServicePhaseCeiling = std::chrono::minutes(10);
// Polls follow a tenth of the service's own wait hint, kept within these limits so a
// missing hint does not spin and a large one does not make the wait sluggish.
inline constexpr std::chrono::milliseconds kServicePollMin{50};
inline constexpr std::chrono::milliseconds kServicePollMax{500};

struct ServiceStatusReport {
  std::uint32_t state = 0;
  std::uint32_t waitHintMs = 0;
  std::uint32_t exitCode = 0; // dwWin32ExitCode: why a service stopped by itself
  std::uint32_t checkPoint = 0;
};

// The system error code for a service that is not installed.
inline constexpr std::uint32_t kServiceDoesNotExist = 1060;
// A start asked of a service that already runs.
inline constexpr std::uint32_t kServiceAlreadyRunning = 1056;
// What a switch reports when it ran out of memory or met an error of no other kind.
inline constexpr std::uint32_t kNotEnoughMemory = 8;
inline constexpr std::uint32_t kInternalError = 1359;
// A stop refused because other running services depend on the service.
inline constexpr std::uint32_t kDependentServicesRunning = 1051;

// A service that depends on the server, stopped before it and started after it.
struct DependentOutcome {
  Text name;
  bool result = false;         // the stop (stop phase) or start (start phase) was accepted
  std::uint32_t stateLeft = 0; // the last state seen; 0 when it could not be read
  std::uint32_t error = 0;     // system error of the call that failed
};

// What one phase found and did. result is what SwitchFirebirdService answers; the rest
// lets the update tell the operator whether the server runs with the new value.
struct ServiceSwitchOutcome {
  bool result = false;
  bool installed = true;         // false only when the manager knows no such service
  std::uint32_t stateFound = 0;  // the state the phase found; 0 when it could not be read
  std::uint32_t stateLeft = 0;   // the last state seen; 0 when it could not be read
  bool startSent = false;        // the start phase asked the service to start
  bool startBeaten = false;      // that start failed because another started it first
  bool waitEnded = false;        // a wait ended with the service still in the state it waited on
  std::uint32_t error = 0;       // system error of the call that failed, 0 when none did
  std::uint32_t serviceExit = 0; // the exit code a service stopped with while starting
  // The services that depend on this one: stopped so that it could stop (stop phase),
  // started again once it runs (start phase), in the order handled. A dependent that had
  // dependents of its own comes after them: they were stopped first so that it could stop.
  std::vector<DependentOutcome> dependents;
};

// The calls the switch makes on one service, in the order it makes them. The port owns
// whatever it opens and closes it on destruction, the service before the manager.
class ServicePort {
public:
  virtual ~ServicePort() = default;
  // The system error code of the last call that failed.
  virtual std::uint32_t LastError() = 0;
  virtual bool OpenManager() = 0;
  virtual bool OpenNamedService() = 0; // only after OpenManager succeeded
  virtual std::optional<ServiceStatusReport> Query() = 0;
  // The stop control; the status the service answered with, or nothing when refused.
  virtual std::optional<ServiceStatusReport> SendStop() = 0;
  virtual bool Start() = 0;
  // The running services that depend on this one, in an order they can be stopped in.
  virtual std::vector<Text> ActiveDependents() = 0;
  // A port of the same manager on another service.
  virtual std::unique_ptr<ServicePort> PortFor(const Text& serviceName) = 0;
};

class WaitClock {
public:
  using TimePoint = std::chrono::steady_clock::time_point;
  virtual ~WaitClock() = default;
  virtual TimePoint Now() = 0;
  virtual void Sleep(std::chrono::milliseconds duration) = 0;
};

// The real steady clock and a real sleep of the calling thread.
class SteadyWaitClock final : public WaitClock {
public:
  TimePoint Now() override;
  void Sleep(std::chrono::milliseconds duration) override;
};

// dwWaitHint / 10 within [kServicePollMin, kServicePollMax].
std::chrono::milliseconds ServicePollInterval(std::uint32_t waitHintMs) noexcept;

// Stop phase (start false) or start phase (start true). The stop phase lets a service
// that is starting or resuming settle first and stops it if it then runs; it waits for
// an accepted stop, or one already in progress, to finish. The start phase waits for a
// stop in progress to finish and, after a start it sent, for the service to leave
// START_PENDING, so that a service that fails while starting is seen; a start refused
// because another started the service meanwhile (its Guardian, an operator) counts as
// started once the service is seen running. Each wait goes on while the service makes
// progress, a step bounded by its wait hint (at least kServiceWaitBound), the phase by
// kServicePhaseCeiling and every wait by runEnd, when given, the end of the whole run's
// waits. pump, when not empty, runs between the polls of a wait. Exceptions of the port,
// the clock or pump pass through.
//
// A stop refused because services depend on the server (kDependentServicesRunning) stops
// those that run, each with the same waits (and theirs in turn), and sends the stop
// again; the outcome names them. The start phase starts restartAfter (the dependents its
// stop phase stopped), in reverse order, once the service runs.
ServiceSwitchOutcome RunServiceSwitch(bool start, ServicePort& port, const std::function<void()>& pump,
                                      WaitClock& clock, const std::vector<Text>& restartAfter = {},
                                      std::optional<WaitClock::TimePoint> runEnd = std::nullopt);

// The dependents the stop phase of outcome stopped, in the order stopped.
std::vector<Text> StoppedDependents(const ServiceSwitchOutcome& outcome);

} // namespace fbu
