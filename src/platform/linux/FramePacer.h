#pragma once
// The recording threads' beat: a tick every frame interval from the start.
// A tick reached a whole interval late is dropped rather than caught up, so a
// slow copy gives fewer frames instead of a burst of them.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace vistrel::desktop {

class FramePacer {
 public:
  using Clock = std::chrono::steady_clock;
  enum class Beat { tick, late, stopped };

  explicit FramePacer(double intervalSeconds)
      : interval_(std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(std::max(intervalSeconds, 0.001)))),
        next_(Clock::now()) {}

  // Sleeps on `wake` under `lock` until the next tick, or until `stopped` holds.
  template <class Stopped>
  Beat wait(std::unique_lock<std::mutex>& lock, std::condition_variable& wake, Stopped stopped) {
    wake.wait_until(lock, next_, stopped);
    if (stopped()) return Beat::stopped;
    woke_ = Clock::now();
    if (woke_ >= next_ + interval_) {
      next_ += interval_ * ((woke_ - next_) / interval_);
      return Beat::late;
    }
    next_ += interval_;
    return Beat::tick;
  }

  // When the last wait ended, and when the next tick is due.
  Clock::time_point woke() const { return woke_; }
  Clock::time_point next() const { return next_; }

 private:
  Clock::duration interval_;
  Clock::time_point next_;
  Clock::time_point woke_;
};

}  // namespace vistrel::desktop
