#pragma once
// What the program knows about its own build and where it lives: the
// information dictionary ("CFBundleShortVersionString", "CFBundleVersion",
// "VistrelBuildChannel", "VistrelReleaseDate", "VistrelAuthor", and for the
// updater "SUFeedURL" and "SUPublicEDKey", the release key's public half in
// base64, present only in builds that have one), the bundle path and identifier.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>

namespace vistrel::platform {

class BundleInfo {
 public:
  using InfoValue = std::variant<std::string, std::int64_t, bool>;
  using Dictionary = std::map<std::string, InfoValue>;

  virtual ~BundleInfo() = default;

  virtual std::optional<InfoValue> info(const std::string& key) const = 0;
  // The file the program runs from (the executable, or the AppImage it came in).
  virtual std::string bundlePath() const = 0;
  virtual std::string bundleIdentifier() const = 0;

  // The value of `key` when it is present and a string.
  std::optional<std::string> infoString(const std::string& key) const;
};

// The information dictionary this build was configured with.
BundleInfo::Dictionary builtInInfoDictionary();
// The identifier every build of the program carries.
inline constexpr const char* kBundleIdentifier = "app.vistrel.Vistrel";

}  // namespace vistrel::platform
