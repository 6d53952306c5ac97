#include "base/DefaultsCoercion.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

#include "base/Overload.h"

namespace vistrel::DefaultsCoercion {

namespace {

bool equalsIgnoringCase(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return i == a.size() && b[i] == '\0';
}

std::optional<std::int64_t> truncated(double v) {
  if (!std::isfinite(v)) return std::nullopt;
  const double t = std::trunc(v);
  if (t < -9.2233720368547758e18 || t >= 9.2233720368547758e18) return std::nullopt;
  return static_cast<std::int64_t>(t);
}

}  // namespace

std::optional<double> parseNumericText(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  if (begin == end) return std::nullopt;
  const char* first = text.data() + begin;
  if (*first == '+') ++first;
  double result = 0;
  const auto [ptr, ec] = std::from_chars(first, text.data() + end, result);
  if (ec != std::errc() || ptr != text.data() + end || !std::isfinite(result)) return std::nullopt;
  return result;
}

std::optional<bool> boolean(const DefaultsValue& value) {
  return std::visit(Overload{
                        [](const std::string& s) -> std::optional<bool> {
                          if (equalsIgnoringCase(s, "yes") || equalsIgnoringCase(s, "true")) return true;
                          if (equalsIgnoringCase(s, "no") || equalsIgnoringCase(s, "false")) return false;
                          if (const auto n = parseNumericText(s)) return *n != 0;
                          return std::nullopt;
                        },
                        [](bool b) -> std::optional<bool> { return b; },
                        [](std::int64_t i) -> std::optional<bool> { return i != 0; },
                        [](double d) -> std::optional<bool> {
                          if (std::isnan(d)) return std::nullopt;
                          return d != 0;
                        },
                        [](const QByteArray&) -> std::optional<bool> { return std::nullopt; },
                    },
                    value);
}

std::optional<std::int64_t> integer(const DefaultsValue& value) {
  return std::visit(Overload{
                        [](const std::string& s) -> std::optional<std::int64_t> {
                          if (const auto n = parseNumericText(s)) return truncated(*n);
                          return std::nullopt;
                        },
                        [](bool b) -> std::optional<std::int64_t> { return b ? 1 : 0; },
                        [](std::int64_t i) -> std::optional<std::int64_t> { return i; },
                        [](double d) -> std::optional<std::int64_t> { return truncated(d); },
                        [](const QByteArray&) -> std::optional<std::int64_t> { return std::nullopt; },
                    },
                    value);
}

std::optional<double> real(const DefaultsValue& value) {
  return std::visit(Overload{
                        [](const std::string& s) -> std::optional<double> { return parseNumericText(s); },
                        [](bool b) -> std::optional<double> { return b ? 1.0 : 0.0; },
                        [](std::int64_t i) -> std::optional<double> { return double(i); },
                        [](double d) -> std::optional<double> {
                          if (!std::isfinite(d)) return std::nullopt;
                          return d;
                        },
                        [](const QByteArray&) -> std::optional<double> { return std::nullopt; },
                    },
                    value);
}

}  // namespace vistrel::DefaultsCoercion
