#pragma once
// Virtual time for tests: nothing runs until the test advances the clock, and
// then due work runs at once in time order, with the clock reading each
// item's due time while it runs.

#include <cstdint>
#include <functional>
#include <mutex>
#include <queue>
#include <vector>

#include "base/Clock.h"

namespace vistrel::sim {

class VirtualClock : public Clock {
 public:
  // The wall clock starts at 2026-03-01T09:15:42Z, uptime at 1000 s.
  VirtualClock(double now = 1772356542.0, double uptime = 1000.0) : now_(now), uptime_(uptime) {}

  double now() const override;
  double uptime() const override;
  void after(double delay, std::function<void()> work) override;

  // Moves time forward by `seconds`, running everything that falls due on the way,
  // including work scheduled by that work. Returns how many items ran.
  int advance(double seconds);
  // Runs what is due now (work scheduled with no delay), without moving time.
  int runPending() { return advance(0); }
  // Advances until nothing is scheduled within `limit` seconds from now.
  int runUntilIdle(double limit = 3600);
  std::size_t pendingCount() const;

 private:
  struct Item {
    double due;
    std::uint64_t sequence;
    std::function<void()> work;
  };
  struct Later {
    bool operator()(const Item& a, const Item& b) const {
      return a.due != b.due ? a.due > b.due : a.sequence > b.sequence;
    }
  };

  mutable std::mutex mutex_;
  double now_;
  double uptime_;
  std::uint64_t nextSequence_ = 0;
  std::priority_queue<Item, std::vector<Item>, Later> queue_;
};

}  // namespace vistrel::sim
