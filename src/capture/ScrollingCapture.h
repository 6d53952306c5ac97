#pragma once
// Scrolling capture: a selected region that shows part of a long document
// becomes one tall image. The region is captured, the document under it is
// scrolled with synthetic wheel clicks, captured again, and so on until the
// page stops moving, a step limit is reached, or the user presses Escape;
// the frames are then joined by ImageStitcher. Main thread only.

#include <QImage>

#include <cstdint>
#include <memory>
#include <optional>

#include "base/Rect.h"
#include "base/Task.h"

class QObject;
class QWidget;

namespace vistrel {

// Escape while a scrolling capture runs, whatever program has the keyboard
// focus. A local monitor (an application event filter) sees keys typed into
// our own windows and swallows Escape; a global one holds the keyboard with
// a tiny window of ours placed off every screen, so keys typed anywhere come
// to us. The pointer is not held: wheel clicks must reach the program being
// scrolled. Other keys typed meanwhile reach no program.
class ScrollCancel {
 public:
  // Installs both monitors. A keyboard that cannot be held now (another
  // program holds it) is asked for again by retryGrab; until then Escape
  // works only while one of our windows has the focus.
  ScrollCancel();
  ~ScrollCancel();
  ScrollCancel(const ScrollCancel&) = delete;
  ScrollCancel& operator=(const ScrollCancel&) = delete;

  bool cancelled() const { return *cancelled_; }
  void retryGrab();
  // Removes both monitors; safe to call twice.
  void stop();

 private:
  // The flag the monitors set; they keep only a weak reference to it.
  std::shared_ptr<bool> cancelled_;
  std::unique_ptr<QObject> localMonitor_;
  std::unique_ptr<QWidget> keyWindow_;
  bool grabbed_ = false;
};

namespace ScrollingCapture {

// Pixels of scrolling at most; 0 or absent means the default.
inline constexpr const char* kScrollMaxHeightKey = "vistrel.capture.scrollMaxHeight";
inline constexpr std::int64_t kDefaultScrollLimit = 20000;
inline constexpr std::int64_t kLargestScrollLimit = 200000;
// A step never scrolls more than this share of the region: the frames must
// overlap for the stitcher to join them.
inline constexpr double kMostOfRegion = 0.8;

struct Parameters {
  double fraction = 0;  // of the region's height, per step
  double stepPixels = 0;
  int wheelPixels = 0;  // the scroll each step aims at
  int maxSteps = 0;
  double pauseSeconds = 0;  // between a scroll and the next frame
};

// The loop's parameters for a region `regionHeight` points high on a screen
// of `scale` pixels per point, at scrolling speed `speed` (0...1), with
// `scrollLimit` as stored under kScrollMaxHeightKey.
Parameters parameters(double regionHeight, double scale, double speed, std::int64_t scrollLimit);

// Wheel clicks for a step aiming at `wheelPixels` in frames `frameHeight`
// pixels high, given the most a click has been seen to scroll (none before
// the first measurement: one click then). At least one click; never more
// than would scroll kMostOfRegion of the frame, by that measure.
int clicksFor(int wheelPixels, int frameHeight, std::optional<double> pixelsPerClick);

// The whole document under `region` (screen points) as one image. Throws
// what a frame capture throws, and CaptureException(captureFailed) when the
// frames cannot be joined. Escape ends it early with what has been gathered.
Task<QImage> capture(Rect region);

}  // namespace ScrollingCapture

}  // namespace vistrel
