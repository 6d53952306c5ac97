#pragma once
// The only road into other programs' windows: finds the window a snap acts
// on, reads its frame, tells which display holds it, converts between the
// accessibility space (top-left origin, y down) and the AppKit space
// (bottom-left origin, y up), and moves and resizes it with a short
// self-correcting settle sequence, because programs apply a new frame only
// partly, late or within constraints of their own.
//
// Main thread only. Every failed read counts as an absent value; a read
// refused because this process is not trusted also sets accessDenied.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/Rect.h"
#include "base/Task.h"
#include "platform/Accessibility.h"
#include "platform/Screens.h"

namespace vistrel::AccessibilityWindow {

using Element = platform::AXElement;

// Process-wide state of window access.
struct State {
  // Reset by every target search; set when any read fails with kAXErrorAPIDisabled.
  bool accessDenied = false;
  // Programs prepared in this run; never shrinks.
  std::set<std::int32_t> preparedApps;
  // Generation of the settle sequence: a step started under an older id stops silently.
  int settleID = 0;
  // The snap's raw value, for the final log line only.
  std::string settleLabel;
  // Platform uptime when the current sequence began.
  double settleStarted = 0;
  // The visible frame (accessibility space) of the display that holds the
  // target: a window that cannot take the target's size stays inside it.
  std::optional<Rect> settleArea;
  // The last position this sequence asked for, the origin it wanted the
  // window at, and where the window was when it asked.
  struct PositionAsk {
    Point asked;
    Point wanted;
    Point from;
  };
  std::optional<PositionAsk> lastAsk;
};
State& state();
// Test-only: back to the state of a fresh run.
void resetForTesting();

// --- finding the window ---

std::optional<Element> targetWindow();
// The best window of one application element (window(in:)).
std::optional<Element> window(const Element& application);
std::optional<Element> windowAncestor(const Element& element);
bool isResizableWindow(const Element& window);
std::optional<Element> bestWindow(const std::vector<Element>& candidates);
// First contact lowers the messaging timeout and asks the program for its full accessibility tree.
void prepare(const Element& application);
// "subrole=... title=... ax=(x,y wxh)" for log lines.
std::string describe(const Element& window);
// The key of the restore memory: "<pid>|<title>".
std::string identity(const Element& window);

// --- frames and displays ---

// The accessibility-space frame, or none when position or size cannot be read.
std::optional<Rect> rawFrame(const Element& window);
double flipHeight();
// Between the two spaces: y' = flipHeight - y - height (the same formula both ways).
Rect toAppKit(const Rect& accessibilityFrame);
Rect toAccessibility(const Rect& appKitFrame);
// The display holding an AppKit-space rectangle, else the main display.
std::optional<platform::Screen> screenContaining(const Rect& rect);
// An AppKit-space frame carried to the next (+1) or previous (-1) display.
std::optional<Rect> frameMovingDisplaysBy(const Rect& frame, int delta);

// --- changing the frame ---

// Where the settle sequence puts a window of `size` for `target` (all in
// accessibility space). Along an axis where the window is larger than the
// target it goes to the target's edge that lies on the area's edge (the top
// or left one when both do), else it is centred on the target; along the
// other axes it takes the target's origin, or with `anchorBottom` its bottom
// edge. Along an axis where the target lies inside `area`, the window is then
// kept inside it (its top or left edge when it is larger than the area).
Point placement(Size size, const Rect& target, const std::optional<Rect>& area, bool anchorBottom);
// Whether a frame is where the sequence wants it: the target's size (within 8
// points across, 20 down, which resize increments may leave) and the
// placement of that size (within 6 points).
bool landed(const Rect& actual, const Rect& target, bool anchorBottom);
// Asks for the window's origin to be `wanted`. When the window manager moved
// the window in answer to this sequence's previous ask but put it elsewhere
// (it took the point for another reference point, or held the window back),
// the previous ask corrected by that miss goes out instead.
platform::AXError askPosition(const Element& window, Point wanted, const Rect& current);

// Starts the change to an AppKit-space target and returns whether it started;
// the outcome is reported only in the log ("snap-done" / "snap-partial").
// It does not start when the window refuses to be raised because it has
// vanished or access is denied.
bool setFrame(const Rect& target, const Element& window, const std::string& label);
// Begins a settle sequence towards an accessibility-space target.
bool commit(const Rect& target, const Element& window, bool anchorBottom, const std::string& label);
// The settle steps: each sleeps first (70 ms for shrink, 80 ms for the grow
// steps), then stops silently when superseded or when the window is unreadable.
Task<> shrink(Rect target, Element window, int id, int attempt, bool anchorBottom);
Task<> growHeightFirst(Rect target, Element window, int id, int attempt);
Task<> grow(Rect target, Element window, int id, int attempt);
// The one closing line of a sequence, unless a newer one has started.
void logSettleDone(const Rect& actual, const Rect& target, int id, int steps, bool partial);

// --- attribute helpers ---

std::optional<platform::AXValue> copyAttributeValue(const Element& element, std::string_view attribute);
std::optional<Element> copyElement(const Element& element, std::string_view attribute);
// A point or size value; anything else reads as absent.
std::optional<platform::AXValue> copyValue(const Element& element, std::string_view attribute);
std::optional<std::string> stringAttribute(const Element& element, std::string_view attribute);
std::optional<bool> boolAttribute(const Element& element, std::string_view attribute);
// An array gives its elements in order, a single element a list of one, anything else nothing.
std::vector<Element> axElements(const std::optional<platform::AXValue>& value);
// Writes of a position or size; a value that cannot be encoded (not finite) is not sent.
platform::AXError setPosition(const Element& window, Point origin);
platform::AXError setSize(const Element& window, Size size);

}  // namespace vistrel::AccessibilityWindow
