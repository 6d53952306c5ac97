#include <gtest/gtest.h>

#include <QPainter>

#include <memory>
#include <optional>

#include "capture/CaptureError.h"
#include "capture/ScreenCaptureService.h"
#include "platform/sim/SimPlatform.h"

namespace vistrel {
namespace {

namespace Service = ScreenCaptureService;

// A transparent picture with an opaque block and a faint shadow band around it.
QImage windowWithShadow(int margin, int shadow, int alphaOfShadow) {
  QImage image(300, 200, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.fillRect(QRect(margin, margin, 300 - 2 * margin, 200 - 2 * margin), QColor(0, 0, 0, alphaOfShadow));
  painter.fillRect(QRect(margin + shadow, margin + shadow, 300 - 2 * (margin + shadow), 200 - 2 * (margin + shadow)),
                   QColor(200, 40, 40));
  return image;
}

template <class T>
T await(sim::ScopedSimPlatform& sim, Task<T> task) {
  std::optional<T> value;
  std::exception_ptr error;
  spawn([](Task<T> t, std::optional<T>& v, std::exception_ptr& e) -> Task<> {
    try {
      v = co_await std::move(t);
    } catch (...) {
      e = std::current_exception();
    }
  }(std::move(task), value, error));
  sim->clock().runUntilIdle();
  if (error) std::rethrow_exception(error);
  return *value;
}

// Output sizes are even and at least 2; a source rectangle of 2 points or less is ignored.
TEST(StreamConfiguration, SizesAreEvenWithAMinimumOfTwo) {
  const ContentFilter display{.display = platform::CaptureDisplay{1, Rect(0, 0, 1001, 1), 1.0}};
  auto configuration = Service::makeStreamConfiguration(display, std::nullopt);
  EXPECT_EQ(configuration.width, 1000);
  EXPECT_EQ(configuration.height, 2);
  EXPECT_TRUE(configuration.showsCursor);

  configuration = Service::makeStreamConfiguration(display, Rect(0, 0, 1, 1));
  EXPECT_FALSE(configuration.sourceRect);
  EXPECT_EQ(configuration.width, 1000);

  const ContentFilter retina{.display = platform::CaptureDisplay{1, Rect(0, 0, 1440, 900), 2.0}};
  configuration = Service::makeStreamConfiguration(retina, Rect(10, 10, 100.4, 50.6));
  EXPECT_EQ(configuration.width, 200);
  EXPECT_EQ(configuration.height, 100);  // 101.2 rounds to 101, then made even
}

// The trim cuts to the pixels above the threshold: a faint shadow goes at 180 and stays at 8; near-edge content and narrow pictures are left alone.
TEST(TransparentEdges, ThresholdDecidesWhatIsCut) {
  const QImage window = windowWithShadow(20, 40, 120);
  EXPECT_EQ(Service::croppingTransparentEdges(window, 180).size(), QSize(300 - 120, 200 - 120));
  EXPECT_EQ(Service::croppingTransparentEdges(window, 8).size(), QSize(260, 160));

  const QImage nearEdges = windowWithShadow(2, 0, 255);
  EXPECT_EQ(Service::croppingTransparentEdges(nearEdges, 8).size(), nearEdges.size());

  QImage narrow(4, 100, QImage::Format_ARGB32_Premultiplied);
  narrow.fill(Qt::transparent);
  EXPECT_EQ(Service::croppingTransparentEdges(narrow, 8).size(), narrow.size());

  QImage empty(50, 50, QImage::Format_ARGB32_Premultiplied);
  empty.fill(Qt::transparent);
  EXPECT_EQ(Service::croppingTransparentEdges(empty, 8).size(), empty.size()) << "nothing to keep: unchanged";
}

// A crop flips screen points to image rows: a rectangle near the screen's bottom comes from the picture's last rows.
TEST(Crop, FlipsToImageRowsAndClipsToTheScreen) {
  const platform::Screen screen{1, Rect(-100, 0, 200, 100), Rect(-100, 0, 200, 100), 2.0, "s"};
  QImage picture(400, 200, QImage::Format_RGB32);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 400; ++x) picture.setPixel(x, y, qRgb(x / 2, y, 0));
  const QImage cut = Service::crop(picture, Rect(-50, 10, 30, 20), screen);
  ASSERT_EQ(cut.size(), QSize(60, 40));
  EXPECT_EQ(cut.pixel(0, 0), qRgb(100 / 2, 140, 0)) << "pixel column 100, row 200 - 20 - 40";
  EXPECT_EQ(Service::crop(picture, Rect(90, 50, 50, 50), screen).size(), QSize(20, 100)) << "clipped to the screen";
  EXPECT_EQ(Service::crop(picture, Rect(300, 50, 5, 5), screen).size(), picture.size()) << "off the screen: unchanged";
}

// A rectangle whose centre lies on no screen fails with noDisplay; a window that vanished is replaced by the nearest one.
TEST(Captures, NoDisplayAndNearestWindowFallback) {
  sim::ScopedSimPlatform sim;
  sim->screens().addScreen(Rect(0, 0, 1000, 800), Rect(0, 0, 1000, 800));
  try {
    await(sim, Service::captureRectInScreenSpace(Rect(900, 100, 400, 100)));
    ADD_FAILURE() << "captured a rectangle centred off every screen";
  } catch (const CaptureException& error) {
    EXPECT_EQ(error.error(), CaptureError::noDisplay);
  }

  QImage far(100, 100, QImage::Format_ARGB32_Premultiplied);
  far.fill(Qt::blue);
  QImage near(120, 90, QImage::Format_ARGB32_Premultiplied);
  near.fill(Qt::green);
  sim->screenCapture().windows = {{{.windowID = 5, .bounds = Rect(700, 600, 100, 100)}, far},
                                  {{.windowID = 6, .bounds = Rect(90, 610, 120, 90)}, near}};
  // The vanished window stood at (100, 100) in screen points, that is window-server y 600.
  const QImage image =
      await(sim, Service::captureSelected(99, Rect(100, 100, 100, 100), WindowBackground::solid));
  EXPECT_EQ(image.size(), QSize(120, 90));
  EXPECT_EQ(image.pixel(10, 10), QColor(Qt::green).rgb());
  EXPECT_FALSE(image.hasAlphaChannel()) << "white background flattens";
}

// A window with translucent corners on the desktop background shows the screen there; on the clear one it stays clear.
TEST(Captures, DesktopBackgroundShowsTheScreenThroughTranslucentPixels) {
  sim::ScopedSimPlatform sim;
  sim->screens().addScreen(Rect(0, 0, 1000, 800), Rect(0, 0, 1000, 800));
  QImage rounded(200, 150, QImage::Format_ARGB32_Premultiplied);
  rounded.fill(QColor(200, 40, 40));
  for (int i = 0; i < 4; ++i) rounded.setPixel(i, 0, qRgba(0, 0, 0, 0));
  rounded.setPixel(0, 1, qRgba(60, 10, 10, 128));
  sim->screenCapture().windows = {{{.windowID = 7, .bounds = Rect(100, 100, 200, 150)}, rounded}};
  const Rect frame(100, 800 - 100 - 150, 200, 150);

  const QImage desktop = await(sim, Service::captureSelected(7, frame, WindowBackground::wallpaper));
  const QImage screen = await(sim, Service::captureRectInScreenSpace(frame));
  EXPECT_FALSE(desktop.hasAlphaChannel());
  EXPECT_EQ(desktop, screen.convertToFormat(QImage::Format_RGB32)) << "the window as the screen shows it";
  EXPECT_NE(desktop.pixel(0, 0), qRgb(0, 0, 0)) << "the screen behind a clear corner";

  const QImage clear = await(sim, Service::captureSelected(7, frame, WindowBackground::transparent));
  EXPECT_EQ(qAlpha(clear.pixel(0, 0)), 0);
  EXPECT_EQ(clear.pixel(50, 50), QColor(200, 40, 40).rgb());
}

}  // namespace
}  // namespace vistrel
