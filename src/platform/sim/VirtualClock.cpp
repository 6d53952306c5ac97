#include "platform/sim/VirtualClock.h"

#include <algorithm>

namespace vistrel::sim {

double VirtualClock::now() const {
  std::lock_guard lock(mutex_);
  return now_;
}

double VirtualClock::uptime() const {
  std::lock_guard lock(mutex_);
  return uptime_;
}

void VirtualClock::after(double delay, std::function<void()> work) {
  std::lock_guard lock(mutex_);
  queue_.push({uptime_ + std::max(0.0, delay), nextSequence_++, std::move(work)});
}

int VirtualClock::advance(double seconds) {
  double target;
  {
    std::lock_guard lock(mutex_);
    target = uptime_ + std::max(0.0, seconds);
  }
  int ran = 0;
  for (;;) {
    std::function<void()> work;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty() || queue_.top().due > target) {
        now_ += target - uptime_;
        uptime_ = target;
        return ran;
      }
      Item item = queue_.top();
      queue_.pop();
      now_ += item.due - uptime_;
      uptime_ = item.due;
      work = std::move(item.work);
    }
    work();
    ++ran;
  }
}

int VirtualClock::runUntilIdle(double limit) {
  int ran = 0;
  for (;;) {
    double wait;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) return ran;
      wait = queue_.top().due - uptime_;
    }
    if (wait > limit) return ran;
    ran += advance(wait);
  }
}

std::size_t VirtualClock::pendingCount() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

}  // namespace vistrel::sim
