#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include "capture/PinBoard.h"
#include "platform/sim/SimPlatform.h"

namespace vistrel {
namespace {

QImage picture(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::darkCyan);
  return image;
}

void click(QWidget& widget, QEvent::Type type, QPoint local, Qt::MouseButtons held) {
  QMouseEvent event(type, local, widget.mapToGlobal(local), Qt::LeftButton, held, Qt::NoModifier);
  QApplication::sendEvent(&widget, &event);
}

class PinBoardTest : public ::testing::Test {
 protected:
  sim::ScopedSimPlatform sim;
  PinBoard board;
};

// Images up to 420 pixels wide show one point per pixel, wider ones shrink to 420 points keeping their aspect.
TEST_F(PinBoardTest, ContentSizeFollowsTheWidthRule) {
  EXPECT_EQ(PinBoard::contentSize(1000, 500), (Size{420, 210}));
  EXPECT_EQ(PinBoard::contentSize(300, 900), (Size{300, 900}));
  EXPECT_EQ(PinBoard::contentSize(420, 10), (Size{420, 10}));
  EXPECT_EQ(PinBoard::contentSize(840, 301), (Size{420, 150.5}));
}

// A pin is a visible, always-on-top window of the content size, centred on the main screen's visible
// frame (here a display left of the primary), and asked to show on every desktop.
TEST_F(PinBoardTest, PinShowsAWindowCentredOnTheMainScreen) {
  sim->screens().addScreen({0, 0, 1920, 1080}, {0, 0, 1920, 1055});
  const auto left = sim->screens().addScreen({-1440, 0, 1440, 900}, {-1440, 0, 1440, 900});
  sim->screens().setMainScreen(left);

  board.pin(picture(1000, 500));

  ASSERT_EQ(board.windows().size(), 1u);
  const PinWindow& pin = *board.windows().front();
  EXPECT_TRUE(pin.isVisible());
  EXPECT_TRUE(pin.windowFlags() & Qt::WindowStaysOnTopHint);
  // Qt x 0 is AppKit x -1440 and Qt y 0 is AppKit y 1080: (720 - 210, 1080 - 450 - 105).
  EXPECT_EQ(pin.geometry(), QRect(510, 525, 420, 210));
  ASSERT_EQ(sim->floatingWindows().onAllDesktops.size(), 1u);
  EXPECT_EQ(sim->floatingWindows().onAllDesktops.front(), pin.windowHandle());
}

// Closed pins stay held until the next pin, which drops them and keeps the rest oldest first.
TEST_F(PinBoardTest, TheNextPinForgetsClosedPins) {
  sim->screens().addScreen({0, 0, 1920, 1080}, {0, 0, 1920, 1080});
  board.pin(picture(300, 900));
  board.pin(picture(100, 100));
  board.pin(picture(2000, 1000));
  const PinWindow* second = board.windows()[1].get();
  const PinWindow* third = board.windows()[2].get();

  board.windows().front()->close();
  EXPECT_EQ(board.windows().size(), 3u);

  board.pin(picture(50, 50));
  ASSERT_EQ(board.windows().size(), 3u);
  EXPECT_EQ(board.windows()[0].get(), second);
  EXPECT_EQ(board.windows()[1].get(), third);
  EXPECT_EQ(board.windows()[2]->size(), QSize(50, 50));
  EXPECT_EQ(third->size(), QSize(420, 210));
}

// Escape closes a pin; our close button closes it on a click while the pointer is inside, and a drag
// that the window manager does not take moves the window with the pointer.
TEST_F(PinBoardTest, EscapeCloseButtonAndDrag) {
  sim->screens().addScreen({0, 0, 1920, 1080}, {0, 0, 1920, 1080});
  board.pin(picture(400, 300));
  board.pin(picture(400, 300));
  PinWindow& first = *board.windows()[0];
  PinWindow& second = *board.windows()[1];

  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(&first, &escape);
  EXPECT_FALSE(first.isVisible());

  const QPoint button = second.closeButtonRect().center();
  EXPECT_FALSE(second.closeButtonShown());
  QEnterEvent enter(button, button, second.mapToGlobal(button));
  QApplication::sendEvent(&second, &enter);
  EXPECT_TRUE(second.closeButtonShown());

  const QPoint start = second.pos();
  click(second, QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton);
  click(second, QEvent::MouseMove, {130, 90}, Qt::LeftButton);
  click(second, QEvent::MouseButtonRelease, {130, 90}, Qt::NoButton);
  EXPECT_EQ(second.pos(), start + QPoint(30, -10));
  EXPECT_TRUE(second.isVisible());

  click(second, QEvent::MouseButtonPress, button, Qt::LeftButton);
  click(second, QEvent::MouseButtonRelease, button, Qt::NoButton);
  EXPECT_FALSE(second.isVisible());
}

}  // namespace
}  // namespace vistrel
