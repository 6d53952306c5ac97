#include "update/ReleaseInfo.h"

#include <QRegularExpression>

#include "platform/Platform.h"
#include "update/TextTrim.h"

namespace vistrel::ReleaseInfo {

namespace {

// The trimmed string value of `key`; empty when missing or not text.
QString trimmedInfo(const char* key) {
  const auto value = platform::current().bundle().infoString(key);
  return value ? TextTrim::whitespaceAndLineBreaks(QString::fromStdString(*value)) : QString();
}

}  // namespace

std::string version() {
  return platform::current().bundle().infoString("CFBundleShortVersionString").value_or(kMissing);
}

QString mediumDateFormat(const QLocale& locale) {
  QString format = locale.dateFormat(QLocale::LongFormat);
  static const QRegularExpression weekday(QStringLiteral(R"(d{3,4}[\s,\x{060C}]*)"));
  static const QRegularExpression longMonth(QStringLiteral("(?<!M)MMMM(?!M)"));
  static const QRegularExpression edges(QStringLiteral(R"(^[\s,\x{060C}]+|[\s,\x{060C}]+$)"));
  format.remove(weekday);
  format.replace(longMonth, QStringLiteral("MMM"));
  // A weekday that came last leaves its separators behind.
  return format.remove(edges);
}

QDate parseReleaseDate(const QString& text) {
  QDate date = QDate::fromString(text, Qt::ISODate);
  // The fixed pattern also accepts one-digit months and days, like a lenient date formatter.
  if (!date.isValid()) date = QDate::fromString(text, QStringLiteral("yyyy-M-d"));
  return date;
}

std::string releaseDateDisplay() {
  const QString text = trimmedInfo("VistrelReleaseDate");
  if (text.isEmpty()) return kMissing;
  const QDate date = parseReleaseDate(text);
  if (!date.isValid()) return text.toStdString();
  // One format for the run, made from the locale at first use.
  static const QString format = mediumDateFormat(QLocale());
  return QLocale().toString(date, format).toStdString();
}

std::string author() {
  const QString text = trimmedInfo("VistrelAuthor");
  return text.isEmpty() ? std::string(kDefaultAuthor) : text.toStdString();
}

}  // namespace vistrel::ReleaseInfo
