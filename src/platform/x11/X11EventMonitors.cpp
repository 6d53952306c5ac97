#include "platform/x11/X11EventMonitors.h"

#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <QGuiApplication>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <cmath>
#include <limits>

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
