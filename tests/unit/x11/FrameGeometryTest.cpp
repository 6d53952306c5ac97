#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "platform/x11/DesktopSpaces.h"
#include "platform/x11/FrameGeometry.h"

namespace vistrel::x11 {
namespace {

const Extents kOpenbox{1, 1, 20, 5};
const Extents kGtkShadow{23, 23, 15, 31};

// The outer frame adds the manager's decorations and removes a toolkit's shadow margins.
TEST(FrameGeometry, OuterFrameAddsDecorationsAndRemovesShadows) {
  EXPECT_EQ(outerFrame(Rect(101, 120, 640, 480), kOpenbox, {}), Rect(100, 100, 642, 505));
  // A client-side decorated window: no manager frame, the shadow is inside the client.
  EXPECT_EQ(outerFrame(Rect(0, 0, 1006, 846), {}, kGtkShadow), Rect(23, 15, 960, 800));
  EXPECT_EQ(outerFrame(Rect(5, 5, 10, 10), {}, {}), Rect(5, 5, 10, 10));
}

// A requested outer frame turns into a reference point and client size that read back as that frame.
TEST(FrameGeometry, RequestsInvertTheOuterFrame) {
  for (const auto& [frame, shadow] : {std::pair{kOpenbox, Extents{}}, std::pair{Extents{}, kGtkShadow},
                                      std::pair{kOpenbox, kGtkShadow}}) {
    const Rect wanted(960, 0, 960, 1080);
    const Point reference = northWestReference(wanted.origin(), shadow);
    const Size client = clientSizeFor(wanted.size(), frame, shadow);
    // NorthWest gravity puts the manager's frame top-left on the reference point.
    const Rect clientRect(reference.x + frame.left, reference.y + frame.top, client.width, client.height);
    EXPECT_EQ(outerFrame(clientRect, frame, shadow), wanted);
  }
  EXPECT_EQ(clientSizeFor(Size(960, 1080), kOpenbox, {}), Size(958, 1055));
}

// A window picture is cut to the frame the user sees: a client's shadow margin goes, a manager's frame stays.
TEST(FrameGeometry, PictureIsCutToTheOuterFrame) {
  // gnome-calculator under xfwm4: no manager frame, a 61/61/55/67 shadow margin in the client.
  const Rect client(719, 254, 482, 608);
  const Rect visible = outerFrame(client, {}, Extents{61, 61, 55, 67});
  EXPECT_EQ(outerFrameInPicture(client, visible), Rect(61, 55, 360, 486));
  // Openbox's frame window is the outer frame: the whole picture.
  const Rect framed = outerFrame(Rect(101, 120, 640, 480), kOpenbox, {});
  EXPECT_EQ(outerFrameInPicture(framed, framed), Rect(0, 0, 642, 505));
  // A frame window with invisible borders beyond its announced extents loses them.
  EXPECT_EQ(outerFrameInPicture(Rect(90, 90, 662, 525), framed), Rect(10, 10, 642, 505));
  // A frame that does not hold the outer frame at all (a stale read) keeps the whole picture.
  EXPECT_EQ(outerFrameInPicture(Rect(2000, 0, 300, 200), framed), Rect(0, 0, 300, 200));
}

// Extents come from exactly four sane items; anything else reads as none.
TEST(FrameGeometry, ExtentsRejectMalformedProperties) {
  const std::array<std::uint32_t, 4> four{1, 1, 20, 5};
  EXPECT_EQ(extentsFromItems(four), kOpenbox);
  const std::array<std::uint32_t, 3> three{1, 1, 20};
  EXPECT_EQ(extentsFromItems(three), Extents{});
  const std::array<std::uint32_t, 5> five{1, 1, 20, 5, 0};
  EXPECT_EQ(extentsFromItems(five), Extents{});
  const std::array<std::uint32_t, 4> garbage{1, 0xffffffffu, 20, 5};
  EXPECT_EQ(extentsFromItems(garbage), Extents{});
}

// Root space shifts to accessibility space at the primary's top-left and flips to AppKit space at its bottom.
TEST(DesktopSpaces, ConvertAroundThePrimaryMonitor) {
  const Rect primaryAtOrigin(0, 0, 1920, 1080);
  EXPECT_EQ(rootToAccessibility(Rect(10, 20, 300, 200), primaryAtOrigin), Rect(10, 20, 300, 200));
  EXPECT_EQ(rootToAppKit(Rect(10, 20, 300, 200), primaryAtOrigin), Rect(10, 860, 300, 200));
  EXPECT_EQ(rootToAppKit(primaryAtOrigin, primaryAtOrigin), primaryAtOrigin);

  // A secondary monitor left of the primary, and one taller above it: the primary starts at root (1280, 400).
  const Rect primary(1280, 400, 1920, 1080);
  EXPECT_EQ(rootToAccessibility(primary, primary), Rect(0, 0, 1920, 1080));
  EXPECT_EQ(rootToAppKit(primary, primary), Rect(0, 0, 1920, 1080));
  const Rect left(0, 0, 1280, 1024);
  EXPECT_EQ(rootToAccessibility(left, primary), Rect(-1280, -400, 1280, 1024));
  EXPECT_EQ(rootToAppKit(left, primary), Rect(-1280, 456, 1280, 1024));
  const Point point = accessibilityToRoot(Point{-1280, -400}, primary);
  EXPECT_EQ(point, (Point{0, 0}));
}

// A move is held back when the manager stopped the window at the work area's edge although only the shadow was
// asked outside it; a window asked off the area by more than its shadow, or not stopped at the edge, is not.
TEST(FrameGeometry, HeldInsideOnlyByTheShadow) {
  const Extents shadow{61, 61, 55, 67};
  const Rect area(0, 30, 1920, 1050);
  const Rect leftAsked(-61, -25, 1082, 647);  // the visible frame at the area's top-left corner
  EXPECT_EQ(heldInside(leftAsked, Rect(0, 30, 1082, 647), shadow, area), Axis::across);
  EXPECT_EQ(heldInside(Rect(899, -25, 1082, 647), Rect(838, 30, 1082, 647), shadow, area), Axis::across);
  EXPECT_EQ(heldInside(Rect(500, -25, 1082, 647), Rect(500, 30, 1082, 647), shadow, area), Axis::down);
  EXPECT_EQ(heldInside(Rect(500, 500, 1082, 647), Rect(500, 433, 1082, 647), shadow, area), Axis::down);
  // Landed as asked; asked out by more than the shadow; moved elsewhere than the edge; no shadow at all.
  EXPECT_EQ(heldInside(leftAsked, leftAsked, shadow, area), Axis::none);
  EXPECT_EQ(heldInside(Rect(-200, 100, 1082, 647), Rect(0, 100, 1082, 647), shadow, area), Axis::none);
  EXPECT_EQ(heldInside(leftAsked, Rect(40, 60, 1082, 647), shadow, area), Axis::none);
  EXPECT_EQ(heldInside(Rect(-1, 100, 960, 600), Rect(0, 100, 960, 600), {}, area), Axis::none);
}

}  // namespace
}  // namespace vistrel::x11
