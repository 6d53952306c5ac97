#pragma once
// Displays of the simulated desktop, in AppKit space. The first display added
// is the primary one.

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/Screens.h"

namespace vistrel::sim {

class SimScreens : public platform::Screens {
 public:
  std::vector<platform::Screen> screens() const override { return screens_; }
  // The chosen main display, else the primary one.
  std::optional<platform::Screen> mainScreen() const override;
  Point mouseLocation() const override { return mouse; }

  // Test controls.
  std::uint32_t addScreen(Rect frame, Rect visibleFrame, double scale = 1.0);
  void setMainScreen(std::optional<std::uint32_t> displayID) { main_ = displayID; }
  void removeAll() { screens_.clear(); main_.reset(); }
  Point mouse;

 private:
  std::vector<platform::Screen> screens_;
  std::optional<std::uint32_t> main_;
  std::uint32_t nextID_ = 1;
};

}  // namespace vistrel::sim
