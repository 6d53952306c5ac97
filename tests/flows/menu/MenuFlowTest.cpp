#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QMenu>

#include "app/AppActions.h"
#include "app/MenuController.h"
#include "flows/layout/LayoutFixture.h"
#include "hotkeys/HotkeyStore.h"

using namespace vistrel;

namespace {

class MenuFlow : public vistrel::testing::LayoutFlow {
 protected:
  void SetUp() override {
    LayoutFlow::SetUp();
    HotkeyStore::resetSharedForTesting();
    MenuController::resetSharedForTesting();
    MenuController::shared().attach(&item, &actions);
  }
  void TearDown() override {
    MenuController::resetSharedForTesting();
    HotkeyStore::resetSharedForTesting();
    LayoutFlow::TearDown();
  }

  // Opens the menu with a click; the menu then has the focus, so our own program is in front.
  void open() {
    item.click({platform::StatusClick::Button::left});
    ASSERT_TRUE(item.poppedMenu);
    sim->workspace().setFrontmost(sim::SimWorkspace::kOwnPID);
  }
  // Chooses an item the way the user does; the choice waits for the event loop.
  void trigger(const std::string& title) {
    for (QAction* action : item.poppedMenu->actions()) {
      if (action->text().toStdString() != title) continue;
      action->trigger();
      return;
    }
    ADD_FAILURE() << "no item " << title;
  }

  sim::SimStatusItem item{true};
  AppActions actions;
};

}  // namespace

// A snap chosen from the menu moves the window of the program that was in front before the click,
// once the menu's handler has returned.
TEST_F(MenuFlow, SnapGoesToTheProgramInFrontBeforeTheClick) {
  const auto window = focusedWindow(Rect(200, 200, 600, 400));
  open();
  trigger("Left Half");
  EXPECT_EQ(count("perform "), 0);
  QCoreApplication::sendPostedEvents();
  sim->clock().advance(2);
  EXPECT_EQ(frame(window), Rect(0, 0, 720, 875));
  EXPECT_EQ(count("perform leftHalf front=Vistrel menu=Vistrel "), 1);
  EXPECT_EQ(count("snap-done preset=leftHalf "), 1);
  EXPECT_EQ(WindowTargetStore::shared().rememberedPID, kApp);
}
