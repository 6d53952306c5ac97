#include <gtest/gtest.h>

#include <string>

#include "platform/linux/ProcessBundleInfo.h"
#include "support/ScopedEnv.h"

namespace vistrel::desktop {

using vistrel::testing::ScopedEnv;

namespace {

// The bundle path is the AppImage when one is named, else the resolved executable of this process.
TEST(ProcessBundleInfoTest, BundlePathFollowsAppImage) {
  {
    ScopedEnv image("APPIMAGE", "/home/ann/Apps/Vistrel.AppImage");
    EXPECT_EQ(ProcessBundleInfo().bundlePath(), "/home/ann/Apps/Vistrel.AppImage");
  }
  for (const char* unset : {static_cast<const char*>(nullptr), ""}) {
    ScopedEnv image("APPIMAGE", unset);
    const std::string path = ProcessBundleInfo().bundlePath();
    EXPECT_TRUE(path.starts_with('/')) << path;
    EXPECT_TRUE(path.ends_with("/unit_linux")) << path;
  }
}

}  // namespace
}  // namespace vistrel::desktop
