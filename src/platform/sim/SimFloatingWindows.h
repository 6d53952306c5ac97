#pragma once
// Records which windows were asked to show on every desktop.

#include <vector>

#include "platform/FloatingWindows.h"

namespace vistrel::sim {

class SimFloatingWindows : public platform::FloatingWindows {
 public:
  void keepOnAllDesktops(QWindow& window) override;
  // In call order; the windows belong to their owners and may be gone.
  std::vector<const QWindow*> onAllDesktops;
};

}  // namespace vistrel::sim
