#pragma once
// Bounded waits for what XCB would otherwise wait on without a limit (the
// outcome of requests that have no reply, sent with the _checked variants,
// and the presence of an extension), and the connection's screen as the
// server described it at setup.

#include <xcb/xcb.h>

#include <span>
#include <vector>

#include "platform/x11/Connection.h"

namespace vistrel::x11 {

struct Checked {
  ReplyStatus status = ReplyStatus::disconnected;
  // One per request, in order; null where the request succeeded. Empty unless status is ok.
  std::vector<XPtr<xcb_generic_error_t>> errors;
};

// Waits until the server has handled `requests` (sent with *_checked) and
// collects their errors. On a timeout or a broken connection the requests'
// outcomes are dropped unread.
Checked checkRequests(Connection& connection, std::span<const xcb_void_cookie_t> requests, Deadline deadline);

// The server's answer to whether `extension` is present (XCB's cached one),
// asked without blocking past the deadline; null when no answer came in time.
const xcb_query_extension_reply_t* extensionData(Connection& connection, xcb_extension_t* extension,
                                                 Deadline deadline);

// The setup's description of the connection's screen (the one whose root the
// connection uses) and its number; null and -1 when the setup lacks it.
const xcb_screen_t* screenOf(const Connection& connection);
int screenNumberOf(const Connection& connection);

}  // namespace vistrel::x11
