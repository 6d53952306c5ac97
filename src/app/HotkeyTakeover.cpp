#include "app/HotkeyTakeover.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "base/LayoutLog.h"
#include "hotkeys/GlobalHotkeyRegistry.h"
#include "platform/Platform.h"

namespace vistrel::HotkeyTakeover {

namespace {

// A replaced copy quits 0.4 to 0.5 s after starting us; an update's copy a
// little later. Ten seconds covers a slow machine; a copy of another file
// that keeps running ends the wait there.
constexpr double kPollInterval = 0.1;
constexpr int kMaxPolls = 100;

std::vector<std::int32_t> otherCopies() {
  auto& system = platform::current();
  const std::string identifier = system.bundle().bundleIdentifier();
  const std::int32_t self = system.workspace().currentProcessID();
  std::vector<std::int32_t> pids;
  for (const auto& application : system.workspace().runningApplications()) {
    if (application.pid != self && application.bundleIdentifier == identifier) pids.push_back(application.pid);
  }
  return pids;
}

bool anyStillRuns(const std::vector<std::int32_t>& earlier) {
  const auto running = otherCopies();
  return std::ranges::any_of(earlier, [&](std::int32_t pid) { return std::ranges::find(running, pid) != running.end(); });
}

std::string joined(const std::vector<std::int32_t>& pids) {
  std::string text;
  for (std::int32_t pid : pids) text += (text.empty() ? "" : ",") + std::to_string(pid);
  return text;
}

}  // namespace

Task<> takeOverFromEarlierCopies() {
  auto& registry = GlobalHotkeyRegistry::shared();
  if (registry.refusedCount() == 0) co_return;
  const auto earlier = otherCopies();
  if (earlier.empty()) co_return;

  LayoutLog::write("hotkey-wait-earlier-copy pids=" + joined(earlier) +
                   " refused=" + std::to_string(registry.refusedCount()));
  int polls = 0;
  while (polls < kMaxPolls && anyStillRuns(earlier)) {
    co_await sleep(kPollInterval);
    ++polls;
  }
  const std::size_t before = registry.refusedCount();
  const std::size_t still = registry.retryRefused();
  LayoutLog::write("hotkey-retry registered=" + std::to_string(before - still) + " refused=" + std::to_string(still) +
                   " earlierGone=" + (polls < kMaxPolls ? "true" : "false"));
}

}  // namespace vistrel::HotkeyTakeover
