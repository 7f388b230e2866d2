// The road of an update over a fake machine: which services are stopped and started in
// which order around the saves, and which problem the report names first, with which
// exit code.
#include "app/update/CacheUpdate.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>

#include "native/update/FakeMachine.h"

namespace fbu::test {
namespace {

constexpr char16_t kServer[] = u"FirebirdServerDefaultInstance";
constexpr char16_t kGuardian[] = u"FirebirdGuardianDefaultInstance";
constexpr char16_t kRoot[] = u"C:\\PF\\Firebird\\Firebird_4_0";
constexpr char16_t kFile[] = u"C:\\PF\\Firebird\\Firebird_4_0\\firebird.conf";

// One installation whose file takes the value, its default instance running from it.
void Installation(FakeMachine& m)
{
  ConfigFilePlan plan;
  plan.rewrites = plan.takesEffect = plan.changes = true;
  m.files.push_back({kFile, kRoot, plan, nullptr});
  m.services[kServer].root = kRoot;
  m.aliases = {{kServer, "S"}, {kGuardian, "G"}, {kFile, "F"}, {u"FirebirdServerSecond", "S2"}};
}

void Guarded(FakeMachine& m)
{
  m.services[kGuardian].root = kRoot;
  m.services[kGuardian].guards = kServer;
}

struct Row {
  const char* name;
  std::function<void(FakeMachine&)> arrange;
  int exitCode;
  std::string log;             // every request, in order, joined by ", "
  const char16_t* said = u"";  // in the report or in one of the lines
  const char16_t* first = u""; // the report's first words
  const char16_t* value = u"1024";
};

const Row kRows[] = {
    {"Restarted", nullptr, 0, "stop S, save F, start S",
     u"Service FirebirdServerDefaultInstance: found running, stopped, started, left running"},
    // The Guardian's stop stops the server; the Guardian starts once the server runs.
    {"GuardianStopsItsServer", Guarded, 0, "stop G, save F, start S, start G",
     u"found running, stopped by FirebirdGuardianDefaultInstance, started, left running"},
    // A Guardian refusing its stop ends with its server's normal end, and runs again.
    {"GuardianEndsWithItsServer",
     [](FakeMachine& m) {
       Guarded(m);
       m.services[kGuardian].refuseStop = 1061;
     },
     0, "stop G refused, stop S, save F, start S, start G"},
    {"GuardianNotStartedWithoutItsServer",
     [](FakeMachine& m) {
       Guarded(m);
       m.services[kServer].failStart = 1053;
     },
     3, "stop G, save F, start S refused",
     u"The Guardian service FirebirdGuardianDefaultInstance ran before the update and was not started again",
     u"The Firebird server FirebirdServerDefaultInstance is stopped"},
    {"StartBeatenByTheGuardian", [](FakeMachine& m) { m.services[kServer].startBeaten = true; }, 0,
     "stop S, save F, start S refused", u"started by another meanwhile, left running"},
    {"DependentsOfADependent",
     [](FakeMachine& m) {
       m.services[kServer].dependents = {u"Replicator"};
       m.services[u"Replicator"].dependents = {u"Monitor"};
       m.services[u"Monitor"];
     },
     0,
     "stop S refused, stop Replicator refused, stop Monitor, stop Replicator, stop S, save F, start S, "
     "start Replicator, start Monitor"},
    {"DependentOfTheGuardian",
     [](FakeMachine& m) {
       Guarded(m);
       m.services[kGuardian].dependents = {u"Scheduler"};
       m.services[u"Scheduler"];
     },
     0, "stop G refused, stop Scheduler, stop G, save F, start S, start G, start Scheduler"},
    {"DependentNotBackNamedFirst",
     [](FakeMachine& m) {
       m.services[kServer].dependents = {u"Replicator"};
       m.services[u"Replicator"].failStart = 1053;
       m.services[u"FirebirdServerOther"].root = u""; // a problem of another kind, told after it
     },
     3, "stop S refused, stop Replicator, stop S, save F, start S, start Replicator refused", u"",
     u"The service Replicator, which depends on FirebirdServerDefaultInstance, was stopped and is not running again"},
    {"RefusedStop", [](FakeMachine& m) { m.services[kServer].refuseStop = 1061; }, 3, "stop S refused, save F",
     u"did not stop, so the new value takes effect at its next restart. The stop was refused: "},
    {"FailedStartNamedFirst", [](FakeMachine& m) { m.services[kServer].failStart = 1053; }, 3,
     "stop S, save F, start S refused", u"",
     u"The Firebird server FirebirdServerDefaultInstance is stopped and was not started again"},
    {"Paused", [](FakeMachine& m) { m.services[kServer].state = st::kPaused; }, 3, "save F",
     u"is not running again: it is paused."},
    {"StillStartingSettlesFirst", [](FakeMachine& m) { m.services[kServer].startingFor = milliseconds(4000); }, 0,
     "stop S, save F, start S"},
    // A stop that moves on for longer than two steps without progress would last.
    {"SlowStopWaitedOut", [](FakeMachine& m) { m.services[kServer].stopTakes = milliseconds(65000); }, 0,
     "stop S, save F, start S"},
    {"HungStopNamedFirst",
     [](FakeMachine& m) {
       m.services[kServer].stopHangs = true;
       m.services[kServer].stopProgresses = false;
     },
     3, "stop S, save F", u"",
     u"The Firebird server FirebirdServerDefaultInstance is stopped (still stopping when the wait ended)"},
    // However steadily two stops move on, all the waits of the run end within its bound.
    {"OneBoundForTheWholeRun",
     [](FakeMachine& m) {
       m.services[kServer].stopHangs = true;
       m.files.push_back({u"C:\\Fb2\\firebird.conf", u"C:\\Fb2", m.files[0].plan, nullptr});
       m.services[u"FirebirdServerSecond"].root = u"C:\\Fb2";
       m.services[u"FirebirdServerSecond"].stopHangs = true;
     },
     3, "stop S, stop S2, save F, save C:\\Fb2\\firebird.conf", u"", u"The Firebird server"},
    {"ExceptionDuringTheSave",
     [](FakeMachine& m) {
       m.files[0].save = [](const ConfigFilePlan&) -> std::optional<ConfigFilePlan> { throw std::bad_alloc(); };
     },
     1, "stop S, save F, start S", u"Saved before the error:\n  (none)\nNot reached:\n  (none)"},
    {"FileVanishedMeanwhile",
     [](FakeMachine& m) { m.files[0].save = [](const ConfigFilePlan&) { return std::nullopt; }; }, 3,
     "stop S, save F, start S", u"firebird.conf: it no longer exists", u"The files changed after they were read"},
    {"UnreadableServiceList", [](FakeMachine& m) { m.listReadable = false; }, 3, "stop S, save F, start S",
     u"The list of services could not be read"},
    {"StoppedDefaultInstanceElsewhere",
     [](FakeMachine& m) {
       m.services[kServer].root = u"D:\\Fb";
       m.services[kServer].state = st::kStopped;
     },
     3, "save F, start S",
     u"The service FirebirdServerDefaultInstance was started from D:\\Fb, whose firebird.conf this run did not change"},
    {"RunningDefaultInstanceElsewhere", [](FakeMachine& m) { m.services[kServer].root = u"D:\\Fb"; }, 3, "save F",
     u"runs from D:\\Fb, whose firebird.conf this run did not change"},
    {"ServerFolderUnreadable", [](FakeMachine& m) { m.services[u"FirebirdServerOther"].root = u""; }, 3,
     "stop S, save F, start S", u"could not tell whether the service FirebirdServerOther uses the new value"},
    {"StoppedInstanceStaysStopped",
     [](FakeMachine& m) {
       m.services[u"FirebirdServerSecond"].root = kRoot;
       m.services[u"FirebirdServerSecond"].state = st::kStopped;
     },
     0, "stop S, save F, start S", u"Service FirebirdServerSecond: found stopped, left stopped"},
    // Nothing is touched before every file is known to take the value and to be savable.
    {"NothingApplies", [](FakeMachine& m) { m.files[0].plan.takesEffect = false; }, 2, "", u"",
     u"No firebird.conf below C:\\PF\\Firebird sets"},
    {"SaveRefused", [](FakeMachine& m) { m.files[0].plan.refusal = u"Cannot create file"; }, 1, "", u"",
     u"Some files cannot be saved"},
    {"RefusedCount", nullptr, 1, "", u"", u"The cache pages value \"0\"", u"0"},
};

void PrintTo(const Row& row, std::ostream* out)
{
  *out << row.name;
}

class Road : public ::testing::TestWithParam<Row> {};

TEST_P(Road, StopsSavesStartsAndTells)
{
  const Row& row = GetParam();
  FakeMachine machine;
  Installation(machine);
  if (row.arrange) row.arrange(machine);
  std::map<Text, std::uint32_t> before;
  for (const auto& [name, service] : machine.services) before[name] = service.state;
  UpdateSettings settings;
  const RunResult run = RunCacheUpdate(row.value, machine, machine, machine.clock, settings);
  EXPECT_EQ(run.exitCode, row.exitCode) << ToUtf8(run.report);
  std::string log;
  for (const std::string& request : machine.log) log += (log.empty() ? "" : ", ") + request;
  EXPECT_EQ(log, row.log);
  EXPECT_TRUE(run.report.starts_with(row.first)) << ToUtf8(run.report);
  Text told = run.report;
  for (const Text& line : run.lines) told += u"\n" + line;
  EXPECT_NE(told.find(row.said), Text::npos) << ToUtf8(told);
  EXPECT_LE(machine.clock.Elapsed(), kUpdateServiceBound + kServicePollMax);
  // A full success leaves every service that ran before running.
  for (const auto& [name, service] : machine.services) {
    if (row.exitCode == 0 && before[name] == st::kRunning) {
      EXPECT_EQ(service.state, st::kRunning) << ToUtf8(name);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, Road, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

// The check takes the same road up to the first stop and names the same problems.
TEST(Check, AnswersAsTheUpdateWouldEnd)
{
  struct Case {
    const char* name;
    std::function<void(FakeMachine&)> arrange;
    int exitCode;
    const char16_t* told;
  };
  const Case cases[] = {
      {"would change", nullptr, 4, u"would become DefaultDbCachePages = 1024"},
      {"unreadable service list", [](FakeMachine& m) { m.listReadable = false; }, 3,
       u"an update could not tell which Firebird servers read these files"},
      {"stopped default instance elsewhere",
       [](FakeMachine& m) {
         m.services[kServer].root = u"D:\\Fb";
         m.services[kServer].state = st::kStopped;
       },
       3, u"An update would start the service FirebirdServerDefaultInstance from D:\\Fb"},
      // A refused save fails the update before any server matters.
      {"refused save before a server elsewhere",
       [](FakeMachine& m) {
         m.services[kServer].root = u"D:\\Fb";
         m.files[0].plan.refusal = u"Cannot create file";
       },
       1, u"An update would fail"},
  };
  for (const Case& c : cases) {
    FakeMachine machine;
    Installation(machine);
    if (c.arrange) c.arrange(machine);
    const RunResult run = RunCacheCheck(u"1024", machine, machine, UINT64_MAX);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.name;
    EXPECT_TRUE(std::any_of(run.lines.begin(), run.lines.end(), [&](const Text& line) {
      return line.find(c.told) != Text::npos;
    })) << c.name;
    EXPECT_TRUE(machine.log.empty()) << c.name << ": a check touched " << machine.log.front();
  }
}

} // namespace
} // namespace fbu::test
