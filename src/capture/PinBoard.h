#pragma once
// Captured images kept floating on screen as small always-on-top windows on
// every desktop, so a shot stays in view while the user works elsewhere.
// Main thread only.

#include <QImage>

#include <memory>
#include <vector>

#include "base/Rect.h"
#include "capture/PinWindow.h"

namespace vistrel {

class PinBoard {
 public:
  static PinBoard& shared();
  // A board of its own (tests); the program uses `shared()`.
  PinBoard() = default;

  // Shows a new pin window for `image`, centred on the main screen, with the
  // focus; then forgets the pins closed since. A null image shows nothing.
  void pin(const QImage& image);

  // The pins still open at the last pin, oldest first, held until then even
  // when closed.
  const std::vector<std::unique_ptr<PinWindow>>& windows() const { return windows_; }

  // Points for an image of `pixelWidth` x `pixelHeight`: one point per pixel up
  // to 420 pixels wide, wider images shrunk to 420 points keeping the aspect ratio.
  static Size contentSize(double pixelWidth, double pixelHeight);

 private:
  std::vector<std::unique_ptr<PinWindow>> windows_;
};

}  // namespace vistrel
