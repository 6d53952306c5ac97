#pragma once
// Watches for a permission to be granted: checks at once, then every half
// second for a minute. At most one watch runs per watcher; a reset ends a
// running one quietly. Main thread only.

#include <functional>
#include <string>

#include "base/Task.h"

namespace vistrel {

class PermissionWatcher {
 public:
  // `logPrefix` + "-start" and "-timeout" are the watch's own lines;
  // `onGranted` runs once when the permission is seen, and says so itself.
  PermissionWatcher(std::string logPrefix, std::function<bool()> granted, std::function<void()> onGranted);

  // Starts a watch unless one runs; writes the start line.
  void start();
  bool running() const { return running_; }
  // Forgets a running watch, which then stops without a line.
  void reset();

 private:
  Task<> watch(unsigned generation);

  std::string logPrefix_;
  std::function<bool()> granted_;
  std::function<void()> onGranted_;
  bool running_ = false;
  unsigned generation_ = 0;
};

}  // namespace vistrel
