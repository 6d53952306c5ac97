#include "platform/x11/Connection.h"

#include <xcb/randr.h>
#include <xcb/res.h>
#include <xcb/xcbext.h>
#include <xcb/xinerama.h>

#include <QSocketNotifier>
#include <QtGlobal>

#include <poll.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>

namespace vistrel::x11 {

namespace {

// How long setting up may wait for each answer of a local server.
constexpr double kSetupSeconds = 2.0;
// Past this many distinct failures, older ones may be reported again.
constexpr std::size_t kMaxRemembered = 4096;

}  // namespace

Deadline deadlineAfter(double seconds) {
  const double bounded = std::isfinite(seconds) ? std::max(seconds, 0.0) : 0.0;
  return std::chrono::steady_clock::now() +
         std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(bounded));
}

std::unique_ptr<Connection> Connection::open(std::string& error, bool watchEvents) {
  int screenNumber = 0;
  xcb_connection_t* raw = xcb_connect(nullptr, &screenNumber);
  if (const int failure = xcb_connection_has_error(raw)) {
    xcb_disconnect(raw);
    error = "cannot connect to the X server (xcb error " + std::to_string(failure) + ")";
    return nullptr;
  }
  std::unique_ptr<Connection> connection(new Connection(raw));

  const xcb_setup_t* setup = xcb_get_setup(raw);
  auto screens = xcb_setup_roots_iterator(setup);
  for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
  if (screens.rem == 0) {
    error = "the X server has no screen " + std::to_string(screenNumber);
    return nullptr;
  }
  connection->root_ = screens.data->root;
  connection->rootWidth_ = screens.data->width_in_pixels;
  connection->rootHeight_ = screens.data->height_in_pixels;
  connection->resourceMask_ = setup->resource_id_mask;

  std::vector<std::string> names;
  for (const auto& [name, field] : atomNames()) names.emplace_back(name);
  const auto atoms = connection->internAtoms(names, deadlineAfter(kSetupSeconds));
  for (std::size_t i = 0; i < atoms.size(); ++i) {
    if (atoms[i] == XCB_ATOM_NONE) {
      error = "the X server did not intern " + names[i];
      return nullptr;
    }
    connection->atoms_.*(atomNames()[i].second) = atoms[i];
  }

  // Extension presence is asked once here, with XCB's own blocking query: the
  // server has just answered the atoms, and XCB caches the answer for every
  // later request of the extension.
  xcb_prefetch_extension_data(raw, &xcb_randr_id);
  xcb_prefetch_extension_data(raw, &xcb_res_id);
  xcb_prefetch_extension_data(raw, &xcb_xinerama_id);
  const bool hasRandr = xcb_get_extension_data(raw, &xcb_randr_id)->present;
  const bool hasRes = xcb_get_extension_data(raw, &xcb_res_id)->present;
  connection->hasXinerama_ = xcb_get_extension_data(raw, &xcb_xinerama_id)->present;
  const Deadline deadline = deadlineAfter(kSetupSeconds);
  if (hasRandr) {
    auto version = connection->request<xcb_randr_query_version_reply_t>(xcb_randr_query_version(raw, 1, 5));
    if (auto reply = version.get(deadline)) {
      connection->hasMonitors_ = reply.value->major_version > 1 || reply.value->minor_version >= 5;
    }
  }
  if (hasRes) {
    auto version = connection->request<xcb_res_query_version_reply_t>(xcb_res_query_version(raw, 1, 2));
    if (auto reply = version.get(deadline)) {
      connection->hasResourceIds_ = reply.value->server_major > 1 || reply.value->server_minor >= 2;
    }
  }
  if (!connection->hasMonitors_) qInfo("vistrel x11: no RandR 1.5 monitors; the root window is the one screen");
  if (!connection->hasResourceIds_) {
    qInfo("vistrel x11: no X-Resource 1.2; windows without _NET_WM_PID count as programs of their own");
  }

  if (watchEvents) {
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(raw, connection->root_, XCB_CW_EVENT_MASK, &mask);
  }
  if (!connection->flush()) {
    error = "the connection to the X server broke while setting up";
    return nullptr;
  }
  if (!watchEvents) return connection;
  Connection* self = connection.get();
  self->notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(raw), QSocketNotifier::Read);
  QObject::connect(self->notifier_.get(), &QSocketNotifier::activated, self->notifier_.get(), [self] {
    // A broken connection keeps its socket readable: stop listening to it.
    if (xcb_connection_has_error(self->connection_)) {
      self->notifier_->setEnabled(false);
      if (self->lossHandler_) {
        self->lossHandler_();
      } else {
        self->isBroken();
      }
      return;
    }
    self->drainEvents();
  });
  return connection;
}

Connection::Connection(xcb_connection_t* connection) : connection_(connection) {}

Connection::~Connection() {
  notifier_.reset();
  xcb_disconnect(connection_);
}

std::vector<xcb_atom_t> Connection::internAtoms(const std::vector<std::string>& names, Deadline deadline) {
  std::vector<Pending<xcb_intern_atom_reply_t>> pending;
  pending.reserve(names.size());
  for (const auto& name : names) {
    pending.push_back(request<xcb_intern_atom_reply_t>(
        xcb_intern_atom(connection_, 0, std::uint16_t(name.size()), name.data())));
  }
  std::vector<xcb_atom_t> atoms;
  atoms.reserve(names.size());
  for (auto& p : pending) {
    auto reply = p.get(deadline);
    atoms.push_back(reply ? reply.value->atom : xcb_atom_t(XCB_ATOM_NONE));
  }
  return atoms;
}

bool Connection::isBroken() {
  const int failure = xcb_connection_has_error(connection_);
  if (failure && !reportedBroken_) {
    reportedBroken_ = true;
    qWarning("vistrel x11: the connection to the X server broke (xcb error %d)", failure);
  }
  return failure != 0;
}

bool Connection::flush() { return xcb_flush(connection_) > 0 && !isBroken(); }

bool Connection::waitReadable(Deadline deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  if (left.count() <= 0) return false;
  pollfd descriptor{xcb_get_file_descriptor(connection_), POLLIN, 0};
  const int ready = ::poll(&descriptor, 1, int(std::min<long long>(left.count(), INT_MAX)));
  return ready > 0 || (ready < 0 && errno == EINTR);
}

void* Connection::waitForReply(unsigned sequence, Deadline deadline, ReplyStatus& status,
                               xcb_generic_error_t** error) {
  *error = nullptr;
  if (!flush()) {
    discardReply(sequence);
    status = ReplyStatus::disconnected;
    return nullptr;
  }
  for (;;) {
    void* reply = nullptr;
    if (xcb_poll_for_reply(connection_, sequence, &reply, error)) {
      if (reply) {
        status = ReplyStatus::ok;
      } else if (*error) {
        status = ReplyStatus::xError;
      } else {
        isBroken();
        status = ReplyStatus::disconnected;
      }
      return reply;
    }
    if (isBroken()) {
      status = ReplyStatus::disconnected;
      return nullptr;
    }
    if (!waitReadable(deadline)) {
      // One last look: the answer may have come with the last bytes read.
      if (xcb_poll_for_reply(connection_, sequence, &reply, error)) {
        status = reply ? ReplyStatus::ok : (*error ? ReplyStatus::xError : ReplyStatus::disconnected);
        return reply;
      }
      discardReply(sequence);
      status = ReplyStatus::timedOut;
      return nullptr;
    }
  }
}

void Connection::waitForRootChange(Deadline deadline) {
  while (!drainEvents() && !isBroken()) {
    if (!waitReadable(deadline)) return;
  }
}

bool Connection::drainEvents() {
  bool rootChanged = false;
  while (XPtr<xcb_generic_event_t> event{xcb_poll_for_event(connection_)}) {
    const std::uint8_t kind = event->response_type & 0x7f;
    if (kind == 0) {
      const auto& error = *reinterpret_cast<const xcb_generic_error_t*>(event.get());
      reportError("a request", error.resource_id, error);
    } else if (kind == XCB_PROPERTY_NOTIFY) {
      rootChanged |= reinterpret_cast<const xcb_property_notify_event_t*>(event.get())->window == root_;
    }
  }
  return rootChanged;
}

void Connection::reportError(const char* what, std::uint32_t window, const xcb_generic_error_t& error) {
  if (reported_.size() >= kMaxRemembered) reported_.clear();
  if (!reported_.emplace(window, what, error.error_code).second) return;
  qWarning("vistrel x11: %s on window 0x%x failed: X error %u (request %u.%u)", what, window,
           unsigned(error.error_code), unsigned(error.major_code), unsigned(error.minor_code));
}

}  // namespace vistrel::x11
