// The information dictionary, alone in its file: a test program that stands in
// for other builds links a definition of its own instead.

#include "BuildValues.h"
#include "platform/BundleInfo.h"

namespace vistrel::platform {

BundleInfo::Dictionary builtInInfoDictionary() {
  BundleInfo::Dictionary info{
      {"CFBundleShortVersionString", std::string(build::kVersion)},
      {"CFBundleVersion", std::string(build::kBuildNumber)},
      {"VistrelBuildChannel", std::string(build::kChannel)},
      {"VistrelReleaseDate", std::string(build::kReleaseDate)},
      {"VistrelAuthor", std::string(build::kAuthor)},
      {"SUFeedURL", std::string(build::kUpdateFeedURL)},
  };
  if (*build::kUpdatePublicKey) info.emplace("SUPublicEDKey", std::string(build::kUpdatePublicKey));
  return info;
}

}  // namespace vistrel::platform
