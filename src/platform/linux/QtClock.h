#pragma once
// The real clock: wall time from the system clock, uptime from the monotonic
// clock, and the main-queue scheduler on one precise Qt timer.

#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

#include "base/Clock.h"

namespace vistrel::desktop {

class QtClock : public Clock {
 public:
  // Make it on the main thread; its work runs there. Work still pending when
  // the clock is destroyed never runs; other threads must stop calling
  // after() before it goes.
  QtClock();

  double now() const override;
  double uptime() const override;
  void after(double delay, std::function<void()> work) override;

 private:
  using TimePoint = std::chrono::steady_clock::time_point;
  // Due time first, then the order of scheduling: work due at the same time
  // runs in the order it was asked for, as on the virtual clock.
  using Key = std::pair<TimePoint, std::uint64_t>;

  void runDue();
  void arm();

  mutable std::mutex mutex_;
  std::map<Key, std::function<void()>> queue_;
  std::uint64_t nextSequence_ = 0;
  QTimer timer_;  // main thread only
};

}  // namespace vistrel::desktop
