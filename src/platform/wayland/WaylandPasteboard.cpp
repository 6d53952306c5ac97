#include "platform/wayland/WaylandPasteboard.h"

#include <QGuiApplication>

namespace vistrel::wayland {

platform::Pasteboard& WaylandPasteboard::current() const {
  if (!dataControl_.available() || QGuiApplication::focusWindow()) return qt_;
  return dataControl_;
}

}  // namespace vistrel::wayland
