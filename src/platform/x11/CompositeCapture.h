#pragma once
// Images of single windows through the Composite extension: a redirected
// window is drawn into a pixmap of its own, which holds the window whether
// or not others cover it. The window taken is the window manager's frame
// around the client (the client's top-level ancestor), so the title bar and
// borders are in the image; a client that nothing frames is taken alone.
//
// A window freshly redirected shows blank where it was covered until its
// program repaints it (a few hundred milliseconds): a window pick redirects
// every frame when it starts. Main thread only.

#include <xcb/xcb.h>

#include <QImage>

#include <set>
#include <span>
#include <vector>

#include "base/Rect.h"
#include "platform/ScreenCapture.h"
#include "platform/x11/Connection.h"
#include "platform/x11/PixelReader.h"

namespace vistrel::x11 {

class CompositeCapture {
 public:
  CompositeCapture(Connection& connection, PixelReader& reader);
  // Undoes the redirections it made.
  ~CompositeCapture();
  CompositeCapture(const CompositeCapture&) = delete;
  CompositeCapture& operator=(const CompositeCapture&) = delete;

  // Redirects the frame of every managed client that is not redirected yet;
  // they stay so until unredirectFrames.
  void redirectFrames(Deadline deadline);
  // Safe when nothing is redirected.
  void unredirectFrames();

  // The frame of `client` with what it holds, cut to `outer` (the frame the
  // user sees, root coordinates), which leaves out a shadow margin the client
  // draws itself: ARGB where the frame has 32 bits, else opaque. A window
  // outside a pick is redirected for this one image (which may be blank where
  // it was covered) and let go again.
  platform::CaptureResult<QImage> capture(xcb_window_t client, const Rect& outer, Deadline deadline);

 private:
  bool ready(Deadline deadline);
  // Each client's top-level ancestor (the client itself when root is its
  // parent); XCB_WINDOW_NONE for a window that is gone.
  std::vector<xcb_window_t> framesOf(std::span<const xcb_window_t> clients, Deadline deadline);

  Connection& connection_;
  PixelReader& reader_;
  enum class State { unknown, ready, missing } state_ = State::unknown;
  bool picking_ = false;
  std::set<xcb_window_t> redirected_;  // frames this connection redirected
};

}  // namespace vistrel::x11
