#include "platform/wayland/kde/KWinFakeInputSynth.h"

#include <wayland-client.h>

#include "fake-input-client-protocol.h"
#include "platform/wayland/LayoutSpace.h"

namespace vistrel::wayland::kde {

namespace {

constexpr double kSyncSeconds = 1.0;
// What libinput reports for one wheel click, and so what programs expect of one.
constexpr double kUnitsPerClick = 15.0;

}  // namespace

KWinFakeInputSynth::KWinFakeInputSynth(WaylandConnection& connection) : connection_(connection) {
  // Authenticated at once: KWin adds its pointer to the seat then, and
  // programs take up a pointer only some time after they hear of it.
  if (auto* input = connection_.fakeInput()) {
    org_kde_kwin_fake_input_authenticate(input, "Vistrel", "Scrolling capture turns the wheel over the region");
    wl_display_flush(connection_.display());
  }
}

bool KWinFakeInputSynth::available() const { return connection_.fakeInput() != nullptr; }

bool KWinFakeInputSynth::scrollWheel(Point point, int clicks) {
  auto* input = connection_.fakeInput();
  if (!input) return false;
  const Deadline deadline = deadlineAfter(kSyncSeconds);
  if (!connection_.sync(deadline)) return false;
  const auto layout = layoutPointOnOutputs(point, connection_.outputAreas());
  if (!layout) return false;

  org_kde_kwin_fake_input_pointer_motion_absolute(input, wl_fixed_from_double(layout->x), wl_fixed_from_double(layout->y));
  const int step = clicks > 0 ? 1 : -1;
  for (int i = 0; i != clicks; i += step) {
    org_kde_kwin_fake_input_axis(input, WL_POINTER_AXIS_VERTICAL_SCROLL, wl_fixed_from_double(step * kUnitsPerClick));
  }
  // Returns once KWin has taken every event.
  return connection_.sync(deadline);
}

}  // namespace vistrel::wayland::kde
