#pragma once
// Our own floating windows on Wayland. Pins: on sway a shown window is made
// floating and sticky (on every workspace) through the IPC, found in the tree
// by our process and its title; other compositors place toplevels as they
// like. Overlays: Debian 12's LayerShellQt is built for Qt 5 and cannot be
// loaded into this Qt 6 program, so every compositor gets the fallback: one
// full-screen window per output, over a frozen picture of it.

#include "platform/FloatingWindows.h"
#include "platform/wayland/SwayIpc.h"

namespace vistrel::wayland {

class WaylandFloatingWindows : public platform::FloatingWindows {
 public:
  // `sway` may be null; it must outlive this object. Main thread only.
  explicit WaylandFloatingWindows(SwayIpc* sway) : sway_(sway) {}

  void keepOnAllDesktops(QWindow& window) override;
  platform::OverlayStyle overlayStyle() const override { return platform::OverlayStyle::fullScreen; }
  // The window goes to the output of the screen's name (Qt names screens
  // after outputs); with several outputs, sway's IPC puts it there once mapped.
  void placeOverlay(QWindow& window, const platform::Screen& screen) override;

 private:
  SwayIpc* sway_;
};

}  // namespace vistrel::wayland
