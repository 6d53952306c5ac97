#pragma once
// A pointer the tests drive from outside the program: a wlroots virtual
// pointer where the compositor offers one (sway), else KWin's fake input
// (which KWin offers only to a program an installed desktop file names with
// X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input), else Mutter's remote
// desktop (GNOME). Positions are in layout pixels; every call returns once
// the compositor has taken the events.

#include <memory>

#include "platform/wayland/WaylandConnection.h"

namespace vistrel::wlprobe {

class TestPointer {
 public:
  virtual ~TestPointer() = default;
  // None when the compositor offers neither road.
  static std::unique_ptr<TestPointer> make(wayland::WaylandConnection& connection);

  virtual bool moveTo(double x, double y) = 0;
  // A button by its Linux input code (BTN_LEFT...).
  virtual bool button(std::uint32_t code, bool pressed) = 0;
  // Wheel clicks, positive towards the end of a document.
  virtual bool wheel(int clicks) = 0;
};

}  // namespace vistrel::wlprobe
