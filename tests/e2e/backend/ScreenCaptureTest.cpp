// Screen capture on a real desktop: the window list against xwininfo and
// xprop, display images against ImageMagick's own capture of the root
// window, and windows alone through Composite under openbox.

#include <gtest/gtest.h>

#include <QColorSpace>
#include <QImage>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "Desktop.h"
#include "platform/x11/X11ScreenCapture.h"
#include "platform/x11/X11Screens.h"

namespace vistrel::e2e {
namespace {

using platform::CaptureConfiguration;
using platform::CaptureFault;
using platform::CaptureWindow;
using platform::ShareableContent;

const QRgb kFill = qRgb(0xd0, 0x20, 0x60);

class ScreenCapture : public ::testing::Test {
 protected:
  ScreenCapture() : capture(requests.connection()), screens(requests.connection()) {}

  static std::unique_ptr<Program> filledWindow(const QString& geometry) {
    return Program::start(VISTREL_TESTWINDOW,
                          {"--title", "capture test window", "--geometry", geometry, "--color", "#d02060"});
  }
  static std::unique_ptr<Program> xterm(const QString& geometry) {
    return Program::start("xterm", {"-T", "capture xterm", "-geometry", geometry});
  }
  ShareableContent content() {
    auto result = capture.shareableContent();
    EXPECT_TRUE(std::holds_alternative<ShareableContent>(result));
    return std::holds_alternative<ShareableContent>(result) ? std::get<ShareableContent>(result) : ShareableContent{};
  }
  static const CaptureWindow* listed(const ShareableContent& content, xcb_window_t window) {
    const auto it = std::find_if(content.windows.begin(), content.windows.end(),
                                 [window](const CaptureWindow& w) { return w.windowID == window; });
    return it == content.windows.end() ? nullptr : &*it;
  }
  QImage display(const CaptureConfiguration& configuration) {
    auto result = capture.captureDisplay(screens.screens().front().displayID, configuration);
    return std::holds_alternative<QImage>(result) ? std::get<QImage>(result) : QImage();
  }
  QImage window(xcb_window_t id) {
    auto result = capture.captureWindow(id, {});
    return std::holds_alternative<QImage>(result) ? std::get<QImage>(result) : QImage();
  }
  void warpPointer(int x, int y) {
    xcb_warp_pointer(requests.connection().raw(), XCB_WINDOW_NONE, requests.connection().root(), 0, 0, 0, 0,
                     std::int16_t(x), std::int16_t(y));
    requests.connection().flush();
  }

  const CaptureConfiguration whole{std::nullopt, 1920, 1080, false};
  Requests requests;
  x11::X11ScreenCapture capture;
  x11::X11Screens screens;
};

// Displays match the screens; windows come front-most first with frame, owner and title; a dock is not layer 0.
TEST_F(ScreenCapture, ListsTheDisplayAndTheManagedWindows) {
  auto test = filledWindow("400x300+100+100");
  auto term = xterm("80x24+300+200");
  ASSERT_TRUE(test && term);
  const xcb_window_t dock = requests.createBottomDock(30);
  ASSERT_TRUE(waitUntil(5, [&] { return listed(content(), dock) != nullptr; }));

  const ShareableContent now = content();
  ASSERT_EQ(now.displays.size(), 1u);
  EXPECT_EQ(now.displays[0].displayID, screens.screens().front().displayID);
  EXPECT_EQ(now.displays[0].frame, Rect(0, 0, 1920, 1080));
  EXPECT_EQ(now.displays[0].scale, 1.0);

  for (const Program* program : {test.get(), term.get()}) {
    const CaptureWindow* w = listed(now, program->window());
    ASSERT_TRUE(w);
    EXPECT_EQ(w->bounds, toolFrame(program->window()));
    EXPECT_EQ(w->ownerPID, program->pid());
    EXPECT_EQ(w->layer, 0);
    EXPECT_TRUE(propertyText(program->window(), "WM_CLASS").value_or("").ends_with(", \"" + w->ownerName + "\""));
  }
  EXPECT_EQ(listed(now, term->window())->title, "capture xterm");
  EXPECT_EQ(listed(now, term->window())->ownerName, "XTerm");
  EXPECT_EQ(listed(now, test->window())->title, "capture test window");
  EXPECT_LT(listed(now, term->window()), listed(now, test->window())) << "the xterm came last and is in front";
  EXPECT_NE(listed(now, dock)->layer, 0);
  requests.destroy(dock);
}

// A display image equals ImageMagick's capture of the root; a source rectangle crops exactly; the pointer shows when asked.
TEST_F(ScreenCapture, DisplayImageIsWhatTheServerShows) {
  auto test = filledWindow("400x300+100+100");
  ASSERT_TRUE(test);
  const auto frame = toolFrame(test->window());
  ASSERT_TRUE(frame);
  const QPoint inside(int(frame->x) + 20, int(frame->y) + 60);
  warpPointer(1900, 1060);
  ASSERT_TRUE(waitUntil(5, [&] { return display(whole).pixel(inside) == kFill; }));

  const QImage image = display(whole);
  EXPECT_EQ(image.format(), QImage::Format_RGB32);
  const QString png = QString::fromLocal8Bit(std::getenv("HARNESS_DIR")) + "/root.png";
  ASSERT_TRUE(runTool("import", {"-window", "root", png}));
  QImage independent = QImage(png).convertToFormat(QImage::Format_RGB32);
  independent.setColorSpace({});  // the PNG's colour tags; the pixels are what count
  EXPECT_EQ(image, independent);

  const QImage cropped = display({Rect(110, 120, 200, 100), 200, 100, false});
  EXPECT_EQ(cropped, image.copy(110, 120, 200, 100));
  EXPECT_EQ(display({std::nullopt, 960, 540, false}).size(), QSize(960, 540));
  // Past the display's edge the image is black, not the rest stretched.
  const QImage edge = display({Rect(1900, 1000, 40, 80), 40, 80, false});
  EXPECT_EQ(edge.copy(0, 0, 20, 80), image.copy(1900, 1000, 20, 80));
  QImage black(20, 80, QImage::Format_RGB32);
  black.fill(Qt::black);
  EXPECT_EQ(edge.copy(20, 0, 20, 80), black);

  warpPointer(inside.x(), inside.y());
  EXPECT_EQ(screens.mouseLocation(), Point(inside.x(), 1080 - inside.y()));
  CaptureConfiguration withPointer = whole;
  withPointer.showsCursor = true;
  const QImage pointed = display(withPointer);
  const QRect near(inside - QPoint(32, 32), QSize(64, 64));
  EXPECT_NE(pointed.copy(near), image.copy(near));
  EXPECT_EQ(pointed.copy(0, 0, 64, 64), image.copy(0, 0, 64, 64));
}

// A covered window comes out alone with its title bar once a pick has redirected it; ending a pick twice is harmless.
TEST_F(ScreenCapture, WindowImageHoldsTheWindowAloneWithItsFrame) {
  auto test = filledWindow("400x300+100+100");
  auto term = xterm("80x24+120+120");
  ASSERT_TRUE(test && term);
  const auto frame = toolFrame(test->window());
  ASSERT_TRUE(frame);
  // Frame coordinates of a point of the client area under the xterm, clear of the label.
  const QPoint covered(40, 200);
  EXPECT_NE(display(whole).pixel(QPoint(int(frame->x), int(frame->y)) + covered), kFill);

  capture.beginWindowPick();
  capture.beginWindowPick();
  ASSERT_TRUE(waitUntil(5, [&] {
    const QImage image = window(test->window());
    return image.valid(covered) && image.pixel(covered) == kFill;
  }));
  const QImage image = window(test->window());
  EXPECT_EQ(image.size(), QSize(int(frame->w), int(frame->h)));
  EXPECT_EQ(image.format(), QImage::Format_RGB32);
  EXPECT_NE(image.pixel(5, 5), kFill) << "the title bar is in the image";
  capture.endWindowPick();
  capture.endWindowPick();

  // Outside a pick a window is redirected for the one image; its size is right even if parts are still blank.
  const auto termFrame = toolFrame(term->window());
  ASSERT_TRUE(termFrame);
  EXPECT_EQ(window(term->window()).size(), QSize(int(termFrame->w), int(termFrame->h)));
}

// Vanished windows, unknown displays and areas off the display are faults; a compositor shows by its selection.
TEST_F(ScreenCapture, FaultsAndTheCompositorSelection) {
  auto test = filledWindow("300x200+50+50");
  ASSERT_TRUE(test);
  const xcb_window_t gone = test->window();
  ASSERT_FALSE(window(gone).isNull());
  test->kill();
  ASSERT_TRUE(waitUntil(5, [&] { return listed(content(), gone) == nullptr; }));
  EXPECT_TRUE(std::holds_alternative<CaptureFault>(capture.captureWindow(gone, {})));
  EXPECT_TRUE(std::holds_alternative<CaptureFault>(capture.captureWindow(0, {})));

  const std::uint32_t displayID = screens.screens().front().displayID;
  EXPECT_TRUE(std::holds_alternative<CaptureFault>(capture.captureDisplay(displayID + 1000, whole)));
  EXPECT_TRUE(std::holds_alternative<CaptureFault>(
      capture.captureDisplay(displayID, {Rect(2000, 10, 50, 50), 50, 50, false})));

  EXPECT_FALSE(capture.compositorRunning());
  const xcb_window_t owner = requests.createUnmanagedWindow();
  xcb_set_selection_owner(requests.connection().raw(), owner, requests.atom("_NET_WM_CM_S0"), XCB_CURRENT_TIME);
  requests.connection().flush();
  EXPECT_TRUE(waitUntil(5, [&] { return capture.compositorRunning(); }));
  requests.destroy(owner);
  EXPECT_TRUE(waitUntil(5, [&] { return !capture.compositorRunning(); }));
}

}  // namespace
}  // namespace vistrel::e2e
