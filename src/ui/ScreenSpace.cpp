#include "ui/ScreenSpace.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace vistrel::EditorDisplayMath {

PixelScale pixelScaleForEditor(double imageWidth, double imageHeight, const std::vector<Rect>& screens) {
  std::optional<PixelScale> best;
  double bestScore = std::numeric_limits<double>::infinity();
  for (const Rect& frame : screens) {
    if (!(frame.width() > 40 && frame.height() > 40)) continue;
    const double sx = imageWidth / frame.width();
    const double sy = imageHeight / frame.height();
    // Equal scales on both axes matter most, whole-number scales next.
    const double score =
        2000 * std::abs(sx - sy) + (std::abs(sx - std::round(sx)) + std::abs(sy - std::round(sy)));
    if (score < bestScore) {
      bestScore = score;
      best = PixelScale{sx, sy};
    }
  }
  if (best) return *best;
  const double s = std::max(std::round(std::max(imageWidth, imageHeight) / 1512), 1.0);
  return {s, s};
}

}  // namespace vistrel::EditorDisplayMath
