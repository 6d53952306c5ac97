#pragma once
// Input for a selection overlay on X11: an active keyboard and pointer grab,
// or a keyboard grab alone, through Qt's own connection (the overlay is a Qt
// window, and Qt routes the grabbed events to it); and the root positions of
// the latest pointer events Qt received, read off the events themselves (core
// or XInput 2) before Qt rounds them to its logical units. Main thread only.

#include <QAbstractNativeEventFilter>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/EventMonitors.h"

namespace vistrel::x11 {

class X11EventMonitors : public platform::EventMonitors, private QAbstractNativeEventFilter {
 public:
  // Watches the pointer events of the running application's connection; sees
  // none without one (no GUI application, another platform plugin).
  X11EventMonitors();

  // One attempt: a window still being mapped, or a grab held by another
  // program, gives false; the caller retries.
  bool grabInput(QWindow& window) override;
  bool grabKeyboard(QWindow& window) override;
  void releaseInput(QWindow& window) override;
  std::optional<QPointF> pointerEventPosition(std::uint64_t timestamp, QPointF near) const override;
  // XInput 2 raw button presses selected on the root window: the server sends
  // them whoever holds the pointer, and they change nothing for other clients.
  bool watchClicks(std::function<void(platform::PointerButton)> handler) override;
  void stopWatchingClicks() override;

 private:
  // Takes note of `event` when it is a pointer press, release or motion, core
  // or of XInput 2. Never consumes it.
  bool nativeEventFilter(const QByteArray& eventType, void* event, qintptr* result) override;

  struct Seen {
    std::uint32_t time = 0;  // X server time, milliseconds
    QPointF root;
  };
  // Enough for the events one pass of Qt's event loop reads; the oldest go first.
  std::array<Seen, 64> seen_{};
  std::size_t count_ = 0;  // events noted so far; the latest is seen_[(count_ - 1) % size]
  std::uint8_t xinputOpcode_ = 0;
  std::function<void(platform::PointerButton)> clicks_;
};

}  // namespace vistrel::x11
