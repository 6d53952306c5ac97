#pragma once
// Input for the capture overlays while a selection runs. Keys typed anywhere
// must reach the selection, whatever program had the focus: the overlay takes
// the keyboard and the pointer for the time of the selection.

#include <QPointF>

#include <cstdint>
#include <functional>
#include <optional>

class QWindow;

namespace vistrel::platform {

enum class PointerButton { left, right };

class EventMonitors {
 public:
  virtual ~EventMonitors() = default;
  // Sends every key and pointer event to `window` until releaseInput. False
  // when it cannot (another program holds a grab, or the window is not yet
  // on screen); nothing is held then.
  virtual bool grabInput(QWindow& window) = 0;
  // The keyboard alone, for a flow that must see keys typed anywhere while
  // the pointer keeps working for other programs (synthetic wheel clicks go
  // to the window under the pointer only while nothing holds the pointer).
  // Undone by releaseInput; false as for grabInput.
  virtual bool grabKeyboard(QWindow& window) = 0;
  // Safe to call when nothing is held.
  virtual void releaseInput(QWindow& window) = 0;

  // Where the windowing system put the pointer event that Qt delivers with
  // `timestamp` (QInputEvent::timestamp()), the one of that time nearest to
  // `near`: in Qt's global coordinates unscaled, that is screen points with
  // the origin at the top-left of the box holding every screen, y down. Qt
  // rounds positions on a scaled screen to whole logical units; this has the
  // point. None when the event was not seen.
  virtual std::optional<QPointF> pointerEventPosition(std::uint64_t timestamp, QPointF near) const = 0;

  // Calls `handler` on the main thread at every press of the left or right
  // pointer button, in any program, read without taking the pointer from
  // anyone, until stopWatchingClicks (one watch at a time). False when the
  // windowing system does not tell: nothing is watched then.
  virtual bool watchClicks(std::function<void(PointerButton)> handler) {
    (void)handler;
    return false;
  }
  // Safe to call when nothing is watched.
  virtual void stopWatchingClicks() {}
};

}  // namespace vistrel::platform
