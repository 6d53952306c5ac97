#pragma once
// Input for a selection overlay on Wayland. No client may grab the keyboard
// or the pointer: the overlay holds the keyboard by having the focus (a
// layer-shell surface with exclusive keyboard, or a full-screen window that
// the compositor focuses when it appears), and the pointer reaches it while
// it covers the screen. A "grab" succeeds once the window is on screen and
// active. Pointer positions come with the events, in surface coordinates
// with sub-pixel precision: there is nothing more exact to read.

#include "platform/EventMonitors.h"

namespace vistrel::wayland {

class WaylandEventMonitors : public platform::EventMonitors {
 public:
  // Asks the compositor to activate the window; true once it is exposed and active.
  bool grabInput(QWindow& window) override;
  bool grabKeyboard(QWindow& window) override { return grabInput(window); }
  void releaseInput(QWindow&) override {}
  std::optional<QPointF> pointerEventPosition(std::uint64_t, QPointF) const override { return std::nullopt; }
};

}  // namespace vistrel::wayland
