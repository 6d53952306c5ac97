#pragma once
// Screen capture on wlroots compositors: displays are the outputs
// WaylandScreens reports (same numbers), copied through
// zwlr_screencopy_manager_v1; windows are sway's views, and a window's image
// is the crop of its frame from its output's copy (what overlaps the window
// on screen is in it). Capturing needs no grant on wlroots: access is
// allowed whenever the compositor offers screencopy. Every Wayland
// compositor composites, so a compositor always runs.
//
// Main thread only; the connection and sway's IPC must outlive it.

#include "platform/ScreenCapture.h"
#include "platform/wayland/SwayIpc.h"
#include "platform/wayland/WaylandConnection.h"

namespace vistrel::wayland {

// The outputs as capture displays, the primary first, and the primary's
// layout rectangle (what window frames are measured from); a fault when the
// compositor does not answer by `deadline` or has no output.
platform::CaptureResult<platform::ShareableContent> outputDisplays(WaylandConnection& connection, Deadline deadline,
                                                                 Rect& primaryArea);

class WaylandScreenCapture : public platform::ScreenCapture {
 public:
  // `sway` may be null (another wlroots compositor): then no windows are listed or captured.
  WaylandScreenCapture(WaylandConnection& connection, SwayIpc* sway);

  bool preflightAccess() const override { return connection_.screencopy() != nullptr; }
  bool requestAccess() override { return preflightAccess(); }
  platform::CaptureResult<platform::ShareableContent> shareableContent() override;
  platform::CaptureResult<QImage> captureDisplay(std::uint32_t displayID,
                                                 const platform::CaptureConfiguration& configuration) override;
  platform::CaptureResult<QImage> captureWindow(std::uint32_t windowID,
                                                const platform::CaptureConfiguration& configuration) override;
  // Copies read the composited output: there is nothing to prepare.
  void beginWindowPick() override {}
  void endWindowPick() override {}
  bool compositorRunning() const override { return true; }

 private:
  // The part `wanted` (the output's logical pixels, top-left origin) of an
  // output, in device pixels; what lies off the output is black.
  platform::CaptureResult<QImage> captureArea(const Output& output, const Rect& wanted, bool withCursor);

  WaylandConnection& connection_;
  SwayIpc* sway_;
};

}  // namespace vistrel::wayland
