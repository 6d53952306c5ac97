#include "LayoutFixture.h"

using namespace vistrel;
using namespace vistrel::testing;
using Target = LayoutFlow;
namespace AW = vistrel::AccessibilityWindow;

// The focused element inside a sheet leads to its window; the focused window, then the main window come next.
TEST_F(Target, SearchOrderAndPickedLines) {
  auto& ax = sim->accessibility();
  auto doc = ax.addWindow(kApp, "Doc", Rect(10, 10, 500, 400));
  auto other = ax.addWindow(kApp, "Other", Rect(40, 40, 900, 700));
  auto sheet = ax.addElement(doc, "AXSheet");
  auto field = ax.addElement(sheet, "AXTextField");
  ax.setFocusedUIElement(field);
  ax.setFocusedWindow(other);
  ax.setMainWindow(other);

  EXPECT_EQ(AW::targetWindow(), doc);
  ax.clearFocus(kApp);
  ax.setFocusedWindow(other);
  EXPECT_EQ(AW::targetWindow(), other);
  ax.clearFocus(kApp);
  ax.setMainWindow(doc);
  EXPECT_EQ(AW::targetWindow(), doc);
  ax.clearFocus(kApp);
  EXPECT_EQ(AW::targetWindow(), other);

  EXPECT_EQ(log({"picked"}), (std::vector<std::string>{
                                 "picked focused-ui subrole=AXStandardWindow title=Doc ax=(10,10 500x400)",
                                 "picked focused-window subrole=AXStandardWindow title=Other ax=(40,40 900x700)",
                                 "picked main subrole=AXStandardWindow title=Doc ax=(10,10 500x400)",
                                 "picked largest subrole=AXStandardWindow title=Other ax=(40,40 900x700) of 2",
                             }));
}

// Unusable focused windows fall through to the largest standard window; copies listed twice are counted once.
TEST_F(Target, LargestStandardWindowWins) {
  auto& ax = sim->accessibility();
  sim::SizeRules dialog;
  dialog.subrole = "AXDialog";
  sim::SizeRules minimized;
  minimized.minimized = true;
  auto big = ax.addWindow(kApp, "Palette", Rect(0, 0, 1200, 800), dialog);
  auto hidden = ax.addWindow(kApp, "Hidden", Rect(0, 0, 1300, 850), minimized);
  auto plain = ax.addWindow(kApp, "Plain", Rect(5, 5, 600, 400));
  ax.setWindowsInChildren(kApp, true);
  ax.setFocusedWindow(hidden);

  EXPECT_EQ(AW::targetWindow(), plain);
  EXPECT_EQ(log({"picked"}), std::vector<std::string>{
                                 "picked largest subrole=AXStandardWindow title=Plain ax=(5,5 600x400) of 6"});
  // Without any standard window the pool is every usable one.
  ax.closeWindow(plain);
  EXPECT_EQ(AW::targetWindow(), big);
}

// Windows too small, minimised, unknown or system dialogs give no window and the no-usable-window line.
TEST_F(Target, NoUsableWindow) {
  auto& ax = sim->accessibility();
  sim::SizeRules unknown;
  unknown.subrole = "AXUnknown";
  sim::SizeRules system;
  system.subrole = "AXSystemDialog";
  sim::SizeRules minimized;
  minimized.minimized = true;
  ax.addWindow(kApp, "Tiny", Rect(0, 0, 80, 300));
  ax.addWindow(kApp, "Short", Rect(0, 0, 300, 60));
  ax.addWindow(kApp, "Unknown", Rect(0, 0, 800, 600), unknown);
  ax.addWindow(kApp, "System", Rect(0, 0, 800, 600), system);
  auto min = ax.addWindow(kApp, "Min", Rect(0, 0, 800, 600), minimized);
  ax.setFocusedWindow(min);

  EXPECT_EQ(AW::targetWindow(), std::nullopt);
  EXPECT_FALSE(AW::state().accessDenied);
  // The system-wide focus names the same program, which is searched again.
  EXPECT_EQ(log({"no-usable-window"}), std::vector<std::string>(2, "no-usable-window role=AXApplication windows=5"));
}

// Our own menu open: the frontmost program is chosen; the login window is never one; then the remembered one.
TEST_F(Target, UserFacingApplication) {
  auto& ws = sim->workspace();
  auto& store = WindowTargetStore::shared();
  ws.setMenuBarOwner(ws.ownPID);
  EXPECT_EQ(store.userFacingApplication()->pid, kApp);

  ws.addApplication(88, "loginwindow", std::string("com.apple.loginwindow"));
  ws.setFrontmost(88);
  EXPECT_EQ(store.userFacingApplication(), std::nullopt);
  ws.addApplication(90, "xlogo");  // no identity: accepted
  ws.setFrontmost(90);
  EXPECT_EQ(store.userFacingApplication()->pid, 90);

  // Nothing user-facing: the remembered program's window is the target.
  ws.setFrontmost(std::nullopt);
  auto w = sim->accessibility().addWindow(kApp, "Doc", Rect(0, 0, 500, 400));
  store.rememberedPID = kApp;
  EXPECT_EQ(AW::targetWindow(), w);
  // A pinned program beats all of them.
  auto pinned = sim->accessibility().addWindow(91, "Pinned", Rect(0, 0, 500, 400));
  store.pinnedPID = 91;
  ws.setFrontmost(kApp);
  EXPECT_EQ(AW::targetWindow(), pinned);
}

// Nothing in front and nothing remembered: the system-wide focused program is asked.
TEST_F(Target, SystemWideFocusFallback) {
  sim->workspace().setFrontmost(std::nullopt);
  auto w = sim->accessibility().addWindow(kApp, "Doc", Rect(0, 0, 500, 400));
  EXPECT_EQ(AW::targetWindow(), std::nullopt);
  sim->accessibility().setSystemFocus(kApp);
  EXPECT_EQ(AW::targetWindow(), w);
}

// The first contact uses 1.2 s and asks for the full tree once; later contacts use 0.35 s.
TEST_F(Target, PrepareOncePerProgram) {
  focusedWindow(Rect(0, 0, 500, 400));
  auto& ax = sim->accessibility();
  AW::targetWindow();
  EXPECT_EQ(ax.messagingTimeouts[kApp], 1.2);
  EXPECT_EQ(ax.applicationFlags[kApp], (std::set<std::string>{"AXManualAccessibility", "AXEnhancedUserInterface"}));
  const auto flagWrites = ax.writes.size();
  AW::targetWindow();
  EXPECT_EQ(ax.messagingTimeouts[kApp], 0.35);
  EXPECT_EQ(ax.writes.size(), flagWrites);
}

// Untrusted, every read is refused: no window and accessDenied set; the next search starts clear.
TEST_F(Target, UntrustedSetsAccessDenied) {
  focusedWindow(Rect(0, 0, 500, 400));
  sim->accessibility().setTrusted(false);
  EXPECT_EQ(AW::targetWindow(), std::nullopt);
  EXPECT_TRUE(AW::state().accessDenied);
  sim->accessibility().setTrusted(true);
  EXPECT_TRUE(AW::targetWindow().has_value());
  EXPECT_FALSE(AW::state().accessDenied);
}

// Flip height and display choice over arrangements: a display left of the primary, none at the origin.
TEST_F(Target, DisplaysAndFlip) {
  auto& screens = sim->screens();
  const auto left = screens.addScreen(Rect(-1920, -180, 1920, 1080), Rect(-1920, -180, 1920, 1080));
  EXPECT_EQ(AW::flipHeight(), 900);
  EXPECT_EQ(AW::toAppKit(Rect(0, 0, 720, 875)), Rect(0, 25, 720, 875));
  EXPECT_EQ(AW::toAccessibility(Rect(0, 25, 720, 875)), Rect(0, 0, 720, 875));

  EXPECT_EQ(AW::screenContaining(Rect(-500, 0, 800, 400))->displayID, left);  // more of it on the left display
  EXPECT_EQ(AW::screenContaining(Rect(-10, 100, 30, 200))->displayID, 1u);   // more of it on the primary
  EXPECT_EQ(AW::screenContaining(Rect(5000, 5000, 10, 10))->displayID, 1u);  // nowhere: the main display

  // The left half of the primary lands on the left display at the same relative place, both ways round.
  EXPECT_EQ(AW::frameMovingDisplaysBy(Rect(0, 25, 720, 875), -1), Rect(-1800, -77.5, 720, 875));
  EXPECT_EQ(AW::frameMovingDisplaysBy(Rect(0, 25, 720, 875), +1), Rect(-1800, -77.5, 720, 875));

  screens.removeAll();
  screens.addScreen(Rect(100, 0, 1000, 700), Rect(100, 0, 1000, 700));
  const auto main = screens.addScreen(Rect(1100, 0, 1280, 1024), Rect(1100, 0, 1280, 1000));
  screens.setMainScreen(main);
  EXPECT_EQ(AW::flipHeight(), 1024);
}
