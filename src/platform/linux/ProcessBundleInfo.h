#pragma once
// The running program's own bundle: the information dictionary built in, and
// the file it runs from (the AppImage it came in, else its executable).

#include "platform/BundleInfo.h"

namespace vistrel::desktop {

class ProcessBundleInfo : public platform::BundleInfo {
 public:
  // Reads $APPIMAGE and /proc/self/exe once, here.
  ProcessBundleInfo();

  std::optional<InfoValue> info(const std::string& key) const override;
  std::string bundlePath() const override { return path_; }
  std::string bundleIdentifier() const override { return platform::kBundleIdentifier; }

 private:
  Dictionary dictionary_;
  std::string path_;
};

}  // namespace vistrel::desktop
