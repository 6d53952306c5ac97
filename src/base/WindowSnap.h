#pragma once
// The 23 layout positions. Declaration order is the order menus and settings
// list them; raw values are what is stored and logged.

#include <array>
#include <optional>
#include <string_view>

namespace vistrel {

enum class WindowSnap {
  leftHalf,
  rightHalf,
  centerHalf,
  topHalf,
  bottomHalf,
  topLeft,
  topRight,
  bottomLeft,
  bottomRight,
  firstThird,
  centerThird,
  lastThird,
  firstTwoThirds,
  lastTwoThirds,
  maximize,
  almostMaximize,
  maximizeHeight,
  larger,
  smaller,
  center,
  restore,
  nextDisplay,
  previousDisplay,
};

namespace WindowSnaps {

inline constexpr std::size_t kCount = 23;
const std::array<WindowSnap, kCount>& allCases();

std::string_view rawValue(WindowSnap snap);
// Exact and case-sensitive.
std::optional<WindowSnap> fromRaw(std::string_view raw);
std::string_view title(WindowSnap snap);
std::string_view symbolName(WindowSnap snap);

}  // namespace WindowSnaps

}  // namespace vistrel
