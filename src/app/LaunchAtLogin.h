#pragma once

namespace vistrel::LaunchAtLogin {

// Registers (true) or unregisters (false) the program as a login item.
// On failure it logs "launch-at-login failed enabled=..." and returns false;
// the login-item service itself is the only record of the state.
bool setEnabled(bool enabled);

}  // namespace vistrel::LaunchAtLogin
