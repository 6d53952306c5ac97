#pragma once
// Rectangles in the editor's crop diagnostics: "%.1f,%.1f %.1fx%.1f".

#include <string>

#include "base/Rect.h"

namespace vistrel::CropLog {

std::string rect(const Rect& r);

}  // namespace vistrel::CropLog
