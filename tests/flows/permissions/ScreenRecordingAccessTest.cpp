#include <string>
#include <vector>

#include "PermissionsFixture.h"

namespace vistrel::testing {
namespace {

using Lines = std::vector<std::string>;

constexpr const char* kLaunchLine =
    "capture-launch preflight=false build=241 scope=release bundle=/opt/vistrel/bin/vistrel";
constexpr const char* kTitle = "Turn on Screen Recording for this Vistrel";
constexpr const char* kNotGrantedText =
    "Turn On Screen Recording for Vistrel, then try capture again. Toggle Off\u2192On once if it was already On.";
constexpr const char* kStaleText =
    "If Screen Recording is already On, try Relaunch once. If it is Off, turn On first, then capture again.";
const Lines kSettingsURLs{
    "x-apple.systempreferences:com.apple.settings.PrivacySecurity.extension?Privacy_ScreenCapture",
    "x-apple.systempreferences:com.apple.preference.security?Privacy_ScreenCapture"};

using ScreenRecordingFlow = PermissionsFlow;

TEST_F(ScreenRecordingFlow, FirstCaptureAsksTheSystemOnceAndProceedsOnAGrantWithinFiveSeconds) {
  // The first capture ever shows the system dialog once, waits in 0.35 s polls for a grant given in settings, and proceeds.
  ScreenRecordingAccess::registerLaunch();
  sim->clock().after(2.0, [this] { capture().allowed = true; });

  const auto first = startEnsure();
  sim->clock().advance(2.09);
  EXPECT_FALSE(first->has_value());
  sim->clock().advance(0.02);
  EXPECT_EQ(*first, true);
  EXPECT_EQ(capture().requestCount, 1);
  EXPECT_EQ(stored("vistrel.screenCaptureRequestedBuild.release"), "241");
  EXPECT_EQ(stored("vistrel.screenCaptureSealedBuild.release"), "241");
  EXPECT_EQ(sim->defaults().boolean("vistrel.screenCaptureNeedsRefreshAfterUpdate.release"), false);

  const auto second = startEnsure();
  EXPECT_EQ(*second, true);
  EXPECT_EQ(capture().requestCount, 1);
  EXPECT_TRUE(alerts->shown.empty());
  EXPECT_EQ(log(), (Lines{kLaunchLine, "capture-watcher-start", "capture-request-system", "capture-request-result=false",
                          "capture-watcher-ok", "capture-ok"}));
}

TEST_F(ScreenRecordingFlow, AfterADenialTheHelpShowsOnceWithoutRelaunchAndTheWatcherGivesUpAfterAMinute) {
  // A denied dialog ends the first capture after 14 polls; the second shows the help (no dialog), the third nothing.
  ScreenRecordingAccess::registerLaunch();
  const auto first = startEnsure();
  sim->clock().advance(4.89);
  EXPECT_FALSE(first->has_value());
  sim->clock().advance(0.02);
  EXPECT_EQ(*first, false);

  alerts->answers = {kOpenSettings};
  const auto second = startEnsure();
  EXPECT_EQ(*second, false);
  ASSERT_EQ(alerts->shown.size(), 1u);
  EXPECT_EQ(alerts->shown[0].title, kTitle);
  EXPECT_EQ(alerts->shown[0].text, kNotGrantedText);
  EXPECT_EQ(alerts->shown[0].buttons, (Lines{"Open Screen Recording", "Later"}));
  // Nothing on this desktop opens a settings pane link, so both addresses are tried.
  EXPECT_EQ(sim->workspace().openedURLs, kSettingsURLs);

  const auto third = startEnsure();
  EXPECT_EQ(*third, false);
  EXPECT_EQ(alerts->shown.size(), 1u);
  EXPECT_EQ(capture().requestCount, 1);
  EXPECT_FALSE(stored("vistrel.screenCaptureHelpSnoozedBuild.release"));
  EXPECT_FALSE(stored("vistrel.screenCaptureSealedBuild.release"));

  sim->clock().advance(55.08);
  EXPECT_TRUE(ScreenRecordingAccess::isCaptureWatcherRunning());
  sim->clock().advance(0.02);
  EXPECT_FALSE(ScreenRecordingAccess::isCaptureWatcherRunning());
  EXPECT_EQ(log(), (Lines{kLaunchLine, "capture-watcher-start", "capture-request-system", "capture-request-result=false",
                          "capture-waiting-for-settings", "capture-watcher-timeout"}));
}

TEST_F(ScreenRecordingFlow, TheHelpAfterADenialAddsWhereTheDesktopKeepsTheGrant) {
  // A desktop that names where it keeps the grant (GNOME's permission store) has it said after the product's words.
  capture().accessHelp = "GNOME keeps the answer in its portal permission store.";
  ScreenRecordingAccess::registerLaunch();
  const auto first = startEnsure();
  sim->clock().advance(5);
  EXPECT_EQ(*first, false);

  alerts->answers = {kLater};
  const auto second = startEnsure();
  EXPECT_EQ(*second, false);
  ASSERT_EQ(alerts->shown.size(), 1u);
  EXPECT_EQ(alerts->shown[0].text,
            std::string(kNotGrantedText) + "\n\nGNOME keeps the answer in its portal permission store.");
  EXPECT_EQ(capture().requestCount, 1);
  EXPECT_EQ(log(), (Lines{kLaunchLine, "capture-watcher-start", "capture-request-system", "capture-request-result=false",
                          "capture-waiting-for-settings"}));
}

TEST_F(ScreenRecordingFlow, AnUpdateThatLostThePermissionOffersRelaunchAndLaterHoldsForThatBuildAcrossRelaunches) {
  // Sealed on build 240, off on 241: flagged at launch, help with Relaunch; Later snoozes 241 only; a grant clears the flag.
  sim->defaults().setString("vistrel.screenCaptureSealedBuild.release", "240");
  ScreenRecordingAccess::registerLaunch();
  EXPECT_EQ(sim->defaults().boolean("vistrel.screenCaptureNeedsRefreshAfterUpdate.release"), true);

  const auto first = startEnsure();
  EXPECT_EQ(*first, false);
  ASSERT_EQ(alerts->shown.size(), 1u);
  EXPECT_EQ(alerts->shown[0].text, kStaleText);
  EXPECT_EQ(alerts->shown[0].buttons, (Lines{"Open Screen Recording", "Later", "Relaunch"}));
  EXPECT_EQ(stored("vistrel.screenCaptureHelpSnoozedBuild.release"), "241");

  relaunch();
  const auto second = startEnsure();
  EXPECT_EQ(*second, false);
  EXPECT_EQ(alerts->shown.size(), 1u);
  EXPECT_EQ(capture().requestCount, 0);  // a stale permission never gets the system dialog

  // Switched on in settings: the watcher this capture started seals the build.
  capture().allowed = true;
  sim->clock().advance(0.5);
  EXPECT_EQ(stored("vistrel.screenCaptureSealedBuild.release"), "241");
  EXPECT_EQ(sim->defaults().boolean("vistrel.screenCaptureNeedsRefreshAfterUpdate.release"), false);
  EXPECT_EQ(*startEnsure(), true);

  const std::string postUpdate = "capture-post-update build=241 sealed=240";
  EXPECT_EQ(log(), (Lines{kLaunchLine, postUpdate, "capture-watcher-start", kLaunchLine, postUpdate,
                          "capture-watcher-start", "capture-watcher-ok", "capture-ok"}));

  // The next update loses it again: the snooze was for 241 only.
  capture().allowed = false;
  setBuild("242", "release");
  relaunch();
  EXPECT_EQ(*startEnsure(), false);
  ASSERT_EQ(alerts->shown.size(), 2u);
  EXPECT_EQ(alerts->shown[1].buttons.size(), 3u);
}

TEST_F(ScreenRecordingFlow, ALocalBuildKeepsItsOwnRecordsAsksOncePerBuildAndOpensSettingsWhenRefused) {
  // A local build ignores the installed copy's records, opens settings after a refused dialog, and never offers Relaunch.
  setBuild("241", "local");
  sim->defaults().setString("vistrel.screenCaptureSealedBuild.release", "240");
  ScreenRecordingAccess::registerLaunch();

  const auto first = startEnsure();
  sim->clock().advance(5);
  EXPECT_EQ(*first, false);
  EXPECT_EQ(sim->workspace().openedURLs, kSettingsURLs);
  EXPECT_EQ(stored("vistrel.screenCaptureRequestedBuild.local"), "241");
  EXPECT_FALSE(stored("vistrel.screenCaptureRequestedBuild.release"));
  EXPECT_EQ(stored("vistrel.screenCaptureSealedBuild.release"), "240");
  EXPECT_FALSE(sim->defaults().contains("vistrel.screenCaptureNeedsRefreshAfterUpdate.release"));
  const std::string blocked = "capture-local-blocked preflight=false bundle=/opt/vistrel/bin/vistrel";
  EXPECT_EQ(log(), (Lines{"capture-launch preflight=false build=241 scope=local bundle=/opt/vistrel/bin/vistrel",
                          "capture-watcher-start", blocked, "capture-local-request-system",
                          "capture-request-result=false", "capture-local-open-settings"}));

  EXPECT_EQ(*startEnsure(), false);
  ASSERT_EQ(alerts->shown.size(), 1u);
  EXPECT_EQ(alerts->shown[0].text,
            "Local build:\n/opt/vistrel/bin/vistrel\n\nIn your desktop's privacy settings, turn Vistrel On for Screen "
            "Recording (this path, not only the installed copy). Then capture again \u2014 no Relaunch needed if the "
            "toggle was Off.");
  EXPECT_EQ(alerts->shown[0].buttons, (Lines{"Open Screen Recording", "Later"}));
  EXPECT_EQ(stored("vistrel.screenCaptureHelpSnoozedBuild.local"), "241");
  EXPECT_EQ(capture().requestCount, 1);

  // A new local build may ask again; granted in the dialog, the capture proceeds.
  setBuild("242", "local");
  relaunch();
  capture().grantOnRequest = true;
  EXPECT_EQ(*startEnsure(), true);
  EXPECT_EQ(capture().requestCount, 2);
  EXPECT_EQ(stored("vistrel.screenCaptureSealedBuild.local"), "242");
  const Lines lines = log();
  const Lines tail(lines.end() - 4, lines.end());
  // The watcher, started before the dialog, finds the grant on its first look.
  EXPECT_EQ(tail, (Lines{"capture-local-request-system", "capture-request-result=true", "capture-ok",
                         "capture-watcher-ok"}));
}

}  // namespace
}  // namespace vistrel::testing
