#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "OverlayFixture.h"

using namespace vistrel;
using namespace vistrel::testing;

namespace {

using RegionSelection = OverlayFlow;

// Qt global coordinates of an AppKit point on this desktop (the left display starts at global x 0).
QPointF global(double x, double y) { return {x + 1280, 900 - y}; }

}  // namespace

// A drag from the left display onto the primary gives one rectangle in AppKit points; each overlay holes its own part.
TEST_F(RegionSelection, DragAcrossTwoScreensGivesTheRectangleInAppKitPoints) {
  const auto outcome = start(RegionSelector::pickRegion());
  auto* session = RegionSession::active();
  ASSERT_NE(session, nullptr);
  const auto windows = session->windows();
  ASSERT_EQ(windows.size(), 2u);
  EXPECT_EQ(windows[0]->geometry(), QRect(1280, 0, 1440, 900));
  EXPECT_EQ(windows[1]->geometry(), QRect(0, 0, 1280, 1024));
  EXPECT_EQ(sim->eventMonitors().holder, windows[0]->windowHandle()) << "the primary's overlay holds the input";

  press(windows[1], global(-100, 400));
  drag(windows[0], global(200, 200));  // under the grab, the drag reaches the grabbing window
  EXPECT_EQ(session->currentRect(), Rect(-100, 200, 300, 200));
  EXPECT_EQ(windows[0]->convertScreenRectToLocal(windows[0]->selectionRect), QRectF(0, 500, 200, 200));
  EXPECT_EQ(windows[1]->convertScreenRectToLocal(windows[1]->selectionRect), QRectF(1180, 500, 100, 200));
  release(windows[0], global(200, 200));

  EXPECT_EQ(visibleOverlays(), 0) << "the overlays are gone before the caller resumes";
  EXPECT_EQ(RegionSession::active(), nullptr);
  EXPECT_EQ(sim->eventMonitors().holder, nullptr);
  EXPECT_FALSE(outcome->done);
  sim->clock().runPending();
  ASSERT_TRUE(outcome->done);
  ASSERT_TRUE(outcome->value) << "cancelled";
  EXPECT_EQ(*outcome->value, Rect(-100, 200, 300, 200));
}

// Every cancel gesture, a drag thinner than 4 points and Return before any drag end the selection as cancelled.
TEST_F(RegionSelection, CancelGesturesAndTinyDragsCancel) {
  using Gesture = std::function<void(QWidget* primary, QWidget* left)>;
  const std::vector<std::pair<std::string, Gesture>> gestures = {
      {"Escape", [](QWidget* p, QWidget*) { key(p, Qt::Key_Escape); }},
      {"Super+.", [](QWidget* p, QWidget*) { key(p, Qt::Key_Period, Qt::MetaModifier, "."); }},
      {"Control+.", [](QWidget* p, QWidget*) { key(p, Qt::Key_Period, Qt::ControlModifier); }},
      {"right-click", [](QWidget*, QWidget* l) { press(l, global(-600, 300), Qt::RightButton); }},
      {"Control-click", [](QWidget* p, QWidget*) { press(p, global(300, 300), Qt::LeftButton, Qt::ControlModifier); }},
      {"3x200 drag",
       [](QWidget* p, QWidget*) {
         press(p, global(300, 300));
         drag(p, global(303, 500));
         release(p, global(303, 500));
       }},
      {"Return before a drag", [](QWidget* p, QWidget*) { key(p, Qt::Key_Return); }},
  };
  for (const auto& [name, gesture] : gestures) {
    SCOPED_TRACE(name);
    const auto outcome = start(RegionSelector::pickRegion());
    ASSERT_NE(RegionSession::active(), nullptr);
    const auto windows = RegionSession::active()->windows();
    gesture(windows[0], windows[1]);
    EXPECT_EQ(visibleOverlays(), 0);
    EXPECT_EQ(RegionSession::active(), nullptr);
    sim->clock().runPending();
    ASSERT_TRUE(outcome->done);
    EXPECT_EQ(outcome->error, CaptureError::cancelled);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

// Keypad Enter in the middle of a drag takes the rectangle dragged so far.
TEST_F(RegionSelection, EnterTakesTheCurrentRectangle) {
  const auto outcome = start(RegionSelector::pickRegion());
  auto* primary = RegionSession::active()->windows()[0];
  press(primary, global(100, 700));
  drag(primary, global(400, 500));
  key(primary, Qt::Key_Enter, Qt::KeypadModifier);
  sim->clock().runPending();
  ASSERT_TRUE(outcome->value);
  EXPECT_EQ(*outcome->value, Rect(100, 500, 300, 200));
}

// A grab refused for half a second ends the selection as cancelled with one log line.
TEST_F(RegionSelection, RefusedGrabCancelsAndLogs) {
  sim->eventMonitors().refuse = true;
  const auto outcome = start(RegionSelector::pickRegion());
  sim->clock().advance(0.4);
  EXPECT_FALSE(outcome->done) << "still retrying";
  EXPECT_EQ(visibleOverlays(), 2);
  sim->clock().advance(0.2);
  ASSERT_TRUE(outcome->done);
  EXPECT_EQ(outcome->error, CaptureError::cancelled);
  EXPECT_EQ(visibleOverlays(), 0);
  EXPECT_EQ(tempLog.messages(), std::vector<std::string>{"capture-grab-failed"});
}

// A window not grabbable at first is grabbed by a later attempt, and the selection runs on.
TEST_F(RegionSelection, GrabSucceedsOnRetry) {
  sim->eventMonitors().refuse = true;
  const auto outcome = start(RegionSelector::pickRegion());
  sim->clock().advance(0.1);
  sim->eventMonitors().refuse = false;
  sim->clock().advance(0.02);
  ASSERT_NE(RegionSession::active(), nullptr);
  EXPECT_EQ(sim->eventMonitors().holder, RegionSession::active()->windows()[0]->windowHandle());
  sim->clock().advance(1.0);
  EXPECT_FALSE(outcome->done);
  EXPECT_TRUE(tempLog.messages().empty());
}

// The overlay dims everything but the hole: over the live screen when composited, over the frozen picture otherwise.
TEST_F(RegionSelection, OverlayDimsAroundTheHole) {
  const QPoint inside(150, 600);    // local to the primary's overlay
  const QPoint outside(1300, 800);  // away from the hole, the outline and the hint
  for (const bool compositor : {true, false}) {
    SCOPED_TRACE(compositor ? "compositor" : "frozen picture");
    sim->screenCapture().compositor = compositor;
    sim->screenCapture().displayCaptures = 0;
    start(RegionSelector::pickRegion());
    EXPECT_EQ(sim->screenCapture().displayCaptures, compositor ? 0 : 2);
    auto* primary = RegionSession::active()->windows()[0];
    press(primary, global(100, 100));
    drag(primary, global(300, 400));
    const QImage image = primary->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(image.size(), QSize(1440, 900));
    if (compositor) {
      EXPECT_EQ(qAlpha(image.pixel(inside)), 0);
      EXPECT_NEAR(qAlpha(image.pixel(outside)), 115, 2);
    } else {
      const QImage screen = sim->screenCapture().displayPicture(sim->screens().screens()[0]);
      EXPECT_EQ(image.pixel(inside), screen.pixel(inside));
      const QRgb under = screen.pixel(outside);
      const QRgb dimmed = image.pixel(outside);
      EXPECT_NEAR(qRed(dimmed), qRed(under) * 0.55, 2);
      EXPECT_NEAR(qGreen(dimmed), qGreen(under) * 0.55, 2);
      EXPECT_NEAR(qBlue(dimmed), qBlue(under) * 0.55, 2);
    }
    key(primary, Qt::Key_Escape);
    sim->clock().runPending();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}
