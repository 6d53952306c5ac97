// Synthetic wheel clicks on headless sway reach a native Qt window under the
// point, one notch a click, in both directions.

#include <gtest/gtest.h>

#include <QWheelEvent>
#include <QWidget>

#include <unistd.h>

#include "SwaySession.h"
#include "platform/wayland/VirtualPointerInputSynth.h"

namespace vistrel::e2e {
namespace {

class WheelTarget : public QWidget {
 public:
  int delta = 0;  // angleDelta().y() summed: -120 a click towards the document's end
  QPointF position;
  QSize painted;  // the size last painted (and so handed to the compositor)

 protected:
  void wheelEvent(QWheelEvent* event) override {
    delta += event->angleDelta().y();
    position = event->position();
  }
  void paintEvent(QPaintEvent*) override { painted = size(); }
};

TEST(InputSynth, WheelClicksReachTheWindowUnderThePoint) {
  auto connection = wayland::WaylandConnection::connect(wayland::deadlineAfter(5));
  ASSERT_TRUE(connection);
  wayland::VirtualPointerInputSynth synth(*connection);
  // Frameless: Qt draws no title bar of its own inside the surface, so sway's content area is the widget.
  WheelTarget target;
  target.setWindowFlag(Qt::FramelessWindowHint);
  target.setWindowTitle("wheel target");
  target.show();
  std::optional<QJsonObject> view;
  // Until it has drawn at the size sway gave it, sway centres its old size in its place.
  ASSERT_TRUE(waitUntil(10, [&] {
    return (view = toolView(getpid())) && target.painted == toolContent(*view).size();
  })) << "our window did not take its place in sway's layout";
  const QPoint content = toolContent(*view).topLeft();
  const Point point{content.x() + 300.0, content.y() + 200.0};

  ASSERT_TRUE(synth.scrollWheel(point, 3));
  EXPECT_TRUE(waitUntil(5, [&] { return target.delta == -360; })) << target.delta;
  EXPECT_EQ(target.position, QPointF(300, 200));
  ASSERT_TRUE(synth.scrollWheel(point, -2));
  EXPECT_TRUE(waitUntil(5, [&] { return target.delta == -120; })) << target.delta;
  EXPECT_FALSE(synth.scrollWheel(Point{-5000, 0}, 1));
}

}  // namespace
}  // namespace vistrel::e2e
