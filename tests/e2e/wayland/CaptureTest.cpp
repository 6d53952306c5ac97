// Screens and screen capture on headless sway: the output as swaymsg reports
// it, and screencopy images of a foot terminal painted in one known colour.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

#include "SwaySession.h"
#include "platform/wayland/WaylandScreenCapture.h"
#include "platform/wayland/WaylandScreens.h"

namespace vistrel::e2e {
namespace {

class Capture : public ::testing::Test {
 protected:
  Capture()
      : sway(wayland::SwayIpc::socketFromEnvironment().value_or("")),
        connection(wayland::WaylandConnection::connect(wayland::deadlineAfter(5))) {
    if (connection) {
      capture = std::make_unique<wayland::WaylandScreenCapture>(*connection, &sway);
      screens = std::make_unique<wayland::WaylandScreens>(*connection, &sway);
    }
  }

  std::optional<QImage> display(const platform::CaptureConfiguration& configuration) {
    auto result = capture->captureDisplay(screens->screens().front().displayID, configuration);
    if (auto* fault = std::get_if<platform::CaptureFault>(&result)) {
      ADD_FAILURE() << fault->description;
      return std::nullopt;
    }
    return std::get<QImage>(result);
  }

  static QRect qrect(const Rect& r) { return QRect(int(r.x), int(r.y), int(r.w), int(r.h)); }

  wayland::SwayIpc sway;
  std::unique_ptr<wayland::WaylandConnection> connection;
  std::unique_ptr<wayland::WaylandScreenCapture> capture;
  std::unique_ptr<wayland::WaylandScreens> screens;
};

// The one headless output is the primary screen, whole and visible, at scale 1, named and placed as sway says.
TEST_F(Capture, TheOutputIsTheScreen) {
  ASSERT_TRUE(connection);
  const auto listed = screens->screens();
  ASSERT_EQ(listed.size(), 1u);
  const auto outputs = QJsonDocument::fromJson(QByteArray::fromStdString(
                           runTool("swaymsg", {"-r", "-t", "get_outputs"}).value_or(""))).array();
  ASSERT_EQ(outputs.size(), 1);
  EXPECT_EQ(listed[0].name, outputs[0].toObject().value("name").toString().toStdString());
  EXPECT_EQ(listed[0].frame, Rect(0, 0, 1920, 1080));
  EXPECT_EQ(listed[0].visibleFrame, Rect(0, 0, 1920, 1080));
  EXPECT_EQ(listed[0].scale, 1.0);
  EXPECT_EQ(screens->mainScreen(), listed[0]);
  EXPECT_TRUE(listed[0].frame.contains(screens->mouseLocation()));
}

// A display capture shows a red terminal's content exactly where sway put
// it; area, scaled and window captures are the matching parts of it.
TEST_F(Capture, CapturesWhatSwayShows) {
  ASSERT_TRUE(connection);
  auto foot = Foot::start(*connection, {"--title", "red"});
  ASSERT_TRUE(foot);
  const QString criteria = QString("[con_id=%1] ").arg(foot->conId());
  ASSERT_TRUE(swaymsg(criteria + "floating enable, resize set width 640 px height 480 px, move absolute position 200 px 100 px"));
  const Rect frame(200, 100, 640, 480);
  ASSERT_TRUE(waitUntil(5, [&] { return foot->drawnAt(frame); }));
  const QRect content = toolContent(*toolView(foot->pid()));

  const auto whole = display({});
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->size(), QSize(1920, 1080));
  EXPECT_EQ(whole->format(), QImage::Format_RGB32);
  // Red fills the content (but the cursor's cell at its top-left) and stops at its edges: sway's frame holds.
  const QRect body = content.adjusted(content.width() / 4, content.height() / 4, -1, -1);
  EXPECT_EQ(whole->copy(body), [&] { QImage red(body.size(), QImage::Format_RGB32); red.fill(kFootRed); return red; }());
  EXPECT_NE(whole->pixel(content.right() + 1, content.center().y()), kFootRed);
  EXPECT_NE(whole->pixel(content.center().x(), content.bottom() + 1), kFootRed);
  EXPECT_NE(whole->pixel(content.center().x(), int(frame.y) + 2), kFootRed);  // the title bar
  EXPECT_NE(whole->pixel(100, 100), kFootRed);

  // An area is that part of the display, also where it runs off the display (black there).
  platform::CaptureConfiguration area;
  area.sourceRect = Rect(content.x(), content.y(), content.width(), content.height());
  EXPECT_EQ(display(area), whole->copy(content));
  area.sourceRect = Rect(1800, 1000, 240, 160);
  QImage edge(240, 160, QImage::Format_RGB32);
  edge.fill(Qt::black);
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 120; ++x) edge.setPixel(x, y, whole->pixel(1800 + x, 1000 + y));
  EXPECT_EQ(display(area), edge);
  platform::CaptureConfiguration half;
  half.width = 960;
  half.height = 540;
  EXPECT_EQ(display(half)->size(), QSize(960, 540));

  // The window: its frame as the window list and the window capture see it.
  const auto content_ = capture->shareableContent();
  ASSERT_TRUE(std::holds_alternative<platform::ShareableContent>(content_));
  const auto& listed = std::get<platform::ShareableContent>(content_);
  ASSERT_EQ(listed.displays.size(), 1u);
  EXPECT_EQ(listed.displays[0].frame, Rect(0, 0, 1920, 1080));
  ASSERT_EQ(listed.windows.size(), 1u);
  EXPECT_EQ(listed.windows[0].windowID, std::uint32_t(foot->conId()));
  EXPECT_EQ(listed.windows[0].bounds, frame);
  EXPECT_EQ(listed.windows[0].ownerPID, foot->pid());
  EXPECT_EQ(listed.windows[0].ownerName, "foot");
  EXPECT_EQ(listed.windows[0].title, "red");
  auto window = capture->captureWindow(std::uint32_t(foot->conId()), {});
  ASSERT_TRUE(std::holds_alternative<QImage>(window));
  EXPECT_EQ(std::get<QImage>(window), whole->copy(qrect(frame)));

  foot->kill();
  EXPECT_TRUE(std::holds_alternative<platform::CaptureFault>(capture->captureWindow(std::uint32_t(foot->conId()), {})));
}

}  // namespace
}  // namespace vistrel::e2e
