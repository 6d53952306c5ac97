// Pins on a real X desktop: the board on the x11 backend shows each image as
// an always-on-top window on every desktop, stacked above a normal window of
// another program; Escape, our close button and a drag work through real
// input (xdotool). Runs under tests/e2e/harness.sh with Qt on xcb.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPainter>
#include <QRegularExpression>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "Desktop.h"
#include "capture/PinBoard.h"
#include "platform/Platform.h"
#include "platform/x11/X11Platform.h"

namespace vistrel {
namespace {

using e2e::propertyText;
using e2e::runTool;
using e2e::waitUntil;

// The client area as xwininfo reads it: absolute position and size.
std::optional<QRect> clientRect(xcb_window_t window) {
  const auto info = runTool("xwininfo", {"-id", QString::number(window)});
  if (!info) return std::nullopt;
  const QString text = QString::fromStdString(*info);
  const auto field = [&text](const char* name) {
    const auto match = QRegularExpression(QString(name) + ":\\s+(-?\\d+)").match(text);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
  };
  return QRect(field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height"));
}

// _NET_CLIENT_LIST_STACKING as xprop reads it, bottom to top.
std::vector<xcb_window_t> stacking() {
  std::vector<xcb_window_t> windows;
  const auto text = runTool("xprop", {"-root", "-notype", "_NET_CLIENT_LIST_STACKING"});
  static const QRegularExpression id("0x[0-9a-f]+");
  for (auto it = id.globalMatch(QString::fromStdString(text.value_or(""))); it.hasNext();) {
    windows.push_back(xcb_window_t(it.next().captured(0).toUInt(nullptr, 16)));
  }
  return windows;
}

bool stackedAbove(xcb_window_t upper, xcb_window_t lower) {
  const auto order = stacking();
  const auto up = std::find(order.begin(), order.end(), upper), low = std::find(order.begin(), order.end(), lower);
  return up != order.end() && low != order.end() && up > low;
}

bool managed(xcb_window_t window) {
  const auto windows = e2e::managedWindows();
  return std::find(windows.begin(), windows.end(), window) != windows.end();
}

bool active(xcb_window_t window) { return e2e::activeWindowByTool() == window; }

bool xdotool(const QStringList& arguments) { return runTool("xdotool", arguments).has_value(); }

QImage stripes(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(QColor(40, 120, 200));
  QPainter painter(&image);
  for (int x = 0; x < width; x += 100) painter.fillRect(x, 0, 50, height, QColor(240, 180, 40));
  return image;
}

class PinsOnX11 : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    system_ = x11::makePlatform(error);
    ASSERT_TRUE(system_) << error;
    platform::install(system_.get());
  }
  static void TearDownTestSuite() {
    platform::install(nullptr);
    system_.reset();
  }

  // Pins `image` and waits until the window manager has framed the pin.
  xcb_window_t pin(const QImage& image) {
    board.pin(image);
    const auto window = xcb_window_t(board.windows().back()->winId());
    EXPECT_TRUE(waitUntil(10, [&] { return managed(window) && propertyText(window, "_NET_FRAME_EXTENTS"); }));
    return window;
  }

  static inline std::unique_ptr<platform::Platform> system_;
  PinBoard board;
};

// A 1000x500 pin is a 420x210 window centred on the screen with the focus, above and on every desktop, stacked
// above a normal window even once that window is activated, and Escape closes it.
TEST_F(PinsOnX11, PinFloatsAboveANormalWindowAndEscapeClosesIt) {
  const auto other = e2e::Program::start(VISTREL_TESTWINDOW, {"--geometry", "800x600+400+200"});
  ASSERT_TRUE(other);

  const xcb_window_t pinned = pin(stripes(1000, 500));
  // A new pin takes the focus (and Qt has done with activating it, so it will not take it back).
  EXPECT_TRUE(waitUntil(5, [&] { return active(pinned) && board.windows().back()->isActiveWindow(); }));
  EXPECT_EQ(clientRect(pinned), QRect(750, 435, 420, 210));  // the centre of 1920x1080
  const std::string state = propertyText(pinned, "_NET_WM_STATE").value_or("");
  EXPECT_NE(state.find("_NET_WM_STATE_ABOVE"), std::string::npos) << state;
  EXPECT_EQ(propertyText(pinned, "_NET_WM_DESKTOP"), "4294967295");
  // Openbox puts a window on all desktops through _NET_WM_DESKTOP only; STICKY stays where it is supported.
  const std::string supported = runTool("xprop", {"-root", "_NET_SUPPORTED"}).value_or("");
  if (supported.find("_NET_WM_STATE_STICKY") != std::string::npos) {
    EXPECT_NE(state.find("_NET_WM_STATE_STICKY"), std::string::npos) << state;
  }
  EXPECT_TRUE(waitUntil(5, [&] { return stackedAbove(pinned, other->window()); }));

  e2e::Requests requests;
  requests.activate(other->window());
  ASSERT_TRUE(waitUntil(5, [&] { return active(other->window()); }));
  EXPECT_TRUE(stackedAbove(pinned, other->window()));

  requests.activate(pinned);
  ASSERT_TRUE(waitUntil(5, [&] { return active(pinned) && board.windows().back()->isActiveWindow(); }));
  ASSERT_TRUE(xdotool({"key", "Escape"}));
  EXPECT_TRUE(waitUntil(5, [&] { return !managed(pinned); }));
  EXPECT_FALSE(board.windows().back()->isVisible());
}

// Dragging the image moves the pin with the pointer (the window manager carries the move); clicking
// our close button, which shows while the pointer is over the pin, closes it; the next pin forgets it.
TEST_F(PinsOnX11, DragMovesAndTheCloseButtonCloses) {
  const xcb_window_t pinned = pin(stripes(300, 200));
  PinWindow& window = *board.windows().back();
  const auto before = clientRect(pinned);
  ASSERT_TRUE(before);
  const auto pointTo = [](QPoint point) {
    return xdotool({"mousemove", QString::number(point.x()), QString::number(point.y())});
  };

  const QPoint grip = before->topLeft() + QPoint(100, 150);
  ASSERT_TRUE(pointTo(grip));
  ASSERT_TRUE(waitUntil(5, [&] { return window.closeButtonShown(); }));
  ASSERT_TRUE(xdotool({"mousedown", "1"}));
  ASSERT_TRUE(waitUntil(5, [] { return QGuiApplication::mouseButtons() & Qt::LeftButton; }));
  // The move starts at the first motion Qt sees; the pointer keeps going until the pin follows.
  QPoint pointer = grip;
  ASSERT_TRUE(waitUntil(5, [&] {
    pointer += QPoint(3, 2);
    return pointTo(pointer) && clientRect(pinned).value_or(*before).topLeft() != before->topLeft();
  }));
  QPoint offset;
  ASSERT_TRUE(waitUntil(5, [&] {  // settled: the pin no longer lags behind the pointer
    const QPoint now = clientRect(pinned).value_or(*before).topLeft();
    const bool same = pointer - now == offset;
    offset = pointer - now;
    return same;
  }));
  pointer = grip + QPoint(150, 90);
  ASSERT_TRUE(pointTo(pointer));
  EXPECT_TRUE(waitUntil(5, [&] { return clientRect(pinned).value_or(*before).topLeft() == pointer - offset; }));
  ASSERT_TRUE(xdotool({"mouseup", "1"}));

  const QRect moved = clientRect(pinned).value_or(QRect());
  EXPECT_GT(moved.x(), before->x() + 100);
  EXPECT_GT(moved.y(), before->y() + 50);
  const QPoint button = moved.topLeft() + window.closeButtonRect().center();
  ASSERT_TRUE(pointTo(button));
  ASSERT_TRUE(waitUntil(5, [&] { return window.closeButtonShown(); }));
  ASSERT_TRUE(xdotool({"click", "1"}));
  EXPECT_TRUE(waitUntil(5, [&] { return !managed(pinned); }));
  EXPECT_FALSE(window.isVisible());

  pin(stripes(100, 100));
  EXPECT_EQ(board.windows().size(), 1u);
}

}  // namespace
}  // namespace vistrel
