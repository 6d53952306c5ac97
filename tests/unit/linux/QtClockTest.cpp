#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <mutex>
#include <thread>
#include <vector>

#include "EventLoopWait.h"
#include "platform/linux/QtClock.h"

namespace vistrel::desktop {
namespace {

// Work due at the same time runs in the order it was scheduled, and work scheduled by work runs after what was already due.
TEST(QtClockTest, SameTimeWorkKeepsItsOrder) {
  QtClock clock;
  std::vector<int> ran;
  for (int i = 0; i < 5; ++i) clock.after(0, [&ran, i] { ran.push_back(i); });
  for (int i = 5; i < 10; ++i) clock.after(0.02, [&ran, i] { ran.push_back(i); });
  clock.after(0, [&] {
    ran.push_back(100);
    clock.after(0, [&ran] { ran.push_back(101); });
  });
  clock.after(0, [&ran] { ran.push_back(10); });
  ASSERT_TRUE(runEventsUntil([&] { return ran.size() == 13; }));
  // Where the 20 ms batch falls among the rest depends on how fast this runs;
  // the order within each batch does not.
  std::vector<int> immediate, delayed;
  for (int i : ran) (i >= 5 && i <= 9 ? delayed : immediate).push_back(i);
  EXPECT_EQ(immediate, (std::vector<int>{0, 1, 2, 3, 4, 100, 10, 101}));
  EXPECT_EQ(delayed, (std::vector<int>{5, 6, 7, 8, 9}));
}

// Work scheduled from another thread runs on the main thread, in the order that thread asked for it.
TEST(QtClockTest, OtherThreadsHopToTheMainThread) {
  QtClock clock;
  std::mutex mutex;
  std::vector<int> ran;
  bool allOnMain = true;
  std::thread worker([&] {
    for (int i = 0; i < 50; ++i) {
      clock.after(i % 2 ? 0.005 : 0.0, [&, i] {
        std::lock_guard guard(mutex);
        allOnMain = allOnMain && QThread::currentThread() == QCoreApplication::instance()->thread();
        ran.push_back(i);
      });
    }
  });
  worker.join();
  ASSERT_TRUE(runEventsUntil([&] {
    std::lock_guard guard(mutex);
    return ran.size() == 50;
  }));
  EXPECT_TRUE(allOnMain);
  std::vector<int> evens, odds;
  for (int i : ran) (i % 2 ? odds : evens).push_back(i);
  EXPECT_TRUE(std::is_sorted(evens.begin(), evens.end()));
  EXPECT_TRUE(std::is_sorted(odds.begin(), odds.end()));
}

// Work still pending when the clock goes never runs.
TEST(QtClockTest, DestroyedClockDropsPendingWork) {
  bool ran = false;
  {
    QtClock clock;
    clock.after(0, [&] { ran = true; });
  }
  QtClock other;
  bool later = false;
  other.after(0, [&] { later = true; });
  ASSERT_TRUE(runEventsUntil([&] { return later; }));
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace vistrel::desktop
