#pragma once
// The pure geometry of layout: from a snap, the window's frame and the
// visible frame of its display to a target frame. Everything is in the
// AppKit screen space (origin bottom-left of the primary display, y up), so
// "top" means larger y. Nothing is rounded: thirds of odd widths stay
// fractional and are passed on as they are.

#include <cstddef>
#include <optional>
#include <vector>

#include "base/Rect.h"
#include "base/WindowSnap.h"

namespace vistrel {

// One display as the display move needs it: the full frame orders the
// displays, the visible frame is where windows are placed.
struct DisplayFrames {
  Rect frame;
  Rect visibleFrame;
};

namespace WindowSnapGeometry {

// The target frame of `snap` for a window at `current` on a display whose
// visible frame is `visible`; none for restore, nextDisplay and
// previousDisplay, which the window engine handles itself.
std::optional<Rect> rect(WindowSnap snap, const Rect& current, const Rect& visible);

// `r` clamped into `bounds`: first its size is limited to the bounds' size,
// then it is pushed inside, so the result always lies within `bounds`.
Rect fit(const Rect& r, const Rect& bounds);

// `current` carried from the visible frame `from` to the visible frame
// `onto`, keeping the relative position of its centre and, where the new
// display allows, its size.
Rect placed(const Rect& current, const Rect& from, const Rect& onto);

// `current` grown (delta +1) or shrunk (delta -1) about its centre by 8% of
// the visible frame (at least 32 points), never below 280 x 180 nor beyond
// the visible frame, then fitted into it.
Rect resized(const Rect& current, const Rect& visible, int delta);

// `current` moved to the next (delta +1) or previous (delta -1) display.
// `displays` are in the system's screen order and `windowDisplay` is the
// index in that list of the display that holds the window (none when it
// could not be determined). Displays are taken left to right (frame minX,
// ties by minY) and the move wraps around. None with fewer than two
// displays or without the window's display.
std::optional<Rect> displayMove(const Rect& current, int delta, const std::vector<DisplayFrames>& displays,
                                std::optional<std::size_t> windowDisplay);

}  // namespace WindowSnapGeometry

}  // namespace vistrel
