#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include "app/AppDelegate.h"
#include "platform/sim/SimPlatform.h"

using namespace vistrel;

// The launch asks to notify with alert and sound, and shows the status item with its image and local-build tooltip.
TEST(Launch, StatusItemAndNotifications) {
  sim::ScopedSimPlatform sim;
  sim->bundle().dictionary["VistrelBuildChannel"] = std::string("local");
  AppDelegate delegate;
  delegate.applicationDidFinishLaunching();

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
}

// A release build's tooltip is plain; with no status area the item gets no image or tooltip and launch goes on.
TEST(Launch, ReleaseTooltipAndNoTray) {
  {
    sim::ScopedSimPlatform sim;
    sim->bundle().dictionary["VistrelBuildChannel"] = std::string("release");
    AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    EXPECT_EQ(sim->statusItem()->toolTip, "Vistrel");
  }
  sim::ScopedSimPlatform sim;
  sim->caps.hasTray = false;
  AppDelegate delegate;
  delegate.applicationDidFinishLaunching();
  EXPECT_EQ(sim->statusItem()->imageChanges, 0);
  EXPECT_EQ(sim->statusItem()->toolTip, std::nullopt);
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
