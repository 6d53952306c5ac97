#include "platform/x11/CompositeCapture.h"

#include <xcb/composite.h>

#include <QtGlobal>

#include "platform/x11/Clients.h"
#include "platform/x11/FrameGeometry.h"
#include "platform/x11/ServerSync.h"

namespace vistrel::x11 {

namespace {

// Window managers nest a client a level or two below its frame.
constexpr int kMaxNesting = 8;

platform::CaptureFault fault(const std::string& description) { return {description}; }

platform::CaptureFault faultOf(ReplyStatus status, const char* xError) {
  switch (status) {
    case ReplyStatus::timedOut: return fault("The X server did not answer in time.");
    case ReplyStatus::disconnected: return fault("The connection to the X server is broken.");
    case ReplyStatus::ok:
    case ReplyStatus::xError: break;
  }
  return fault(xError);
}

constexpr const char* kGone = "The window is no longer on screen.";

// Sent checked and never waited on: an error (the window went away) is dropped, not logged.
void unredirect(Connection& connection, xcb_window_t frame) {
  connection.discardReply(
      xcb_composite_unredirect_window_checked(connection.raw(), frame, XCB_COMPOSITE_REDIRECT_AUTOMATIC).sequence);
}

}  // namespace

CompositeCapture::CompositeCapture(Connection& connection, PixelReader& reader)
    : connection_(connection), reader_(reader) {}

CompositeCapture::~CompositeCapture() { unredirectFrames(); }

bool CompositeCapture::ready(Deadline deadline) {
  if (state_ != State::unknown) return state_ == State::ready;
  const xcb_query_extension_reply_t* composite = extensionData(connection_, &xcb_composite_id, deadline);
  if (!composite) return false;
  bool usable = false;
  if (composite->present) {
    // Composite expects a client to tell its version first; NameWindowPixmap came with 0.2.
    const auto version = connection_.request<xcb_composite_query_version_reply_t>(
        xcb_composite_query_version(connection_.raw(), 0, 4)).get(deadline);
    if (version.status == ReplyStatus::timedOut) return false;
    usable = version && (version.value->major_version > 0 || version.value->minor_version >= 2);
  }
  state_ = usable ? State::ready : State::missing;
  if (!usable) qInfo("vistrel x11: the X server has no Composite 0.2; windows cannot be captured alone");
  return usable;
}

std::vector<xcb_window_t> CompositeCapture::framesOf(std::span<const xcb_window_t> clients, Deadline deadline) {
  std::vector<xcb_window_t> frames(clients.size(), XCB_WINDOW_NONE);
  std::vector<xcb_window_t> current(clients.begin(), clients.end());
  std::vector<std::size_t> open;
  for (std::size_t i = 0; i < clients.size(); ++i) open.push_back(i);
  for (int level = 0; level < kMaxNesting && !open.empty(); ++level) {
    std::vector<Pending<xcb_query_tree_reply_t>> trees;
    trees.reserve(open.size());
    for (const std::size_t i : open) {
      trees.push_back(connection_.request<xcb_query_tree_reply_t>(xcb_query_tree(connection_.raw(), current[i])));
    }
    std::vector<std::size_t> deeper;
    for (std::size_t k = 0; k < open.size(); ++k) {
      const std::size_t i = open[k];
      const auto reply = trees[k].get(deadline);
      if (!reply || reply.value->parent == XCB_WINDOW_NONE) continue;  // gone, or the root itself
      if (reply.value->parent == connection_.root()) {
        frames[i] = current[i];
      } else {
        current[i] = reply.value->parent;
        deeper.push_back(i);
      }
    }
    open = std::move(deeper);
  }
  return frames;
}

void CompositeCapture::redirectFrames(Deadline deadline) {
  connection_.drainEvents();
  picking_ = true;
  if (!ready(deadline)) return;
  const auto clients = stackingClients(connection_, deadline);
  if (!clients.value) return;
  std::vector<xcb_window_t> frames;
  for (const xcb_window_t frame : framesOf(*clients.value, deadline)) {
    if (frame != XCB_WINDOW_NONE && !redirected_.contains(frame)) frames.push_back(frame);
  }
  std::vector<xcb_void_cookie_t> requests;
  for (const xcb_window_t frame : frames) {
    requests.push_back(
        xcb_composite_redirect_window_checked(connection_.raw(), frame, XCB_COMPOSITE_REDIRECT_AUTOMATIC));
  }
  const Checked checked = checkRequests(connection_, requests, deadline);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    // A window that went away in the meantime has nothing to undo. Without
    // an answer the redirection may have happened: undoing it is harmless.
    if (checked.status != ReplyStatus::ok || !checked.errors[i]) redirected_.insert(frames[i]);
  }
}

void CompositeCapture::unredirectFrames() {
  picking_ = false;
  for (const xcb_window_t frame : redirected_) unredirect(connection_, frame);
  redirected_.clear();
  connection_.flush();
}

platform::CaptureResult<QImage> CompositeCapture::capture(xcb_window_t client, const Rect& outer, Deadline deadline) {
  connection_.drainEvents();
  if (!ready(deadline)) {
    return fault(state_ == State::missing ? "Windows cannot be captured alone: the X server lacks the Composite "
                                            "extension."
                                          : "The X server did not answer in time.");
  }
  const xcb_window_t clients[] = {client};
  const xcb_window_t frame = framesOf(clients, deadline).front();
  if (frame == XCB_WINDOW_NONE) return fault(kGone);

  xcb_connection_t* raw = connection_.raw();
  auto geometry = connection_.request<xcb_get_geometry_reply_t>(xcb_get_geometry(raw, frame));
  auto attributes = connection_.request<xcb_get_window_attributes_reply_t>(xcb_get_window_attributes(raw, frame));
  const auto geometryReply = geometry.get(deadline);
  if (!geometryReply) return faultOf(geometryReply.status, kGone);
  const auto attributesReply = attributes.get(deadline);
  if (!attributesReply) return faultOf(attributesReply.status, kGone);
  // An unmapped window has no pixmap to name (BadMatch): minimized, or on another desktop.
  if (attributesReply.value->map_state != XCB_MAP_STATE_VIEWABLE) return fault("The window is not visible on screen.");

  const bool temporary = !redirected_.contains(frame);
  const xcb_pixmap_t pixmap = xcb_generate_id(raw);
  std::vector<xcb_void_cookie_t> requests;
  if (temporary) {
    requests.push_back(xcb_composite_redirect_window_checked(raw, frame, XCB_COMPOSITE_REDIRECT_AUTOMATIC));
  }
  requests.push_back(xcb_composite_name_window_pixmap_checked(raw, frame, pixmap));
  const Checked checked = checkRequests(connection_, requests, deadline);
  // Without an answer the redirection may have happened: undoing it is harmless.
  const bool redirectedNow = temporary && (checked.status != ReplyStatus::ok || !checked.errors.front());
  const auto release = [&] {
    // Freed unless naming it surely failed; an error of a pixmap never made is dropped.
    if (checked.status != ReplyStatus::ok || !checked.errors.back()) {
      connection_.discardReply(xcb_free_pixmap_checked(raw, pixmap).sequence);
    }
    if (redirectedNow) {
      if (picking_) {
        redirected_.insert(frame);
      } else {
        unredirect(connection_, frame);
      }
    }
    connection_.flush();
  };
  if (checked.status != ReplyStatus::ok) {
    release();
    return faultOf(checked.status, kGone);
  }
  if (const auto& error = checked.errors.back()) {
    connection_.reportError("NameWindowPixmap", frame, *error);
    release();
    return fault(error->error_code == XCB_MATCH ? "The window is not visible on screen." : kGone);
  }

  const xcb_get_geometry_reply_t& g = *geometryReply.value;
  // The window pixmap includes the border; the top-level window's position is in root coordinates.
  const Rect topLevel(g.x, g.y, g.width + 2 * g.border_width, g.height + 2 * g.border_width);
  const Rect part = outerFrameInPicture(topLevel, outer);
  const QRect area(int(part.minX()), int(part.minY()), int(part.width()), int(part.height()));
  Pixels pixels = reader_.read(pixmap, area, g.depth, attributesReply.value->visual, deadline);
  release();
  if (!pixels.unsupported.empty()) return fault("The window cannot be captured: its " + pixels.unsupported + ".");
  if (pixels.status != ReplyStatus::ok) return faultOf(pixels.status, kGone);
  if (pixels.image.isNull()) return fault("There is not enough memory for the window's image.");
  return std::move(pixels.image);
}

}  // namespace vistrel::x11
