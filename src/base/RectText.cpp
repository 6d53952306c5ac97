#include "base/RectText.h"

#include <charconv>
#include <cstdio>
#include <string_view>

namespace vistrel::RectText {

namespace {

std::string number(double v) {
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, v);
  std::string text(buffer, error == std::errc() ? end : buffer);
  if (text.find_first_of(".eEn") == std::string::npos) text += ".0";  // n: inf and nan stay as they are
  return text;
}

}  // namespace

std::string frame(const Rect& r) {
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, "(%.0f,%.0f %.0fx%.0f)", r.x, r.y, r.w, r.h);
  return buffer;
}

std::string description(const Rect& r) {
  return "(" + number(r.x) + ", " + number(r.y) + ", " + number(r.w) + ", " + number(r.h) + ")";
}

}  // namespace vistrel::RectText
