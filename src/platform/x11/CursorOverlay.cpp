#include "platform/x11/CursorOverlay.h"

#include <QPainter>
#include <QtGlobal>

#include <cstring>

#include "platform/x11/ServerSync.h"

namespace vistrel::x11 {

CursorOverlay::CursorOverlay(Connection& connection) : connection_(connection) {}

std::optional<Pending<xcb_xfixes_get_cursor_image_reply_t>> CursorOverlay::request(Deadline deadline) {
  if (state_ == State::unknown) {
    const xcb_query_extension_reply_t* fixes = extensionData(connection_, &xcb_xfixes_id, deadline);
    if (!fixes) return std::nullopt;
    bool ready = false;
    if (fixes->present) {
      // XFixes refuses every other request of a client that has not told its version.
      const auto version = connection_.request<xcb_xfixes_query_version_reply_t>(
          xcb_xfixes_query_version(connection_.raw(), 4, 0)).get(deadline);
      if (version.status == ReplyStatus::timedOut) return std::nullopt;
      ready = version && version.value->major_version >= 1;
    }
    state_ = ready ? State::ready : State::missing;
    if (state_ == State::missing) qInfo("vistrel x11: the X server has no XFixes; screenshots leave out the pointer");
  }
  if (state_ != State::ready) return std::nullopt;
  return connection_.request<xcb_xfixes_get_cursor_image_reply_t>(xcb_xfixes_get_cursor_image(connection_.raw()));
}

void CursorOverlay::paint(Pending<xcb_xfixes_get_cursor_image_reply_t>& pending, QImage& image, QPoint origin,
                          Deadline deadline) {
  const auto reply = pending.get(deadline);
  if (reply) paint(*reply.value, image, origin);
}

void CursorOverlay::paint(const xcb_xfixes_get_cursor_image_reply_t& cursor, QImage& image, QPoint origin) {
  const int count = xcb_xfixes_get_cursor_image_cursor_image_length(&cursor);
  if (cursor.width == 0 || cursor.height == 0 || count < int(cursor.width) * int(cursor.height)) return;
  // XFixes hands out ARGB words with premultiplied alpha, in the host's byte order.
  QImage picture(cursor.width, cursor.height, QImage::Format_ARGB32_Premultiplied);
  if (picture.isNull()) return;
  const std::uint32_t* pixels = xcb_xfixes_get_cursor_image_cursor_image(&cursor);
  for (int y = 0; y < cursor.height; ++y) {
    std::memcpy(picture.scanLine(y), pixels + std::size_t(y) * cursor.width, std::size_t(cursor.width) * 4);
  }
  const QPoint topLeft(cursor.x - cursor.xhot - origin.x(), cursor.y - cursor.yhot - origin.y());
  QPainter painter(&image);
  painter.drawImage(topLeft, picture);
}

}  // namespace vistrel::x11
