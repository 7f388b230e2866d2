#include "app/update/UpdateOutcome.h"

#include <gtest/gtest.h>

#include "app/IBSystemActions.h"
#include "app/update/RunReport.h"

namespace fbu {
namespace {

namespace st = service_state;

TEST(FirebirdFolders, SecondRootOnlyWhenItNamesAnotherFolder)
{
  struct Case {
    const char16_t *pf86, *pf, *w6432;
    std::vector<Text> folders;
  };
  const Case cases[] = {
      {u"", u"C:\\PF86", u"C:\\PF", {u"C:\\PF86\\Firebird", u"C:\\PF\\Firebird"}},
      // The override confines the run to its own folder.
      {u"D:\\X", u"C:\\PF86", u"C:\\PF", {u"D:\\X\\Firebird"}},
      {u"", u"C:\\PF", u"c:\\pf\\", {u"C:\\PF\\Firebird"}},
      {u"", u"C:\\PF", u"", {u"C:\\PF\\Firebird"}},
      {u"", u"", u"", {u"\\Firebird"}},
      {u"C:\\PF", u"C:\\PF86", u"C:\\PF", {u"C:\\PF\\Firebird"}},
  };
  for (const Case& c : cases) EXPECT_EQ(FirebirdFoldersFrom(c.pf86, c.pf, c.w6432), c.folders) << ToUtf8(c.pf);
}

TEST(UpdateOutcome, Messages)
{
  EXPECT_EQ(NothingFoundMessage({u"C:\\A\\Firebird", u"C:\\B\\Firebird"}),
            u"No firebird.conf was found below C:\\A\\Firebird or C:\\B\\Firebird.");
  EXPECT_EQ(FileErrorMessage(u"Boom.", {u"a.conf"}, {}),
            u"Boom.\n\nSaved before the error:\n  a.conf\nNot reached:\n  (none)");
}

ServiceSwitchOutcome Phase(std::uint32_t found, std::uint32_t left, bool result)
{
  ServiceSwitchOutcome o;
  o.stateFound = found;
  o.stateLeft = left;
  o.result = result;
  return o;
}

TEST(UpdateOutcome, ServiceProblemTellsWhetherTheValueTakesEffect)
{
  const Text head = u"The new value was written, but the service FirebirdServerDefaultInstance ";
  ServiceSwitchOutcome missing;
  missing.installed = false;
  ServiceSwitchOutcome denied;
  denied.error = 5;
  ServiceSwitchOutcome failedStart = Phase(st::kStopped, st::kStopped, false);
  failedStart.startSent = true;
  failedStart.error = 1053;
  ServiceSwitchOutcome started = Phase(st::kStopped, st::kRunning, true);
  started.startSent = true;
  ServiceSwitchOutcome startBounded = Phase(st::kStopped, st::kStartPending, true);
  startBounded.startSent = startBounded.waitEnded = true;
  ServiceSwitchOutcome stillStarting = Phase(st::kStartPending, st::kStartPending, false);
  stillStarting.waitEnded = true;
  ServiceSwitchOutcome stopWithDependent = Phase(st::kRunning, st::kStopped, true);
  stopWithDependent.dependents = {{u"Replicator", true, st::kStopped, 0}, {u"Monitor", false, st::kRunning, 1052}};
  ServiceSwitchOutcome startWithDependent = started;
  startWithDependent.dependents = {{u"Replicator", false, st::kStopped, 1053}};
  struct Case {
    const char* name;
    ServiceSwitchOutcome stop, start;
    Text expected; // empty: nothing to report
  };
  // The outcomes the end-to-end table cannot reach with the stand-in service (it shows
  // the others on the real program), plus the two that must stay silent.
  const Case cases[] = {
      {"restarted", Phase(st::kRunning, st::kStopped, true), started, u""},
      {"started by another meanwhile", Phase(st::kStopped, st::kStopped, false),
       Phase(st::kRunning, st::kRunning, true),
       head + u"was not stopped and started again by this update, so the new value takes effect at its next restart."},
      {"starting past the bound", stillStarting, Phase(st::kRunning, st::kRunning, true),
       head + u"was still starting when the wait ended, so the new value takes effect at its next restart."},
      {"starting, no wait of ours", Phase(st::kStopped, st::kStopped, false),
       Phase(st::kStartPending, st::kStartPending, false), head + u"is not running again: it is starting."},
      {"not installed", missing, missing, u""},
      {"no rights", denied, denied,
       head + u"could not be controlled (" + SysErrorMessage(5) +
           u"), so the new value takes effect at its next restart."},
      {"start refused", Phase(st::kRunning, st::kStopped, true), failedStart,
       u"The Firebird server FirebirdServerDefaultInstance is stopped and was not started again; start it to bring it "
       u"back. " +
           head + u"is not running again: it could not be started (" + SysErrorMessage(1053) + u")."},
      {"dependents not back", stopWithDependent, startWithDependent,
       u"The service Replicator, which depends on FirebirdServerDefaultInstance, was stopped and is not running "
       u"again (" +
           SysErrorMessage(1053) +
           u"). The service Monitor, which depends on FirebirdServerDefaultInstance, did not "
           u"stop (" +
           SysErrorMessage(1052) + u")."},
      {"start outlasted the bound", Phase(st::kRunning, st::kStopped, true), startBounded,
       head + u"is not running again: it was still starting when the wait ended."},
  };
  for (const Case& c : cases) EXPECT_EQ(ServiceProblem(c.stop, c.start), c.expected) << c.name;
}

TEST(UpdateOutcome, ServiceLineSaysWhatHappened)
{
  const Text head = u"Service FirebirdServerDefaultInstance: ";
  ServiceSwitchOutcome stopStuck = Phase(st::kRunning, st::kStopPending, true);
  stopStuck.waitEnded = true;
  ServiceSwitchOutcome started = Phase(st::kStopped, st::kRunning, true);
  started.startSent = true;
  ServiceSwitchOutcome unknownFault; // a phase that failed without a system error
  struct Case {
    const char* name;
    ServiceSwitchOutcome stop, start;
    Text expected;
  };
  const Case cases[] = {
      {"restarted", Phase(st::kRunning, st::kStopped, true), started,
       head + u"found running, stopped, started, left running"},
      {"stop accepted, still stopping", stopStuck, Phase(st::kStopPending, st::kStopPending, false),
       head + u"found running, asked to stop (stopping when the wait ended), left stopping"},
      {"no cause known", unknownFault, unknownFault, head + u"could not be controlled"},
  };
  for (const Case& c : cases) EXPECT_EQ(ServiceLine(c.stop, c.start), c.expected) << c.name;
}

} // namespace
} // namespace fbu
