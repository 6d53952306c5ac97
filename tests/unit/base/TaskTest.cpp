#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/Task.h"
#include "platform/sim/SimPlatform.h"

using namespace vistrel;

namespace {

Task<int> settle(std::vector<std::string>& trace, int steps) {
  for (int i = 0; i < steps; ++i) {
    co_await vistrel::sleep(0.07);
    trace.push_back("step " + std::to_string(i) + " at " + std::to_string(std::lround(mainClock().uptime() * 100)));
  }
  co_return steps * 10;
}

Task<> flow(std::vector<std::string>& trace, int& result) {
  trace.push_back("begin");
  result = co_await settle(trace, 3);
  co_await vistrel::sleep(0.5);
  trace.push_back("end");
}

Task<int> failing() {
  co_await vistrel::sleep(1);
  throw std::runtime_error("window vanished");
}

Task<> catching(std::string& caught) {
  try {
    co_await failing();
  } catch (const std::runtime_error& e) {
    caught = e.what();
  }
}

}  // namespace

// A spawned flow with several sleeps and a nested awaited task runs under virtual time, in order.
TEST(Task, FlowWithSleepsAndNestedTaskFinishesUnderVirtualTime) {
  sim::ScopedSimPlatform sim;
  std::vector<std::string> trace;
  int result = 0;
  spawn(flow(trace, result));
  EXPECT_TRUE(trace.empty()) << "a spawned task starts on the next main-queue turn, not inside spawn()";

  sim->clock().runPending();
  EXPECT_EQ(trace, std::vector<std::string>{"begin"});

  sim->clock().advance(0.2);  // two of three steps fall due
  EXPECT_EQ(trace.size(), 3u);
  sim->clock().advance(10);
  EXPECT_EQ(trace, (std::vector<std::string>{"begin", "step 0 at 100007", "step 1 at 100014", "step 2 at 100021",
                                             "end"}));
  EXPECT_EQ(result, 30);
  EXPECT_EQ(sim->clock().pendingCount(), 0u);
}

// An exception thrown inside an awaited task reaches its awaiter.
TEST(Task, ExceptionReachesTheAwaiter) {
  sim::ScopedSimPlatform sim;
  std::string caught;
  spawn(catching(caught));
  sim->clock().advance(2);
  EXPECT_EQ(caught, "window vanished");
}

// A task that is never awaited never runs, and destroying it frees it without running it.
TEST(Task, UnawaitedTaskDoesNotRun) {
  sim::ScopedSimPlatform sim;
  std::vector<std::string> trace;
  int result = 0;
  { auto t = flow(trace, result); }
  sim->clock().advance(10);
  EXPECT_TRUE(trace.empty());
}

// Work due at the same time runs in the order it was scheduled; work scheduled by work runs in the same advance.
TEST(VirtualClock, OrderAndChainedWork) {
  sim::VirtualClock clock;
  std::vector<int> order;
  clock.after(1, [&] { order.push_back(1); });
  clock.after(0.5, [&] {
    order.push_back(0);
    clock.after(0.5, [&] { order.push_back(2); });  // due at 1.0 too, scheduled later
  });
  clock.after(1, [&] { order.push_back(3); });
  const double start = clock.uptime();
  const double wallStart = clock.now();
  EXPECT_EQ(clock.advance(1), 4);
  EXPECT_EQ(order, (std::vector<int>{0, 1, 3, 2}));
  EXPECT_DOUBLE_EQ(clock.uptime() - start, 1);
  EXPECT_DOUBLE_EQ(clock.now() - wallStart, 1);
  clock.after(5, [] {});
  EXPECT_EQ(clock.advance(4.9), 0);
  EXPECT_EQ(clock.runUntilIdle(), 1);
}
