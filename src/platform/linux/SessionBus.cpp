#include "platform/linux/SessionBus.h"

#include <cstdlib>
#include <cstring>

namespace vistrel::desktop {

namespace {
constexpr const char* kVariable = "DBUS_SESSION_BUS_ADDRESS";
constexpr const char* kNoBus = "disabled:";
}  // namespace

std::string sessionBusAddressWithoutAutolaunch() {
  const char* address = std::getenv(kVariable);
  if (address && *address && std::strcmp(address, kNoBus) != 0) return address;
  setenv(kVariable, kNoBus, 1);
  return {};
}

}  // namespace vistrel::desktop
