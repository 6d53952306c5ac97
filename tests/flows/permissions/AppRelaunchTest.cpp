#include <algorithm>
#include <string>
#include <vector>

#include "PermissionsFixture.h"

namespace vistrel::testing {
namespace {

using Lines = std::vector<std::string>;
using RelaunchFlow = PermissionsFlow;

TEST_F(RelaunchFlow, RelaunchOnTheHelpStartsANewCopyOfOurFileAndQuitsAfterwards) {
  // Relaunch on the post-update help opens a new instance of our own file and ends this one 0.4 s later.
  sim->defaults().setString("vistrel.screenCaptureSealedBuild.release", "240");
  ScreenRecordingAccess::registerLaunch();
  alerts->answers = {kRelaunch};

  EXPECT_EQ(*startEnsure(), false);
  EXPECT_EQ(sim->workspace().newInstanceOpens, Lines{kBundlePath});
  EXPECT_TRUE(sim->workspace().newInstanceSpawns.empty());
  EXPECT_FALSE(stored("vistrel.screenCaptureHelpSnoozedBuild.release"));
  sim->clock().advance(0.39);
  EXPECT_EQ(terminations, 0);
  sim->clock().advance(0.02);
  EXPECT_EQ(terminations, 1);
  const auto lines = log();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "relaunch-open-ok bundle=/opt/vistrel/bin/vistrel"), 1);
}

TEST_F(RelaunchFlow, ARefusedOpenFallsBackToTheSecondRouteAndBothRefusedKeepsRunning) {
  // The fallback starts the copy and quits after 0.5 s; when it is refused too, the program stays.
  sim->workspace().openNewInstanceFailure = "Permission denied";
  AppRelaunch::replaceRunningInstance();
  EXPECT_EQ(sim->workspace().newInstanceSpawns, Lines{kBundlePath});
  sim->clock().advance(0.49);
  EXPECT_EQ(terminations, 0);
  sim->clock().advance(0.02);
  EXPECT_EQ(terminations, 1);

  sim->workspace().spawnNewInstanceFailure = "/opt/vistrel/bin/vistrel: No such file or directory";
  AppRelaunch::replaceRunningInstance();
  sim->clock().runUntilIdle();
  EXPECT_EQ(terminations, 1);
  EXPECT_EQ(log(), (Lines{"relaunch-open-failed error=Permission denied", "relaunch-fallback-open-ok",
                          "relaunch-open-failed error=Permission denied",
                          "relaunch-fallback-open-failed error=/opt/vistrel/bin/vistrel: No such file or directory"}));
}

}  // namespace
}  // namespace vistrel::testing
