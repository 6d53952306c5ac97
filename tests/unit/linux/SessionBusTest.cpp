#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/linux/SessionBus.h"
#include "support/ScopedEnv.h"

namespace vistrel::desktop {

using vistrel::testing::ScopedEnv;

namespace {

// A bus address in the environment is used as it is; without one the environment is closed to on-demand buses.
TEST(SessionBusTest, NoAddressClosesTheEnvironmentToAutolaunch) {
  {
    ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/1000/bus");
    EXPECT_EQ(sessionBusAddressWithoutAutolaunch(), "unix:path=/run/user/1000/bus");
    EXPECT_STREQ(std::getenv("DBUS_SESSION_BUS_ADDRESS"), "unix:path=/run/user/1000/bus");
  }
  for (const char* none : {static_cast<const char*>(nullptr), ""}) {
    ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", none);
    EXPECT_EQ(sessionBusAddressWithoutAutolaunch(), "");
    EXPECT_STREQ(std::getenv("DBUS_SESSION_BUS_ADDRESS"), "disabled:");
    EXPECT_EQ(sessionBusAddressWithoutAutolaunch(), "") << "a second call still finds no bus";
  }
}

}  // namespace
}  // namespace vistrel::desktop
