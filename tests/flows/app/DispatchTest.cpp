#include <gtest/gtest.h>

#include "app/AppDelegate.h"
#include "flows/layout/LayoutFixture.h"
#include "hotkeys/GlobalHotkeyRegistry.h"
#include "hotkeys/HotkeyStore.h"

using namespace vistrel;

namespace {

constexpr std::uint32_t kLeftArrow = 123;
constexpr std::uint32_t kControlOption = platform::carbon::controlKey | platform::carbon::optionKey;

class Dispatch : public vistrel::testing::LayoutFlow {
 protected:
  void SetUp() override {
    LayoutFlow::SetUp();
    GlobalHotkeyRegistry::resetSharedForTesting();
    HotkeyStore::resetSharedForTesting();
  }
  void TearDown() override {
    GlobalHotkeyRegistry::resetSharedForTesting();
    HotkeyStore::resetSharedForTesting();
    LayoutFlow::TearDown();
  }
};

}  // namespace

// A default shortcut pressed after launch snaps the front window, and quitting unregisters every shortcut.
TEST_F(Dispatch, ShortcutSnapsFrontWindowUntilTermination) {
  const auto window = focusedWindow(Rect(200, 200, 600, 400));
  AppDelegate delegate;
  delegate.applicationDidFinishLaunching();

  ASSERT_TRUE(sim->hotKeys().pressHotKey(kLeftArrow, kControlOption));
  sim->clock().advance(2);
  EXPECT_EQ(frame(window), Rect(0, 0, 720, 875));
  EXPECT_EQ(count("hotkey-fired id="), 1);
  EXPECT_EQ(count("perform leftHalf "), 1);
  EXPECT_EQ(count("snap-done preset=leftHalf "), 1);
  EXPECT_EQ(WindowTargetStore::shared().rememberedPID, kApp);

  delegate.applicationWillTerminate();
  EXPECT_FALSE(sim->hotKeys().pressHotKey(kLeftArrow, kControlOption));
  sim->clock().advance(2);
  EXPECT_EQ(count("perform "), 1);
}

// A changed shortcut takes effect at once: the store's change re-registers every key.
TEST_F(Dispatch, ChangedBindingsReRegister) {
  const auto window = focusedWindow(Rect(200, 200, 600, 400));
  AppDelegate delegate;
  delegate.applicationDidFinishLaunching();
  constexpr std::uint16_t kKeyL = 37;
  HotkeyStore::shared().set(GlobalHotkey(kKeyL, {GlobalHotkey::Modifier::control, GlobalHotkey::Modifier::option}, "l"),
                            UtilityAction::window(WindowSnap::leftHalf));
  EXPECT_FALSE(sim->hotKeys().pressHotKey(kLeftArrow, kControlOption));
  EXPECT_TRUE(sim->hotKeys().pressHotKey(kKeyL, kControlOption));
  sim->clock().advance(2);
  EXPECT_EQ(frame(window), Rect(0, 0, 720, 875));
  delegate.applicationWillTerminate();
}

// A window action with no user-facing program keeps the remembered process, so the snap still finds its target.
TEST_F(Dispatch, WindowActionKeepsRememberedProcess) {
  const auto window = focusedWindow(Rect(200, 200, 600, 400));
  sim->workspace().setFrontmost(std::nullopt);
  WindowTargetStore::shared().rememberedPID = kApp;
  AppActions actions;
  actions.handle(UtilityAction::window(WindowSnap::rightHalf));
  sim->clock().advance(2);
  EXPECT_EQ(WindowTargetStore::shared().rememberedPID, kApp);
  EXPECT_EQ(frame(window), Rect(720, 0, 720, 875));
}

// A snap blocked before a relaunch is performed once at the next launch.
TEST_F(Dispatch, PendingSnapIsConsumedAtLaunch) {
  const auto window = focusedWindow(Rect(200, 200, 600, 400));
  sim->defaults().setString("vistrel.pendingSnap", "topHalf");
  sim->defaults().setInteger("vistrel.pendingPID", kApp);
  AppDelegate delegate;
  delegate.applicationDidFinishLaunching();
  sim->clock().advance(3);
  EXPECT_EQ(frame(window), Rect(0, 0, 1440, 437.5));
  EXPECT_FALSE(sim->defaults().contains("vistrel.pendingSnap"));
  EXPECT_EQ(count("perform topHalf "), 1);
  delegate.applicationWillTerminate();
}

// A copy launched while an earlier copy still holds its keys takes every key the
// earlier copy held once that copy has gone; a key another program holds stays
// refused, and a copy that never ends stops the wait after its bound.
TEST_F(Dispatch, ReplacingCopyTakesTheKeysOfTheCopyItReplaces) {
  constexpr std::int32_t kEarlierCopy = 77;
  constexpr std::uint32_t kRightArrow = 124, kReturn = 36;
  const auto window = focusedWindow(Rect(200, 200, 600, 400));
  auto& keys = sim->hotKeys();
  sim->workspace().addApplication(kEarlierCopy, "Vistrel", sim->bundle().identifier, sim->bundle().path);
  keys.markTaken(kLeftArrow, kControlOption);   // the earlier copy's
  keys.markTaken(kRightArrow, kControlOption);  // the earlier copy's
  keys.markTaken(kReturn, kControlOption);      // another program's, for good
  AppDelegate delegate;
  delegate.applicationDidFinishLaunching();
  EXPECT_EQ(count("hotkey-register-failed "), 3);
  sim->clock().advance(1);
  EXPECT_EQ(count("hotkey-wait-earlier-copy pids=77 refused=3"), 1);
  EXPECT_FALSE(keys.pressHotKey(kLeftArrow, kControlOption));

  keys.markFree(kLeftArrow, kControlOption);
  keys.markFree(kRightArrow, kControlOption);
  sim->workspace().removeApplication(kEarlierCopy);
  sim->clock().advance(0.1);
  EXPECT_EQ(count("hotkey-retry registered=2 refused=1 earlierGone=true"), 1);
  EXPECT_EQ(count("hotkey-register-failed "), 3) << "a key refused again is not logged again";
  ASSERT_TRUE(keys.pressHotKey(kLeftArrow, kControlOption));
  sim->clock().advance(2);
  EXPECT_EQ(frame(window), Rect(0, 0, 720, 875));
  EXPECT_FALSE(keys.pressHotKey(kReturn, kControlOption));
  delegate.applicationWillTerminate();

  // An earlier copy that keeps running: one retry after the bound, then nothing more.
  GlobalHotkeyRegistry::resetSharedForTesting();
  sim->workspace().addApplication(kEarlierCopy, "Vistrel", sim->bundle().identifier, sim->bundle().path);
  keys.markTaken(kLeftArrow, kControlOption);
  AppDelegate second;
  second.applicationDidFinishLaunching();
  sim->clock().advance(30);
  EXPECT_EQ(count("hotkey-retry registered=0 refused=2 earlierGone=false"), 1);
  sim->clock().advance(60);
  EXPECT_EQ(count("hotkey-retry "), 2) << "no poll outlives the bound";
  second.applicationWillTerminate();
}
