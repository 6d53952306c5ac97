#include "editor/InkSwatch.h"

#include <cmath>
#include <cstdint>

#include "platform/Platform.h"

namespace vistrel {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

const std::vector<InkSwatch>& InkSwatch::palette() {
  static const std::vector<InkSwatch> swatches{
      {"Red", 0xFF, 0x3B, 0x30},   {"Orange", 0xFF, 0x95, 0x00}, {"Yellow", 0xFF, 0xCC, 0x00},
      {"Green", 0x34, 0xC7, 0x59}, {"Blue", 0x00, 0x7A, 0xFF},   {"Purple", 0xAF, 0x52, 0xDE},
      {"Black", 0x00, 0x00, 0x00}, {"White", 0xFF, 0xFF, 0xFF},
  };
  return swatches;
}

std::optional<MarkupColor> InkSwatch::color(std::string_view hex) {
  while (!hex.empty() && isBlank(hex.front())) hex.remove_prefix(1);
  while (!hex.empty() && isBlank(hex.back())) hex.remove_suffix(1);
  if (!hex.empty() && hex.front() == '#') hex.remove_prefix(1);
  if (hex.size() != 6) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : hex) {
    const int digit = hexDigit(c);
    if (digit < 0) return std::nullopt;
    value = value * 16 + std::uint32_t(digit);
  }
  return MarkupColor{((value >> 16) & 0xFF) / 255.0, ((value >> 8) & 0xFF) / 255.0, (value & 0xFF) / 255.0, 1};
}

void InkSwatch::remember(const MarkupColor& color) {
  platform::current().defaults().setString(kInkKey, color.hex());
}

MarkupColor InkSwatch::remembered() {
  if (const auto stored = platform::current().defaults().string(kInkKey))
    if (const auto ink = color(*stored)) return *ink;
  return MarkupColor{0, 0, 0, 1};
}

MarkupColor InkSwatch::color() const { return MarkupColor{red / 255.0, green / 255.0, blue / 255.0, 1}; }

bool InkSwatch::matches(const MarkupColor& color) const {
  const auto near = [](double component, std::uint8_t byte) { return std::abs(component * 255 - byte) < 1.5; };
  return near(color.red, red) && near(color.green, green) && near(color.blue, blue);
}

}  // namespace vistrel
