#include "update/TextTrim.h"

namespace vistrel::TextTrim {

// Tab and the Unicode space separators, as Foundation's whitespace set.
bool isBlank(QChar c) { return c == u'\t' || c.category() == QChar::Separator_Space; }

// U+000A to U+000D, NEL, and the line and paragraph separators.
bool isLineBreak(QChar c) {
  const char16_t u = c.unicode();
  return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

namespace {

template <class Pred>
QString trim(const QString& text, Pred drop) {
  qsizetype start = 0;
  qsizetype end = text.size();
  while (start < end && drop(text[start])) ++start;
  while (end > start && drop(text[end - 1])) --end;
  return text.mid(start, end - start);
}

}  // namespace

QString blanks(const QString& text) { return trim(text, isBlank); }

QString whitespaceAndLineBreaks(const QString& text) {
  return trim(text, [](QChar c) { return isBlank(c) || isLineBreak(c); });
}

}  // namespace vistrel::TextTrim
