#pragma once
// Input for a selection overlay on X11: an active keyboard and pointer grab,
// or a keyboard grab alone, through Qt's own connection (the overlay is a Qt
// window, and Qt routes the grabbed events to it). Main thread only.

#include "platform/EventMonitors.h"

namespace vistrel::x11 {

class X11EventMonitors : public platform::EventMonitors {
 public:
  // One attempt: a window still being mapped, or a grab held by another
  // program, gives false; the caller retries.
  bool grabInput(QWindow& window) override;
  bool grabKeyboard(QWindow& window) override;
  void releaseInput(QWindow& window) override;
};

}  // namespace vistrel::x11
