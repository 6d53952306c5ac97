#pragma once
// Synthetic wheel clicks on KDE Plasma through KWin's org_kde_kwin_fake_input:
// the pointer moves to the point (absolute, in KWin's global logical
// coordinates) and the wheel turns by one libinput wheel step (15 units) a
// click. KWin offers the interface only to a program that an installed desktop
// file names with X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input, and takes
// its events once the program has authenticated.
//
// As with every Wayland road, the pointer stays at the point afterwards; the
// captures for scrolling are taken without the cursor.
//
// Main thread only; the connection must outlive it.

#include "platform/InputSynth.h"
#include "platform/wayland/WaylandConnection.h"

namespace vistrel::wayland::kde {

class KWinFakeInputSynth : public platform::InputSynth {
 public:
  explicit KWinFakeInputSynth(WaylandConnection& connection);

  // Whether KWin gave this program its fake input.
  bool available() const;
  // False when KWin refused the interface, there is no output under the
  // point, or KWin does not take the events in time.
  bool scrollWheel(Point point, int clicks) override;

 private:
  WaylandConnection& connection_;
};

}  // namespace vistrel::wayland::kde
