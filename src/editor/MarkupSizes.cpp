#include "editor/MarkupSizes.h"

#include <algorithm>

namespace vistrel::MarkupSizes {

double strokeWidth(double pictureWidth) { return std::max(pictureWidth / 480, 2.0); }

double highlightWidth(double pictureWidth) { return 7 * strokeWidth(pictureWidth); }

double blurBrushWidth(double pictureWidth) { return 8 * strokeWidth(pictureWidth); }

double stepRadius(double pictureWidth, CounterSize size) {
  const double base = std::max(pictureWidth / 48, 18.0);
  switch (size) {
    case CounterSize::small: return 0.62 * base;
    case CounterSize::medium: return base;
    case CounterSize::large: return 1.6 * base;
  }
  return base;
}

double textFontSize(double pictureWidth) { return std::max(pictureWidth / 52, 18.0); }

}  // namespace vistrel::MarkupSizes
