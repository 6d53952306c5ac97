#include "update/UpdateNotice.h"

#include <QString>
#include <algorithm>
#include <charconv>

#include "update/TextTrim.h"

namespace vistrel::UpdateNotice {

Parsed parse(const std::optional<std::string>& description) {
  const QString text = TextTrim::whitespaceAndLineBreaks(QString::fromStdString(description.value_or("")));
  const QString marker = QString::fromLatin1(kForceMarker);
  if (!text.startsWith(marker)) return {std::nullopt, text.toStdString()};

  const QString rest = TextTrim::blanks(text.mid(marker.size()));
  const auto lineBreak = std::find_if(rest.begin(), rest.end(), TextTrim::isLineBreak);
  const QString first = rest.first(lineBreak - rest.begin());
  Parsed parsed;
  const QString version = TextTrim::blanks(first);
  if (!version.isEmpty()) parsed.forceBelow = version.toStdString();
  if (lineBreak != rest.end()) {
    parsed.notes = TextTrim::whitespaceAndLineBreaks(rest.mid(lineBreak - rest.begin() + 1)).toStdString();
  }
  return parsed;
}

std::vector<std::int64_t> parts(const std::string& version) {
  std::vector<std::int64_t> numbers;
  std::size_t start = 0;
  while (start <= version.size()) {
    const std::size_t dot = std::min(version.find('.', start), version.size());
    std::string_view piece(version.data() + start, dot - start);
    start = dot + 1;
    if (piece.empty()) continue;
    // A decimal integer may carry one sign; an overflowing one is not a number.
    std::string_view digits = piece;
    if (digits.starts_with('+')) {
      digits.remove_prefix(1);
      if (digits.starts_with('-')) digits = {};
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    const bool whole = !digits.empty() && error == std::errc() && end == digits.data() + digits.size();
    numbers.push_back(whole ? value : 0);
  }
  return numbers;
}

bool isOlder(const std::string& a, const std::string& than) {
  const auto left = parts(a);
  const auto right = parts(than);
  for (std::size_t i = 0; i < std::max(left.size(), right.size()); ++i) {
    const std::int64_t x = i < left.size() ? left[i] : 0;
    const std::int64_t y = i < right.size() ? right[i] : 0;
    if (x != y) return x < y;
  }
  return false;
}

}  // namespace vistrel::UpdateNotice
