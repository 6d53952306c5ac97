#include <string>
#include <vector>

#include "AccessibilityFixture.h"

namespace vistrel::testing {
namespace {

using Lines = std::vector<std::string>;

constexpr const char* kBundle = "/opt/vistrel/bin/vistrel";
constexpr const char* kGuideTitle = "Split screen is off \u2014 fix Accessibility";
const Lines kGuideButtons{"Open Accessibility", "Show log path in the file manager"};
const Lines kSettingsURLs{
    "x-apple.systempreferences:com.apple.settings.PrivacySecurity.extension?Privacy_Accessibility",
    "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility"};

using AccessibilityAccessFlow = AccessibilityFlow;

// Accessibility worked on build 240 and the heal already relaunched 241 once; it is off now.
void storeUpdateWithAccessibilityLost(sim::SimPlatform& sim) {
  sim.defaults().setString("vistrel.accessibilitySealedBuild.release", "240");
  sim.defaults().setBool("vistrel.accessibilityShowedSystemPrompt.release", true);
  sim.defaults().setString("vistrel.unifiedPostUpdateRelaunchedBuild.release", "241");
}

TEST_F(AccessibilityAccessFlow, FirstLaunchGivesTheGraceLineThenTheFirstRunHelpOnceAndLaterSnoozesTheBuild) {
  // A first launch untrusted: blocked shortcuts (as the engine reports them) within 6 s only log the grace line and
  // notify; after the watcher's minute the first-run help shows once per run, and Later holds for this build only.
  launch();
  EXPECT_EQ(lines(), (Lines{"permission-legacy-keys-cleared scope=release",
                            "permission-e2e scope=release build=241 ax=false capture=false axStale=false "
                            "capStale=false local=false",
                            "accessibility-launch trusted=false build=241 bundle=/opt/vistrel/bin/vistrel",
                            "accessibility-diag trusted=false capture=false axSealed=none capSealed=none "
                            "axStale=false path=/opt/vistrel/bin/vistrel",
                            "accessibility-trust-watcher-start",
                            "post-update-heal skip first-grant build=241 ax=false cap=false hadAX=false hadCap=false"}));

  sim->clock().advance(1);
  AccessibilityAccess::splitShortcutBlockedFeedback("hotkey");
  const Lines firstBanner{bannerID()};
  sim->clock().advance(3);
  AccessibilityAccess::splitShortcutBlockedFeedback("hotkey");
  EXPECT_EQ(count("accessibility-waiting-grant launch-grace=6s"), 1);
  EXPECT_EQ(bannerIDs(), firstBanner);
  const auto& banner = sim->notifications().delivered.at(0);
  EXPECT_EQ(banner.title, "Split screen blocked");
  EXPECT_EQ(banner.body, "Allow Accessibility for Vistrel in Settings (remove & re-add if already On).");
  EXPECT_TRUE(banner.sound);
  EXPECT_TRUE(alerts->shown.empty());

  sim->clock().advance(57);
  EXPECT_EQ(count("accessibility-trust-watcher-timeout"), 1);
  AccessibilityAccess::splitShortcutBlockedFeedback("hotkey");
  ASSERT_EQ(alerts->shown.size(), 1u);
  EXPECT_EQ(alerts->shown[0].title, "Allow Accessibility for window shortcuts");
  EXPECT_EQ(alerts->shown[0].text,
            "Turn on Accessibility for Vistrel in your desktop's settings. Use the copy installed from vistrel.app.");
  EXPECT_EQ(alerts->shown[0].buttons, (Lines{"Open Accessibility", "Later"}));
  EXPECT_EQ(stored("vistrel.accessibilityHotkeyHelpSnoozedBuild.release"), "241");
  sim->clock().advance(10);
  AccessibilityAccess::splitShortcutBlockedFeedback("hotkey");
  EXPECT_EQ(alerts->shown.size(), 1u);
  EXPECT_EQ(bannerIDs().size(), 3u);

  restart();
  sim->clock().advance(61);
  AccessibilityAccess::splitShortcutBlockedFeedback("hotkey");
  EXPECT_EQ(alerts->shown.size(), 1u);

  setBuild("242", "release");
  restart();
  sim->clock().advance(61);
  AccessibilityAccess::splitShortcutBlockedFeedback("hotkey");
  EXPECT_EQ(alerts->shown.size(), 2u);
  EXPECT_EQ(sim->accessibility().promptCount, 0);
}

TEST_F(AccessibilityAccessFlow, AnUpdateThatLostAccessibilityShowsTheRepairGuideAndNeverTheSystemPromptAgain) {
  // Sealed on 240, off on 241: the post-update line and flag at launch; a blocked snap shows the repair guide, whose
  // first button opens the settings links and watches; the system prompt, already seen once, is not asked again.
  storeUpdateWithAccessibilityLost(*sim);
  capture().allowed = true;
  launch();
  EXPECT_EQ(sim->defaults().boolean("vistrel.accessibilityNeedsRefreshAfterUpdate.release"), true);
  sim->clock().advance(61);

  alerts->answers = {kOpenSettings};
  shortcut();
  ASSERT_EQ(alerts->shown.size(), 1u);
  EXPECT_EQ(alerts->shown[0].title, kGuideTitle);
  EXPECT_EQ(alerts->shown[0].text,
            "Vistrel received your shortcut, but your desktop has not granted Accessibility to this app yet (screen "
            "capture can still work).\n\nIf the toggle already looks On, it is usually the wrong entry. Do this "
            "once:\n\n1. Your desktop's settings \u2192 Privacy \u2192 Accessibility\n2. Select Vistrel and click "
            "\u2212 (minus) to remove it\n3. Click + and choose:\n   /opt/vistrel/bin/vistrel\n4. Turn the new "
            "Vistrel entry On\n5. Press your split shortcut again (no relaunch needed)\n\nYour log line must show "
            "ax=true after this:\n" +
                tempLog.path());
  EXPECT_EQ(alerts->shown[0].buttons, kGuideButtons);
  EXPECT_EQ(sim->workspace().openedURLs, kSettingsURLs);
  sim->clock().advance(10);
  shortcut();
  sim->clock().runUntilIdle();

  EXPECT_EQ(sim->accessibility().promptCount, 0);
  EXPECT_EQ(alerts->shown.size(), 1u);
  EXPECT_EQ(stored("vistrel.pendingSnap"), "leftHalf");
  EXPECT_EQ(lines(), (Lines{"permission-legacy-keys-cleared scope=release",
                            "permission-e2e scope=release build=241 ax=false capture=true axStale=false "
                            "capStale=false local=false",
                            "accessibility-launch trusted=false build=241 bundle=/opt/vistrel/bin/vistrel",
                            "accessibility-post-update build=241 sealed=240",
                            "accessibility-trust-watcher-start",
                            "post-update-heal skip already-relaunched build=241",
                            "post-update-heal coach-deferred watcher-active",
                            "accessibility-trust-watcher-timeout",
                            "accessibility-api-disabled trusted=false bundle=/opt/vistrel/bin/vistrel",
                            "accessibility-split-blocked-banner",
                            "accessibility-repair-guide reason=snap-leftHalf",
                            "accessibility-trust-watcher-start",
                            "accessibility-repair-throttled reason=hotkey skipped=1",
                            "accessibility-api-disabled trusted=false bundle=/opt/vistrel/bin/vistrel",
                            "accessibility-split-blocked-banner",
                            "accessibility-trust-watcher-timeout"}));
}

TEST_F(AccessibilityAccessFlow, FiveBlockedShortcutsIn25SecondsGiveOneGuideAndOneThrottleLine) {
  // Five blocked snaps 5 s apart: one repair guide (here answered with the log's place), the rest counted and
  // reported in a single throttle line; the notification at most every 8 s.
  storeUpdateWithAccessibilityLost(*sim);
  launch();
  sim->clock().advance(61);
  alerts->answers = {kRevealLog};
  for (int press = 0; press < 5; ++press) {
    shortcut();
    sim->clock().advance(5);
  }
  EXPECT_EQ(alerts->shown.size(), 1u);
  EXPECT_EQ(count("accessibility-repair-guide reason=snap-leftHalf"), 1);
  EXPECT_EQ(count("accessibility-repair-throttled "), 1);
  EXPECT_EQ(count("accessibility-split-blocked-banner"), 3);
  EXPECT_EQ(count("settings-reveal-log"), 1);
  EXPECT_EQ(sim->workspace().revealed, std::vector<Lines>{{tempLog.path()}});
}

TEST_F(AccessibilityAccessFlow, TrustGrantedWhileTheWatcherRunsAppliesThePendingSnapOnce) {
  // A snap blocked 10 s after a first launch is kept; the grant, seen first by the launch's watcher, seals the build
  // and performs the snap once, although the engine's own 2 s wait sees it too.
  launch();
  sim->clock().advance(10.1);
  shortcut();
  EXPECT_EQ(stored("vistrel.pendingSnap"), "leftHalf");
  EXPECT_EQ(sim->accessibility().promptCount, 1);

  // The watcher checks at whole and half seconds since launch, the engine's wait at 10.3, 10.5 ... 12.1.
  sim->clock().advance(0.85);
  sim->accessibility().setTrusted(true);
  sim->clock().runUntilIdle();

  EXPECT_EQ(count("perform leftHalf"), 2);
  EXPECT_EQ(count("perform leftHalf front=Editor menu=Editor retry=false"), 0);
  EXPECT_EQ(count("accessibility-trust-delayed-ok"), 1);
  EXPECT_EQ(*sim->accessibility().frame(window), Rect(0, 0, 720, 875));
  EXPECT_EQ(stored("vistrel.accessibilitySealedBuild.release"), "241");
  EXPECT_FALSE(sim->defaults().contains("vistrel.pendingSnap"));
  EXPECT_FALSE(sim->defaults().contains("vistrel.pendingPID"));
  EXPECT_EQ(count("accessibility-trust-watcher-ok"), 1);
  EXPECT_EQ(count("accessibility-request-system-once"), 1);
  EXPECT_EQ(count("accessibility-repair-quiet reason=snap-leftHalf"), 1);
  EXPECT_TRUE(alerts->shown.empty());
}

TEST_F(AccessibilityAccessFlow, TheHealRelaunchesOncePerBuildAndTheRelaunchedCopyTakesTheGraceRow) {
  // Both permissions worked on 240; on 241 Accessibility is lost: the heal relaunches 1.2 s after launch; the new copy
  // finds itself within 8 s of it (grace row, coach deferred while its watcher runs); a later start never relaunches.
  sim->defaults().setString("vistrel.accessibilitySealedBuild.release", "240");
  sim->defaults().setString("vistrel.screenCaptureSealedBuild.release", "240");
  capture().allowed = true;
  launch();
  EXPECT_EQ(lines().back(), "post-update-heal scheduled build=241 ax=false cap=true axStale=true capStale=false");
  sim->clock().advance(1.19);
  EXPECT_TRUE(sim->workspace().newInstanceOpens.empty());
  sim->clock().advance(0.02);
  EXPECT_EQ(sim->workspace().newInstanceOpens, Lines{kBundle});
  sim->clock().advance(0.4);
  EXPECT_EQ(terminations, 1);

  const std::size_t before = lines().size();
  restart();
  sim->clock().advance(3.5);
  const Lines all = lines();
  const Lines relaunched(all.begin() + before, all.end());
  EXPECT_EQ(relaunched, (Lines{"permission-e2e scope=release build=241 ax=false capture=true axStale=true "
                               "capStale=false local=false",
                               "accessibility-launch trusted=false build=241 bundle=/opt/vistrel/bin/vistrel",
                               "accessibility-post-update build=241 sealed=240",
                               "accessibility-trust-watcher-start",
                               "post-update-heal skip post-relaunch-grace build=241",
                               "post-update-heal coach-deferred watcher-active"}));

  sim->clock().advance(60);
  restart();
  sim->clock().runUntilIdle();
  EXPECT_EQ(count("post-update-heal skip already-relaunched build=241"), 1);
  EXPECT_EQ(count("post-update-heal relaunch "), 1);
  EXPECT_EQ(sim->workspace().newInstanceOpens.size(), 1u);
  EXPECT_EQ(terminations, 1);
}

TEST_F(AccessibilityAccessFlow, ALocalBuildKeepsSeparateKeys) {
  // A release copy that works and a local copy of the same build: each clears the legacy keys once for its own scope,
  // and the local copy, never granted, gets the first-run help although the release copy is sealed.
  sim->defaults().setString("vistrel.accessibilitySealedBuild", "200");
  sim->defaults().setString("vistrel.screenCaptureRequestedBuild", "200");
  sim->accessibility().setTrusted(true);
  launch();
  EXPECT_EQ(stored("vistrel.accessibilitySealedBuild.release"), "241");
  EXPECT_FALSE(sim->defaults().contains("vistrel.accessibilitySealedBuild"));
  EXPECT_FALSE(sim->defaults().contains("vistrel.screenCaptureRequestedBuild"));

  setBuild("241", "local");
  sim->accessibility().setTrusted(false);
  const std::size_t before = lines().size();
  restart();
  sim->clock().advance(61);
  AccessibilityAccess::splitShortcutBlockedFeedback("hotkey");
  const Lines all = lines();
  const Lines local(all.begin() + before, all.end());
  EXPECT_EQ(local, (Lines{"permission-legacy-keys-cleared scope=local",
                          "permission-e2e scope=local build=241 ax=false capture=false axStale=false capStale=false "
                          "local=true",
                          "accessibility-launch trusted=false build=241 bundle=/opt/vistrel/bin/vistrel",
                          "accessibility-trust-watcher-start", "accessibility-trust-watcher-timeout",
                          "accessibility-split-blocked-banner"}));
  ASSERT_EQ(alerts->shown.size(), 1u);
  EXPECT_EQ(alerts->shown[0].title, "Allow Accessibility for window shortcuts");
  EXPECT_EQ(stored("vistrel.accessibilityHotkeyHelpSnoozedBuild.local"), "241");
  EXPECT_FALSE(sim->defaults().contains("vistrel.accessibilityHotkeyHelpSnoozedBuild.release"));
  EXPECT_FALSE(sim->defaults().contains("vistrel.accessibilitySealedBuild.local"));

  setBuild("241", "release");
  restart();
  EXPECT_EQ(count("permission-legacy-keys-cleared"), 2);
  EXPECT_EQ(stored("vistrel.accessibilitySealedBuild.release"), "241");
}

}  // namespace
}  // namespace vistrel::testing
