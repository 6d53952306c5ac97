// A recording's display stream on headless sway: frames at the configured
// size, unchanged frames while nothing moves, a changed one once a window appears.

#include <gtest/gtest.h>

#include <mutex>

#include "SwaySession.h"
#include "platform/wayland/WaylandDisplayStream.h"

namespace vistrel::e2e {
namespace {

TEST(DisplayStream, FramesFollowWhatChanges) {
  auto connection = wayland::WaylandConnection::connect(wayland::deadlineAfter(5));
  ASSERT_TRUE(connection && !connection->outputs().empty());
  wayland::WaylandDisplayStream stream;
  stream.stop();  // before start: nothing to do

  struct Seen {
    int changed = 0, unchanged = 0, wrongSize = 0;
    bool red = false;  // a changed frame showed the red window
  };
  std::mutex mutex;
  Seen seen;
  platform::StreamConfiguration configuration;
  configuration.capture.width = 960;
  configuration.capture.height = 540;
  configuration.capture.showsCursor = false;
  configuration.minimumFrameInterval = 0.04;
  const auto started = stream.start(connection->outputs().front()->globalName, configuration,
                                    [&](const platform::StreamFrame& frame) {
                                      std::lock_guard lock(mutex);
                                      if (frame.image.size() != QSize(960, 540)) ++seen.wrongSize;
                                      (frame.changed ? seen.changed : seen.unchanged)++;
                                      if (frame.changed && frame.image.pixel(480, 270) == kFootRed) seen.red = true;
                                    });
  ASSERT_EQ(started, std::nullopt);
  const auto check = [&](auto predicate) {
    return waitUntil(10, [&] {
      std::lock_guard lock(mutex);
      return predicate(seen);
    });
  };
  EXPECT_TRUE(check([](const Seen& s) { return s.changed >= 1 && s.unchanged >= 3; }));
  int changedBefore;
  {
    std::lock_guard lock(mutex);
    changedBefore = seen.changed;
    EXPECT_FALSE(seen.red);
  }
  auto foot = Foot::start(*connection);  // tiled over the whole output: red at its centre
  ASSERT_TRUE(foot);
  EXPECT_TRUE(check([&](const Seen& s) { return s.red && s.changed > changedBefore; }));
  stream.stop();
  stream.stop();
  EXPECT_EQ(seen.wrongSize, 0);
}

}  // namespace
}  // namespace vistrel::e2e
