#include "platform/x11/ServerSync.h"

#include <xcb/xcbext.h>

namespace vistrel::x11 {

namespace {

// A request with a reply behind everything sent so far: once its reply is
// read, XCB knows every earlier request is done.
bool roundTrip(Connection& connection, Deadline deadline, ReplyStatus& status) {
  auto focus = connection.request<xcb_get_input_focus_reply_t>(xcb_get_input_focus(connection.raw()));
  status = focus.get(deadline).status;
  return status == ReplyStatus::ok;
}

}  // namespace

Checked checkRequests(Connection& connection, std::span<const xcb_void_cookie_t> requests, Deadline deadline) {
  Checked checked;
  if (!roundTrip(connection, deadline, checked.status)) {
    for (const auto& request : requests) connection.discardReply(request.sequence);
    return checked;
  }
  for (const auto& request : requests) {
    void* reply = nullptr;
    xcb_generic_error_t* error = nullptr;
    // Done requests answer at once: with their error, or with nothing.
    if (!xcb_poll_for_reply(connection.raw(), request.sequence, &reply, &error)) {
      connection.discardReply(request.sequence);
    }
    std::free(reply);
    checked.errors.emplace_back(error);
  }
  return checked;
}

const xcb_query_extension_reply_t* extensionData(Connection& connection, xcb_extension_t* extension,
                                                 Deadline deadline) {
  // XCB's own query blocks until the server answers: send it, and look only
  // once a bounded round trip behind it has come back.
  xcb_prefetch_extension_data(connection.raw(), extension);
  ReplyStatus status;
  if (!roundTrip(connection, deadline, status)) return nullptr;
  return xcb_get_extension_data(connection.raw(), extension);
}

const xcb_screen_t* screenOf(const Connection& connection) {
  for (auto it = xcb_setup_roots_iterator(xcb_get_setup(connection.raw())); it.rem > 0; xcb_screen_next(&it)) {
    if (it.data->root == connection.root()) return it.data;
  }
  return nullptr;
}

int screenNumberOf(const Connection& connection) {
  int number = 0;
  for (auto it = xcb_setup_roots_iterator(xcb_get_setup(connection.raw())); it.rem > 0; xcb_screen_next(&it)) {
    if (it.data->root == connection.root()) return number;
    ++number;
  }
  return -1;
}

}  // namespace vistrel::x11
