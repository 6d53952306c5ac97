#pragma once
// Facts about the running build for update cards, read from the bundle's
// information dictionary at each call.

#include <QDate>
#include <QLocale>
#include <QString>
#include <string>

namespace vistrel::ReleaseInfo {

// Shown when the bundle names no author; the same text the build writes into it.
inline constexpr const char* kDefaultAuthor = "The Vistrel developers";
// Shown for a fact the bundle does not have.
inline constexpr const char* kMissing = "\u2014";

// "CFBundleShortVersionString", or "—".
std::string version();
// "VistrelReleaseDate" in the medium date style of the user's locale; text
// that is no date is shown as it is; "—" when missing or empty.
std::string releaseDateDisplay();
// "VistrelAuthor", or the compiled-in author when missing or empty.
std::string author();

// Qt has no medium date style (only long, short and narrow). Its closest
// honest equivalent is the locale's long date without the weekday and with
// abbreviated month names: "MMM d, yyyy" in en_US, "d MMM yyyy" in en_GB,
// which is what the medium style gives there.
QString mediumDateFormat(const QLocale& locale);
// `text` (already trimmed) as a date: ISO 8601 year-month-day, else the
// lenient fixed pattern year-month-day.
QDate parseReleaseDate(const QString& text);

}  // namespace vistrel::ReleaseInfo
