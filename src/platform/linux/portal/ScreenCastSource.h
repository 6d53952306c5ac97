#pragma once
// Where a recording's frames come from on desktops that stream the screen
// through PipeWire: something that opens a screen-cast session for a display
// and names the PipeWire node carrying its frames: the ScreenCast portal
// (PortalScreenCast) on GNOME and KDE.

#include <cstdint>
#include <string>
#include <variant>

namespace vistrel::portal {

struct ScreenCastNode {
  // A connection to the PipeWire daemon that may see the node, handed over
  // to the stream, which closes it; -1 for the user's default daemon.
  int fd = -1;
  std::uint32_t nodeId = 0;
};

class ScreenCastSource {
 public:
  virtual ~ScreenCastSource() = default;
  // Opens a session casting display `displayID` (where the desktop lets the
  // program choose; the portal's user chooses) with the pointer drawn in when
  // `showsCursor`. The node, or why none could be had. Main thread.
  virtual std::variant<ScreenCastNode, std::string> open(std::uint32_t displayID, bool showsCursor) = 0;
  // Ends the session; safe to call twice and before open. Main thread.
  virtual void close() = 0;
};

}  // namespace vistrel::portal
