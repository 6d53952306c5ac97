#pragma once
// Window access through EWMH: an application is the managed top-level
// clients of one process, a window is one managed client (its id is the
// client window's), and frames are outer frames in accessibility space.
//
// Reads go to the server every time (no cache), each bounded by the element's
// messaging timeout; a window that closed reads as kAXErrorInvalidUIElement,
// a server that does not answer in time as kAXErrorCannotComplete. Writes are
// requests to the window manager: they succeed once sent and return at once;
// the first read of the frame after one waits briefly for it to show.

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Accessibility.h"
#include "platform/MessagingTimeouts.h"
#include "platform/x11/Clients.h"
#include "platform/x11/Connection.h"
#include "platform/x11/WindowRoles.h"

namespace vistrel::x11 {

class X11Accessibility : public platform::Accessibility {
 public:
  explicit X11Accessibility(Connection& connection);

  // X11 has no per-program permission for this.
  bool isProcessTrusted() const override { return true; }
  bool isProcessTrustedWithOptions(bool) override { return true; }
  // Through the window manager, which every EWMH one honours.
  bool canMoveForeignWindows() const override { return true; }


  platform::AXResult copyAttributeValue(const platform::AXElement& element, std::string_view attribute) override;
  platform::AXError setAttributeValue(const platform::AXElement& element, std::string_view attribute,
                                      const platform::AXValue& value) override;
  platform::AXError performAction(const platform::AXElement& element, std::string_view action) override;
  // Bounds each reply wait for calls about the element's program; on the
  // system-wide element it sets the bound for every program without one.
  platform::AXError setMessagingTimeout(const platform::AXElement& element, double seconds) override {
    return timeouts_.set(element, seconds);
  }

 private:
  Deadline deadlineFor(const platform::AXElement& element) const;
  platform::AXResult readSystemWide(std::string_view attribute, Deadline deadline);
  platform::AXResult readApplication(std::int32_t pid, std::string_view attribute, Deadline deadline);
  platform::AXResult readWindow(const platform::AXElement& element, std::string_view attribute, Deadline deadline);
  // Polls until the frame differs from `before` (the manager applied something) or the deadline passes.
  void awaitFrameChange(xcb_window_t window, const Rect& before, const Rect& primary, Deadline deadline);
  // Polls until `done` holds for the window's facts, the window vanishes or the deadline passes.
  void awaitWindow(xcb_window_t window, const std::function<bool(const WindowFacts&)>& done, Deadline deadline);
  // Some managers (marco) keep the whole window, a client-drawn shadow
  // included, inside the work area, until it has once been partly outside.
  // When the last move asked of `window` was held back that way, the window
  // is let out once: maximized along the other axis it cannot fit the area,
  // so a move to `reference` (a new one, or the one held back) goes through
  // as asked, and the window keeps that position when it leaves the state.
  void letOutIfHeldInside(xcb_window_t window, const WindowFacts& facts, Point reference, bool handlesMoveResize,
                          Deadline deadline);
  // Under i3 a tiled window takes no position or size of its own: it is made
  // floating first, with one log line. True when it was.
  bool floatIfTiled(xcb_window_t window, Deadline deadline);
  platform::AXError writeWindow(const platform::AXElement& element, std::string_view attribute,
                                const platform::AXValue& value, Deadline deadline);
  std::string_view subroleOf(const WindowFacts& facts) const;
  // The primary monitor in root coordinates: the origin of accessibility space.
  Rect primaryMonitor(Deadline deadline);
  std::optional<std::int32_t> ownerOf(xcb_window_t window, Deadline deadline);
  platform::AXElement windowElement(std::int32_t pid, xcb_window_t window) const;

  Connection& connection_;
  std::vector<std::pair<xcb_atom_t, WindowType>> windowTypes_;
  platform::MessagingTimeouts timeouts_;
  // The whole window (client and manager frame, root coordinates) the last move of each window asked for.
  std::map<xcb_window_t, Rect> askedWhole_;
  // A move or resize sent and not yet seen: the frame before it (accessibility
  // space) and until when the next read of the window waits for it to show.
  struct PendingWrite {
    Rect before;
    Deadline shows;
  };
  std::map<xcb_window_t, PendingWrite> pendingWrites_;
};

}  // namespace vistrel::x11
