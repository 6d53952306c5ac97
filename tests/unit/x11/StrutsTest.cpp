#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "platform/x11/Struts.h"

namespace vistrel::x11 {
namespace {

const Size kRoot(3200, 1080);
const Rect kLeftMonitor(0, 0, 1280, 1024);
const Rect kRightMonitor(1280, 0, 1920, 1080);

Strut bottomPanel(double height, double fromX, double toX) {
  Strut s;
  s.bottom = height;
  s.bottomStartX = fromX;
  s.bottomEndX = toX;
  return s;
}

// A strut shortens only the monitors its range reaches: not one beside it, nor a shorter one above its band.
TEST(Struts, StrutsReachOnlyTheMonitorsTheyCover) {
  const std::vector<Strut> rightOnly{bottomPanel(40, 1280, 3199)};
  EXPECT_EQ(visibleArea(kRightMonitor, kRoot, rightOnly, std::nullopt), Rect(1280, 0, 1920, 1040));
  EXPECT_EQ(visibleArea(kLeftMonitor, kRoot, rightOnly, std::nullopt), kLeftMonitor);
  const std::vector<Strut> fullWidth{bottomPanel(40, 0, 3199)};
  EXPECT_EQ(visibleArea(kLeftMonitor, kRoot, fullWidth, std::nullopt), kLeftMonitor);
}

// Struts on all four edges combine; a left strut of the left monitor leaves the right one alone.
TEST(Struts, EdgesCombine) {
  Strut left;
  left.left = 60;
  left.leftStartY = 0;
  left.leftEndY = 1023;
  Strut top;
  top.top = 25;
  top.topStartX = 0;
  top.topEndX = 3199;
  Strut right;
  right.right = 100;
  right.rightStartY = 0;
  right.rightEndY = 1079;
  const std::vector<Strut> struts{left, top, right, bottomPanel(30, 0, 3199)};
  EXPECT_EQ(visibleArea(kLeftMonitor, kRoot, struts, std::nullopt), Rect(60, 25, 1220, 999));
  EXPECT_EQ(visibleArea(kRightMonitor, kRoot, struts, std::nullopt), Rect(1280, 25, 1820, 1025));
}

// The work area clips what the struts leave, but a work area elsewhere is ignored.
TEST(Struts, WorkareaClipsWhenItOverlaps) {
  const Rect monitor(0, 0, 1920, 1080);
  const Size root(1920, 1080);
  EXPECT_EQ(visibleArea(monitor, root, {}, Rect(0, 30, 1920, 1050)), Rect(0, 30, 1920, 1050));
  EXPECT_EQ(visibleArea(monitor, root, {}, Rect(5000, 0, 100, 100)), monitor);
}

// _NET_WM_STRUT_PARTIAL wins over _NET_WM_STRUT, which covers whole edges; other lengths are rejected.
TEST(Struts, DecodingPrefersPartialAndRejectsMalformedItems) {
  const std::array<std::uint32_t, 12> partial{0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 100, 499};
  const std::array<std::uint32_t, 4> plain{0, 0, 0, 60};
  const auto fromPartial = strutFromItems(partial, plain, kRoot);
  ASSERT_TRUE(fromPartial);
  EXPECT_EQ(*fromPartial, bottomPanel(40, 100, 499));

  const auto fromPlain = strutFromItems({}, plain, kRoot);
  ASSERT_TRUE(fromPlain);
  EXPECT_EQ(fromPlain->bottom, 60);
  EXPECT_EQ(fromPlain->bottomStartX, 0);
  EXPECT_EQ(fromPlain->bottomEndX, 3199);
  EXPECT_EQ(fromPlain->leftEndY, 1079);

  const std::array<std::uint32_t, 11> shortPartial{};
  EXPECT_EQ(strutFromItems(shortPartial, {}, kRoot), std::nullopt);
  const std::array<std::uint32_t, 3> shortPlain{0, 0, 0};
  EXPECT_EQ(strutFromItems(shortPartial, shortPlain, kRoot), std::nullopt);
}

// The work area of the current desktop is picked; missing or empty desktops read as none.
TEST(Struts, WorkareaPicksTheCurrentDesktop) {
  const std::array<std::uint32_t, 8> items{0, 0, 1920, 1040, 0, 30, 1920, 1050};
  EXPECT_EQ(workareaFromItems(items, 0), Rect(0, 0, 1920, 1040));
  EXPECT_EQ(workareaFromItems(items, 1), Rect(0, 30, 1920, 1050));
  EXPECT_EQ(workareaFromItems(items, 2), std::nullopt);
  const std::array<std::uint32_t, 4> empty{0, 0, 0, 1080};
  EXPECT_EQ(workareaFromItems(empty, 0), std::nullopt);
  const std::array<std::uint32_t, 3> cut{0, 0, 1920};
  EXPECT_EQ(workareaFromItems(cut, 0), std::nullopt);
}

}  // namespace
}  // namespace vistrel::x11
