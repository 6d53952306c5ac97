#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include "app/AppDelegate.h"
#include "app/DesktopShortcutsHelp.h"
#include "platform/sim/SimPlatform.h"
#include "support/TempLog.h"
#include "update/AppUpdate.h"
#include "update/BrandIcon.h"
#include "update/UpdateCard.h"
#include "update/UpdateNotifier.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

using namespace vistrel;

// The launch installs the notification delegate, asks to notify with alert and sound, and shows the status item with its image and local-build tooltip.
TEST(Launch, StatusItemAndNotifications) {
  sim::ScopedSimPlatform sim;
  sim->bundle().dictionary["VistrelBuildChannel"] = std::string("local");
  AppDelegate delegate;
  delegate.applicationDidFinishLaunching();

  EXPECT_EQ(sim->notifications().delegate, &UpdateNotifier::Delegate::shared());
  ASSERT_EQ(sim->notifications().authorizationRequests.size(), 1u);
  const auto options = sim->notifications().authorizationRequests[0];
  EXPECT_TRUE(options.alert && options.sound && !options.badge);

  auto* item = sim->statusItem();
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(delegate.statusItem(), item);
  EXPECT_EQ(item->toolTip, "Vistrel \u2014 local build");
  EXPECT_FALSE(item->image.isNull());
  EXPECT_TRUE(item->isTemplate);
  sim->clock().runPending();  // the authorisation answer arrives and is ignored

  // The update controller's offers reach the icon.
  AppUpdate::shared().noteOffer({.title = "Vistrel 1.5.0", .versionString = "150", .displayVersionString = "1.5.0",
                                 .itemDescription = "- Faster capture", .fileURL = "https://vistrel.app/v.tar.xz",
                                 .contentLength = 1, .edSignature = ""},
                                false);
  EXPECT_EQ(item->toolTip, "Vistrel 1.5.0 is available \u2014 your choice to install");
  delegate.applicationWillTerminate();
  AppUpdate::resetForTesting();
}

// A release build's tooltip is plain; with no status area the item gets no image or tooltip and launch goes on, until a tray appears.
TEST(Launch, ReleaseTooltipAndNoTray) {
  {
    sim::ScopedSimPlatform sim;
    sim->bundle().dictionary["VistrelBuildChannel"] = std::string("release");
    AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    EXPECT_EQ(sim->statusItem()->toolTip, "Vistrel");
  }
  sim::ScopedSimPlatform sim;
  sim->trayAvailable = false;
  sim->bundle().dictionary["VistrelBuildChannel"] = std::string("local");
  AppDelegate delegate;
  delegate.applicationDidFinishLaunching();
  EXPECT_EQ(sim->statusItem()->imageChanges, 0);
  EXPECT_EQ(sim->statusItem()->toolTip, std::nullopt);
  // A tray that appears later gets the image and tooltip of the current state.
  sim->statusItem()->appear();
  EXPECT_EQ(sim->statusItem()->image, BrandIcon::menuBarImage(UpdateBadge::none, true));
  EXPECT_EQ(sim->statusItem()->toolTip, "Vistrel \u2014 local build");
  delegate.applicationWillTerminate();
  EXPECT_EQ(delegate.statusItem(), nullptr);
}

// Quit through the dispatcher ends the event loop.
TEST(Launch, QuitEndsTheEventLoop) {
  sim::ScopedSimPlatform sim;
  AppDelegate delegate;
  bool timedOut = false;
  QTimer::singleShot(0, [&] { delegate.actions().handle(UtilityAction::quit()); });
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, [&] {
    timedOut = true;
    QCoreApplication::exit(1);
  });
  deadline.start(30000);
  EXPECT_EQ(QCoreApplication::exec(), 0);
  EXPECT_FALSE(timedOut);
}

namespace {

class RecordingCards : public CardPresenter {
 public:
  int runModal(const UpdateCard& card) override {
    shown.push_back(card);
    return 1;
  }
  std::vector<UpdateCard> shown;
};

}  // namespace

// The development preview card appears after the launch only for VISTREL_PREVIEW_CARD exactly "1".
TEST(Launch, PreviewCardOnlyForExactlyOne) {
  for (const char* value : {"1", "0", "true", "1 ", "", static_cast<const char*>(nullptr)}) {
    sim::ScopedSimPlatform sim;
    auto cards = std::make_shared<RecordingCards>();
    setCardPresenter(cards);
    if (value) setenv("VISTREL_PREVIEW_CARD", value, 1);
    else unsetenv("VISTREL_PREVIEW_CARD");

    AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    EXPECT_TRUE(cards->shown.empty()) << "the card waits for the launch to finish";
    sim->clock().runPending();
    const std::string shownFor = value ? value : "(unset)";
    if (value && std::string(value) == "1") {
      ASSERT_EQ(cards->shown.size(), 1u) << shownFor;
      EXPECT_EQ(cards->shown[0].eyebrow, "Development");
      EXPECT_EQ(cards->shown[0].title, "This copy does not update itself");
      EXPECT_EQ(cards->shown[0].message, "Update notices are part of the signed Vistrel from vistrel.app.");
      EXPECT_FALSE(cards->shown[0].secondary);
    } else {
      EXPECT_TRUE(cards->shown.empty()) << shownFor;
    }
    delegate.applicationWillTerminate();
    setCardPresenter(nullptr);
  }
  unsetenv("VISTREL_PREVIEW_CARD");
}

// On a desktop that binds keys in its configuration file, the first launch gives that file's line for every
// shortcut, with this program's path.
TEST(Launch, DesktopBindingKeysByFile) {
  class RecordingAlerts : public AlertPresenter {
   public:
    int runModal(const Alert& alert) override {
      shown.push_back(alert);
      return 0;
    }
    std::vector<Alert> shown;
  };
  sim::ScopedSimPlatform sim;
  vistrel::testing::TempLog log;
  sim->hotKeys().grabsGlobalKeys = false;
  sim->hotKeys().bindsKeysByFile = true;
  const auto alerts = std::make_shared<RecordingAlerts>();
  DesktopShortcutsHelp::setAlertPresenterForTesting(alerts);
  AppDelegate delegate;
  delegate.applicationDidFinishLaunching();
  sim->clock().runPending();
  delegate.applicationWillTerminate();
  DesktopShortcutsHelp::setAlertPresenterForTesting(nullptr);

  ASSERT_EQ(alerts->shown.size(), 1u);
  const std::string& text = alerts->shown[0].text;
  EXPECT_NE(text.find("\n\nbind 123/6144 /opt/vistrel/bin/vistrel --action window.leftHalf\n"), std::string::npos) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2 + 29 + 1) << text;
  EXPECT_EQ(text.find("keyboard settings"), std::string::npos);
}

// On a desktop that lets no program grab keys, no key is asked for, and the first launch alone says how to bind
// the actions in the desktop's settings, as commands with this program's path.
TEST(Launch, DesktopWithoutKeyGrabs) {
  class RecordingAlerts : public AlertPresenter {
   public:
    int runModal(const Alert& alert) override {
      shown.push_back(alert);
      return 0;
    }
    std::vector<Alert> shown;
  };
  sim::ScopedSimPlatform sim;
  vistrel::testing::TempLog log;
  sim->hotKeys().grabsGlobalKeys = false;
  const auto alerts = std::make_shared<RecordingAlerts>();
  DesktopShortcutsHelp::setAlertPresenterForTesting(alerts);
  for (int launch = 0; launch < 2; ++launch) {
    AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    sim->clock().runPending();
    delegate.applicationWillTerminate();
  }
  DesktopShortcutsHelp::setAlertPresenterForTesting(nullptr);

  EXPECT_TRUE(sim->hotKeys().registrations().empty());
  ASSERT_EQ(alerts->shown.size(), 1u);
  EXPECT_EQ(alerts->shown[0].title, "Set up Vistrel's shortcuts in your desktop's settings");
  EXPECT_NE(alerts->shown[0].text.find("\n\n/opt/vistrel/bin/vistrel --action window.leftHalf\n"), std::string::npos);
  const auto messages = log.messages();
  EXPECT_EQ(std::count(messages.begin(), messages.end(), "desktop-shortcuts-help"), 1);
  EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                          [](const std::string& m) { return m.starts_with("hotkey-grabs-unavailable bindings="); }),
            2);
}
