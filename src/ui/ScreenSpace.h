#pragma once
// How the editor relates picture pixels to screen points.

#include <vector>

#include "base/Rect.h"

namespace vistrel::EditorDisplayMath {

// Pixels per point of the display a shot came from.
struct PixelScale {
  double x = 1;
  double y = 1;
  friend bool operator==(const PixelScale&, const PixelScale&) = default;
};

// The scale of the screen whose size best explains a picture of
// `imageWidth` x `imageHeight` pixels; a whole-number guess when no screen does.
PixelScale pixelScaleForEditor(double imageWidth, double imageHeight, const std::vector<Rect>& screens);

}  // namespace vistrel::EditorDisplayMath
