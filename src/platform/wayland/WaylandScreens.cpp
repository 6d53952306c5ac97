#include "platform/wayland/WaylandScreens.h"

#include <algorithm>

#include "platform/wayland/LayoutSpace.h"

namespace vistrel::wayland {

namespace {

// The compositor and sway answer at once; the bound matters only when one is stuck.
constexpr double kReadSeconds = 1.0;

}  // namespace

std::vector<platform::Screen> screensOf(const std::vector<const Output*>& outputs,
                                        const std::vector<SwayWorkspace>& workspaces) {
  std::vector<Rect> areas;
  for (const Output* output : outputs) areas.push_back(output->layoutRect());
  const auto primary = primaryIndex(areas);
  if (!primary) return {};

  std::vector<platform::Screen> screens;
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const Output& output = *outputs[i];
    Rect visible = areas[i];
    const auto shown = std::find_if(workspaces.begin(), workspaces.end(), [&output](const SwayWorkspace& w) {
      return w.visible && w.output == output.name;
    });
    if (shown != workspaces.end() && !shown->rect.isEmpty()) visible = shown->rect.intersection(areas[i]);
    if (visible.isNull()) visible = areas[i];
    platform::Screen screen{output.globalName, layoutToAppKit(areas[i], areas[*primary]),
                            layoutToAppKit(visible, areas[*primary]), output.pixelScale(), output.name};
    if (i == *primary) {
      screens.insert(screens.begin(), std::move(screen));
    } else {
      screens.push_back(std::move(screen));
    }
  }
  return screens;
}

WaylandScreens::WaylandScreens(WaylandConnection& connection, SwayIpc* sway) : connection_(connection), sway_(sway) {}

std::vector<platform::Screen> WaylandScreens::screens() const {
  const Deadline deadline = deadlineAfter(kReadSeconds);
  connection_.sync(deadline);
  std::vector<SwayWorkspace> workspaces;
  if (sway_) workspaces = sway_->workspaces(deadline).value.value_or(std::vector<SwayWorkspace>{});
  return screensOf(connection_.outputs(), workspaces);
}

std::optional<platform::Screen> WaylandScreens::mainScreen() const {
  const auto all = screens();
  if (all.empty()) return std::nullopt;
  if (sway_) {
    const auto outputs = sway_->outputs(deadlineAfter(kReadSeconds));
    for (const SwayOutput& output : outputs.value.value_or(std::vector<SwayOutput>{})) {
      if (!output.focused) continue;
      const auto it = std::find_if(all.begin(), all.end(),
                                   [&output](const platform::Screen& s) { return s.name == output.name; });
      if (it != all.end()) return *it;
    }
  }
  return all.front();
}

Point WaylandScreens::mouseLocation() const {
  const auto main = mainScreen();
  if (!main) return {};
  return {main->frame.midX(), main->frame.midY()};
}

}  // namespace vistrel::wayland
