#include <string>
#include <vector>

#include "OverlayFixture.h"

using namespace vistrel;
using namespace vistrel::testing;

namespace {

// Qt global coordinates of an AppKit point on this desktop (the left display starts at global x 0).
QPointF global(double x, double y) { return {x + 1280, 900 - y}; }

class WindowPicking : public OverlayFlow {
 protected:
  // A window as the window server lists it: bounds with a top-left origin at the primary's top-left.
  void addWindow(std::uint32_t id, Rect bounds, std::int32_t pid, std::string owner, std::string title, int layer = 0) {
    sim->screenCapture().windows.push_back({{id, bounds, pid, std::move(owner), std::move(title), layer}, {}});
  }
  // Front-most first: only 12, 16, 17 and 18 can be picked.
  void addDesktopWindows() {
    addWindow(11, Rect(100, 100, 80, 600), 500, "Narrow", "Tall");
    addWindow(12, Rect(1200, 700, 81, 81), 500, "Small", "Tiny");
    addWindow(13, Rect(200, 200, 400, 300), sim::SimWorkspace::kOwnPID, "vistrel", "Editor");
    addWindow(14, Rect(0, 0, 1440, 30), 501, "Panel", "", 20);
    addWindow(15, Rect(3000, 3000, 200, 200), 502, "Far", "Away");
    addWindow(16, Rect(300, 150, 400, 300), 502, "Files", "");
    addWindow(17, Rect(-1000, 200, 300, 300), 503, "", "");
    addWindow(18, Rect(200, 100, 800, 600), 504, "Editor", "Doc");
    addWindow(0, Rect(500, 500, 200, 200), 505, "Ghost", "None");
    addWindow(19, Rect(0, 850, 1440, 50), 506, "Dock", "Dock");
  }
};

std::vector<std::uint32_t> ids(const std::vector<SelectedWindow>& windows) {
  std::vector<std::uint32_t> out;
  for (const auto& window : windows) out.push_back(window.id);
  return out;
}

}  // namespace

// The pick offers ordinary, large enough windows of other programs on some screen, in AppKit points with their titles.
TEST_F(WindowPicking, CandidatesSkipWhatCannotBePicked) {
  addDesktopWindows();
  start(WindowSelector::pick());
  ASSERT_NE(WindowPickSession::active(), nullptr);
  EXPECT_TRUE(sim->screenCapture().pickPrepared);
  const auto& windows = WindowPickSession::active()->windows();
  ASSERT_EQ(ids(windows), (std::vector<std::uint32_t>{12, 16, 17, 18}));
  EXPECT_EQ(windows[0], (SelectedWindow{12, Rect(1200, 119, 81, 81), "Small \u2014 Tiny"}));
  EXPECT_EQ(windows[1], (SelectedWindow{16, Rect(300, 450, 400, 300), "Files"}));
  EXPECT_EQ(windows[2], (SelectedWindow{17, Rect(-1000, 400, 300, 300), "Window"}));
  EXPECT_EQ(windows[3].title, "Editor \u2014 Doc");
}

// The front-most window under the pointer is highlighted and follows the pointer; a click returns it.
TEST_F(WindowPicking, FrontMostUnderPointerIsHighlightedAndClickReturnsIt) {
  addDesktopWindows();
  sim->screens().mouse = {500, 600};  // over 16, which lies in front of 18
  const auto outcome = start(WindowSelector::pick());
  auto* session = WindowPickSession::active();
  ASSERT_NE(session, nullptr);
  const auto overlays = session->overlays();
  ASSERT_EQ(overlays.size(), 2u);
  ASSERT_TRUE(session->highlight());
  EXPECT_EQ(session->highlight()->id, 16u);

  hover(overlays[0], global(900, 300));  // 18 only
  EXPECT_EQ(session->highlight()->id, 18u);
  hover(overlays[0], global(-900, 500));  // 17, on the left display
  EXPECT_EQ(session->highlight()->id, 17u);
  EXPECT_EQ(overlays[0]->highlight, session->highlight()) << "every overlay draws the highlight";
  EXPECT_TRUE(overlays[1]->showsLabel && !overlays[0]->showsLabel) << "only the window's own screen labels it";

  press(overlays[1], global(-200, 0));  // no window there: the pick goes on
  release(overlays[1], global(-200, 0));
  EXPECT_FALSE(session->highlight());
  ASSERT_EQ(WindowPickSession::active(), session);

  press(overlays[0], global(500, 600));
  release(overlays[0], global(500, 600));
  EXPECT_EQ(visibleOverlays(), 0);
  sim->clock().runPending();
  ASSERT_TRUE(outcome->value);
  EXPECT_EQ(*outcome->value, (SelectedWindow{16, Rect(300, 450, 400, 300), "Files"}));
  EXPECT_TRUE(sim->screenCapture().pickPrepared) << "the caller ends the pick after capturing the window";
}

// With no candidates (the list failed) a click does nothing and Escape cancels.
TEST_F(WindowPicking, EmptyListLeavesOnlyCancel) {
  addDesktopWindows();
  sim->screenCapture().failure = "no list";
  const auto outcome = start(WindowSelector::pick());
  sim->screenCapture().failure.reset();
  auto* primary = WindowPickSession::active()->overlays()[0];
  press(primary, global(500, 600));
  release(primary, global(500, 600));
  ASSERT_NE(WindowPickSession::active(), nullptr);
  key(primary, Qt::Key_Escape);
  sim->clock().runPending();
  EXPECT_EQ(outcome->error, CaptureError::cancelled);
  EXPECT_EQ(visibleOverlays(), 0);
}

// The title label sits centred above the window, clamped into the view, and goes below a window near the top.
TEST(TitleLabel, PlacementAboveBelowAndClamped) {
  const Size text{80, 16};
  const Size bounds{1440, 900};
  EXPECT_EQ(WindowSelector::titleLabelPlacement(Rect(100, 100, 400, 300), text, bounds),
            (TitleLabelPlacement{Rect(250, 402, 100, 28), Rect(260, 408, 80, 16)}));
  EXPECT_EQ(WindowSelector::titleLabelPlacement(Rect(100, 700, 400, 195), text, bounds),
            (TitleLabelPlacement{Rect(250, 662, 100, 28), Rect(260, 668, 80, 16)}));
  EXPECT_EQ(WindowSelector::titleLabelPlacement(Rect(-300, 100, 200, 200), text, bounds).pill.x, 12);
  EXPECT_EQ(WindowSelector::titleLabelPlacement(Rect(1400, 100, 200, 200), text, bounds).pill.x, 1440 - 100 - 12);
  EXPECT_EQ(WindowSelector::titleLabelPlacement(Rect(0, 0, 100, 100), Size{2000, 16}, bounds).pill.w, 1440 - 24);
}

// The highlighted window shows through its hole; the rest of the screen is dimmed at 0.35.
TEST_F(WindowPicking, OverlayDimsAroundTheHighlight) {
  addDesktopWindows();
  sim->screens().mouse = {500, 600};
  start(WindowSelector::pick());
  auto* primary = WindowPickSession::active()->overlays()[0];
  const QImage image = primary->grab().toImage().convertToFormat(QImage::Format_ARGB32);
  EXPECT_EQ(qAlpha(image.pixel(500, 350)), 0) << "inside window 16";
  EXPECT_NEAR(qAlpha(image.pixel(1300, 800)), 89, 2);
}
