#include "update/ReleaseNotesFormat.h"

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <algorithm>

#include "update/TextTrim.h"

namespace vistrel::ReleaseNotesFormat {

namespace {

// An address as the feed's author wrote it; text that is no valid URL gives none.
std::optional<QUrl> readURL(const QString& text) {
  const QUrl url(text, QUrl::StrictMode);
  if (!url.isValid() || url.scheme().isEmpty()) return std::nullopt;
  return url;
}

std::optional<QUrl> firstQURL(const QString& line) {
  static const QRegularExpression address(QStringLiteral(R"(https?://[^\s\)>]+)"));
  const auto match = address.match(line);
  if (!match.hasMatch()) return std::nullopt;
  QString text = match.captured();
  while (!text.isEmpty() && QStringLiteral(".,;)").contains(text.back())) text.chop(1);
  return readURL(text);
}

std::optional<QUrl> changelogQURL(const QString& line) {
  std::optional<QUrl> candidate;
  const QString lower = line.toLower();
  if (lower.contains(u"changelog") || lower.contains(u"compare/")) {
    candidate = firstQURL(line);
  } else if (line.startsWith(u"http")) {
    candidate = readURL(line);
  }
  if (!candidate || !candidate->host().contains(QLatin1String(kChangelogHost))) return std::nullopt;
  return candidate;
}

QString stripMarkup(QString text) {
  text.remove(QStringLiteral("**"));
  text.remove(QStringLiteral("__"));
  text.remove(u'`');
  const qsizetype open = text.indexOf(u'[');
  const qsizetype close = open < 0 ? -1 : text.indexOf(u']', open);
  if (close >= 0 && text.indexOf(u')', close) >= 0) text = text.mid(open + 1, close - open - 1);
  return TextTrim::blanks(text);
}

QStringList lines(const QString& text) {
  QStringList result;
  qsizetype start = 0;
  for (qsizetype i = 0; i <= text.size(); ++i) {
    if (i < text.size() && !TextTrim::isLineBreak(text[i])) continue;
    result.append(text.mid(start, i - start));
    start = i + 1;
  }
  return result;
}

std::string addressText(const QUrl& url) { return url.toString(QUrl::FullyEncoded).toStdString(); }

}  // namespace

std::vector<std::string> defaultHighlights() {
  return {"Improvements and bug fixes in this release.",
          "Install when you\u2019re ready \u2014 Vistrel restarts after updating."};
}

std::optional<std::string> firstURL(const std::string& line) {
  const auto url = firstQURL(QString::fromStdString(line));
  if (!url) return std::nullopt;
  return addressText(*url);
}

std::optional<std::string> parseChangelogURL(const std::string& line) {
  const auto url = changelogQURL(QString::fromStdString(line));
  if (!url) return std::nullopt;
  return addressText(*url);
}

std::string stripInlineMarkdown(const std::string& text) {
  return stripMarkup(QString::fromStdString(text)).toStdString();
}

FormattedReleaseNotes format(const std::string& notes) {
  FormattedReleaseNotes result;
  const QString text = TextTrim::whitespaceAndLineBreaks(QString::fromStdString(notes));
  if (text.isEmpty()) {
    result.highlights = defaultHighlights();
    return result;
  }
  for (const QString& raw : lines(text)) {
    QString line = TextTrim::blanks(raw);
    if (line.isEmpty()) continue;
    if (const auto url = changelogQURL(line)) {
      if (!result.changelogURL) result.changelogURL = addressText(*url);
      continue;
    }
    if (line.startsWith(u'#')) continue;
    if (line.startsWith(u"\u2022 ") || line.startsWith(u"* ") || line.startsWith(u"- ")) line.remove(0, 2);
    const std::string highlight = stripMarkup(line).toStdString();
    if (highlight.empty() || std::ranges::find(result.highlights, highlight) != result.highlights.end()) continue;
    result.highlights.push_back(highlight);
  }
  if (result.highlights.empty()) result.highlights = defaultHighlights();
  if (result.highlights.size() > kMaxHighlights) result.highlights.resize(kMaxHighlights);
  return result;
}

}  // namespace vistrel::ReleaseNotesFormat
