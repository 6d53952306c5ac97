#include "permissions/PermissionWatcher.h"

#include <utility>

#include "base/LayoutLog.h"

namespace vistrel {

namespace {
constexpr double kPoll = 0.5;
constexpr int kSleeps = 120;
}  // namespace

PermissionWatcher::PermissionWatcher(std::string logPrefix, std::function<bool()> granted,
                                     std::function<void()> onGranted)
    : logPrefix_(std::move(logPrefix)), granted_(std::move(granted)), onGranted_(std::move(onGranted)) {}

void PermissionWatcher::start() {
  if (running_) return;
  running_ = true;
  LayoutLog::write(logPrefix_ + "-start");
  spawn(watch(generation_));
}

void PermissionWatcher::reset() {
  running_ = false;
  ++generation_;
}

Task<> PermissionWatcher::watch(unsigned generation) {
  for (int sleeps = 0;; ++sleeps) {
    if (granted_()) {
      onGranted_();
      break;
    }
    if (sleeps == kSleeps) {
      LayoutLog::write(logPrefix_ + "-timeout");
      break;
    }
    co_await sleep(kPoll);
    if (generation_ != generation) co_return;
  }
  running_ = false;
}

}  // namespace vistrel
