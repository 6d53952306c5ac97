#include "platform/wayland/kde/KWinScreens.h"

#include <algorithm>

#include "platform/wayland/LayoutSpace.h"
#include "platform/wayland/WaylandScreens.h"

namespace vistrel::wayland::kde {

namespace {

constexpr double kReadSeconds = 1.0;

}  // namespace

std::vector<platform::Screen> screensOf(const std::vector<const Output*>& outputs, const KWinDesktop& desktop) {
  // The sway rule applies as it is: a visible area per output, matched by name.
  std::vector<SwayWorkspace> areas;
  for (const Output* output : outputs) {
    for (std::size_t i = 0; i < desktop.workAreas.size(); ++i) {
      if (desktop.outputs[i] == output->layoutRect()) {
        areas.push_back({output->name, output->name, desktop.workAreas[i], true, false});
      }
    }
  }
  return wayland::screensOf(outputs, areas);
}

KWinScreens::KWinScreens(WaylandConnection& connection, KWinScripting& kwin) : connection_(connection), kwin_(kwin) {}

KWinDesktop KWinScreens::desktop() const {
  const ScriptResult read = kwin_.desktop(deadlineAfter(kReadSeconds));
  return read.report ? read.report->desktop : KWinDesktop{};
}

std::vector<platform::Screen> KWinScreens::screens() const {
  connection_.sync(deadlineAfter(kReadSeconds));
  return screensOf(connection_.outputs(), desktop());
}

std::optional<platform::Screen> KWinScreens::mainScreen() const {
  connection_.sync(deadlineAfter(kReadSeconds));
  const KWinDesktop now = desktop();
  const auto outputs = connection_.outputs();
  const auto all = screensOf(outputs, now);
  if (all.empty()) return std::nullopt;
  const KWinWindow* active = now.active();
  if (!active) return all.front();
  const Point centre{active->frame.midX(), active->frame.midY()};
  for (const Output* output : outputs) {
    if (!output->layoutRect().contains(centre)) continue;
    const auto it = std::find_if(all.begin(), all.end(),
                                 [&](const platform::Screen& s) { return s.displayID == output->globalName; });
    if (it != all.end()) return *it;
  }
  return all.front();
}

Point KWinScreens::mouseLocation() const {
  connection_.sync(deadlineAfter(kReadSeconds));
  const KWinDesktop now = desktop();
  const std::vector<Rect> areas = connection_.outputAreas();
  const auto primary = primaryIndex(areas);
  if (!primary) return {};
  if (!now.cursor) {
    const Rect frame = layoutToAppKit(areas[*primary], areas[*primary]);
    return {frame.midX(), frame.midY()};
  }
  // A point is the bottom-left corner of a zero-size rectangle at it.
  return layoutToAppKit(Rect(now.cursor->x, now.cursor->y, 0, 0), areas[*primary]).origin();
}

}  // namespace vistrel::wayland::kde
