#include "platform/wayland/WaylandConnection.h"

#include <poll.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "fake-input-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

namespace vistrel::wayland {

namespace {

// The versions this backend speaks; a compositor offering less gets what it offers.
constexpr std::uint32_t kOutputVersion = 3;
constexpr std::uint32_t kXdgOutputVersion = 3;
constexpr std::uint32_t kScreencopyVersion = 3;
constexpr std::uint32_t kVirtualPointerVersion = 1;
constexpr std::uint32_t kSeatVersion = 1;
constexpr std::uint32_t kDataControlVersion = 1;
// pointer_motion_absolute came with version 3.
constexpr std::uint32_t kFakeInputVersion = 3;

template <class T>
T* bind(wl_registry* registry, std::uint32_t name, const wl_interface* interface, std::uint32_t offered,
        std::uint32_t wanted) {
  return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

bool isTransposed(std::int32_t transform) {
  return transform == WL_OUTPUT_TRANSFORM_90 || transform == WL_OUTPUT_TRANSFORM_270 ||
         transform == WL_OUTPUT_TRANSFORM_FLIPPED_90 || transform == WL_OUTPUT_TRANSFORM_FLIPPED_270;
}

const wl_output_listener kOutputListener = {
    .geometry = [](void* data, wl_output*, std::int32_t x, std::int32_t y, std::int32_t, std::int32_t, std::int32_t,
                   const char*, const char*, std::int32_t transform) {
      auto* output = static_cast<Output*>(data);
      output->position = {double(x), double(y)};
      output->transform = transform;
    },
    .mode = [](void* data, wl_output*, std::uint32_t flags, std::int32_t width, std::int32_t height, std::int32_t) {
      if (flags & WL_OUTPUT_MODE_CURRENT) static_cast<Output*>(data)->mode = {double(width), double(height)};
    },
    .done = [](void*, wl_output*) {},
    .scale = [](void* data, wl_output*, std::int32_t factor) { static_cast<Output*>(data)->scale = factor; },
    .name = [](void*, wl_output*, const char*) {},
    .description = [](void*, wl_output*, const char*) {},
};

const zxdg_output_v1_listener kXdgOutputListener = {
    .logical_position = [](void* data, zxdg_output_v1*, std::int32_t x, std::int32_t y) {
      auto* output = static_cast<Output*>(data);
      const Rect current = output->logical.value_or(Rect());
      output->logical = Rect(x, y, current.w, current.h);
    },
    .logical_size = [](void* data, zxdg_output_v1*, std::int32_t width, std::int32_t height) {
      auto* output = static_cast<Output*>(data);
      const Rect current = output->logical.value_or(Rect());
      output->logical = Rect(current.x, current.y, width, height);
    },
    .done = [](void*, zxdg_output_v1*) {},
    .name = [](void* data, zxdg_output_v1*, const char* name) { static_cast<Output*>(data)->name = name; },
    .description = [](void*, zxdg_output_v1*, const char*) {},
};

void release(Output& output) {
  if (output.xdgOutput) zxdg_output_v1_destroy(output.xdgOutput);
  if (wl_output_get_version(output.output) >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
    wl_output_release(output.output);
  } else {
    wl_output_destroy(output.output);
  }
}

}  // namespace

Rect Output::layoutRect() const {
  if (logical && logical->w > 0 && logical->h > 0) return *logical;
  const Size pixels = isTransposed(transform) ? Size{mode.height, mode.width} : mode;
  const double s = scale > 0 ? scale : 1;
  return {position.x, position.y, pixels.width / s, pixels.height / s};
}

double Output::pixelScale() const {
  const Rect layout = layoutRect();
  const double pixels = isTransposed(transform) ? mode.height : mode.width;
  if (layout.w <= 0 || pixels <= 0) return scale > 0 ? scale : 1;
  return pixels / layout.w;
}

std::unique_ptr<WaylandConnection> WaylandConnection::connect(Deadline deadline) {
  wl_display* display = wl_display_connect(nullptr);
  if (!display) return nullptr;
  std::unique_ptr<WaylandConnection> connection(new WaylandConnection());
  connection->display_ = display;
  connection->registry_ = wl_display_get_registry(display);
  static const wl_registry_listener listener = {&WaylandConnection::onGlobal, &WaylandConnection::onGlobalRemove};
  wl_registry_add_listener(connection->registry_, &listener, connection.get());
  // The first sync brings the globals; the second the outputs' descriptions.
  if (!connection->sync(deadline)) return nullptr;
  connection->describeOutputs();
  if (!connection->sync(deadline)) return nullptr;
  return connection;
}

WaylandConnection::~WaylandConnection() {
  for (auto& output : outputs_) release(*output);
  if (screencopy_) zwlr_screencopy_manager_v1_destroy(screencopy_);
  notifier_.reset();
  if (virtualPointer_) zwlr_virtual_pointer_manager_v1_destroy(virtualPointer_);
  if (dataControl_) zwlr_data_control_manager_v1_destroy(dataControl_);
  if (fakeInput_) org_kde_kwin_fake_input_destroy(fakeInput_);
  if (seat_) wl_seat_destroy(seat_);
  if (xdgOutputManager_) zxdg_output_manager_v1_destroy(xdgOutputManager_);
  if (shm_) wl_shm_destroy(shm_);
  if (registry_) wl_registry_destroy(registry_);
  wl_display_flush(display_);
  wl_display_disconnect(display_);
}

void WaylandConnection::onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                                 std::uint32_t version) {
  auto* self = static_cast<WaylandConnection*>(data);
  const std::string_view which(interface);
  if (which == wl_shm_interface.name && !self->shm_) {
    self->shm_ = bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
  } else if (which == wl_output_interface.name) {
    self->addOutput(name, version);
  } else if (which == zxdg_output_manager_v1_interface.name && !self->xdgOutputManager_) {
    self->xdgOutputManager_ =
        bind<zxdg_output_manager_v1>(registry, name, &zxdg_output_manager_v1_interface, version, kXdgOutputVersion);
    self->describeOutputs();
  } else if (which == zwlr_screencopy_manager_v1_interface.name && !self->screencopy_) {
    self->screencopyVersion_ = std::min(version, kScreencopyVersion);
    self->screencopy_ = bind<zwlr_screencopy_manager_v1>(registry, name, &zwlr_screencopy_manager_v1_interface,
                                                         version, kScreencopyVersion);
  } else if (which == zwlr_virtual_pointer_manager_v1_interface.name && !self->virtualPointer_) {
    self->virtualPointer_ = bind<zwlr_virtual_pointer_manager_v1>(
        registry, name, &zwlr_virtual_pointer_manager_v1_interface, version, kVirtualPointerVersion);
  } else if (which == zwlr_data_control_manager_v1_interface.name && !self->dataControl_) {
    self->dataControl_ = bind<zwlr_data_control_manager_v1>(registry, name, &zwlr_data_control_manager_v1_interface,
                                                             version, kDataControlVersion);
  } else if (which == org_kde_kwin_fake_input_interface.name && !self->fakeInput_ && version >= kFakeInputVersion) {
    self->fakeInput_ =
        bind<org_kde_kwin_fake_input>(registry, name, &org_kde_kwin_fake_input_interface, version, kFakeInputVersion);
  } else if (which == wl_seat_interface.name && !self->seat_) {
    self->seat_ = bind<wl_seat>(registry, name, &wl_seat_interface, version, kSeatVersion);
  }
}

void WaylandConnection::onGlobalRemove(void* data, wl_registry*, std::uint32_t name) {
  auto* self = static_cast<WaylandConnection*>(data);
  auto& outputs = self->outputs_;
  const auto it = std::find_if(outputs.begin(), outputs.end(), [name](const auto& o) { return o->globalName == name; });
  if (it == outputs.end()) return;
  release(**it);
  outputs.erase(it);
}

void WaylandConnection::addOutput(std::uint32_t name, std::uint32_t version) {
  auto output = std::make_unique<Output>();
  output->globalName = name;
  output->output = bind<wl_output>(registry_, name, &wl_output_interface, version, kOutputVersion);
  wl_output_add_listener(output->output, &kOutputListener, output.get());
  outputs_.push_back(std::move(output));
  describeOutputs();
}

void WaylandConnection::describeOutputs() {
  if (!xdgOutputManager_) return;
  for (auto& output : outputs_) {
    if (output->xdgOutput) continue;
    output->xdgOutput = zxdg_output_manager_v1_get_xdg_output(xdgOutputManager_, output->output);
    zxdg_output_v1_add_listener(output->xdgOutput, &kXdgOutputListener, output.get());
  }
}

std::vector<const Output*> WaylandConnection::outputs() const {
  std::vector<const Output*> described;
  for (const auto& output : outputs_) {
    if (output->mode.width > 0 && output->mode.height > 0) described.push_back(output.get());
  }
  return described;
}

std::vector<Rect> WaylandConnection::outputAreas() const {
  std::vector<Rect> areas;
  for (const Output* output : outputs()) areas.push_back(output->layoutRect());
  return areas;
}

const Output* WaylandConnection::output(std::uint32_t globalName) const {
  for (const Output* output : outputs()) {
    if (output->globalName == globalName) return output;
  }
  return nullptr;
}

bool WaylandConnection::failed() const { return wl_display_get_error(display_) != 0; }

void WaylandConnection::dispatchInEventLoop() {
  if (notifier_) return;
  notifier_ = std::make_unique<QSocketNotifier>(wl_display_get_fd(display_), QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
    if (failed()) {
      notifier_->setEnabled(false);
      return;
    }
    // Readable: reading does not block. Handlers may queue requests: flush them.
    if (wl_display_prepare_read(display_) == 0) wl_display_read_events(display_);
    wl_display_dispatch_pending(display_);
    wl_display_flush(display_);
  });
}

bool WaylandConnection::dispatchOnce(Deadline deadline) {
  if (failed()) return false;
  while (wl_display_prepare_read(display_) != 0) {
    if (wl_display_dispatch_pending(display_) < 0) return false;
  }
  // Flush what we queued; a full socket waits for room within the deadline.
  while (wl_display_flush(display_) < 0) {
    pollfd out{wl_display_get_fd(display_), POLLOUT, 0};
    if (errno != EAGAIN || ::poll(&out, 1, millisecondsLeft(deadline)) <= 0) {
      wl_display_cancel_read(display_);
      return false;
    }
  }
  pollfd in{wl_display_get_fd(display_), POLLIN, 0};
  int ready;
  do {
    ready = ::poll(&in, 1, millisecondsLeft(deadline));
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) {
    wl_display_cancel_read(display_);
    return false;
  }
  if (wl_display_read_events(display_) < 0) return false;
  return wl_display_dispatch_pending(display_) >= 0;
}

bool WaylandConnection::dispatchUntil(const std::function<bool()>& done, Deadline deadline) {
  if (wl_display_dispatch_pending(display_) < 0) return false;
  while (!done()) {
    if (!dispatchOnce(deadline)) return false;
  }
  return true;
}

bool WaylandConnection::sync(Deadline deadline) {
  bool done = false;
  wl_callback* callback = wl_display_sync(display_);
  static const wl_callback_listener listener = {
      .done = [](void* data, wl_callback*, std::uint32_t) { *static_cast<bool*>(data) = true; }};
  wl_callback_add_listener(callback, &listener, &done);
  const bool answered = dispatchUntil([&done] { return done; }, deadline);
  wl_callback_destroy(callback);
  return answered;
}

}  // namespace vistrel::wayland
