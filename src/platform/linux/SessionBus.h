#pragma once
// Which session bus the program talks to. Without $DBUS_SESSION_BUS_ADDRESS,
// libdbus would launch a bus of its own (dbus-launch --autolaunch, through the
// X display) the first time anything asks for the session bus; Qt's tray does
// so when the tray icon is made. That bus would outlive the program.

#include <string>

namespace vistrel::desktop {

// The session bus address from the environment, or empty when there is none.
// When there is none, the environment is given an address that cannot be
// opened ("disabled:"), so nothing in this process (Qt included) and none of
// its children starts a bus. Call on the main thread before anything uses D-Bus.
std::string sessionBusAddressWithoutAutolaunch();

}  // namespace vistrel::desktop
