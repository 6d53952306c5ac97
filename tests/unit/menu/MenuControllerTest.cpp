#include "unit/menu/MenuFixture.h"

#include "layout/WindowEngine.h"
#include "permissions/AccessibilityAccess.h"

using namespace vistrel;
using vistrel::testing::MenuTest;

namespace {

using Button = platform::StatusClick::Button;

class AnsweredAlerts : public AlertPresenter {
 public:
  int runModal(const Alert& alert) override {
    titles.push_back(alert.title);
    return -1;
  }
  std::vector<std::string> titles;
};

std::vector<std::string> recordRows(const std::vector<std::string>& titles) {
  const auto from = std::find(titles.begin(), titles.end(), "Record");
  return {from, std::find(from, titles.end(), std::string())};
}

}  // namespace

// Opening the menu remembers the program in front and rebuilds it with tags from 1 each time.
TEST_F(MenuTest, OpeningRemembersFrontProgramAndRebuilds) {
  auto& controller = attached();
  ASSERT_TRUE(item.handler);
  EXPECT_EQ(item.popUpCount, 0);  // attaching builds the menu but does not show it
  ASSERT_TRUE(controller.menu);
  const std::size_t tags = controller.tagToAction.size();
  EXPECT_EQ(tags, 33u);

  item.click({Button::left});
  EXPECT_EQ(WindowTargetStore::shared().rememberedPID, kApp);
  EXPECT_EQ(item.popUpCount, 1);

  // With our own menu in front, the remembered program stays the one from before.
  sim->workspace().setFrontmost(sim::SimWorkspace::kOwnPID);
  HotkeyStore::shared().set(std::nullopt, UtilityAction::window(WindowSnap::leftHalf));
  item.click({Button::right});
  EXPECT_EQ(WindowTargetStore::shared().rememberedPID, kApp);
  EXPECT_EQ(item.popUpCount, 2);
  EXPECT_EQ(controller.tagToAction.size(), tags);
  EXPECT_EQ(controller.tagToAction.at(1), UtilityAction::window(WindowSnap::leftHalf));
  EXPECT_EQ(controller.nextTag, int(tags) + 1);
  EXPECT_TRUE(popped("Left Half")->shortcut().isEmpty());
}

// While recording a plain click shows no menu; a right click or Control-click shows Stop Recording alone.
TEST_F(MenuTest, RecordingClicks) {
  auto& controller = attached();
  MenuState recording = controller.currentState();
  recording.isRecording = true;

  controller.showMenu({Button::left}, recording);
  controller.showMenu({Button::middle}, recording);
  EXPECT_EQ(item.popUpCount, 0);
  EXPECT_FALSE(WindowTargetStore::shared().rememberedPID);

  controller.showMenu({Button::right}, recording);
  ASSERT_EQ(item.popUpCount, 1);
  EXPECT_EQ(recordRows(item.poppedTitles), (std::vector<std::string>{"Record", "Stop Recording"}));
  controller.showMenu({Button::left, true}, recording);
  EXPECT_EQ(item.popUpCount, 2);
  EXPECT_EQ(recordRows(item.poppedTitles), (std::vector<std::string>{"Record", "Stop Recording"}));

  item.click({Button::left});
  EXPECT_EQ(recordRows(item.poppedTitles), (std::vector<std::string>{"Record", "Record Screen", "Record Area", "Record Area as GIF"}));
}

// The entries that are not actions: "Fix Split Screen…" (shown only while untrusted) opens the repair guide
// each time it is chosen, never throttled; the update entry takes its title and its effect from its hooks.
TEST_F(MenuTest, EntriesThatAreNotActions) {
  auto alerts = std::make_shared<AnsweredAlerts>();
  AccessibilityAccess::resetForTesting();
  AccessibilityAccess::setAlertPresenterForTesting(alerts);
  auto& controller = attached();
  item.click();
  EXPECT_FALSE(popped("Fix Split Screen\u2026"));
  ASSERT_TRUE(popped("Check for Updates\u2026"));
  sim->accessibility().setTrusted(false);
  int checks = 0;
  controller.checkForUpdatesAction = [&] { ++checks; };
  controller.updatesTitleProvider = [] { return std::string("Update to 1.2\u2026"); };
  item.click();
  ASSERT_TRUE(popped("Fix Split Screen\u2026") && popped("Update to 1.2\u2026"));
  popped("Fix Split Screen\u2026")->trigger();
  popped("Update to 1.2\u2026")->trigger();
  EXPECT_EQ(alerts->titles.size() + checks, 0u);  // the choice is handled once the menu has gone
  QCoreApplication::sendPostedEvents();
  popped("Fix Split Screen\u2026")->trigger();
  QCoreApplication::sendPostedEvents();
  EXPECT_EQ(alerts->titles, (std::vector<std::string>(2, "Split screen is off \u2014 fix Accessibility")));
  EXPECT_EQ(checks, 1);
  AccessibilityAccess::setAlertPresenterForTesting(nullptr);
}

// The login-item check mark follows only a successful change; a failure is logged and leaves the mark.
TEST_F(MenuTest, LaunchAtStartupFollowsSuccess) {
  attached();
  item.click();
  QAction* launch = popped("Launch at Startup");
  ASSERT_TRUE(launch);
  launch->trigger();
  QCoreApplication::sendPostedEvents();
  EXPECT_EQ(sim->loginItems().status(), platform::LoginItemStatus::enabled);
  EXPECT_TRUE(launch->isChecked());

  sim->loginItems().failure = "Read-only file system";
  launch->trigger();
  QCoreApplication::sendPostedEvents();
  EXPECT_EQ(sim->loginItems().status(), platform::LoginItemStatus::enabled);
  EXPECT_TRUE(launch->isChecked());
  EXPECT_NE(log().find(" launch-at-login failed enabled=false Read-only file system\n"), std::string::npos) << log();

  // The next opening shows the state the service reports.
  sim->loginItems().current = platform::LoginItemStatus::notRegistered;
  item.click();
  EXPECT_FALSE(popped("Launch at Startup")->isChecked());
}

// A known tag reaches the dispatcher; tags the last menu did not give out, or no dispatcher, do nothing.
TEST_F(MenuTest, TagsReachTheDispatcher) {
  auto& controller = attached();
  item.click();
  controller.menuItemSelected(0);
  controller.menuItemSelected(int(controller.tagToAction.size()) + 1);
  AppActions* dispatcher = controller.actions;
  controller.actions = nullptr;
  controller.menuItemSelected(1);
  EXPECT_EQ(log(), "");

  controller.actions = dispatcher;
  controller.menuItemSelected(1);
  EXPECT_NE(log().find(" perform leftHalf front=Editor "), std::string::npos) << log();
  WindowEngine::resetForTesting();
}
