#pragma once
// The pointer's picture from XFixes, drawn into a screenshot: X leaves the
// cursor out of every image read off the screen.

#include <xcb/xfixes.h>

#include <QImage>
#include <QPoint>

#include <optional>

#include "platform/x11/Connection.h"

namespace vistrel::x11 {

class CursorOverlay {
 public:
  explicit CursorOverlay(Connection& connection);

  // Asks for the cursor's image and place; none when XFixes is missing.
  // Send it before the screenshot's own request so both travel together.
  std::optional<Pending<xcb_xfixes_get_cursor_image_reply_t>> request(Deadline deadline);
  // Draws the cursor over `image`, whose top-left pixel is `origin` in root
  // coordinates. Nothing is drawn when the answer does not come in time.
  void paint(Pending<xcb_xfixes_get_cursor_image_reply_t>& pending, QImage& image, QPoint origin, Deadline deadline);
  // The same with an answer already read.
  static void paint(const xcb_xfixes_get_cursor_image_reply_t& cursor, QImage& image, QPoint origin);

 private:
  Connection& connection_;
  enum class State { unknown, ready, missing } state_ = State::unknown;
};

}  // namespace vistrel::x11
