#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/IBSystemActions.h"
#include "app/services/ServerInstances.h"
#include "support/StandinService.h"
#include "support/WinTestSupport.h"

// Each test installs the stand-in service (tests/support/standin) under the name the
// switch controls, steers it through its control file, and removes it again.

namespace fbu {
namespace {

using test::StandinService;

bool SwitchCountingPumps(bool start, int& pumps)
{
  return SwitchFirebirdService(start, [&] { ++pumps; }).result;
}

void StartRunning(StandinService& service)
{
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(service.WaitForState(SERVICE_RUNNING));
}

TEST(SwitchFirebirdServiceWin, StopPhaseOnRunningReturnsOnceStopped)
{
  for (const char* delay : {"0", "2000"}) {
    SCOPED_TRACE(std::string("stop-delay=") + delay);
    StandinService service;
    StartRunning(service);
    service.SetControl({{"stop-delay", delay}});
    int pumps = 0;
    EXPECT_TRUE(SwitchCountingPumps(false, pumps));
    EXPECT_EQ(service.State(), static_cast<DWORD>(SERVICE_STOPPED));
    if (std::string(delay) != "0") {
      EXPECT_GT(pumps, 0) << "the wait must keep the caller's window answering";
    }
  }
}

TEST(SwitchFirebirdServiceWin, StopPhaseWithoutPumpOnRunning)
{
  StandinService service;
  StartRunning(service);
  service.SetControl({{"stop-delay", "500"}});
  EXPECT_TRUE(SwitchFirebirdService(false));
  EXPECT_EQ(service.State(), static_cast<DWORD>(SERVICE_STOPPED));
}

TEST(SwitchFirebirdServiceWin, StopPhaseOnStoppedSendsNothing)
{
  StandinService service;
  EXPECT_FALSE(SwitchFirebirdService(false));
  EXPECT_EQ(service.State(), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_TRUE(service.Starts().empty());
}

TEST(SwitchFirebirdServiceWin, StartPhaseOnStoppedStartsIt)
{
  StandinService service("# instance\r\nDefaultDbCachePages = 4096\r\n");
  EXPECT_TRUE(SwitchFirebirdService(true));
  EXPECT_TRUE(service.WaitForState(SERVICE_RUNNING));
  ASSERT_TRUE(service.WaitForStarts(1));
  EXPECT_EQ(service.Starts(), std::vector<std::string>{"4096"});
}

TEST(SwitchFirebirdServiceWin, StartPhaseOnRunningSendsNothing)
{
  StandinService service;
  StartRunning(service);
  ASSERT_EQ(service.Starts().size(), 1u);
  EXPECT_TRUE(SwitchFirebirdService(true));
  EXPECT_EQ(service.State(), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(service.Starts().size(), 1u);
}

TEST(SwitchFirebirdServiceWin, StartPhaseWaitsForAStopInProgressThenStarts)
{
  StandinService service("DefaultDbCachePages = 75\r\n");
  StartRunning(service);
  service.SetControl({{"stop-delay", "3000"}});
  ASSERT_TRUE(service.Send(SERVICE_CONTROL_STOP));
  ASSERT_EQ(service.State(), static_cast<DWORD>(SERVICE_STOP_PENDING));
  // The restart reads the value written while the service was stopping.
  test::WriteFileBytes(service.ConfigFile(), "DefaultDbCachePages = 1024\r\n");
  int pumps = 0;
  EXPECT_TRUE(SwitchCountingPumps(true, pumps));
  EXPECT_GT(pumps, 0);
  EXPECT_TRUE(service.WaitForState(SERVICE_RUNNING));
  ASSERT_TRUE(service.WaitForStarts(2));
  EXPECT_EQ(service.Starts(), (std::vector<std::string>{"75", "1024"}));
}

TEST(SwitchFirebirdServiceWin, PausedServiceIsLeftAlone)
{
  StandinService service;
  StartRunning(service);
  ASSERT_TRUE(service.Pause());
  ASSERT_TRUE(service.WaitForState(SERVICE_PAUSED));
  for (const bool start : {false, true}) {
    int pumps = 0;
    EXPECT_FALSE(SwitchCountingPumps(start, pumps)) << (start ? "start phase" : "stop phase");
    EXPECT_EQ(pumps, 0);
    EXPECT_EQ(service.State(), static_cast<DWORD>(SERVICE_PAUSED));
  }
  EXPECT_EQ(service.Starts().size(), 1u);
}

// The start phase leaves every pending state alone; the stop phase lets a start or a
// resume settle and then stops the service, and leaves a pause alone.
TEST(SwitchFirebirdServiceWin, PendingStates)
{
  struct Case {
    const char* control;
    DWORD pending;
    std::function<void(StandinService&)> enter;
    bool stopped; // by the stop phase
  };
  const Case cases[] = {
      {"start-delay", SERVICE_START_PENDING, [](StandinService& s) { ASSERT_TRUE(s.Start()); }, true},
      {"pause-delay", SERVICE_PAUSE_PENDING,
       [](StandinService& s) {
         StartRunning(s);
         ASSERT_TRUE(s.Pause());
       },
       false},
      {"continue-delay", SERVICE_CONTINUE_PENDING,
       [](StandinService& s) {
         StartRunning(s);
         ASSERT_TRUE(s.Pause());
         ASSERT_TRUE(s.WaitForState(SERVICE_PAUSED));
         ASSERT_TRUE(s.Send(SERVICE_CONTROL_CONTINUE));
       },
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.control);
    StandinService service;
    service.SetControl({{c.control, "4000"}});
    c.enter(service);
    if (testing::Test::HasFatalFailure()) return;
    ASSERT_EQ(service.State(), c.pending);
    EXPECT_FALSE(SwitchFirebirdService(true));
    EXPECT_EQ(service.State(), c.pending);
    EXPECT_EQ(SwitchFirebirdService(false), c.stopped);
    EXPECT_EQ(service.State(), c.stopped ? static_cast<DWORD>(SERVICE_STOPPED) : c.pending);
  }
}

TEST(SwitchFirebirdServiceWin, RefusedStopGivesFalseAndTheServiceRuns)
{
  StandinService service;
  service.SetControl({{"accept-stop", "0"}});
  StartRunning(service);
  EXPECT_FALSE(SwitchFirebirdService(false));
  EXPECT_EQ(service.State(), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_TRUE(SwitchFirebirdService(true)); // running: the start phase has nothing to do
  EXPECT_EQ(service.Starts().size(), 1u);
}

TEST(SwitchFirebirdServiceWin, MissingServiceGivesFalse)
{
  {
    // Install and remove it, so the name is surely free.
    StandinService service;
  }
  for (const bool start : {false, true}) EXPECT_FALSE(SwitchFirebirdService(start)) << start;
}

// A server's folder and a file's folder are compared by their final paths: a link that
// leads to the installation is the installation, and a folder that is not there is none.
TEST(FinalFolderWin, LinksLeadToTheirTarget)
{
  const test::ScopedTempDir dir(L"fbu-final");
  CreateDirectoryW((dir / L"Firebird_3_0").c_str(), nullptr);
  ASSERT_TRUE(test::MakeFileLink(dir / L"fb30", L"Firebird_3_0"));
  const Text real = FinalFolder(FromWide((dir / L"Firebird_3_0").c_str()));
  ASSERT_FALSE(real.empty());
  EXPECT_TRUE(SameInstallation(FinalFolder(FromWide((dir / L"fb30").c_str())), real));
  EXPECT_TRUE(SameInstallation(FinalFolder(FromWide((dir / L"FIREBIRD_3_0\\").c_str())), real));
  EXPECT_EQ(FinalFolder(FromWide((dir / L"missing").c_str())), u"");
  test::RemoveFileLink(dir / L"fb30");
}

} // namespace
} // namespace fbu
