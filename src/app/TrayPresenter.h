#pragma once
// The status item's icon and tooltip: the recording state while a recording
// runs, else the update controller's presentation. The launch has it redraw
// whenever either changes, and when a tray appears. Main thread only.

#include "platform/StatusItem.h"

namespace vistrel {

class TrayPresenter {
 public:
  static TrayPresenter& shared();

  // Draws the icon and tooltip for the current update and recording state on
  // the status item; nothing without a status item or its button.
  void applyIcon();

  // Not owned; the launch sets it and keeps the item for the whole run.
  platform::StatusItem* statusItem = nullptr;
};

}  // namespace vistrel
