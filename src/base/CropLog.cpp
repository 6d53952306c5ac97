#include "base/CropLog.h"

#include <cstdio>

namespace vistrel::CropLog {

std::string rect(const Rect& r) {
  // Fixed notation never switches to an exponent; 1e308 needs about 310 characters.
  char buffer[1400];
  std::snprintf(buffer, sizeof buffer, "%.1f,%.1f %.1fx%.1f", r.minX(), r.minY(), r.width(), r.height());
  return buffer;
}

}  // namespace vistrel::CropLog
