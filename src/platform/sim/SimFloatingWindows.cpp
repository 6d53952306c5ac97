#include "platform/sim/SimFloatingWindows.h"

namespace vistrel::sim {

void SimFloatingWindows::keepOnAllDesktops(QWindow& window) { onAllDesktops.push_back(&window); }

}  // namespace vistrel::sim
