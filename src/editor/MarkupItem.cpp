#include "editor/MarkupItem.h"

#include <algorithm>
#include <cstdio>

namespace vistrel {

std::string MarkupColor::hex() const {
  // Truncated toward zero; components outside 0…1 (extended range) are held
  // to a byte so the text stays six digits.
  const auto byte = [](double component) { return int(std::clamp(component * 255, 0.0, 255.0)); };
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", byte(red), byte(green), byte(blue));
  return text;
}

}  // namespace vistrel
