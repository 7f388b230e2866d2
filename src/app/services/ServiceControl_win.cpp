#include <windows.h>

#include <cstddef>
#include <memory>
#include <new>
#include <vector>

#include "app/services/ServiceControl.h"
#include "app/services/ServiceSwitch.h"
#include "base/WinHandles.h"

namespace fbu {

static_assert(service_state::kStopped == SERVICE_STOPPED && service_state::kStartPending == SERVICE_START_PENDING &&
              service_state::kStopPending == SERVICE_STOP_PENDING && service_state::kRunning == SERVICE_RUNNING &&
              service_state::kContinuePending == SERVICE_CONTINUE_PENDING &&
              service_state::kPausePending == SERVICE_PAUSE_PENDING && service_state::kPaused == SERVICE_PAUSED);
static_assert(kServiceDoesNotExist == ERROR_SERVICE_DOES_NOT_EXIST &&
              kDependentServicesRunning == ERROR_DEPENDENT_SERVICES_RUNNING &&
              kServiceAlreadyRunning == ERROR_SERVICE_ALREADY_RUNNING && kNotEnoughMemory == ERROR_NOT_ENOUGH_MEMORY &&
              kInternalError == ERROR_INTERNAL_ERROR);

namespace {

// Only what each call needs, so that an account granted exactly start, stop and query on
// the Firebird services suffices: connecting to the manager, and per phase stop or
// start. Listing the dependents is asked for only when a stop was refused for them.
constexpr DWORD kManagerAccess = SC_MANAGER_CONNECT;
constexpr DWORD kStopAccess = SERVICE_STOP | SERVICE_QUERY_STATUS;
constexpr DWORD kStartAccess = SERVICE_START | SERVICE_QUERY_STATUS;

ServiceStatusReport Report(const SERVICE_STATUS& status)
{
  return {status.dwCurrentState, status.dwWaitHint, status.dwWin32ExitCode, status.dwCheckPoint};
}

// The local service control manager and one service in it, opened for one phase.
class ScmServicePort final : public ServicePort {
public:
  ScmServicePort(Text name, bool start) : name_(std::move(name)), start_(start) {}
  std::uint32_t LastError() override { return lastError_ ? lastError_ : GetLastError(); }
  bool OpenManager() override
  {
    lastError_ = 0;
    manager_.reset(OpenSCManagerW(nullptr, nullptr, kManagerAccess));
    return static_cast<bool>(manager_);
  }
  bool OpenNamedService() override
  {
    lastError_ = 0;
    service_.reset(OpenServiceW(manager_.get(), WidePtr(name_), start_ ? kStartAccess : kStopAccess));
    return static_cast<bool>(service_);
  }
  std::optional<ServiceStatusReport> Query() override
  {
    lastError_ = 0;
    if (!QueryServiceStatus(service_.get(), &status_)) return std::nullopt;
    return Report(status_);
  }
  std::optional<ServiceStatusReport> SendStop() override
  {
    lastError_ = 0;
    if (!ControlService(service_.get(), SERVICE_CONTROL_STOP, &status_)) {
      lastError_ = GetLastError(); // kept: the caller may ask after other calls
      return std::nullopt;
    }
    return Report(status_);
  }
  bool Start() override
  {
    lastError_ = 0;
    return StartServiceW(service_.get(), 0, nullptr) != FALSE;
  }
  std::vector<Text> ActiveDependents() override
  {
    const UniqueScHandle listing(OpenServiceW(manager_.get(), WidePtr(name_), SERVICE_ENUMERATE_DEPENDENTS));
    if (!listing) return {};
    DWORD needed = 0;
    DWORD count = 0;
    if (EnumDependentServicesW(listing.get(), SERVICE_ACTIVE, nullptr, 0, &needed, &count)) return {};
    if (GetLastError() != ERROR_MORE_DATA || needed == 0) return {};
    std::vector<std::byte> block(needed);
    auto* entries = reinterpret_cast<ENUM_SERVICE_STATUSW*>(block.data());
    if (!EnumDependentServicesW(listing.get(), SERVICE_ACTIVE, entries, needed, &needed, &count)) return {};
    std::vector<Text> names;
    for (DWORD i = 0; i < count; ++i) names.push_back(FromWide(entries[i].lpServiceName));
    return names;
  }
  std::unique_ptr<ServicePort> PortFor(const Text& serviceName) override
  {
    return std::make_unique<ScmServicePort>(serviceName, start_);
  }

private:
  Text name_;
  bool start_;
  DWORD lastError_ = 0;
  UniqueScHandle manager_;
  UniqueScHandle service_; // declared last: closed before the manager
  SERVICE_STATUS status_{};
};

} // namespace

std::unique_ptr<ServicePort> OpenServicePort(const Text& name, bool start)
{
  return std::make_unique<ScmServicePort>(name, start);
}

bool SwitchFirebirdService(bool Start)
{
  return SwitchFirebirdService(Start, std::function<void()>()).result;
}

ServiceSwitchOutcome SwitchFirebirdService(bool Start, const std::function<void()>& pump)
{
  return SwitchService(kFirebirdServiceName, Start, pump);
}

ServiceSwitchOutcome SwitchService(const Text& name, bool start, const std::function<void()>& pump,
                                   const std::vector<Text>& restartAfter)
{
  try {
    ScmServicePort port(name, start);
    SteadyWaitClock clock;
    return RunServiceSwitch(start, port, pump, clock, restartAfter);
  } catch (const std::bad_alloc&) {
    ServiceSwitchOutcome failed;
    failed.error = kNotEnoughMemory;
    return failed;
  } catch (...) {
    // Whatever it was, the report must not read as a success.
    ServiceSwitchOutcome failed;
    failed.error = kInternalError;
    return failed;
  }
}

} // namespace fbu
