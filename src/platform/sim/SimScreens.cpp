#include "platform/sim/SimScreens.h"

#include <string>

namespace vistrel::sim {

std::uint32_t SimScreens::addScreen(Rect frame, Rect visibleFrame, double scale) {
  platform::Screen screen;
  screen.displayID = nextID_++;
  screen.frame = frame;
  screen.visibleFrame = visibleFrame;
  screen.scale = scale;
  screen.name = "Sim " + std::to_string(screen.displayID);
  screens_.push_back(screen);
  return screen.displayID;
}

std::optional<platform::Screen> SimScreens::mainScreen() const {
  if (main_) {
    for (const auto& s : screens_)
      if (s.displayID == *main_) return s;
  }
  if (screens_.empty()) return std::nullopt;
  return screens_.front();
}

}  // namespace vistrel::sim
