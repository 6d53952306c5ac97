#pragma once
// Still images of the screen: the displays and windows that can be captured,
// one image of a display or of a window alone, and whether capture is
// allowed. The capture service (capture/ScreenCaptureService) is the only
// product code that calls it; everything here runs on the main thread.

#include <QImage>

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "base/Rect.h"

namespace vistrel::platform {

// A display as capture sees it.
struct CaptureDisplay {
  std::uint32_t displayID = 0;  // the same number as the Screen's displayID
  Rect frame;                   // screen points, AppKit space (bottom-left origin, y up)
  double scale = 1.0;           // pixels per point
  friend bool operator==(const CaptureDisplay&, const CaptureDisplay&) = default;
};

// A top-level window of any program, as the window server lists it.
struct CaptureWindow {
  std::uint32_t windowID = 0;  // the client window's id; never 0 for a real window
  // The frame the user sees, title bar and borders included, in window-server
  // space: origin at the top-left of the primary display, y down, points.
  Rect bounds;
  std::int32_t ownerPID = 0;  // 0 when unknown
  std::string ownerName;      // the program's name (WM_CLASS class), may be empty
  std::string title;          // may be empty
  // 0 for ordinary windows; docks, panels and the desktop have other layers
  // and are never offered for capture.
  int layer = 0;
  friend bool operator==(const CaptureWindow&, const CaptureWindow&) = default;
};

struct ShareableContent {
  std::vector<CaptureDisplay> displays;  // the primary display first
  std::vector<CaptureWindow> windows;    // on-screen windows, front-most first
};

// What one screenshot should produce.
struct CaptureConfiguration {
  // The part of the display to take, in the display's own points with a
  // top-left origin; none for the whole display. Ignored for windows.
  std::optional<Rect> sourceRect;
  int width = 0;   // output size in pixels
  int height = 0;
  bool showsCursor = true;
};

// A refusal of the capture facility, in words for the user.
struct CaptureFault {
  std::string description;
};

template <class T>
using CaptureResult = std::variant<T, CaptureFault>;

class ScreenCapture {
 public:
  virtual ~ScreenCapture() = default;

  // Whether capturing is allowed now, without asking the user.
  virtual bool preflightAccess() const = 0;
  // Asks the user once for the permission where the system has such a
  // dialog; whether capture is allowed afterwards.
  virtual bool requestAccess() = 0;
  // Where this desktop keeps the capture permission and how to give it
  // again, for the help the product shows after a refusal; empty where the
  // product's own words suffice.
  virtual std::string accessSettingsHelp() const { return {}; }

  virtual CaptureResult<ShareableContent> shareableContent() = 0;
  // One image of a display, exactly configuration.width x height pixels, in
  // QImage::Format_RGB32 (or an alpha format where the display has one).
  virtual CaptureResult<QImage> captureDisplay(std::uint32_t displayID, const CaptureConfiguration& configuration) = 0;
  // One image of a window alone: the frame the user sees, its `bounds`, title
  // bar included where the window manager draws one, with alpha where the
  // window has it. An invisible margin a program draws around its own
  // decorations (a client-side shadow) is not in the image, nor is what lies
  // around or over the window on screen.
  virtual CaptureResult<QImage> captureWindow(std::uint32_t windowID, const CaptureConfiguration& configuration) = 0;

  // A window pick starts now: prepare every window for captureWindow (a
  // freshly prepared window may need a moment to have its pixels). Undone by
  // endWindowPick(); both are safe to call twice.
  virtual void beginWindowPick() = 0;
  virtual void endWindowPick() = 0;

  // Whether a compositing manager runs: without one, windows cannot be
  // translucent and the overlays paint a frozen picture of the screen.
  virtual bool compositorRunning() const = 0;
};

}  // namespace vistrel::platform
