#pragma once
// Input for a selection overlay: an active keyboard and pointer grab, or a
// keyboard grab alone, through Qt's own connection to the display (the
// overlay is a Qt window, and Qt routes the grabbed events to it). Where the
// display server refuses grabs, each attempt fails. Main thread only.

#include "platform/EventMonitors.h"

namespace vistrel::desktop {

class QtEventMonitors : public platform::EventMonitors {
 public:
  // One attempt: a window still being mapped, or a grab held by another
  // program, gives false; the caller retries.
  bool grabInput(QWindow& window) override;
  bool grabKeyboard(QWindow& window) override;
  void releaseInput(QWindow& window) override;
};

}  // namespace vistrel::desktop
