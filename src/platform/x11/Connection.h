#pragma once
// One XCB connection of the backend's own, with bounded reply waits and X
// error reporting. Qt keeps its own connection for its windows; this one only
// asks questions and sends requests, so its replies and errors never mix with
// Qt's event stream.
//
// Main thread only. XCB has no per-request timeout: a wait polls the
// connection's socket against a deadline, and a reply that has not come by
// then is discarded when it arrives.

#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/x11/Atoms.h"

class QSocketNotifier;

namespace vistrel::x11 {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
// A reply or error that XCB allocated with malloc.
template <class T>
using XPtr = std::unique_ptr<T, FreeDeleter>;

using Deadline = std::chrono::steady_clock::time_point;
// The deadline `seconds` from now.
Deadline deadlineAfter(double seconds);

enum class ReplyStatus {
  ok,
  xError,        // the server refused the request (the window is gone, most often)
  timedOut,      // no answer before the deadline
  disconnected,  // the connection to the server is broken
};

template <class T>
struct Reply {
  ReplyStatus status = ReplyStatus::disconnected;
  XPtr<T> value;                      // present exactly when status is ok
  XPtr<xcb_generic_error_t> error;    // present when status is xError
  explicit operator bool() const { return status == ReplyStatus::ok; }
};

class Connection;

// A request whose reply has not been read yet. Reading it is optional: one
// that is dropped unread has its reply discarded, so a batch can stop early.
template <class T>
class Pending {
 public:
  Pending(Connection& connection, unsigned sequence) : connection_(&connection), sequence_(sequence) {}
  Pending(Pending&& other) noexcept
      : connection_(std::exchange(other.connection_, nullptr)), sequence_(other.sequence_) {}
  Pending& operator=(Pending&&) = delete;
  ~Pending();

  // Waits for the reply until the deadline. Call at most once.
  Reply<T> get(Deadline deadline);

 private:
  Connection* connection_;
  unsigned sequence_;
};

class Connection {
 public:
  // Connects to $DISPLAY. On failure returns none and sets `error`. A
  // connection that does not watch events listens to no root property and
  // has no event-loop hook: it may then be used from another thread (one at
  // a time), which reads its events itself.
  static std::unique_ptr<Connection> open(std::string& error, bool watchEvents = true);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  xcb_connection_t* raw() const { return connection_; }
  xcb_window_t root() const { return root_; }
  // The root window's size: the extent struts are measured from.
  std::uint16_t rootWidth() const { return rootWidth_; }
  std::uint16_t rootHeight() const { return rootHeight_; }
  const Atoms& atoms() const { return atoms_; }

  // The part of an X id that names the client owning it: ids of one client
  // share their base (id & ~resource mask).
  std::uint32_t clientBase(std::uint32_t id) const { return id & ~resourceMask_; }

  // Optional extensions: without RandR 1.5 the root window is the one screen;
  // without X-Resource 1.2 windows lacking _NET_WM_PID get synthetic owners;
  // without Xinerama there are no heads to set against RandR's monitors.
  bool hasMonitors() const { return hasMonitors_; }
  bool hasXinerama() const { return hasXinerama_; }
  bool hasResourceIds() const { return hasResourceIds_; }

  template <class T, class Cookie>
  Pending<T> request(Cookie cookie) { return Pending<T>(*this, cookie.sequence); }

  // Interns atoms by name; a name the server did not answer for in time is None.
  std::vector<xcb_atom_t> internAtoms(const std::vector<std::string>& names, Deadline deadline);

  // Sends what is buffered. Writes are requests: they succeed once sent.
  bool flush();
  bool isBroken();

  // Runs, once, when the event loop finds the connection broken (the X server
  // went away); without one, the break is only said on stderr.
  void setLossHandler(std::function<void()> handler) { lossHandler_ = std::move(handler); }

  // Waits until a property of the root window changes (the client lists, the
  // active window, the work area) or the deadline passes.
  void waitForRootChange(Deadline deadline);

  // Writes an X error to stderr with the window id in hex, once per window,
  // request and error code.
  void reportError(const char* what, std::uint32_t window, const xcb_generic_error_t& error);
  // Reads what the server sent on its own (errors of requests without replies
  // are logged; events are dropped). Returns whether a root property changed.
  // Also runs from the event loop whenever the server sends something, so
  // nothing piles up between calls.
  bool drainEvents();

  // Used by Pending.
  void* waitForReply(unsigned sequence, Deadline deadline, ReplyStatus& status, xcb_generic_error_t** error);
  void discardReply(unsigned sequence) { xcb_discard_reply(connection_, sequence); }

 private:
  explicit Connection(xcb_connection_t* connection);
  bool waitReadable(Deadline deadline);

  xcb_connection_t* connection_;
  xcb_window_t root_ = 0;
  std::uint16_t rootWidth_ = 0;
  std::uint16_t rootHeight_ = 0;
  std::uint32_t resourceMask_ = 0;
  bool hasMonitors_ = false;
  bool hasXinerama_ = false;
  bool hasResourceIds_ = false;
  bool reportedBroken_ = false;
  Atoms atoms_;
  std::set<std::tuple<std::uint32_t, std::string, int>> reported_;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::function<void()> lossHandler_;
};

template <class T>
Pending<T>::~Pending() {
  if (connection_) connection_->discardReply(sequence_);
}

template <class T>
Reply<T> Pending<T>::get(Deadline deadline) {
  Reply<T> reply;
  if (!connection_) return reply;
  xcb_generic_error_t* error = nullptr;
  void* value = std::exchange(connection_, nullptr)->waitForReply(sequence_, deadline, reply.status, &error);
  reply.value.reset(static_cast<T*>(value));
  reply.error.reset(error);
  return reply;
}

}  // namespace vistrel::x11
