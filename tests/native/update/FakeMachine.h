#pragma once
// A machine for the update's road: Firebird services that behave as the real ones do
// (a Guardian's stop stops its server, a server's normal end ends its Guardian, a started
// Guardian starts or adopts its server, a stop refused while dependents run) and
// firebird.conf files with plans, on a clock that moves only when the road waits. Every
// request the road makes is logged ("stop X", "start X refused", "save F") in order, each
// service and file under its alias where it has one.
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/update/UpdateOutcome.h"
#include "app/update/UpdatePorts.h"

namespace fbu::test {

namespace st = service_state;
using std::chrono::milliseconds;

class FakeClock final : public WaitClock {
public:
  TimePoint Now() override { return now; }
  void Sleep(milliseconds duration) override { now += duration; }
  milliseconds Elapsed() const { return std::chrono::duration_cast<milliseconds>(now - TimePoint()); }
  TimePoint now{};
};

struct FakeServiceState {
  std::uint32_t state = st::kRunning;
  Text root;                                 // as the manager tells it; its final path is the same
  Text guards;                               // a Guardian: the server it guards
  std::vector<Text> dependents;              // the services that depend on this one
  std::uint32_t refuseStop = 0;              // the error a stop control fails with; 0: accepted
  std::uint32_t failStart = 0;               // the error a start fails with; 0: starts
  bool startBeaten = false;                  // someone else starts it just before the road does
  milliseconds stopTakes{0};                 // STOP_PENDING lasts this long
  bool stopHangs = false;                    // and never ends
  bool stopProgresses = true;                // the check point moves while it is pending
  std::optional<milliseconds> startingFor;   // START_PENDING that long at the first query
  std::optional<WaitClock::TimePoint> until; // when the pending state ends
  std::uint32_t checkPoint = 0;
};

class FakeMachine final : public ServicesPort, public ConfigFilesPort {
public:
  FakeClock clock;
  std::map<Text, FakeServiceState> services;
  std::vector<std::string> log;
  std::map<Text, std::string> aliases;
  bool listReadable = true;

  std::string Alias(const Text& name) const
  {
    const auto found = aliases.find(name);
    return found == aliases.end() ? ToUtf8(name) : found->second;
  }

  struct File {
    Text path;
    Text root;
    ConfigFilePlan plan;
    std::function<std::optional<ConfigFilePlan>(const ConfigFilePlan&)> save; // empty: saved as planned
  };
  std::vector<File> files;
  bool overridden = false;

  // ServicesPort
  std::optional<std::vector<FirebirdService>> ServiceMap() override
  {
    if (!listReadable) return std::nullopt;
    std::vector<FirebirdService> listed;
    for (auto& [name, s] : services) {
      auto service = FirebirdServiceNamed(name);
      if (!service) continue;
      service->root = service->finalRoot = s.root;
      service->state = Settled(name);
      listed.push_back(*service);
    }
    return listed;
  }
  std::uint32_t MapError() override { return 5; }
  std::unique_ptr<ServicePort> Open(const Text& name, bool) override;
  std::optional<std::uint64_t> ProcessStarted(std::uint32_t) override { return std::nullopt; }

  // ConfigFilesPort
  std::vector<Text> FoldersSearched() override { return {u"C:\\PF\\Firebird"}; }
  bool FolderOverridden() override { return overridden; }
  PlannedFiles Plan(const Text&) override
  {
    PlannedFiles planned;
    for (const File& f : files) {
      planned.found.push_back(f.path);
      planned.plans.push_back(f.plan);
    }
    return planned;
  }
  std::optional<ConfigFilePlan> Save(const Text& file, const Text&) override
  {
    log.push_back("save " + Alias(file));
    for (const File& f : files)
      if (f.path == file) return f.save ? f.save(f.plan) : f.plan;
    return std::nullopt;
  }
  std::vector<DatabaseCacheOverride> DatabaseOverrides(const Text&) override { return {}; }
  Text InstallationFolder(const Text& file) override
  {
    for (const File& f : files)
      if (f.path == file) return f.root;
    return {};
  }
  std::optional<std::uint64_t> LastWritten(const Text&) override { return std::nullopt; }

  // The service's state once its pending state has run its course, with what follows.
  std::uint32_t Settled(const Text& name)
  {
    FakeServiceState& s = services.at(name);
    if (s.startingFor) {
      s.state = st::kStartPending;
      s.until = clock.now + *s.startingFor;
      s.startingFor.reset();
    }
    const bool due = s.until && clock.now >= *s.until;
    if (s.state == st::kStartPending && due) s.state = st::kRunning;
    if (s.state == st::kStopPending && due && !s.stopHangs) Ended(name);
    if (s.state == st::kStopPending && s.stopProgresses) ++s.checkPoint;
    return s.state;
  }

  // A stop control as the manager and the service take it; 0 when accepted.
  std::uint32_t Stop(const Text& name)
  {
    FakeServiceState& s = services.at(name);
    for (const Text& d : s.dependents)
      if (Settled(d) != st::kStopped) return kDependentServicesRunning;
    if (s.refuseStop) return s.refuseStop;
    if (!s.guards.empty() && services.count(s.guards) && Settled(s.guards) == st::kRunning)
      Stop(s.guards); // the Guardian stops its server before it reports itself stopped
    s.state = st::kStopPending;
    s.until = clock.now + s.stopTakes;
    Settled(name);
    return 0;
  }

  // A start request; 0 when it is under way.
  std::uint32_t Start(const Text& name)
  {
    FakeServiceState& s = services.at(name);
    if (s.startBeaten) s.state = st::kRunning;
    if (Settled(name) != st::kStopped) return kServiceAlreadyRunning;
    if (s.failStart) return s.failStart;
    s.state = st::kRunning;
    // A Guardian starts its server, or adopts it when it runs already.
    if (!s.guards.empty() && services.count(s.guards) && Settled(s.guards) == st::kStopped) Start(s.guards);
    return 0;
  }

private:
  // A normal end: the Guardian of a server that stops ends too.
  void Ended(const Text& name)
  {
    services.at(name).state = st::kStopped;
    for (auto& [other, s] : services)
      if (s.guards == name && s.state == st::kRunning) s.state = st::kStopped;
  }
};

class FakeServicePort final : public ServicePort {
public:
  FakeServicePort(FakeMachine& machine, Text name) : machine_(machine), name_(std::move(name)) {}
  std::uint32_t LastError() override { return error_; }
  bool OpenManager() override { return true; }
  bool OpenNamedService() override
  {
    error_ = machine_.services.count(name_) ? 0 : kServiceDoesNotExist;
    return error_ == 0;
  }
  std::optional<ServiceStatusReport> Query() override
  {
    const std::uint32_t state = machine_.Settled(name_);
    return ServiceStatusReport{state, 1000, 0, machine_.services.at(name_).checkPoint};
  }
  std::optional<ServiceStatusReport> SendStop() override
  {
    error_ = machine_.Stop(name_);
    machine_.log.push_back("stop " + machine_.Alias(name_) + (error_ ? " refused" : ""));
    if (error_) return std::nullopt;
    return Query();
  }
  bool Start() override
  {
    error_ = machine_.Start(name_);
    machine_.log.push_back("start " + machine_.Alias(name_) + (error_ ? " refused" : ""));
    return error_ == 0;
  }
  std::vector<Text> ActiveDependents() override
  {
    std::vector<Text> active;
    for (const Text& d : machine_.services.at(name_).dependents)
      if (machine_.Settled(d) != st::kStopped) active.push_back(d);
    return active;
  }
  std::unique_ptr<ServicePort> PortFor(const Text& name) override { return machine_.Open(name, false); }

private:
  FakeMachine& machine_;
  Text name_;
  std::uint32_t error_ = 0;
};

inline std::unique_ptr<ServicePort> FakeMachine::Open(const Text& name, bool)
{
  return std::make_unique<FakeServicePort>(*this, name);
}

} // namespace fbu::test
