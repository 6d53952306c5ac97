#include "platform/linux/ProcessBundleInfo.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vistrel::desktop {

namespace {

// An AppImage runs its executable from a temporary mount; the file the user
// installed, and the one to relaunch, is the image named by $APPIMAGE.
std::string runningFilePath() {
  if (const char* image = std::getenv("APPIMAGE"); image && *image) return image;
  std::error_code error;
  const auto resolved = std::filesystem::canonical("/proc/self/exe", error);
  if (!error) return resolved.string();
  // The executable was replaced or removed while running: the link still names where it was.
  const auto link = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : link.string();
}

}  // namespace

ProcessBundleInfo::ProcessBundleInfo() : dictionary_(platform::builtInInfoDictionary()), path_(runningFilePath()) {}

std::optional<platform::BundleInfo::InfoValue> ProcessBundleInfo::info(const std::string& key) const {
  const auto it = dictionary_.find(key);
  if (it == dictionary_.end()) return std::nullopt;
  return it->second;
}

}  // namespace vistrel::desktop
