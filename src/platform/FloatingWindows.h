#pragma once
// Window-manager behaviour for the program's own floating windows (pinned
// images, selection overlays) that Qt's window flags do not cover.

#include "platform/Screens.h"

class QWindow;

namespace vistrel::platform {

// How a selection overlay covers its screen.
enum class OverlayStyle {
  // A window above everything that no window manager places (X11's
  // override-redirect); translucent over the live screen where a compositor runs.
  aboveEverything,
  // A full-screen window of its own on the screen's output, over a frozen
  // picture of the screen (what lies under a full-screen window is not drawn).
  fullScreen,
};

class FloatingWindows {
 public:
  virtual ~FloatingWindows() = default;
  // Shows `window` on every desktop (workspace) instead of only the current
  // one. Call after the native window exists and before it is first shown; a
  // window manager without desktops ignores it.
  virtual void keepOnAllDesktops(QWindow& window) = 0;
  virtual OverlayStyle overlayStyle() const { return OverlayStyle::aboveEverything; }
  // Readies the overlay `window` to cover `screen` before it is shown; the
  // window's own geometry does that where overlays are above everything.
  virtual void placeOverlay(QWindow& /*window*/, const Screen& /*screen*/) {}
};

}  // namespace vistrel::platform
