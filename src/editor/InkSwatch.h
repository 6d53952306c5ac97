#pragma once
// The ink palette of the editor and the remembered ink ("vistrel.ink"),
// which outlives the window and the process.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "editor/MarkupItem.h"

namespace vistrel {

struct InkSwatch {
  std::string name;  // also its identity
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;

  // The eight swatches of the ink menu, in menu order.
  static const std::vector<InkSwatch>& palette();

  // "#RRGGBB" or "RRGGBB" with blanks and line breaks around it; anything
  // else yields nothing. Alpha 1.
  static std::optional<MarkupColor> color(std::string_view hex);
  // Stores the colour's hex under "vistrel.ink".
  static void remember(const MarkupColor& color);
  // The stored ink; opaque black when none is stored or it is unreadable.
  static MarkupColor remembered();

  MarkupColor color() const;
  // Each of red, green, blue strictly less than 1.5 from the swatch's bytes.
  bool matches(const MarkupColor& color) const;

  friend bool operator==(const InkSwatch& a, const InkSwatch& b) { return a.name == b.name; }
};

inline constexpr const char* kInkKey = "vistrel.ink";

}  // namespace vistrel
