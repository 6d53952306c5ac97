#pragma once
// Screen capture on X11. Displays are the monitors X11Screens reports (same
// numbers, one pixel per point); windows are the window manager's managed
// clients. Display images are read off the root window (PixelReader) with
// the pointer drawn in from XFixes; window images come from Composite
// (CompositeCapture). X has no capture permission: access is always allowed.
//
// Main thread only; uses the backend's connection, which must outlive it.

#include <xcb/xcb.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/ScreenCapture.h"
#include "platform/x11/CompositeCapture.h"
#include "platform/x11/Connection.h"
#include "platform/x11/CursorOverlay.h"
#include "platform/x11/PixelReader.h"
#include "platform/x11/WindowRoles.h"

namespace vistrel::x11 {

// The layer a window of `type` is listed in. Ordinary windows (normal,
// dialog, utility, toolbar, torn-off menu, splash) share layer 0 whatever
// their stacking wish (_NET_WM_STATE_ABOVE/BELOW keeps a user's window a
// user's window); the desktop lies below them at -1, docks and panels at 20,
// and transient pop-up surfaces (menus, tooltips, combo lists, drag icons,
// notifications) at 101. Only layer 0 is offered for capture.
int captureLayer(WindowType type);

class X11ScreenCapture : public platform::ScreenCapture {
 public:
  explicit X11ScreenCapture(Connection& connection);

  bool preflightAccess() const override { return true; }
  bool requestAccess() override { return true; }
  platform::CaptureResult<platform::ShareableContent> shareableContent() override;
  platform::CaptureResult<QImage> captureDisplay(std::uint32_t displayID,
                                                 const platform::CaptureConfiguration& configuration) override;
  platform::CaptureResult<QImage> captureWindow(std::uint32_t windowID,
                                                const platform::CaptureConfiguration& configuration) override;
  void beginWindowPick() override;
  void endWindowPick() override;
  bool compositorRunning() const override;

 private:
  int layerOf(const std::vector<xcb_atom_t>& types, bool transient) const;

  Connection& connection_;
  PixelReader reader_{connection_};
  CursorOverlay cursor_{connection_};
  CompositeCapture windows_{connection_, reader_};
  std::vector<std::pair<xcb_atom_t, WindowType>> windowTypes_;
  xcb_atom_t netWmDesktop_ = XCB_ATOM_NONE;
  xcb_atom_t compositorSelection_ = XCB_ATOM_NONE;  // _NET_WM_CM_S<screen>
};

}  // namespace vistrel::x11
