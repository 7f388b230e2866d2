#include <windows.h>

#include <new>

#include "app/IBSystemActions.h"
#include "app/ServiceSwitch.h"
#include "base/WinHandles.h"

namespace fbu {

static_assert(service_state::kStopped == SERVICE_STOPPED && service_state::kStartPending == SERVICE_START_PENDING &&
              service_state::kStopPending == SERVICE_STOP_PENDING && service_state::kRunning == SERVICE_RUNNING &&
              service_state::kContinuePending == SERVICE_CONTINUE_PENDING &&
              service_state::kPausePending == SERVICE_PAUSE_PENDING && service_state::kPaused == SERVICE_PAUSED);

namespace {

constexpr DWORD kManagerAccess = 0xF003F; // SC_MANAGER_ALL_ACCESS
constexpr DWORD kServiceAccess = SERVICE_STOP | SERVICE_START | SERVICE_QUERY_STATUS;
static_assert(kManagerAccess == SC_MANAGER_ALL_ACCESS && kServiceAccess == 0x34);

ServiceStatusReport Report(const SERVICE_STATUS& status)
{
  return {status.dwCurrentState, status.dwWaitHint, status.dwWin32ExitCode};
}

// The local service control manager and the Firebird service in it.
class ScmServicePort final : public ServicePort {
public:
  std::uint32_t LastError() override { return GetLastError(); }
  bool OpenManager() override
  {
    manager_.reset(OpenSCManagerW(nullptr, nullptr, kManagerAccess));
    return static_cast<bool>(manager_);
  }
  bool OpenNamedService() override
  {
    const Text name = kFirebirdServiceName;
    service_.reset(OpenServiceW(manager_.get(), WidePtr(name), kServiceAccess));
    return static_cast<bool>(service_);
  }
  std::optional<ServiceStatusReport> Query() override
  {
    if (!QueryServiceStatus(service_.get(), &status_)) return std::nullopt;
    return Report(status_);
  }
  std::optional<ServiceStatusReport> SendStop() override
  {
    if (!ControlService(service_.get(), SERVICE_CONTROL_STOP, &status_)) return std::nullopt;
    return Report(status_);
  }
  bool Start() override { return StartServiceW(service_.get(), 0, nullptr) != FALSE; }

private:
  UniqueScHandle manager_;
  UniqueScHandle service_; // declared last: closed before the manager
  SERVICE_STATUS status_{};
};

} // namespace

bool SwitchFirebirdService(bool Start)
{
  return SwitchFirebirdService(Start, std::function<void()>()).result;
}

ServiceSwitchOutcome SwitchFirebirdService(bool Start, const std::function<void()>& pump)
{
  try {
    ScmServicePort port;
    SteadyWaitClock clock;
    return RunServiceSwitch(Start, port, pump, clock);
  } catch (const std::bad_alloc&) {
    ServiceSwitchOutcome failed;
    failed.error = ERROR_NOT_ENOUGH_MEMORY;
    return failed;
  } catch (...) {
    // Whatever it was, the report must not read as a success.
    ServiceSwitchOutcome failed;
    failed.error = ERROR_INTERNAL_ERROR;
    return failed;
  }
}

} // namespace fbu
