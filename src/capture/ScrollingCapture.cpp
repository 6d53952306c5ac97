#include "capture/ScrollingCapture.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <vector>

#include "capture/CaptureError.h"
#include "capture/CapturePreferences.h"
#include "capture/ImageStitcher.h"
#include "base/KeyCodes.h"
#include "capture/ScreenCaptureService.h"
#include "platform/Platform.h"
#include "ui/KeyTranslation.h"
#include "ui/ScreenSpace.h"

namespace vistrel {

namespace {

// Rows that differ by less than this on average show the same content (the
// stitcher's own bound for an overlap).
constexpr int kSameContent = 41;

// The local monitor: Escape typed into any window of ours.
class EscapeFilter : public QObject {
 public:
  explicit EscapeFilter(std::weak_ptr<bool> cancelled) : cancelled_(std::move(cancelled)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) {
      return QObject::eventFilter(watched, event);
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if (KeyTranslation::keyEventFrom(*key).keyCode != KeyCode::escape) return false;
    // Claimed before a window's own Escape shortcut can take it.
    if (event->type() == QEvent::ShortcutOverride) {
      event->accept();
      return false;
    }
    if (const auto flag = cancelled_.lock()) *flag = true;
    return true;
  }

 private:
  std::weak_ptr<bool> cancelled_;
};

// The window that holds the keyboard: 1x1, unmanaged (so it is mapped, and
// can be grabbed, at once) and off every screen, so no capture shows it.
std::unique_ptr<QWidget> makeKeyWindow() {
  auto window = std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::FramelessWindowHint |
                                                       Qt::BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus);
  window->setAttribute(Qt::WA_ShowWithoutActivating);
  window->setGeometry(-64, -64, 1, 1);
  window->show();
  return window;
}

std::int64_t storedScrollLimit() {
  return platform::current().defaults().integer(ScrollingCapture::kScrollMaxHeightKey).value_or(0);
}

// The region's centre in window-server space (top-left of the primary display, y down).
Point windowServerCentre(const Rect& region) {
  return ScreenSpace::flipped(Point{region.midX(), region.midY()}, ScreenSpace::primaryTop());
}

// How many rows the content moved from `last` to `next`; none when the two
// frames share no rows the stitcher recognises.
std::optional<int> rowsMoved(const QImage& last, const QImage& next) {
  if (last.size() != next.size()) return std::nullopt;
  const int overlap = ImageStitcher::overlapRows(last, next);
  if (overlap <= 0 || overlap >= last.height()) return std::nullopt;
  // The search answers even when nothing matched; only a real match measures.
  if (ImageStitcher::rowDifference(last, last.height() - overlap, next, 0, overlap) >= kSameContent) {
    return std::nullopt;
  }
  return last.height() - overlap;
}

}  // namespace

ScrollCancel::ScrollCancel() : cancelled_(std::make_shared<bool>(false)) {
  localMonitor_ = std::make_unique<EscapeFilter>(cancelled_);
  QCoreApplication::instance()->installEventFilter(localMonitor_.get());
  keyWindow_ = makeKeyWindow();
  retryGrab();
}

ScrollCancel::~ScrollCancel() { stop(); }

void ScrollCancel::retryGrab() {
  if (grabbed_ || !keyWindow_ || !keyWindow_->windowHandle()) return;
  grabbed_ = platform::current().eventMonitors().grabKeyboard(*keyWindow_->windowHandle());
}

void ScrollCancel::stop() {
  if (keyWindow_) {
    // At exit the platform may be gone first; the grab goes with our connection then.
    if (grabbed_ && keyWindow_->windowHandle() && platform::isInstalled()) {
      platform::current().eventMonitors().releaseInput(*keyWindow_->windowHandle());
    }
    grabbed_ = false;
    keyWindow_.reset();
  }
  localMonitor_.reset();  // a destroyed filter leaves the application's list by itself
}

namespace ScrollingCapture {

Parameters parameters(double regionHeight, double scale, double speed, std::int64_t scrollLimit) {
  Parameters p;
  p.fraction = 0.4 + 0.45 * speed;
  p.stepPixels = p.fraction * scale * regionHeight;
  p.wheelPixels = int(std::max(p.stepPixels, 120.0));
  const std::int64_t limit =
      scrollLimit < 1 ? kDefaultScrollLimit : std::min(scrollLimit, kLargestScrollLimit);
  const std::int64_t perStep = std::max<std::int64_t>(std::int64_t(p.stepPixels), 1);
  p.maxSteps = int(std::clamp<std::int64_t>(limit / perStep, 4, 80));
  p.pauseSeconds = (380 - 240 * speed) / 1000;
  return p;
}

int clicksFor(int wheelPixels, int frameHeight, std::optional<double> pixelsPerClick) {
  if (!pixelsPerClick || *pixelsPerClick <= 0) return 1;
  const double aim = std::min<double>(wheelPixels, kMostOfRegion * frameHeight);
  const int wanted = int(std::lround(aim / *pixelsPerClick));
  const int most = int(kMostOfRegion * frameHeight / *pixelsPerClick);
  return std::max(std::min(wanted, most), 1);
}

Task<QImage> capture(Rect region) {
  auto cancel = std::make_shared<ScrollCancel>();
  // The monitors go in a task of their own once the capture has ended, however it ended.
  struct StopAfterwards {
    std::shared_ptr<ScrollCancel> cancel;
    ~StopAfterwards() {
      if (platform::isInstalled()) platform::current().clock().after(0, [cancel = cancel] { cancel->stop(); });
    }
  } stopAfterwards{cancel};

  std::vector<QImage> frames;
  frames.push_back(co_await ScreenCaptureService::captureRectInScreenSpace(region));
  // The first frame is what the user selected from; the rest must be live.
  ScreenCaptureService::endFreeze();

  const auto screen = DisplayGeometry::screenContaining(region);
  const Parameters p =
      parameters(region.height(), screen ? screen->scale : 2.0, CapturePreferences::scrollingSpeed(), storedScrollLimit());
  const Point centre = windowServerCentre(region);
  auto& input = platform::current().inputSynth();

  // Programs scroll by their own amount per click: the most one click has
  // been seen to move sizes the next steps, so a step never overshoots.
  std::optional<double> pixelsPerClick;
  int clicksSinceKept = 0;
  bool unchangedOnce = false;
  for (int step = 0; step < p.maxSteps; ++step) {
    if (cancel->cancelled()) break;
    cancel->retryGrab();
    const int clicks = clicksFor(p.wheelPixels, frames.back().height(), pixelsPerClick);
    if (input.scrollWheel(centre, clicks)) clicksSinceKept += clicks;
    co_await sleep(p.pauseSeconds);
    if (cancel->cancelled()) break;
    QImage next = co_await ScreenCaptureService::captureRectInScreenSpace(region);
    const QImage& last = frames.back();
    if (ImageStitcher::unchanged(last, next)) {
      if (unchangedOnce) break;
      unchangedOnce = true;
      continue;
    }
    if (const auto moved = rowsMoved(last, next); moved && clicksSinceKept > 0) {
      pixelsPerClick = std::max(pixelsPerClick.value_or(0), double(*moved) / clicksSinceKept);
    }
    frames.push_back(std::move(next));
    clicksSinceKept = 0;
    unchangedOnce = false;
  }

  auto result = ImageStitcher::vertical(frames);
  if (!result) throw CaptureException(CaptureError::captureFailed);
  co_return std::move(*result);
}

}  // namespace ScrollingCapture

}  // namespace vistrel
