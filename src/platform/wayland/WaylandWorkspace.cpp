#include "platform/wayland/WaylandWorkspace.h"

#include <signal.h>

#include <algorithm>
#include <cerrno>

#include "platform/BundleInfo.h"

namespace vistrel::wayland {

namespace {

// sway answers in about a millisecond; the bound matters only when it is stuck.
constexpr double kReadSeconds = 1.0;

}  // namespace

std::optional<platform::RunningApplication> WaylandWorkspace::frontmostApplication() const {
  if (!sway_) return std::nullopt;
  const auto tree = sway_->tree(deadlineAfter(kReadSeconds));
  if (!tree.value) return std::nullopt;
  const SwayView* focused = tree.value->focused();
  if (!focused || focused->pid <= 0) return std::nullopt;
  return describe(focused->pid, &*tree.value);
}

std::optional<platform::RunningApplication> WaylandWorkspace::menuBarOwningApplication() const {
  return frontmostApplication();
}

std::optional<platform::RunningApplication> WaylandWorkspace::runningApplication(std::int32_t pid) const {
  if (!sway_) return describe(pid, nullptr);
  const auto tree = sway_->tree(deadlineAfter(kReadSeconds));
  return describe(pid, tree.value ? &*tree.value : nullptr);
}

std::optional<platform::RunningApplication> WaylandWorkspace::describe(std::int32_t pid, const SwayTree* tree) const {
  if (pid <= 0) return std::nullopt;
  if (::kill(pid, 0) != 0 && errno != EPERM) return std::nullopt;
  std::optional<std::string> appId;
  if (tree) {
    const auto view = std::find_if(tree->views.begin(), tree->views.end(),
                                   [pid](const SwayView& v) { return v.pid == pid && !v.appId.empty(); });
    if (view != tree->views.end()) appId = view->appId;
  }
  platform::RunningApplication application;
  application.pid = pid;
  application.bundleIdentifier =
      pid == currentProcessID() ? std::optional<std::string>(platform::kBundleIdentifier) : appId;
  application.localizedName = appId ? *appId : commandName(pid);
  application.executablePath = executablePath(pid);
  return application;
}

}  // namespace vistrel::wayland
