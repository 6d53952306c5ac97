#include <QKeyEvent>
#include <QWindow>
#include <QRandomGenerator>

#include <vector>

#include "OverlayFixture.h"
#include "capture/ScrollingCapture.h"

using namespace vistrel;
using namespace vistrel::testing;
using Scroll = sim::SimInputSynth::Scroll;

namespace {

// A document whose every row differs from every other, so there is one right way to join it.
QImage noisePage(int width, int height) {
  QImage page(width, height, QImage::Format_RGB32);
  QRandomGenerator random(7);
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(page.scanLine(y));
    for (int x = 0; x < width; ++x) line[x] = 0xff000000u | random.bounded(0x1000000u);
  }
  return page;
}

class ScrollingFlow : public OverlayFlow {
 protected:
  // The page shows at window-server (200, 100) 320x240 on the 1440x900 primary.
  static constexpr double kPageTop = 100;
  const Rect region{200, 900 - kPageTop - 240, 320, 240};  // the page's place in AppKit points
  const Point centre{360, 220};

  void showPage(int height) {
    sim->screenCapture().page = sim::SimScreenCapture::Page{noisePage(320, height), Rect(200, kPageTop, 320, 240), 0};
  }
  sim::SimInputSynth& input() { return sim->inputSynth(); }
  // The primary display's picture under the region now.
  QImage regionNow() { return sim->screenCapture().displayPicture(sim->screens().screens()[0]).copy(200, 100, 320, 240); }
};

}  // namespace

// The loop's numbers: step, wheel amount, step count (formula and 4...80 clamp, limit setting), pause by speed; clicks per step from the measured pixels per click, capped at 80 % of the frame.
TEST(ScrollingCaptureParameters, StepsPausesAndClicks) {
  auto p = ScrollingCapture::parameters(500, 2, 0.5, 0);
  EXPECT_DOUBLE_EQ(p.fraction, 0.625);
  EXPECT_DOUBLE_EQ(p.stepPixels, 625);
  EXPECT_EQ(p.wheelPixels, 625);
  EXPECT_EQ(p.maxSteps, 32);
  EXPECT_DOUBLE_EQ(p.pauseSeconds, 0.26);

  p = ScrollingCapture::parameters(40, 1, 0, 0);
  EXPECT_DOUBLE_EQ(p.stepPixels, 16);
  EXPECT_EQ(p.wheelPixels, 120);
  EXPECT_EQ(p.maxSteps, 80);
  EXPECT_DOUBLE_EQ(p.pauseSeconds, 0.38);

  EXPECT_EQ(ScrollingCapture::parameters(500, 2, 0.5, 1000).maxSteps, 4);
  EXPECT_EQ(ScrollingCapture::parameters(5000, 2, 1, 10'000'000).maxSteps, 200000 / 8500);
  EXPECT_DOUBLE_EQ(ScrollingCapture::parameters(500, 1, 1, 0).pauseSeconds, 0.14);

  EXPECT_EQ(ScrollingCapture::clicksFor(150, 240, std::nullopt), 1);
  EXPECT_EQ(ScrollingCapture::clicksFor(150, 240, 13.0), 12);
  EXPECT_EQ(ScrollingCapture::clicksFor(150, 240, 170.0), 1);
  EXPECT_EQ(ScrollingCapture::clicksFor(600, 240, 10.0), 19) << "192 px, 80 % of the frame, at most";
  EXPECT_EQ(ScrollingCapture::clicksFor(150, 240, 500.0), 1);
}

// Pages that scroll 13, 40 and 170 pixels a click stitch to exactly the page: one calibrating click, then steps of about the fraction; the first frame comes from the selection's frozen picture.
TEST_F(ScrollingFlow, StitchesThePageWhateverAClickScrolls) {
  struct Case {
    int pixelsPerClick;
    int clicksAfterFirst;
  };
  for (const Case c : {Case{13, 12}, Case{40, 4}, Case{170, 1}}) {
    SCOPED_TRACE(c.pixelsPerClick);
    showPage(1500);
    input().scrolls.clear();
    input().pixelsPerClick = c.pixelsPerClick;
    const auto primary = sim->screens().screens()[0];
    ScreenCaptureService::freezeDisplay(primary.displayID, sim->screenCapture().displayPicture(primary));

    auto outcome = start(ScrollingCapture::capture(region));
    sim->clock().runUntilIdle();
    ASSERT_TRUE(outcome->done);
    ASSERT_TRUE(outcome->value) << "error " << int(outcome->error.value_or(CaptureError::noDisplay));
    EXPECT_EQ(outcome->value->convertToFormat(QImage::Format_RGB32), sim->screenCapture().page->image);
    ASSERT_GE(input().scrolls.size(), 3u);
    EXPECT_EQ(input().scrolls[0], (Scroll{centre, 1}));
    EXPECT_EQ(input().scrolls[1], (Scroll{centre, c.clicksAfterFirst}));
  }
}

// A page that does not move ends after the second unchanged step with the first frame alone, each step one pause (0.38 s at speed 0) after its scroll.
TEST_F(ScrollingFlow, StillPageEndsAfterTwoUnchangedSteps) {
  sim->defaults().setDouble("vistrel.capture.scrollSpeed", 0.0);
  const QImage before = regionNow();
  auto outcome = start(ScrollingCapture::capture(region));
  EXPECT_EQ(input().scrolls.size(), 1u);
  sim->clock().advance(0.759);
  EXPECT_FALSE(outcome->done);
  EXPECT_EQ(input().scrolls.size(), 2u);
  sim->clock().advance(0.002);
  ASSERT_TRUE(outcome->done);
  ASSERT_TRUE(outcome->value);
  EXPECT_EQ(outcome->value->convertToFormat(QImage::Format_RGB32), before);
  EXPECT_EQ(input().scrolls.size(), 2u);
}

// Escape during the first pause returns the first frame without an error; the keyboard alone was held, and is let go afterwards.
TEST_F(ScrollingFlow, EscapeDuringFirstPauseReturnsFirstFrame) {
  showPage(1500);
  const QImage first = regionNow();
  auto outcome = start(ScrollingCapture::capture(region));
  ASSERT_NE(sim->eventMonitors().holder, nullptr);
  EXPECT_TRUE(sim->eventMonitors().keyboardOnly);

  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QCoreApplication::sendEvent(sim->eventMonitors().holder, &escape);
  sim->clock().runUntilIdle();
  ASSERT_TRUE(outcome->done);
  ASSERT_TRUE(outcome->value);
  EXPECT_EQ(outcome->value->convertToFormat(QImage::Format_RGB32), first);
  EXPECT_EQ(input().scrolls.size(), 1u);
  EXPECT_EQ(sim->eventMonitors().holder, nullptr);
}
