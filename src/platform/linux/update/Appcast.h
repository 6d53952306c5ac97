#pragma once
// The update feed: an RSS appcast with the sparkle namespace. Of each item
// the updater reads the title, sparkle:version and sparkle:shortVersionString
// (as elements, or as attributes of the enclosure), the description, and the
// enclosure's url, length and sparkle:edSignature.
//
// A feed is refused as a whole when it is not well-formed XML, declares a DTD,
// is not RSS, exceeds the limits below, or has an item without a version, an
// http(s) address, a length or a signature of the right shape: one broken item
// means the feed was not made by the release tooling.

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/Updater.h"

namespace vistrel::desktop::Appcast {

inline constexpr const char* kSparkleNamespace = "http://www.andymatuschak.org/xml-namespaces/sparkle";
// Input limits: the feed document, its items, and any one text in it.
inline constexpr qsizetype kMaxFeedBytes = 1 << 20;
inline constexpr std::size_t kMaxItems = 1000;
inline constexpr qsizetype kMaxTextBytes = 64 << 10;
// The largest update archive an item may announce.
inline constexpr std::uint64_t kMaxArchiveBytes = std::uint64_t(256) << 20;

using Items = std::vector<platform::AppcastItem>;

// The items in document order, or why the feed is refused.
std::variant<Items, std::string> parse(const QByteArray& xml);

// Dotted versions compared position by position, a missing position counting
// as 0 and a piece that is no decimal number as 0: "1.2" equals "1.2.0", "1.9" < "1.10".
int compareVersions(const std::string& a, const std::string& b);

// The item with the highest version, when that version is above `current`.
std::optional<platform::AppcastItem> newestNewerThan(const Items& items, const std::string& current);

}  // namespace vistrel::desktop::Appcast
