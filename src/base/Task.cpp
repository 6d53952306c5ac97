#include "base/Task.h"

#include <cstdio>
#include <cstdlib>

namespace vistrel {

void detail::PromiseBase::reportDetachedFailure(std::exception_ptr exception) noexcept {
  try {
    std::rethrow_exception(exception);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vistrel: a background task ended with an exception: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "vistrel: a background task ended with an unknown exception\n");
  }
}

namespace {
Clock* installedClock = nullptr;
}

Clock& mainClock() {
  if (!installedClock) {
    std::fprintf(stderr, "vistrel: no platform backend installed\n");
    std::abort();
  }
  return *installedClock;
}

void installMainClock(Clock* clock) { installedClock = clock; }

void spawn(Task<> task) {
  auto handle = task.release();
  if (!handle) return;
  handle.promise().detached = true;
  mainClock().after(0, [handle] { handle.resume(); });
}

}  // namespace vistrel
