#include "platform/linux/QtClock.h"

#include <QMetaObject>
#include <QThread>

#include <algorithm>
#include <cmath>

namespace vistrel::desktop {

using namespace std::chrono;

QtClock::QtClock() {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { runDue(); });
}

double QtClock::now() const { return duration<double>(system_clock::now().time_since_epoch()).count(); }

double QtClock::uptime() const { return duration<double>(steady_clock::now().time_since_epoch()).count(); }

void QtClock::after(double delay, std::function<void()> work) {
  const double seconds = std::isfinite(delay) ? std::clamp(delay, 0.0, 1e9) : (delay > 0 ? 1e9 : 0.0);
  const TimePoint due = steady_clock::now() + duration_cast<steady_clock::duration>(duration<double>(seconds));
  {
    std::lock_guard guard(mutex_);
    queue_.emplace(Key{due, nextSequence_++}, std::move(work));
  }
  // The timer belongs to the main thread: other threads ask it to re-arm there.
  if (QThread::currentThread() == timer_.thread()) {
    arm();
  } else {
    QMetaObject::invokeMethod(&timer_, [this] { arm(); }, Qt::QueuedConnection);
  }
}

// Runs what was due when the timer fired and nothing scheduled meanwhile, so
// work that keeps scheduling more cannot starve the event loop.
void QtClock::runDue() {
  const TimePoint cutoff = steady_clock::now();
  std::uint64_t limit;
  {
    std::lock_guard guard(mutex_);
    limit = nextSequence_;
  }
  for (;;) {
    std::function<void()> work;
    {
      std::lock_guard guard(mutex_);
      const auto head = queue_.begin();
      if (head == queue_.end() || head->first.first > cutoff || head->first.second >= limit) break;
      work = std::move(head->second);
      queue_.erase(head);
    }
    // Armed before the work runs: work that opens a modal loop still lets
    // later work run inside it.
    arm();
    work();
  }
  arm();
}

void QtClock::arm() {
  TimePoint due;
  {
    std::lock_guard guard(mutex_);
    if (queue_.empty()) {
      timer_.stop();
      return;
    }
    due = queue_.begin()->first.first;
  }
  // Rounded up to whole milliseconds, so work never runs before it is due; a
  // wait beyond a day is taken a day at a time (the timer counts in int ms).
  const auto remaining = std::clamp<steady_clock::duration>(due - steady_clock::now(), steady_clock::duration::zero(),
                                                           hours(24));
  timer_.start(ceil<milliseconds>(remaining));
}

}  // namespace vistrel::desktop
