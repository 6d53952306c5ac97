#include "LayoutFixture.h"

using namespace vistrel;
using namespace vistrel::testing;
using Engine = LayoutFlow;

namespace {
WindowEngine& engine() { return WindowEngine::shared(); }
}

// The logged frames use the default textual form of a rectangle; the old frame goes into the restore memory.
TEST_F(Engine, LogsCurrentAndTargetAndRemembers) {
  focusedWindow(Rect(100, 100, 400, 300));
  engine().perform(WindowSnap::leftHalf, true);
  EXPECT_EQ(log({"perform", "current="}),
            (std::vector<std::string>{"perform leftHalf front=Editor menu=Editor retry=true",
                                      "current=(100.0, 500.0, 400.0, 300.0) target=(0.0, 25.0, 720.0, 875.0)"}));
  EXPECT_EQ(engine().restoreFrames, (std::map<std::string, Rect>{{"300|Doc", Rect(100, 500, 400, 300)}}));
}

// The same snap twice: the second is already there, writes nothing and keeps the first one's memory.
TEST_F(Engine, AlreadyThere) {
  focusedWindow(Rect(100, 100, 400, 300));
  engine().perform(WindowSnap::leftHalf, true);
  sim->clock().runUntilIdle();
  const auto writes = sim->accessibility().writes.size();
  engine().perform(WindowSnap::leftHalf, true);
  EXPECT_EQ(count("already-there"), 1);
  EXPECT_EQ(sim->accessibility().writes.size(), writes);
  EXPECT_EQ(engine().restoreFrames.at("300|Doc"), Rect(100, 500, 400, 300));
}

// Snap, restore, restore: back to the start, then forward again; a never-changed window has nothing to restore.
TEST_F(Engine, RestoreSwapsAndNothingToRestore) {
  auto w = focusedWindow(Rect(100, 100, 400, 300));
  engine().perform(WindowSnap::restore, true);
  ASSERT_EQ(alerts->shown.size(), 1u);
  EXPECT_EQ(alerts->shown[0].title, "Nothing to restore");
  EXPECT_EQ(alerts->shown[0].text, "Snap or resize a window first, then choose Restore.");

  engine().perform(WindowSnap::rightHalf, true);
  sim->clock().runUntilIdle();
  EXPECT_EQ(frame(w), Rect(720, 0, 720, 875));
  engine().perform(WindowSnap::restore, true);
  sim->clock().runUntilIdle();
  EXPECT_EQ(frame(w), Rect(100, 100, 400, 300));
  engine().perform(WindowSnap::restore, true);
  sim->clock().runUntilIdle();
  EXPECT_EQ(frame(w), Rect(720, 0, 720, 875));
  EXPECT_EQ(alerts->shown.size(), 1u);
}

// No window on the first try: one retry after 0.08 s, then the alert; with nothing known the wait is 0.35 s.
TEST_F(Engine, RetryTiming) {
  engine().perform(WindowSnap::leftHalf, true);
  sim->clock().advance(0.079);
  EXPECT_EQ(count("perform leftHalf"), 1);
  sim->clock().advance(0.002);
  EXPECT_EQ(count("perform leftHalf front=Editor menu=Editor retry=false"), 1);
  ASSERT_EQ(alerts->shown.size(), 1u);
  EXPECT_EQ(alerts->shown[0].title, "No window to resize");
  EXPECT_EQ(alerts->shown[0].text,
            "Click the app you want, then use Vistrel again \u2014 or use a keyboard shortcut without opening the menu.");

  sim->workspace().setFrontmost(std::nullopt);
  engine().perform(WindowSnap::maximize, true);
  sim->clock().advance(0.349);
  EXPECT_EQ(count("perform maximize"), 1);
  sim->clock().advance(0.002);
  EXPECT_EQ(count("perform maximize front=? menu=? retry=false"), 1);
  EXPECT_EQ(alerts->shown.size(), 2u);
  sim->clock().runUntilIdle();
  EXPECT_EQ(count("perform "), 4);
}

// With alerts suppressed, an alert is only the line "alert <title>".
TEST_F(Engine, SuppressedAlertsAreLogged) {
  engine().suppressAlerts = true;
  engine().perform(WindowSnap::leftHalf, false);
  EXPECT_TRUE(alerts->shown.empty());
  EXPECT_EQ(log({"alert "}), std::vector<std::string>{"alert No window to resize"});
}

// A display move with one display has no target: one line, no alert, no write.
TEST_F(Engine, NoTargetWithOneDisplay) {
  focusedWindow(Rect(100, 100, 400, 300));
  engine().perform(WindowSnap::nextDisplay, true);
  EXPECT_EQ(log({"no-target"}), std::vector<std::string>{"no-target current=(100.0, 500.0, 400.0, 300.0)"});
  EXPECT_TRUE(alerts->shown.empty());
  EXPECT_TRUE(engine().restoreFrames.empty());
}

// Next display on two displays carries the window over, keeping its relative place.
TEST_F(Engine, NextDisplayMovesWindow) {
  sim->screens().addScreen(Rect(1440, 0, 1920, 1080), Rect(1440, 0, 1920, 1080));
  auto w = focusedWindow(Rect(0, 0, 720, 875));
  engine().perform(WindowSnap::nextDisplay, true);
  sim->clock().runUntilIdle();
  // Centre at (0.25, 0.5) of the old visible frame: x = 1440 + 480 - 360, AppKit y = 540 - 437.5.
  EXPECT_EQ(frame(w), Rect(1560, 900 - 102.5 - 875, 720, 875));
}

// A shorter display above the primary: next display goes up (accessibility y above 0) and wraps back down.
TEST_F(Engine, NextDisplayUpAndWrapsBack) {
  sim->screens().addScreen(Rect(200, 900, 1024, 768), Rect(200, 900, 1024, 768));
  auto w = focusedWindow(Rect(0, 0, 720, 875));
  engine().perform(WindowSnap::nextDisplay, true);
  sim->clock().runUntilIdle();
  // Capped at 768 high and pushed right onto the upper display, whose bottom is the primary's top.
  EXPECT_EQ(frame(w), Rect(200, -768, 720, 768));
  engine().perform(WindowSnap::nextDisplay, true);
  sim->clock().runUntilIdle();
  // Centre 360/1024 across and half way up the primary's visible frame: x = 506.25 - 360, AppKit y = 462.5 - 384.
  EXPECT_EQ(frame(w), Rect(146.25, 900 - 78.5 - 768, 720, 768));
}

// A window that vanishes as it is raised: the change does not start, the memory is put back, "Resize failed".
TEST_F(Engine, VanishingWindowResizeFailed) {
  auto w = focusedWindow(Rect(100, 100, 400, 300));
  sim->accessibility().beforeWrite = [&](const sim::AXWriteRecord& write) {
    if (write.attribute == "AXRaise") sim->accessibility().closeWindow(w);
  };
  engine().perform(WindowSnap::leftHalf, true);
  EXPECT_EQ(count("set-failed ax=(0,0 720x875)"), 1);
  ASSERT_EQ(alerts->shown.size(), 1u);
  EXPECT_EQ(alerts->shown[0].title, "Resize failed");
  EXPECT_EQ(alerts->shown[0].text, "Enable Accessibility for Vistrel, then try again.");
  EXPECT_TRUE(engine().restoreFrames.empty());
}

// Blocked by the permission: the snap and program are stored and handed over; a relaunch with trust performs it
// once, 0.4 s after launch, on the stored program when our own window is in front.
TEST_F(Engine, PendingSnapAcrossRelaunch) {
  auto flow = std::make_shared<ScriptedPermissionFlow>(*sim);
  engine().setPermissionFlow(flow);
  auto w = focusedWindow(Rect(100, 100, 400, 300));
  sim->accessibility().setTrusted(false);
  engine().perform(WindowSnap::leftHalf, true);

  EXPECT_EQ(log({"accessibility-api-disabled"}),
            std::vector<std::string>{"accessibility-api-disabled trusted=false bundle=/opt/vistrel/bin/vistrel"});
  EXPECT_EQ(sim->defaults().string(WindowEngine::kPendingSnapKey), "leftHalf");
  EXPECT_EQ(sim->defaults().integer(WindowEngine::kPendingPIDKey), kApp);
  sim->clock().advance(2.2);  // the delayed trust check finds no trust
  EXPECT_EQ(flow->calls, (std::vector<std::string>{"feedback snap-leftHalf", "prompt", "watcher", "wait 2", "watcher",
                                                   "feedback hotkey"}));
  EXPECT_EQ(frame(w), Rect(100, 100, 400, 300));

  // The relaunch: a fresh run, trusted, with the relaunched program itself in front.
  WindowEngine::resetForTesting();
  WindowTargetStore::resetForTesting();
  AccessibilityWindow::resetForTesting();
  WindowEngine::shared().setAlertPresenter(alerts);
  sim->accessibility().setTrusted(true);
  sim->workspace().setFrontmost(sim->workspace().ownPID);
  sim->accessibility().setFocusedWindow(sim->accessibility().addWindow(sim->workspace().ownPID, "Settings",
                                                                       Rect(50, 50, 500, 500)));

  engine().consumePendingSnap();
  engine().consumePendingSnap();
  EXPECT_FALSE(sim->defaults().contains(WindowEngine::kPendingSnapKey));
  EXPECT_FALSE(sim->defaults().contains(WindowEngine::kPendingPIDKey));
  EXPECT_EQ(WindowTargetStore::shared().rememberedPID, kApp);
  sim->clock().advance(0.399);
  EXPECT_EQ(count("perform leftHalf"), 1);
  sim->clock().advance(0.002);
  EXPECT_EQ(count("perform leftHalf front=Vistrel menu=Vistrel retry=true"), 1);
  sim->clock().runUntilIdle();
  EXPECT_EQ(count("perform "), 2);
  EXPECT_EQ(count("snap-done preset=leftHalf"), 1);
  EXPECT_EQ(frame(w), Rect(0, 0, 720, 875));
}

// A pending snap recorded for our own process, or with an impossible process id, goes to the user-facing program.
TEST_F(Engine, PendingSnapForOwnProcess) {
  auto w = focusedWindow(Rect(100, 100, 400, 300));
  for (const std::int64_t stored : {std::int64_t(sim->workspace().ownPID), std::int64_t(1) << 32}) {
    sim->defaults().setString(WindowEngine::kPendingSnapKey, "rightHalf");
    sim->defaults().setInteger(WindowEngine::kPendingPIDKey, stored);
    engine().consumePendingSnap();
    EXPECT_EQ(WindowTargetStore::shared().rememberedPID, std::nullopt) << stored;
    sim->clock().runUntilIdle();
    EXPECT_EQ(frame(w), Rect(720, 0, 720, 875));
    sim->accessibility().setFrame(w, Rect(100, 100, 400, 300));
  }
  // An unknown snap name leaves the keys alone.
  sim->defaults().setString(WindowEngine::kPendingSnapKey, "LeftHalf");
  engine().consumePendingSnap();
  EXPECT_TRUE(sim->defaults().contains(WindowEngine::kPendingSnapKey));
}

// Trusted by the system although reads were refused: the grant is polled each second and ends in a relaunch.
TEST_F(Engine, GrantPollRelaunches) {
  auto flow = std::make_shared<ScriptedPermissionFlow>(*sim);
  flow->promptAnswer = true;
  engine().setPermissionFlow(flow);
  focusedWindow(Rect(100, 100, 400, 300));
  sim->accessibility().setTrusted(false);
  engine().perform(WindowSnap::leftHalf, true);
  EXPECT_TRUE(engine().watchingGrant);
  sim->clock().advance(3.0);
  EXPECT_EQ(count("accessibility-granted-relaunch"), 0);
  sim->accessibility().setTrusted(true);
  sim->clock().advance(1.0);
  EXPECT_EQ(count("accessibility-granted-relaunch"), 1);
  EXPECT_FALSE(engine().watchingGrant);
  EXPECT_EQ(flow->calls.back(), "relaunch user");
}

// The grant poll gives up after 20 polls.
TEST_F(Engine, GrantPollIsBounded) {
  auto flow = std::make_shared<ScriptedPermissionFlow>(*sim);
  flow->promptAnswer = true;
  engine().setPermissionFlow(flow);
  sim->accessibility().setTrusted(false);
  focusedWindow(Rect(100, 100, 400, 300));
  engine().perform(WindowSnap::leftHalf, true);
  sim->clock().advance(19.5);
  EXPECT_TRUE(engine().watchingGrant);
  sim->clock().advance(1.0);
  EXPECT_FALSE(engine().watchingGrant);
  EXPECT_EQ(sim->clock().pendingCount(), 0u);
}

// Trust arriving within the 2 s wait: marked working, logged, and the snap performed without retry.
TEST_F(Engine, DelayedTrustPerformsSnap) {
  auto flow = std::make_shared<ScriptedPermissionFlow>(*sim);
  engine().setPermissionFlow(flow);
  auto w = focusedWindow(Rect(100, 100, 400, 300));
  sim->accessibility().setTrusted(false);
  engine().perform(WindowSnap::leftHalf, true);
  sim->clock().advance(0.5);
  sim->accessibility().setTrusted(true);
  sim->clock().runUntilIdle();
  EXPECT_EQ(count("accessibility-trust-delayed-ok"), 1);
  EXPECT_EQ(count("perform leftHalf front=Editor menu=Editor retry=false"), 1);
  EXPECT_EQ(flow->calls.back(), "markWorking");
  EXPECT_EQ(frame(w), Rect(0, 0, 720, 875));
}

// Without a permission flow the blocked snap is still stored.
TEST_F(Engine, BlockedWithoutFlowStoresPendingSnap) {
  focusedWindow(Rect(100, 100, 400, 300));
  sim->accessibility().setTrusted(false);
  engine().perform(WindowSnap::topHalf, true);
  EXPECT_EQ(sim->defaults().string(WindowEngine::kPendingSnapKey), "topHalf");
  EXPECT_EQ(sim->defaults().integer(WindowEngine::kPendingPIDKey), kApp);
  EXPECT_EQ(count("accessibility-api-disabled trusted=false"), 1);
  EXPECT_TRUE(alerts->shown.empty());
}

// A desktop that lets no program move others' windows: each snap is logged as unsupported and nothing is written;
// the first one alone explains it in an alert, and the permission flow is not troubled with what no grant can change.
TEST_F(Engine, DesktopRefusesWindowControl) {
  auto w = focusedWindow(Rect(100, 100, 400, 300));
  auto flow = std::make_shared<ScriptedPermissionFlow>(*sim);
  engine().setPermissionFlow(flow);
  sim->accessibility().movesForeignWindows = false;
  engine().perform(WindowSnap::leftHalf, true);
  engine().perform(WindowSnap::rightHalf, true);
  sim->clock().runUntilIdle();
  EXPECT_EQ(log({"perform", "snap-"}),
            (std::vector<std::string>{"perform leftHalf front=Editor menu=Editor retry=true",
                                      "snap-unsupported preset=leftHalf reason=desktop-refuses-window-control",
                                      "perform rightHalf front=Editor menu=Editor retry=true",
                                      "snap-unsupported preset=rightHalf reason=desktop-refuses-window-control"}));
  EXPECT_TRUE(sim->accessibility().writes.empty());
  EXPECT_EQ(frame(w), Rect(100, 100, 400, 300));
  ASSERT_EQ(alerts->shown.size(), 1u);
  EXPECT_EQ(alerts->shown[0].title, "Vistrel can\u2019t arrange windows on this desktop");
  EXPECT_TRUE(flow->calls.empty());
}
