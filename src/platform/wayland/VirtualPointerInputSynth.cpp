#include "platform/wayland/VirtualPointerInputSynth.h"

#include <wayland-client.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "platform/wayland/LayoutSpace.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace vistrel::wayland {

namespace {

constexpr double kSyncSeconds = 1.0;
// What libinput reports for one wheel click, and so what programs expect with each discrete step.
constexpr double kUnitsPerClick = 15.0;

std::uint32_t milliseconds() {
  return std::uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count());
}

}  // namespace

VirtualPointerInputSynth::VirtualPointerInputSynth(WaylandConnection& connection) : connection_(connection) {
  // Made at once: on a seat that had no pointer the device gives it one, and
  // programs take up a pointer only some time after they hear of it.
  if (connection_.virtualPointer()) {
    pointer_ = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(connection_.virtualPointer(), connection_.seat());
    wl_display_flush(connection_.display());
  }
}

VirtualPointerInputSynth::~VirtualPointerInputSynth() {
  if (pointer_) zwlr_virtual_pointer_v1_destroy(pointer_);
}

bool VirtualPointerInputSynth::scrollWheel(Point point, int clicks) {
  if (!pointer_) return false;
  const Deadline deadline = deadlineAfter(kSyncSeconds);
  if (!connection_.sync(deadline)) return false;
  const std::vector<Rect> areas = connection_.outputAreas();
  const auto layout = layoutPointOnOutputs(point, areas);
  if (!layout) return false;
  // Absolute motion spans the box around all outputs.
  Rect box = areas.front();
  for (const Rect& area : areas) {
    const double right = std::max(box.maxX(), area.maxX()), bottom = std::max(box.maxY(), area.maxY());
    box.x = std::min(box.minX(), area.minX());
    box.y = std::min(box.minY(), area.minY());
    box.w = right - box.x;
    box.h = bottom - box.y;
  }
  const auto width = std::lround(box.width()), height = std::lround(box.height());
  // On an output, so inside the box; rounding may not carry it past the edge.
  const auto x = std::min(std::lround(layout->x - box.minX()), width - 1);
  const auto y = std::min(std::lround(layout->y - box.minY()), height - 1);

  zwlr_virtual_pointer_v1_motion_absolute(pointer_, milliseconds(), std::uint32_t(x), std::uint32_t(y),
                                          std::uint32_t(width), std::uint32_t(height));
  zwlr_virtual_pointer_v1_frame(pointer_);
  const int step = clicks > 0 ? 1 : -1;
  for (int i = 0; i != clicks; i += step) {
    zwlr_virtual_pointer_v1_axis_source(pointer_, WL_POINTER_AXIS_SOURCE_WHEEL);
    zwlr_virtual_pointer_v1_axis_discrete(pointer_, milliseconds(), WL_POINTER_AXIS_VERTICAL_SCROLL,
                                          wl_fixed_from_double(step * kUnitsPerClick), step);
    zwlr_virtual_pointer_v1_frame(pointer_);
  }
  // Returns once the compositor has taken every event.
  return connection_.sync(deadline);
}

}  // namespace vistrel::wayland
