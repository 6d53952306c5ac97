#include "platform/x11/X11EventMonitors.h"

#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <QGuiApplication>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "base/LayoutLog.h"

namespace vistrel::x11 {

X11EventMonitors::X11EventMonitors() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (!x11 || !x11->connection()) return;
  // Qt has asked for the extension already: this reads its cached answer.
  const xcb_query_extension_reply_t* xinput = xcb_get_extension_data(x11->connection(), &xcb_input_id);
  if (xinput && xinput->present) xinputOpcode_ = xinput->major_opcode;
  qGuiApp->installNativeEventFilter(this);
}

bool X11EventMonitors::grabInput(QWindow& window) {
  if (!window.setKeyboardGrabEnabled(true)) return false;
  if (!window.setMouseGrabEnabled(true)) {
    window.setKeyboardGrabEnabled(false);  // all or nothing
    return false;
  }
  return true;
}

bool X11EventMonitors::grabKeyboard(QWindow& window) { return window.setKeyboardGrabEnabled(true); }

void X11EventMonitors::releaseInput(QWindow& window) {
  window.setMouseGrabEnabled(false);
  window.setKeyboardGrabEnabled(false);
}

namespace {

// Selects `mask` (0: nothing) of every master device's events on the root window; false when refused.
bool selectRootEvents(std::uint32_t mask) {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
  if (!connection) return false;
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  struct {
    xcb_input_event_mask_t head;
    std::uint32_t mask;
  } selection{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, mask};
  const xcb_void_cookie_t cookie =
      xcb_input_xi_select_events_checked(connection, screen->root, 1, &selection.head);
  xcb_generic_error_t* error = xcb_request_check(connection, cookie);
  if (!error) return true;
  LayoutLog::write("x11 xi-select-failed error=" + std::to_string(int(error->error_code)));
  std::free(error);
  return false;
}

}  // namespace

bool X11EventMonitors::watchClicks(std::function<void(platform::PointerButton)> handler) {
  if (xinputOpcode_ == 0 || !selectRootEvents(XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS)) return false;
  clicks_ = std::move(handler);
  return true;
}

void X11EventMonitors::stopWatchingClicks() {
  if (!clicks_) return;
  clicks_ = nullptr;
  selectRootEvents(0);
}

std::optional<QPointF> X11EventMonitors::pointerEventPosition(std::uint64_t timestamp, QPointF near) const {
  std::optional<QPointF> best;
  double bestDistance = std::numeric_limits<double>::infinity();
  const std::size_t noted = std::min(count_, seen_.size());
  for (std::size_t i = 0; i < noted; ++i) {
    const Seen& event = seen_[i];
    if (event.time != std::uint32_t(timestamp)) continue;
    const double distance = std::hypot(event.root.x() - near.x(), event.root.y() - near.y());
    if (distance < bestDistance) {
      bestDistance = distance;
      best = event.root;
    }
  }
  return best;
}

bool X11EventMonitors::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  Seen seen;
  switch (event->response_type & 0x7F) {
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE:
    case XCB_MOTION_NOTIFY: {
      // The three share one layout.
      const auto* pointer = static_cast<const xcb_button_press_event_t*>(message);
      seen = {pointer->time, QPointF(pointer->root_x, pointer->root_y)};
      break;
    }
    case XCB_GE_GENERIC: {
      const auto* generic = static_cast<const xcb_ge_generic_event_t*>(message);
      if (xinputOpcode_ == 0 || generic->extension != xinputOpcode_) return false;
      if (generic->event_type == XCB_INPUT_RAW_BUTTON_PRESS) {
        // Physical buttons 1 and 3; the wheel's 4 to 7 and the rest are no clicks.
        const auto button = static_cast<const xcb_input_raw_button_press_event_t*>(message)->detail;
        if (clicks_ && (button == 1 || button == 3)) {
          clicks_(button == 1 ? platform::PointerButton::left : platform::PointerButton::right);
        }
        return false;
      }
      if (generic->event_type != XCB_INPUT_BUTTON_PRESS && generic->event_type != XCB_INPUT_BUTTON_RELEASE &&
          generic->event_type != XCB_INPUT_MOTION) {
        return false;
      }
      // Motion events share the button events' layout; positions are 16.16 fixed point.
      const auto* pointer = static_cast<const xcb_input_button_press_event_t*>(message);
      seen = {pointer->time, QPointF(pointer->root_x / 65536.0, pointer->root_y / 65536.0)};
      break;
    }
    default: return false;
  }
  seen_[count_ % seen_.size()] = seen;
  ++count_;
  return false;
}

}  // namespace vistrel::x11
