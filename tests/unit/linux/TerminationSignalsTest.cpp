#include <gtest/gtest.h>

#include <signal.h>

#include "EventLoopWait.h"
#include "platform/linux/TerminationSignals.h"

namespace vistrel::desktop {
namespace {

// Each termination signal reaches the handler on the main thread, and the old disposition returns afterwards.
TEST(TerminationSignalsTest, SignalsReachTheHandler) {
  struct sigaction before {};
  ASSERT_EQ(::sigaction(SIGTERM, nullptr, &before), 0);
  {
    TerminationSignals termination;
    ASSERT_TRUE(termination.isInstalled());
    TerminationSignals second;
    EXPECT_FALSE(second.isInstalled()) << "only one may own the signals";

    int requests = 0;
    termination.setHandler([&] { ++requests; });
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
      const int expected = requests + 1;
      ASSERT_EQ(::raise(number), 0);
      EXPECT_EQ(requests, expected - 1) << "handled on the event loop, not inside the signal";
      ASSERT_TRUE(runEventsUntil([&] { return requests == expected; })) << number;
    }
  }
  struct sigaction after {};
  ASSERT_EQ(::sigaction(SIGTERM, nullptr, &after), 0);
  EXPECT_EQ(after.sa_handler, before.sa_handler);
}

}  // namespace
}  // namespace vistrel::desktop
