#pragma once
// How large a new item is drawn, from the picture's width W in pixels at the
// moment it is committed, so marks look alike on small and large shots.

#include "editor/EditorVocabulary.h"

namespace vistrel::MarkupSizes {

// max(W / 480, 2): pen, line, arrow, rectangle and oval.
double strokeWidth(double pictureWidth);
// 7 × stroke width.
double highlightWidth(double pictureWidth);
// 8 × stroke width.
double blurBrushWidth(double pictureWidth);
// max(W / 48, 18) scaled 0.62, 1 or 1.6 by size.
double stepRadius(double pictureWidth, CounterSize size);
// max(W / 52, 18).
double textFontSize(double pictureWidth);

}  // namespace vistrel::MarkupSizes
