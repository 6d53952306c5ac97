#pragma once
// Commands to a window manager that speaks i3's IPC protocol (i3 itself; sway
// speaks it too): a Unix socket carrying messages of the magic "i3-ipc", a
// 32-bit payload length and a 32-bit type in the host's byte order, and a
// JSON payload. Blocking, bounded by a deadline; main thread.

#include <string>

#include "platform/x11/Connection.h"

namespace vistrel::x11::i3ipc {

struct CommandResult {
  bool ok = false;
  std::string error;  // set when not ok: the manager's own words, or why it could not be asked
};

// Runs one command (message type RUN_COMMAND, for example
// "[id=12345] floating enable") and reads the manager's reply: ok when every
// command in it succeeded.
CommandResult runCommand(const std::string& socketPath, const std::string& command, Deadline deadline);

}  // namespace vistrel::x11::i3ipc
