#include "platform/BundleInfo.h"

#include "BuildValues.h"

namespace vistrel::platform {

std::optional<std::string> BundleInfo::infoString(const std::string& key) const {
  const auto v = info(key);
  if (!v) return std::nullopt;
  if (const auto* s = std::get_if<std::string>(&*v)) return *s;
  return std::nullopt;
}

BundleInfo::Dictionary builtInInfoDictionary() {
  return {
      {"CFBundleShortVersionString", std::string(build::kVersion)},
      {"CFBundleVersion", std::string(build::kBuildNumber)},
      {"VistrelBuildChannel", std::string(build::kChannel)},
      {"VistrelReleaseDate", std::string(build::kReleaseDate)},
      {"VistrelAuthor", std::string(build::kAuthor)},
  };
}

}  // namespace vistrel::platform
