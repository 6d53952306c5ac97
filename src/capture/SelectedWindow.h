#pragma once
// A window the user picked for capture.

#include <cstdint>
#include <string>

#include "base/Rect.h"

namespace vistrel {

struct SelectedWindow {
  std::uint32_t id = 0;  // the window system's number for it
  Rect frame;            // screen points, AppKit space
  std::string title;
  friend bool operator==(const SelectedWindow&, const SelectedWindow&) = default;
};

}  // namespace vistrel
