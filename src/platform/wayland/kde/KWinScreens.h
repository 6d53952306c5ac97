#pragma once
// The displays on KDE Plasma: the compositor's outputs (WaylandConnection, the
// same numbers and frames as elsewhere in the Wayland backend), with what KWin
// alone knows read through a script (KWinScripting): each screen's visible
// frame (its maximize area, less the panels), the screen of the active window
// (the main screen) and the pointer. When KWin does not answer, visible
// frames are whole outputs, the main screen is the primary and the pointer
// is at its centre. Main thread only; both must outlive this object.

#include <optional>
#include <vector>

#include "platform/Screens.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/kde/KWinScripting.h"

namespace vistrel::wayland::kde {

// The screens of `outputs` with the visible frames `desktop` reports.
std::vector<platform::Screen> screensOf(const std::vector<const Output*>& outputs, const KWinDesktop& desktop);

class KWinScreens : public platform::Screens {
 public:
  KWinScreens(WaylandConnection& connection, KWinScripting& kwin);

  std::vector<platform::Screen> screens() const override;
  std::optional<platform::Screen> mainScreen() const override;
  Point mouseLocation() const override;

 private:
  KWinDesktop desktop() const;

  WaylandConnection& connection_;
  KWinScripting& kwin_;
};

}  // namespace vistrel::wayland::kde
