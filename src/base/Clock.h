#pragma once
// The one source of time and the main-queue scheduler. Every delay the
// product waits for (settle steps, polls, debounce, watchers) goes through
// here, so tests run them on a virtual clock.

#include <functional>

namespace vistrel {

class Clock {
 public:
  virtual ~Clock() = default;

  // Wall-clock time, seconds since 1970.
  virtual double now() const = 0;
  // Monotonic seconds since an arbitrary start; never jumps.
  virtual double uptime() const = 0;
  // Runs `work` on the main thread once `delay` seconds have passed (0: on the
  // next turn of the main queue). Callable from any thread. Work due at the
  // same time runs in the order it was scheduled.
  virtual void after(double delay, std::function<void()> work) = 0;
};

}  // namespace vistrel
