#include <gtest/gtest.h>

#include "platform/sim/SimPlatform.h"
#include "update/ReleaseInfo.h"
#include "update/ReleaseNotesFormat.h"
#include "update/UpdateNotice.h"

namespace vistrel {
namespace {

using Strings = std::vector<std::string>;

// The force marker at the start splits off the version, with blanks around it ignored; the rest are the notes.
TEST(UpdateNoticeTest, ForceMarkerAtTheStart) {
  const auto parsed = UpdateNotice::parse("Vistrel-Force-Below: 2.3.0\n\n- Faster capture");
  EXPECT_EQ(parsed.forceBelow, "2.3.0");
  EXPECT_EQ(parsed.notes, "- Faster capture");
  EXPECT_EQ(UpdateNotice::parse("  \nVistrel-Force-Below:\t 2.3.0 \t\r\n- Faster capture\n\n").forceBelow, "2.3.0");
  EXPECT_EQ(UpdateNotice::parse("Vistrel-Force-Below: 2.3.0").notes, "");
}

// Without the marker at the very start, or with nothing after it, nothing is forced.
TEST(UpdateNoticeTest, NoForce) {
  const auto later = UpdateNotice::parse("- Faster capture\nVistrel-Force-Below: 2.3.0");
  EXPECT_EQ(later.forceBelow, std::nullopt);
  EXPECT_EQ(later.notes, "- Faster capture\nVistrel-Force-Below: 2.3.0");
  EXPECT_EQ(UpdateNotice::parse("Vistrel-Force-Below:"), (UpdateNotice::Parsed{std::nullopt, ""}));
  EXPECT_EQ(UpdateNotice::parse("Vistrel-Force-Below:  \n- Faster"), (UpdateNotice::Parsed{std::nullopt, "- Faster"}));
  EXPECT_EQ(UpdateNotice::parse(std::nullopt), (UpdateNotice::Parsed{std::nullopt, ""}));
  EXPECT_EQ(UpdateNotice::parse("vistrel-force-below: 2.3.0").forceBelow, std::nullopt);
}

// Dotted versions: empty pieces dropped, non-numbers as 0, missing positions as 0.
TEST(UpdateNoticeTest, VersionParts) {
  using Parts = std::vector<std::int64_t>;
  EXPECT_EQ(UpdateNotice::parts("1.10.2"), (Parts{1, 10, 2}));
  EXPECT_EQ(UpdateNotice::parts("2.0b"), (Parts{2, 0}));
  EXPECT_EQ(UpdateNotice::parts("1..3."), (Parts{1, 3}));
  EXPECT_EQ(UpdateNotice::parts(""), Parts{});
  EXPECT_EQ(UpdateNotice::parts("+4.x.99999999999999999999"), (Parts{4, 0, 0}));

  EXPECT_FALSE(UpdateNotice::isOlder("1.2", "1.2.0"));
  EXPECT_FALSE(UpdateNotice::isOlder("1.2.0", "1.2"));
  EXPECT_TRUE(UpdateNotice::isOlder("1.9", "1.10"));
  EXPECT_FALSE(UpdateNotice::isOlder("1.10", "1.9"));
  EXPECT_FALSE(UpdateNotice::isOlder("2.0b", "2.0"));
  EXPECT_TRUE(UpdateNotice::isOlder("1.4.0", "1.4.5"));
  EXPECT_FALSE(UpdateNotice::isOlder("1.4.5", "1.4.5"));
  EXPECT_TRUE(UpdateNotice::isOlder("0", "0.0.1"));
}

// Bullets lose their marker, headings and blank lines are skipped, duplicates collapse, at most eight remain.
TEST(ReleaseNotesFormatTest, Highlights) {
  EXPECT_EQ(ReleaseNotesFormat::format("- Faster capture").highlights, Strings{"Faster capture"});
  EXPECT_EQ(ReleaseNotesFormat::format("# 1.5.0\n\n• Pins\n* Pins\n-Tight\n  - Spaced  ").highlights,
            (Strings{"Pins", "-Tight", "Spaced"}));
  std::string ten;
  for (int i = 1; i <= 10; ++i) ten += "- Item " + std::to_string(i) + "\n";
  const auto eight = ReleaseNotesFormat::format(ten).highlights;
  ASSERT_EQ(eight.size(), 8u);
  EXPECT_EQ(eight.front(), "Item 1");
  EXPECT_EQ(eight.back(), "Item 8");
}

// Notes that give no highlight (empty, only headings, only markup) give the two defaults.
TEST(ReleaseNotesFormatTest, DefaultHighlights) {
  const Strings defaults{"Improvements and bug fixes in this release.",
                         "Install when you\u2019re ready \u2014 Vistrel restarts after updating."};
  for (const char* notes : {"", " \n\t", "# Vistrel 1.5\n\n## Fixes\n", "- **\n- ``"}) {
    const auto formatted = ReleaseNotesFormat::format(notes);
    EXPECT_EQ(formatted.highlights, defaults) << notes;
    EXPECT_EQ(formatted.changelogURL, std::nullopt);
  }
}

// Inline markup goes: bold, underscores and backticks; a link keeps only its label.
TEST(ReleaseNotesFormatTest, InlineMarkup) {
  EXPECT_EQ(ReleaseNotesFormat::format("- **New:** a `pin` [guide](https://example.com/guide) here").highlights,
            Strings{"guide"});
  EXPECT_EQ(ReleaseNotesFormat::format("- **New:** pinned windows").highlights, Strings{"New: pinned windows"});
  EXPECT_EQ(ReleaseNotesFormat::stripInlineMarkdown("__a__ [b] c"), "a [b] c");
  EXPECT_EQ(ReleaseNotesFormat::stripInlineMarkdown("x ) [b]"), "x ) [b]");
  EXPECT_EQ(ReleaseNotesFormat::stripInlineMarkdown("[] (y)"), "");
}

// A changelog line on GitHub gives the address without trailing punctuation and no highlight; other hosts do not.
TEST(ReleaseNotesFormatTest, ChangelogAddress) {
  const auto github = ReleaseNotesFormat::format(
      "- Faster capture\nFull changelog (https://github.com/vistrel/vistrel/compare/v1.4.0...v1.5.0).\n"
      "Changelog: https://github.com/vistrel/vistrel/releases");
  EXPECT_EQ(github.changelogURL, "https://github.com/vistrel/vistrel/compare/v1.4.0...v1.5.0");
  EXPECT_EQ(github.highlights, Strings{"Faster capture"});

  const auto elsewhere = ReleaseNotesFormat::format("Full changelog (https://example.com/compare/v1...v2).");
  EXPECT_EQ(elsewhere.changelogURL, std::nullopt);
  EXPECT_EQ(elsewhere.highlights, Strings{"Full changelog (https://example.com/compare/v1...v2)."});

  EXPECT_EQ(ReleaseNotesFormat::parseChangelogURL("https://github.com/vistrel/vistrel/releases/tag/v1.5.0"),
            "https://github.com/vistrel/vistrel/releases/tag/v1.5.0");
  EXPECT_EQ(ReleaseNotesFormat::parseChangelogURL("https://github.com/a b"), std::nullopt);
  EXPECT_EQ(ReleaseNotesFormat::parseChangelogURL("See the changelog soon"), std::nullopt);
  EXPECT_EQ(ReleaseNotesFormat::firstURL("at <https://github.com/x>, ok"), "https://github.com/x");
  EXPECT_EQ(ReleaseNotesFormat::firstURL("no address"), std::nullopt);
}

// The build's facts: present values trimmed, missing or non-text ones replaced.
TEST(ReleaseInfoTest, Facts) {
  sim::ScopedSimPlatform sim;
  auto& info = sim->bundle().dictionary;
  info["CFBundleShortVersionString"] = std::string("1.4.0");
  info["VistrelAuthor"] = std::string("  Ann Example\n");
  EXPECT_EQ(ReleaseInfo::version(), "1.4.0");
  EXPECT_EQ(ReleaseInfo::author(), "Ann Example");

  info["CFBundleShortVersionString"] = std::int64_t(14);
  info["VistrelAuthor"] = std::string(" \n");
  EXPECT_EQ(ReleaseInfo::version(), "\u2014");
  EXPECT_EQ(ReleaseInfo::author(), "The Vistrel developers");
  info.erase("VistrelAuthor");
  EXPECT_EQ(ReleaseInfo::author(), "The Vistrel developers");
}

// A release date is shown in the medium style; text that is no date as it is; nothing as a dash.
TEST(ReleaseInfoTest, ReleaseDate) {
  sim::ScopedSimPlatform sim;
  auto& info = sim->bundle().dictionary;
  const QString medium = QLocale().toString(QDate(2026, 3, 5), ReleaseInfo::mediumDateFormat(QLocale()));
  for (const char* value : {"2026-03-05", " 2026-03-05\n", "2026-3-5"}) {
    info["VistrelReleaseDate"] = std::string(value);
    EXPECT_EQ(ReleaseInfo::releaseDateDisplay(), medium.toStdString()) << value;
  }
  info["VistrelReleaseDate"] = std::string(" spring 2026 ");
  EXPECT_EQ(ReleaseInfo::releaseDateDisplay(), "spring 2026");
  info["VistrelReleaseDate"] = std::string("2026-02-30");
  EXPECT_EQ(ReleaseInfo::releaseDateDisplay(), "2026-02-30");
  info["VistrelReleaseDate"] = std::string("");
  EXPECT_EQ(ReleaseInfo::releaseDateDisplay(), "\u2014");
  info["VistrelReleaseDate"] = true;
  EXPECT_EQ(ReleaseInfo::releaseDateDisplay(), "\u2014");
}

// The medium style is the long date without the weekday and with short month names.
TEST(ReleaseInfoTest, MediumDateStyle) {
  const QDate date(2026, 3, 5);
  const auto medium = [&](const char* name) {
    const QLocale locale(QString::fromLatin1(name));
    return locale.toString(date, ReleaseInfo::mediumDateFormat(locale)).toStdString();
  };
  EXPECT_EQ(medium("en_US"), "Mar 5, 2026");
  EXPECT_EQ(medium("en_GB"), "5 Mar 2026");
  EXPECT_EQ(ReleaseInfo::mediumDateFormat(QLocale(QStringLiteral("de_DE"))).contains(u"ddd"), false);
  EXPECT_EQ(ReleaseInfo::mediumDateFormat(QLocale(QStringLiteral("zh_CN"))).contains(u"ddd"), false);
}

}  // namespace
}  // namespace vistrel
