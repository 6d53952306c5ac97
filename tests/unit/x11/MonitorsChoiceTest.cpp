#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/x11/Monitors.h"

namespace vistrel::x11 {
namespace {

xcb_xinerama_screen_info_t head(std::int16_t x, std::int16_t y, std::uint16_t w, std::uint16_t h) {
  return {x, y, w, h};
}

Monitor randrMonitor(std::uint32_t id, Rect frame, bool primary) {
  return {id, "out-" + std::to_string(id), frame, primary};
}

// Heads become monitors in Xinerama's order with ids by place; empty heads and cloned copies drop out.
TEST(MonitorsChoice, HeadsBecomeMonitors) {
  const std::vector<xcb_xinerama_screen_info_t> heads{head(0, 0, 1280, 800), head(0, 0, 0, 600),
                                                      head(1280, 0, 1024, 768), head(0, 0, 1280, 800),
                                                      head(-1920, -200, 1920, 1080)};
  const auto monitors = monitorsFromHeads(heads);
  ASSERT_EQ(monitors.size(), 3u);
  EXPECT_EQ(monitors[0], (Monitor{1, "xinerama-0", Rect(0, 0, 1280, 800), false}));
  EXPECT_EQ(monitors[1], (Monitor{3, "xinerama-2", Rect(1280, 0, 1024, 768), false}));
  EXPECT_EQ(monitors[2], (Monitor{5, "xinerama-4", Rect(-1920, -200, 1920, 1080), false}));
  EXPECT_TRUE(monitorsFromHeads({}).empty());
}

// Heads win only when there are more of them than RandR monitors; either way the primary comes first.
TEST(MonitorsChoice, HeadsOnlyWhenRandrSeesFewer) {
  // A nested server: RandR's one output covers the first head only.
  const std::vector<Monitor> oneOutput{randrMonitor(0x42, Rect(0, 0, 1280, 800), true)};
  const auto sideBySide = monitorsFromHeads(std::vector{head(0, 0, 1280, 800), head(1280, 0, 1024, 768)});
  EXPECT_EQ(chooseMonitors(oneOutput, sideBySide), sideBySide);

  // The head at the root origin is the primary even when Xinerama lists it second.
  const auto leftOfPrimary = monitorsFromHeads(std::vector{head(-1024, 0, 1024, 768), head(0, 0, 1280, 800)});
  const auto chosen = chooseMonitors(oneOutput, leftOfPrimary);
  ASSERT_EQ(chosen.size(), 2u);
  EXPECT_EQ(chosen[0].frame, Rect(0, 0, 1280, 800));
  EXPECT_EQ(chosen[1].frame, Rect(-1024, 0, 1024, 768));

  // As many heads as monitors (RandR's own Xinerama answers): RandR's ids and primary flag stay.
  const std::vector<Monitor> twoOutputs{randrMonitor(0x42, Rect(0, 0, 1280, 800), false),
                                        randrMonitor(0x43, Rect(1280, 0, 1024, 768), true)};
  const auto same = chooseMonitors(twoOutputs, sideBySide);
  ASSERT_EQ(same.size(), 2u);
  EXPECT_EQ(same[0].id, 0x43u);
  EXPECT_EQ(same[1].id, 0x42u);

  // An inactive Xinerama has no heads.
  EXPECT_EQ(chooseMonitors(oneOutput, {}), oneOutput);
}

}  // namespace
}  // namespace vistrel::x11
