#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/services/ServiceSwitch.h"

namespace fbu {
namespace {

using std::chrono::milliseconds;
namespace st = service_state;

// Time moves only when the code under test sleeps (or a test's pump moves it).
class FakeClock final : public WaitClock {
public:
  TimePoint Now() override { return now; }
  void Sleep(milliseconds duration) override
  {
    sleeps.push_back(duration);
    now += duration;
  }
  milliseconds Elapsed() const { return std::chrono::duration_cast<milliseconds>(now - TimePoint()); }

  TimePoint now{};
  std::vector<milliseconds> sleeps;
};

// A service that leaves STOP_PENDING for STOPPED once the fake clock reaches its stop
// time, and records every request sent to it.
class FakeService final : public ServicePort {
  FakeClock& clock_;

public:
  explicit FakeService(FakeClock& clock, std::uint32_t initial) : clock_(clock), state(initial) {}

  std::uint32_t LastError() override { return lastError; }
  bool OpenManager() override
  {
    calls.push_back("manager");
    return managerOpens;
  }
  bool OpenNamedService() override
  {
    calls.push_back("service");
    return serviceOpens;
  }
  std::optional<ServiceStatusReport> Query() override
  {
    ++queries;
    if (queryFailsAfter >= 0 && queries > queryFailsAfter) return std::nullopt;
    Advance();
    const std::uint32_t checkPoint =
        checkPointEvery ? static_cast<std::uint32_t>(clock_.Elapsed() / *checkPointEvery) : 0;
    return ServiceStatusReport{state, waitHintMs, state == st::kStopped ? failsWhileStarting : 0, checkPoint};
  }
  std::optional<ServiceStatusReport> SendStop() override
  {
    calls.push_back("stop");
    for (const Text& name : dependents) {
      if (others.at(name)->state == st::kStopped) continue;
      lastError = kDependentServicesRunning;
      return std::nullopt;
    }
    if (!stopAccepted) return std::nullopt;
    state = st::kStopPending;
    if (stopTakes) stopsAt = clock_.now + *stopTakes;
    Advance();
    return ServiceStatusReport{state, waitHintMs};
  }
  bool Start() override
  {
    calls.push_back("start");
    startedAt = clock_.Elapsed();
    if (!startSucceeds) return false;
    state = st::kStartPending;
    if (startTakes) runsAt = clock_.now + *startTakes;
    return true;
  }

  std::vector<Text> ActiveDependents() override
  {
    std::vector<Text> active;
    for (const Text& name : dependents)
      if (others.at(name)->state != st::kStopped) active.push_back(name);
    return active;
  }
  std::unique_ptr<ServicePort> PortFor(const Text& name) override;

  // What was sent to the service, leaving out the opening of handles.
  std::vector<std::string> Requests() const
  {
    std::vector<std::string> out;
    for (const auto& c : calls)
      if (c == "stop" || c == "start") out.push_back(c);
    return out;
  }

  bool managerOpens = true;
  bool serviceOpens = true;
  bool stopAccepted = true;
  bool startSucceeds = true;
  int queryFailsAfter = -1; // queries that succeed before every later one fails; -1: none fails
  std::optional<milliseconds> stopTakes = milliseconds(0); // nothing: a stop never finishes
  std::optional<WaitClock::TimePoint> stopsAt;
  std::optional<milliseconds> startTakes = milliseconds(0); // nothing: a start never finishes
  std::optional<WaitClock::TimePoint> runsAt;
  std::uint32_t failsWhileStarting = 0; // an exit code: the start ends in STOPPED with it
  std::uint32_t lastError = 0;
  std::uint32_t waitHintMs = 0;
  std::optional<milliseconds> checkPointEvery; // the check point moves on this often; nothing: never
  std::vector<Text> dependents;                // running ones refuse the stop (1051)
  std::map<Text, FakeService*> others;         // the services PortFor reaches
  std::uint32_t state;
  std::vector<std::string> calls;
  int queries = 0;
  std::optional<milliseconds> startedAt;

private:
  void Advance()
  {
    if (state == st::kStopPending && stopsAt && clock_.now >= *stopsAt) state = st::kStopped;
    if ((state == st::kStartPending || state == st::kContinuePending) && runsAt && clock_.now >= *runsAt)
      state = failsWhileStarting ? st::kStopped : st::kRunning;
  }
};

// A port on another fake service, which stays owned by the test.
class PortOnOther final : public ServicePort {
public:
  explicit PortOnOther(FakeService& other) : other_(other) {}
  std::uint32_t LastError() override { return other_.LastError(); }
  bool OpenManager() override { return other_.OpenManager(); }
  bool OpenNamedService() override { return other_.OpenNamedService(); }
  std::optional<ServiceStatusReport> Query() override { return other_.Query(); }
  std::optional<ServiceStatusReport> SendStop() override { return other_.SendStop(); }
  bool Start() override { return other_.Start(); }
  std::vector<Text> ActiveDependents() override { return other_.ActiveDependents(); }
  std::unique_ptr<ServicePort> PortFor(const Text& name) override { return other_.PortFor(name); }

private:
  FakeService& other_;
};

std::unique_ptr<ServicePort> FakeService::PortFor(const Text& name)
{
  const auto found = others.find(name);
  if (found == others.end()) return nullptr;
  return std::make_unique<PortOnOther>(*found->second);
}

const std::function<void()> kNoPump;

TEST(ServiceSwitch, StateTable)
{
  struct Case {
    std::uint32_t state;
    bool start;
    const char* sent; // "" nothing, "stop" or "start"
    bool result;
  };
  const Case cases[] = {
      {st::kStopped, false, "", false},
      {st::kStopped, true, "start", true},
      {st::kStartPending, false, "", false},
      {st::kStartPending, true, "", false},
      {st::kStopPending, false, "", false},
      {st::kStopPending, true, "", false}, // never finishes stopping
      {st::kRunning, false, "stop", true},
      {st::kRunning, true, "", true},
      {st::kContinuePending, false, "", false},
      {st::kContinuePending, true, "", false},
      {st::kPausePending, false, "", false},
      {st::kPausePending, true, "", false},
      {st::kPaused, false, "", false},
      {st::kPaused, true, "", false},
      {0, false, "", false},
      {0, true, "", false},
      {99, false, "", false},
      {99, true, "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("state " + std::to_string(c.state) + (c.start ? " start phase" : " stop phase"));
    FakeClock clock;
    FakeService service(clock, c.state);
    if (c.state == st::kStopPending) service.stopTakes.reset();
    EXPECT_EQ(RunServiceSwitch(c.start, service, kNoPump, clock).result, c.result);
    const std::vector<std::string> expected =
        std::string(c.sent).empty() ? std::vector<std::string>{} : std::vector<std::string>{c.sent};
    EXPECT_EQ(service.Requests(), expected);
  }
}

TEST(ServiceSwitch, RefusedRequestsGiveFalse)
{
  for (const bool start : {false, true}) {
    SCOPED_TRACE(start ? "start phase" : "stop phase");
    FakeClock clock;
    FakeService service(clock, start ? st::kStopped : st::kRunning);
    service.stopAccepted = false;
    service.startSucceeds = false;
    EXPECT_FALSE(RunServiceSwitch(start, service, kNoPump, clock).result);
    EXPECT_EQ(service.Requests(), std::vector<std::string>{start ? "start" : "stop"});
    EXPECT_TRUE(clock.sleeps.empty()) << "a refused request must not be waited for";
  }
}

TEST(ServiceSwitch, OpenAndQueryFailuresGiveFalseAndSendNothing)
{
  struct Case {
    const char* name;
    bool managerOpens;
    bool serviceOpens;
    bool queryWorks;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {"manager", false, true, true, {"manager"}},
      {"service", true, false, true, {"manager", "service"}},
      {"query", true, true, false, {"manager", "service"}},
  };
  for (const auto& c : cases) {
    for (const bool start : {false, true}) {
      for (const std::uint32_t initial : {st::kRunning, st::kStopped}) {
        SCOPED_TRACE(std::string(c.name) + " fails, state " + std::to_string(initial) + (start ? " start" : " stop"));
        FakeClock clock;
        FakeService service(clock, initial);
        service.managerOpens = c.managerOpens;
        service.serviceOpens = c.serviceOpens;
        if (!c.queryWorks) service.queryFailsAfter = 0;
        EXPECT_FALSE(RunServiceSwitch(start, service, kNoPump, clock).result);
        EXPECT_EQ(service.calls, c.calls);
        EXPECT_EQ(service.queries, c.queryWorks || !c.serviceOpens || !c.managerOpens ? 0 : 1);
      }
    }
  }
}

TEST(ServiceSwitch, StopPhaseWaitsUntilStopped)
{
  FakeClock clock;
  FakeService service(clock, st::kRunning);
  service.stopTakes = milliseconds(2000);
  service.waitHintMs = 1000; // polls every 100 ms
  EXPECT_TRUE(RunServiceSwitch(false, service, kNoPump, clock).result);
  EXPECT_EQ(service.state, st::kStopped);
  EXPECT_GE(clock.Elapsed(), milliseconds(2000));
  EXPECT_LT(clock.Elapsed(), milliseconds(2100));
  EXPECT_EQ(service.Requests(), std::vector<std::string>{"stop"});
}

TEST(ServiceSwitch, StopPhaseStillTrueWhenTheBoundPasses)
{
  FakeClock clock;
  FakeService service(clock, st::kRunning);
  service.stopTakes.reset();
  service.waitHintMs = 4370; // polls 437 ms apart, which do not divide the bound: the last one is cut short
  EXPECT_TRUE(RunServiceSwitch(false, service, kNoPump, clock).result);
  EXPECT_EQ(service.state, st::kStopPending);
  EXPECT_EQ(clock.Elapsed(), kServiceWaitBound);
  EXPECT_EQ(service.Requests(), std::vector<std::string>{"stop"});
}

TEST(ServiceSwitch, StartPhaseWaitsForAStopInProgressThenStarts)
{
  FakeClock clock;
  FakeService service(clock, st::kStopPending);
  service.stopsAt = WaitClock::TimePoint() + milliseconds(3000);
  service.waitHintMs = 2000; // polls every 200 ms
  EXPECT_TRUE(RunServiceSwitch(true, service, kNoPump, clock).result);
  EXPECT_EQ(service.Requests(), std::vector<std::string>{"start"});
  ASSERT_TRUE(service.startedAt);
  EXPECT_GE(*service.startedAt, milliseconds(3000));
  EXPECT_LT(*service.startedAt, milliseconds(3200));
}

TEST(ServiceSwitch, StartPhaseOnAStopInProgressGivesTheStartsResult)
{
  FakeClock clock;
  FakeService service(clock, st::kStopPending);
  service.stopsAt = WaitClock::TimePoint() + milliseconds(400);
  service.startSucceeds = false;
  EXPECT_FALSE(RunServiceSwitch(true, service, kNoPump, clock).result);
  EXPECT_EQ(service.Requests(), std::vector<std::string>{"start"});
}

TEST(ServiceSwitch, StartPhaseSendsNothingWhenTheStopOutlastsTheBound)
{
  FakeClock clock;
  FakeService service(clock, st::kStopPending);
  service.waitHintMs = 1000;
  EXPECT_FALSE(RunServiceSwitch(true, service, kNoPump, clock).result);
  EXPECT_TRUE(service.Requests().empty());
  EXPECT_EQ(clock.Elapsed(), kServiceWaitBound);
}

TEST(ServiceSwitch, AFailingPollEndsTheWait)
{
  struct Case {
    const char* name;
    bool start;
    std::uint32_t initial;
    bool result;
    std::vector<std::string> sent;
  };
  const Case cases[] = {
      {"stop phase keeps the accepted stop", false, st::kRunning, true, {"stop"}},
      {"start phase sends nothing", true, st::kStopPending, false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeClock clock;
    FakeService service(clock, c.initial);
    service.stopTakes.reset();
    service.queryFailsAfter = 1; // the first query answers, the first poll fails
    EXPECT_EQ(RunServiceSwitch(c.start, service, kNoPump, clock).result, c.result);
    EXPECT_EQ(service.Requests(), c.sent);
    EXPECT_EQ(service.queries, 2);
    EXPECT_EQ(clock.Elapsed(), kServicePollMin);
  }
}

TEST(ServicePollInterval, IsATenthOfTheWaitHintWithinLimits)
{
  struct Case {
    std::uint32_t hint;
    long long ms;
  };
  const Case cases[] = {{0, 50},     {100, 50},   {499, 50},   {500, 50},   {510, 51},    {1000, 100},
                        {2345, 234}, {4999, 499}, {5000, 500}, {5010, 500}, {60000, 500}, {4294967295u, 500}};
  for (const auto& c : cases) EXPECT_EQ(ServicePollInterval(c.hint).count(), c.ms) << "hint " << c.hint;
}

TEST(ServiceSwitch, PollsFollowTheWaitHintOfTheLatestStatus)
{
  FakeClock clock;
  FakeService service(clock, st::kRunning);
  service.stopTakes = milliseconds(1000);
  service.waitHintMs = 3000;
  EXPECT_TRUE(RunServiceSwitch(false, service, kNoPump, clock).result);
  ASSERT_FALSE(clock.sleeps.empty());
  for (const auto& sleep : clock.sleeps) EXPECT_EQ(sleep, milliseconds(300));
  EXPECT_EQ(clock.Elapsed(), milliseconds(1200));
}

TEST(ServiceSwitch, PumpRunsBetweenPollsAndTheRemainderIsSlept)
{
  struct Case {
    milliseconds pumpTakes;
    milliseconds expectedSleep; // per poll, with polls 100 ms apart
  };
  const Case cases[] = {{milliseconds(0), milliseconds(100)},
                        {milliseconds(30), milliseconds(70)},
                        {milliseconds(100), milliseconds(0)},
                        {milliseconds(250), milliseconds(0)}};
  for (const auto& c : cases) {
    SCOPED_TRACE("pump takes " + std::to_string(c.pumpTakes.count()) + " ms");
    FakeClock clock;
    FakeService service(clock, st::kRunning);
    service.stopTakes = milliseconds(1000);
    service.waitHintMs = 1000;
    int pumps = 0;
    int queriesAtPump = -1;
    bool pumpBeforeEachPoll = true;
    const std::function<void()> pump = [&] {
      // Each pump follows the previous poll: one query more than at the last pump.
      if (queriesAtPump >= 0 && service.queries != queriesAtPump + 1) pumpBeforeEachPoll = false;
      queriesAtPump = service.queries;
      ++pumps;
      clock.now += c.pumpTakes;
    };
    EXPECT_TRUE(RunServiceSwitch(false, service, pump, clock).result);
    EXPECT_EQ(service.state, st::kStopped);
    EXPECT_TRUE(pumpBeforeEachPoll);
    EXPECT_EQ(pumps, service.queries - 1); // every poll but the first query follows a pump
    EXPECT_GE(pumps, 1);
    for (const auto& sleep : clock.sleeps) EXPECT_EQ(sleep, c.expectedSleep);
    if (c.expectedSleep.count() == 0) {
      EXPECT_TRUE(clock.sleeps.empty());
    }
  }
}

TEST(ServiceSwitch, PumpIsNotCalledWithoutAWait)
{
  for (const std::uint32_t initial : {st::kStopped, st::kRunning, st::kPaused}) {
    for (const bool start : {false, true}) {
      if (initial == st::kRunning && !start) continue; // the one case that waits
      FakeClock clock;
      FakeService service(clock, initial);
      int pumps = 0;
      RunServiceSwitch(
          start, service, [&] { ++pumps; }, clock);
      EXPECT_EQ(pumps, 0) << "state " << initial << (start ? " start" : " stop");
      // Only a start that was sent is followed by a look at how it went.
      EXPECT_EQ(service.queries, initial == st::kStopped && start ? 2 : 1);
      EXPECT_TRUE(clock.sleeps.empty());
    }
  }
}

TEST(ServiceSwitch, ExceptionsOfThePumpPassThrough)
{
  FakeClock clock;
  FakeService service(clock, st::kRunning);
  service.stopTakes = milliseconds(500);
  EXPECT_THROW(RunServiceSwitch(
                   false, service, [] { throw std::runtime_error("pump"); }, clock),
               std::runtime_error);
}

// After a start it sent, the start phase follows the service out of START_PENDING, so
// that the update can tell whether the server runs again.
TEST(ServiceSwitch, StartPhaseFollowsTheStartToItsEnd)
{
  struct Case {
    const char* name;
    std::optional<milliseconds> startTakes;
    std::uint32_t failsWith;
    std::uint32_t stateLeft;
    std::uint32_t serviceExit;
    milliseconds elapsed;
  };
  const Case cases[] = {
      {"runs after a while", milliseconds(1500), 0, st::kRunning, 0, milliseconds(1500)},
      {"stops with an error", milliseconds(700), 1066, st::kStopped, 1066, milliseconds(700)},
      {"still starting at the bound", std::nullopt, 0, st::kStartPending, 0, kServiceWaitBound},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeClock clock;
    FakeService service(clock, st::kStopped);
    service.startTakes = c.startTakes;
    service.failsWhileStarting = c.failsWith;
    service.waitHintMs = 1000; // polls every 100 ms
    const ServiceSwitchOutcome outcome = RunServiceSwitch(true, service, kNoPump, clock);
    EXPECT_TRUE(outcome.result) << "the start request was accepted";
    EXPECT_TRUE(outcome.startSent);
    EXPECT_EQ(outcome.stateFound, st::kStopped);
    EXPECT_EQ(outcome.stateLeft, c.stateLeft);
    EXPECT_EQ(outcome.serviceExit, c.serviceExit);
    EXPECT_EQ(clock.Elapsed(), c.elapsed);
  }
}

// A service on its way up when the stop phase comes is let settle, then stopped.
TEST(ServiceSwitch, StopPhaseLetsAStartOrResumeSettleFirst)
{
  struct Case {
    std::uint32_t initial;
    std::optional<milliseconds> runsAfter; // nothing: it never gets there
    std::vector<std::string> sent;
    std::uint32_t stateLeft;
    bool waitEnded;
  };
  const Case cases[] = {
      {st::kStartPending, milliseconds(1500), {"stop"}, st::kStopped, false},
      {st::kContinuePending, milliseconds(800), {"stop"}, st::kStopped, false},
      {st::kStartPending, std::nullopt, {}, st::kStartPending, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.initial));
    FakeClock clock;
    FakeService service(clock, c.initial);
    if (c.runsAfter) service.runsAt = WaitClock::TimePoint() + *c.runsAfter;
    const ServiceSwitchOutcome outcome = RunServiceSwitch(false, service, kNoPump, clock);
    EXPECT_EQ(outcome.result, !c.sent.empty());
    EXPECT_EQ(service.Requests(), c.sent);
    EXPECT_EQ(outcome.stateLeft, c.stateLeft);
    EXPECT_EQ(outcome.waitEnded, c.waitEnded);
  }
}

TEST(ServiceSwitch, OutcomeNamesWhatFailed)
{
  struct Case {
    const char* name;
    bool managerOpens, serviceOpens, stopAccepted, startSucceeds;
    std::uint32_t initial, lastError;
    bool start, installed;
    std::uint32_t stateFound, error;
  };
  const Case cases[] = {
      {"manager refused", false, true, true, true, st::kRunning, 5, false, true, 0, 5},
      {"not installed", true, false, true, true, st::kRunning, kServiceDoesNotExist, true, false, 0,
       kServiceDoesNotExist},
      {"service refused", true, false, true, true, st::kRunning, 5, true, true, 0, 5},
      {"stop refused", true, true, false, true, st::kRunning, 1052, false, true, st::kRunning, 1052},
      {"start refused", true, true, true, false, st::kStopped, 1053, true, true, st::kStopped, 1053},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeClock clock;
    FakeService service(clock, c.initial);
    service.managerOpens = c.managerOpens;
    service.serviceOpens = c.serviceOpens;
    service.stopAccepted = c.stopAccepted;
    service.startSucceeds = c.startSucceeds;
    service.lastError = c.lastError;
    const ServiceSwitchOutcome outcome = RunServiceSwitch(c.start, service, kNoPump, clock);
    EXPECT_FALSE(outcome.result);
    EXPECT_EQ(outcome.installed, c.installed);
    EXPECT_EQ(outcome.stateFound, c.stateFound);
    EXPECT_EQ(outcome.error, c.error);
  }
}

// A wait goes on as long as the service shows progress, each step bounded by its wait
// hint (at least kServiceWaitBound), the phase by kServicePhaseCeiling.
TEST(ServiceSwitch, WaitsFollowTheServicesProgress)
{
  using std::chrono::minutes;
  using std::chrono::seconds;
  struct Case {
    const char* name;
    std::optional<milliseconds> stopTakes;       // nothing: never stops
    std::optional<milliseconds> checkPointEvery; // nothing: no progress
    std::uint32_t waitHintMs;
    std::uint32_t stateLeft;
    milliseconds elapsed;
  };
  const Case cases[] = {
      {"slow stop moving on is waited out", seconds(95), seconds(1), 2000, st::kStopped, seconds(95)},
      {"progress ends at the ceiling", std::nullopt, seconds(1), 2000, st::kStopPending, kServicePhaseCeiling},
      {"no progress ends after the floor", std::nullopt, std::nullopt, 2000, st::kStopPending, kServiceWaitBound},
      {"no progress ends after a longer hint", std::nullopt, std::nullopt, 45000, st::kStopPending, seconds(45)},
      {"progress slower than the step ends", std::nullopt, seconds(40), 2000, st::kStopPending, seconds(30)},
      {"progress within a longer hint goes on", seconds(200), seconds(40), 45000, st::kStopped, seconds(200)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeClock clock;
    FakeService service(clock, st::kRunning);
    service.stopTakes = c.stopTakes;
    service.checkPointEvery = c.checkPointEvery;
    service.waitHintMs = c.waitHintMs;
    const ServiceSwitchOutcome outcome = RunServiceSwitch(false, service, kNoPump, clock);
    EXPECT_TRUE(outcome.result);
    EXPECT_EQ(outcome.stateLeft, c.stateLeft);
    EXPECT_EQ(outcome.waitEnded, c.stateLeft != st::kStopped);
    EXPECT_GE(clock.Elapsed(), c.elapsed);
    EXPECT_LT(clock.Elapsed(), c.elapsed + ServicePollInterval(c.waitHintMs));
  }
}

// A stop refused because services depend on the server stops the running ones first;
// the start phase starts them again, in reverse order, once the server runs.
TEST(ServiceSwitch, DependentsAreStoppedForTheServerAndStartedAfterIt)
{
  struct Case {
    const char* name;
    bool secondStops;  // the second dependent accepts its stop
    bool serverStarts; // the server's start succeeds
    std::vector<std::string> serverRequests;
    std::uint32_t stopError;
    std::vector<bool> stoppedResults;
    std::size_t started; // dependents started again, each successfully
  };
  const Case cases[] = {
      {"both stop and start again", true, true, {"stop", "stop", "start"}, 0, {true, true}, 2},
      // The server ran on; the dependent that did stop is started again all the same.
      {"a dependent refuses", false, true, {"stop", "stop"}, kDependentServicesRunning, {true, false}, 1},
      {"the server does not start", true, false, {"stop", "stop", "start"}, 0, {true, true}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeClock clock;
    FakeService server(clock, st::kRunning), first(clock, st::kRunning), second(clock, st::kRunning),
        idle(clock, st::kStopped);
    second.stopAccepted = c.secondStops;
    second.lastError = 1052;
    server.startSucceeds = c.serverStarts;
    server.dependents = {u"first", u"second", u"idle"};
    server.others = {{u"first", &first}, {u"second", &second}, {u"idle", &idle}};
    const ServiceSwitchOutcome stop = RunServiceSwitch(false, server, kNoPump, clock);
    ASSERT_EQ(stop.dependents.size(), c.stoppedResults.size());
    std::vector<Text> stopped;
    for (std::size_t i = 0; i < stop.dependents.size(); ++i) {
      EXPECT_EQ(stop.dependents[i].result, c.stoppedResults[i]) << i;
      if (stop.dependents[i].result) stopped.push_back(stop.dependents[i].name);
    }
    EXPECT_EQ(stop.error, c.stopError);
    EXPECT_EQ(stop.dependents.back().error, c.secondStops ? 0u : 1052u);
    const ServiceSwitchOutcome start = RunServiceSwitch(true, server, kNoPump, clock, stopped);
    EXPECT_EQ(server.Requests(), c.serverRequests);
    ASSERT_EQ(start.dependents.size(), c.started);
    for (const DependentOutcome& d : start.dependents)
      EXPECT_TRUE(d.result && d.stateLeft == st::kRunning) << ToUtf8(d.name);
    if (!start.dependents.empty()) {
      EXPECT_EQ(start.dependents.front().name, stopped.back()) << "the last stopped starts first";
      EXPECT_EQ(first.state, st::kRunning);
    }
    EXPECT_TRUE(idle.Requests().empty()) << "a dependent that was not running is left alone";
  }
}

} // namespace
} // namespace fbu
