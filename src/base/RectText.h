#pragma once
// The two ways layout writes a rectangle: the log's frame format
// "(%.0f,%.0f %.0fx%.0f)" and the default textual form of a rectangle,
// "(0.0, 25.0, 720.0, 875.0)" (every number as short as it round-trips, with
// at least one decimal).

#include <string>

#include "base/Rect.h"

namespace vistrel::RectText {

std::string frame(const Rect& r);
std::string description(const Rect& r);

}  // namespace vistrel::RectText
