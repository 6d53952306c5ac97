#pragma once
// One frame of an output, or of a region of it, through
// zwlr_screencopy_manager_v1 into a shared-memory buffer. The compositor
// answers with the output's next rendered frame (6-8 ms for 1080p on sway).

#include <QImage>
#include <QRect>

#include <optional>
#include <string>
#include <variant>

#include "platform/wayland/Deadline.h"
#include "platform/wayland/WaylandConnection.h"

namespace vistrel::wayland {

struct CopyFault {
  std::string description;  // words for the user
};

// `region` is in the output's logical pixels (top-left origin) and must lie
// inside the output; none takes the whole output. The image has the output's
// device pixels, upright, in QImage::Format_RGB32.
std::variant<QImage, CopyFault> copyOutput(WaylandConnection& connection, const Output& output,
                                           const std::optional<QRect>& region, bool withCursor, Deadline deadline);

}  // namespace vistrel::wayland
