#pragma once
// Window access on sway, through its IPC: an application is the windows
// ("views") of one process, a window is one view (its id is sway's con_id),
// and frames are the frames users see, title bar included, in accessibility
// space.
//
// Reads ask sway every time (no cache), each bounded by the element's
// messaging timeout; a window that closed reads as kAXErrorInvalidUIElement,
// sway not answering in time or at all as kAXErrorCannotComplete. Writes are
// sway commands, applied by the time sway answers: a tiled window becomes
// floating at the frame it had, and a size write keeps the window's top-left
// corner (sway's resize keeps the centre, so a move follows it). sway clamps
// floating sizes to its floating_minimum_size and floating_maximum_size.
//
// Subroles: native windows tell sway nothing of their kind and read as
// standard windows; Xwayland windows of type dialog read as dialogs.
// Main thread only.

#include <cstdint>
#include <map>
#include <optional>
#include <string_view>

#include "platform/Accessibility.h"
#include "platform/MessagingTimeouts.h"
#include "platform/wayland/SwayIpc.h"

namespace vistrel::wayland {

class SwayAccessibility : public platform::Accessibility {
 public:
  // `sway` must outlive this object.
  explicit SwayAccessibility(SwayIpc& sway);

  // sway asks no permission of IPC clients: the socket is the user's own.
  bool isProcessTrusted() const override { return true; }
  bool isProcessTrustedWithOptions(bool) override { return true; }
  // Through sway's IPC commands.
  bool canMoveForeignWindows() const override { return true; }


  platform::AXResult copyAttributeValue(const platform::AXElement& element, std::string_view attribute) override;
  platform::AXError setAttributeValue(const platform::AXElement& element, std::string_view attribute,
                                      const platform::AXValue& value) override;
  platform::AXError performAction(const platform::AXElement& element, std::string_view action) override;
  // Bounds each exchange with sway for calls about the element's program; on
  // the system-wide element it sets the bound for every program without one.
  platform::AXError setMessagingTimeout(const platform::AXElement& element, double seconds) override {
    return timeouts_.set(element, seconds);
  }

 private:
  // The windows and the primary output's area, read together.
  struct Desktop {
    SwayTree tree;
    Rect primary;
  };
  IpcReply<Desktop> readDesktop(Deadline deadline);
  // The view the element names, or the error that reading it gives.
  platform::AXError findView(const platform::AXElement& element, const Desktop& desktop, const SwayView*& view) const;
  platform::AXResult readApplication(std::int32_t pid, std::string_view attribute, const Desktop& desktop) const;
  platform::AXResult readWindow(const SwayView& view, std::string_view attribute, const Desktop& desktop) const;
  platform::AXError writeWindow(const SwayView& view, std::string_view attribute, const platform::AXValue& value,
                                const Desktop& desktop, Deadline deadline);
  platform::AXError run(const std::string& commands, Deadline deadline);
  Deadline deadlineFor(const platform::AXElement& element) const;
  platform::AXElement windowElement(const SwayView& view) const;

  SwayIpc& sway_;
  platform::MessagingTimeouts timeouts_;
};

}  // namespace vistrel::wayland
