#pragma once
// A window's outer frame, the rectangle the user sees, from the client
// window's geometry: the window manager's decorations (_NET_FRAME_EXTENTS)
// added, the client-side shadow margins of toolkits that draw their own
// decorations (_GTK_FRAME_EXTENTS) taken off, so that two windows snapped
// side by side meet without a gap. All in root coordinates.

#include <cstdint>
#include <span>

#include "base/Rect.h"

namespace vistrel::x11 {

struct Extents {
  double left = 0;
  double right = 0;
  double top = 0;
  double bottom = 0;
  friend bool operator==(const Extents&, const Extents&) = default;
};

// Extents from a property's four items (left, right, top, bottom); anything
// else, or a value beyond any screen, reads as no extents.
Extents extentsFromItems(std::span<const std::uint32_t> items);

// `client` is the client window with its border, in root coordinates.
Rect outerFrame(const Rect& client, const Extents& frame, const Extents& shadow);

// The reference point of a move or resize request with NorthWest gravity: the
// window manager puts the top-left of its frame there, so the top-left of the
// visible frame lands on `outerTopLeft`.
Point northWestReference(Point outerTopLeft, const Extents& shadow);
// The client size that gives an outer frame of `outer`.
Size clientSizeFor(Size outer, const Extents& frame, const Extents& shadow);

// Where the outer frame `outer` lies in a picture of the top-level window
// `topLevel` (the manager's frame window, or the client itself; its border
// included), both in root coordinates: the picture's pixel (0, 0) is
// topLevel's top-left corner. The whole picture when they do not meet.
Rect outerFrameInPicture(const Rect& topLevel, const Rect& outer);

enum class Axis { none, across, down };
// Whether a manager held a move back to keep the whole window, invisible
// shadow included, inside the work area `area`: along an axis where the
// window asked for (`asked`, client and manager frame) reached out of the area
// by no more than its shadow, the window it put there (`now`) stops at the
// area's edge. `across` when it did so horizontally, else `down` when it did
// vertically.
Axis heldInside(const Rect& asked, const Rect& now, const Extents& shadow, const Rect& area);

}  // namespace vistrel::x11
