#pragma once
// The displays, in AppKit screen space: origin at the bottom-left of the
// primary display, y up.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Rect.h"

namespace vistrel::platform {

struct Screen {
  std::uint32_t displayID = 0;  // stable per output for the run
  Rect frame;                   // the whole display
  Rect visibleFrame;            // without the panels and docks that reserve space
  double scale = 1.0;           // device pixels per point
  std::string name;
  friend bool operator==(const Screen&, const Screen&) = default;
};

class Screens {
 public:
  virtual ~Screens() = default;
  // The primary display first, then the others.
  virtual std::vector<Screen> screens() const = 0;
  // The display the user is working on (the one holding the active window),
  // else the primary; none when there are no displays.
  virtual std::optional<Screen> mainScreen() const = 0;
  // Where the pointer is, in AppKit screen space.
  virtual Point mouseLocation() const = 0;
};

}  // namespace vistrel::platform
