#include "platform/x11/X11Workspace.h"

#include <signal.h>

#include <cerrno>
#include <string>

#include "platform/BundleInfo.h"
#include "platform/x11/Clients.h"

namespace vistrel::x11 {

namespace {

constexpr double kReadSeconds = 1.0;

}  // namespace

X11Workspace::X11Workspace(Connection& connection) : connection_(connection) {}

std::optional<platform::RunningApplication> X11Workspace::frontmostApplication() const {
  connection_.drainEvents();
  const Deadline deadline = deadlineAfter(kReadSeconds);
  const auto active = activeWindow(connection_, deadline);
  if (!active.value || *active.value == XCB_WINDOW_NONE) return std::nullopt;
  const xcb_window_t windows[] = {*active.value};
  const std::int32_t pid = ownerPids(connection_, windows, deadline).front();
  if (pid == 0) return std::nullopt;
  return describe(pid, *active.value, deadline);
}

std::optional<platform::RunningApplication> X11Workspace::menuBarOwningApplication() const {
  return frontmostApplication();
}

std::optional<platform::RunningApplication> X11Workspace::runningApplication(std::int32_t pid) const {
  connection_.drainEvents();
  return describe(pid, std::nullopt, deadlineAfter(kReadSeconds));
}

std::optional<platform::RunningApplication> X11Workspace::describe(std::int32_t pid,
                                                                    std::optional<xcb_window_t> window,
                                                                    Deadline deadline) const {
  if (pid == 0) return std::nullopt;
  if (pid > 0 && ::kill(pid, 0) != 0 && errno != EPERM) return std::nullopt;
  if (!window) {
    const auto windows = windowsOf(connection_, pid, deadline);
    if (windows.value && !windows.value->empty()) window = windows.value->front();
  }
  // A synthetic program is its X client: it exists while it has windows.
  if (pid < 0 && !window) return std::nullopt;

  std::optional<std::string> className;
  if (window) {
    const auto facts = readWindow(connection_, *window, deadline);
    if (facts.value && facts.value->windowClass && !facts.value->windowClass->className.empty()) {
      className = facts.value->windowClass->className;
    }
  }
  platform::RunningApplication application;
  application.pid = pid;
  application.bundleIdentifier = pid == currentProcessID() ? std::optional<std::string>(platform::kBundleIdentifier)
                                                           : className;
  application.localizedName = className ? *className : (pid > 0 ? commandName(pid) : std::string());
  application.executablePath = pid > 0 ? executablePath(pid) : std::string();
  return application;
}

}  // namespace vistrel::x11
