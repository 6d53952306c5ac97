#pragma once
// The notes of an update as a card shows them: at most eight short highlight
// lines, and the address of the full changelog on GitHub when a line gives one.

#include <optional>
#include <string>
#include <vector>

namespace vistrel {

struct FormattedReleaseNotes {
  std::vector<std::string> highlights;  // 1 to 8 entries
  std::optional<std::string> changelogURL;
  friend bool operator==(const FormattedReleaseNotes&, const FormattedReleaseNotes&) = default;
};

namespace ReleaseNotesFormat {

inline constexpr std::size_t kMaxHighlights = 8;
// The only host whose addresses count as a changelog.
inline constexpr const char* kChangelogHost = "github.com";

FormattedReleaseNotes format(const std::string& notes);
// The highlights used when the notes give none.
std::vector<std::string> defaultHighlights();

// The pieces of `format`, for their own tests.
std::optional<std::string> parseChangelogURL(const std::string& line);
std::optional<std::string> firstURL(const std::string& line);
std::string stripInlineMarkdown(const std::string& text);

}  // namespace ReleaseNotesFormat

}  // namespace vistrel
