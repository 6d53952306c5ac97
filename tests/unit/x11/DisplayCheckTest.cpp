#include <gtest/gtest.h>

#include <QFile>

#include "platform/x11/X11Platform.h"
#include "support/ScopedEnv.h"

namespace vistrel::x11 {

using vistrel::testing::ScopedEnv;

namespace {

// Without a display the check gives one clear message, naming the display it tried.
TEST(DisplayCheckTest, MissingDisplayGivesOneClearMessage) {
  for (const char* unset : {static_cast<const char*>(nullptr), ""}) {
    ScopedEnv display("DISPLAY", unset);
    EXPECT_EQ(checkDisplay(), std::optional<std::string>("vistrel: DISPLAY is not set (no X display to run on)"));
  }
  if (QFile::exists("/tmp/.X11-unix/X87")) GTEST_SKIP() << "an X server runs on :87";
  ScopedEnv display("DISPLAY", ":87");
  EXPECT_EQ(checkDisplay(),
            std::optional<std::string>("vistrel: cannot open the X display \":87\" (is an X server running and DISPLAY set?)"));
}

}  // namespace
}  // namespace vistrel::x11
