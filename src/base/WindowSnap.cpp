#include "base/WindowSnap.h"

namespace vistrel::WindowSnaps {

namespace {

struct Entry {
  WindowSnap snap;
  std::string_view raw;
  std::string_view title;
  std::string_view symbol;
};

constexpr std::array<Entry, kCount> kEntries{{
    {WindowSnap::leftHalf, "leftHalf", "Left Half", "rectangle.lefthalf.filled"},
    {WindowSnap::rightHalf, "rightHalf", "Right Half", "rectangle.righthalf.filled"},
    {WindowSnap::centerHalf, "centerHalf", "Center Half", "rectangle.split.2x1"},
    {WindowSnap::topHalf, "topHalf", "Top Half", "rectangle.tophalf.filled"},
    {WindowSnap::bottomHalf, "bottomHalf", "Bottom Half", "rectangle.bottomhalf.filled"},
    {WindowSnap::topLeft, "topLeft", "Top Left", "rectangle.inset.filled"},
    {WindowSnap::topRight, "topRight", "Top Right", "rectangle.inset.filled"},
    {WindowSnap::bottomLeft, "bottomLeft", "Bottom Left", "rectangle.inset.filled"},
    {WindowSnap::bottomRight, "bottomRight", "Bottom Right", "rectangle.inset.filled"},
    {WindowSnap::firstThird, "firstThird", "First Third", "rectangle.split.3x1"},
    {WindowSnap::centerThird, "centerThird", "Center Third", "rectangle.split.3x1"},
    {WindowSnap::lastThird, "lastThird", "Last Third", "rectangle.split.3x1"},
    {WindowSnap::firstTwoThirds, "firstTwoThirds", "First Two Thirds", "rectangle.split.3x1"},
    {WindowSnap::lastTwoThirds, "lastTwoThirds", "Last Two Thirds", "rectangle.split.3x1"},
    {WindowSnap::maximize, "maximize", "Maximize", "arrow.up.left.and.arrow.down.right"},
    {WindowSnap::almostMaximize, "almostMaximize", "Almost Maximize", "rectangle.inset.filled"},
    {WindowSnap::maximizeHeight, "maximizeHeight", "Maximize Height", "arrow.up.and.down"},
    {WindowSnap::larger, "larger", "Larger", "plus.rectangle"},
    {WindowSnap::smaller, "smaller", "Smaller", "minus.rectangle"},
    {WindowSnap::center, "center", "Center", "square.dashed"},
    {WindowSnap::restore, "restore", "Restore", "arrow.uturn.backward"},
    {WindowSnap::nextDisplay, "nextDisplay", "Next Display", "chevron.right.2"},
    {WindowSnap::previousDisplay, "previousDisplay", "Previous Display", "chevron.left.2"},
}};

const Entry& entry(WindowSnap snap) { return kEntries[static_cast<std::size_t>(snap)]; }

}  // namespace

const std::array<WindowSnap, kCount>& allCases() {
  static const std::array<WindowSnap, kCount> cases = [] {
    std::array<WindowSnap, kCount> a{};
    for (std::size_t i = 0; i < kCount; ++i) a[i] = kEntries[i].snap;
    return a;
  }();
  return cases;
}

std::string_view rawValue(WindowSnap snap) { return entry(snap).raw; }
std::string_view title(WindowSnap snap) { return entry(snap).title; }
std::string_view symbolName(WindowSnap snap) { return entry(snap).symbol; }

std::optional<WindowSnap> fromRaw(std::string_view raw) {
  for (const auto& e : kEntries)
    if (e.raw == raw) return e.snap;
  return std::nullopt;
}

}  // namespace vistrel::WindowSnaps
