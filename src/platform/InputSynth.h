#pragma once
// Synthetic input: wheel clicks posted as if the user turned the mouse wheel
// over a point, so the program under it scrolls. How far one click scrolls is
// each program's own choice (a few lines, a share of the page); callers that
// need a distance measure what a click did. Main thread only.

#include "base/Rect.h"

namespace vistrel::platform {

class InputSynth {
 public:
  virtual ~InputSynth() = default;
  // Turns the wheel `clicks` notches over `point` (window-server space: origin
  // at the top-left of the primary display, y down, points). Positive clicks
  // scroll towards the end of the document, negative towards its start. The
  // pointer visits the point for the clicks and is back where it was when
  // this returns, so it shows in no screenshot over the point. False when
  // nothing could be posted.
  virtual bool scrollWheel(Point point, int clicks) = 0;
};

}  // namespace vistrel::platform
