#include "platform/x11/X11Accessibility.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>

#include "base/LayoutLog.h"
#include "platform/linux/ApplicationAttributes.h"
#include "platform/x11/DesktopSpaces.h"
#include "platform/x11/FrameGeometry.h"
#include "platform/x11/I3Ipc.h"
#include "platform/x11/Monitors.h"
#include "platform/x11/WmRequests.h"
#include "platform/x11/X11Screens.h"

namespace vistrel::x11 {

using platform::AXElement;
using platform::AXError;
using platform::AXResult;
using platform::AXValue;
using platform::axFailure;
using platform::axSuccess;
namespace ax = platform::ax;
using desktop::isOneOf;
using desktop::processExists;

namespace {

// A local server answers in well under a millisecond; the bound matters only
// when it is stuck. The product lowers it per program once it knows one.
constexpr double kDefaultTimeoutSeconds = 1.2;

// How long a write waits for the window manager to take a window out of its
// maximized state (a few milliseconds, usually), and how often it looks.
constexpr double kUnmaximizeSeconds = 0.5;
constexpr double kUnmaximizePollSeconds = 0.005;
// How long after a move or resize a read of the frame waits for the window
// manager to apply it. A request lands in a few milliseconds; one the manager
// refuses (a size below the window's minimum) never shows, so the wait is
// bounded. Waiting there keeps a read that follows a write from seeing the
// frame from before it, while the write itself returns at once.
constexpr double kApplySeconds = 0.06;
constexpr auto kApplyPoll = std::chrono::milliseconds(2);

// Letting a held window out takes three round trips through the manager, each a few milliseconds.
constexpr double kLetOutSeconds = 0.3;
// Windows whose last move is remembered; a long run forgets them all at once.
constexpr std::size_t kMaxRememberedMoves = 64;

// The window as the manager places it: the client with the manager's frame, a client-drawn shadow included.
Rect wholeWindow(const WindowFacts& facts) {
  return outerFrame(facts.client, facts.frame, Extents{});
}

AXError errorOf(Fault fault) {
  switch (fault) {
    case Fault::none: return platform::kAXErrorSuccess;
    case Fault::vanished: return platform::kAXErrorInvalidUIElement;
    case Fault::timedOut:
    case Fault::disconnected: return platform::kAXErrorCannotComplete;
  }
  return platform::kAXErrorFailure;
}

// Window elements carry X ids, which have 29 bits.
bool isWindowId(std::uint64_t id) { return id != 0 && id <= 0x1fffffffu; }

bool isPreparationAttribute(std::string_view attribute) {
  return attribute == ax::manualAccessibility || attribute == ax::enhancedUserInterface;
}

}  // namespace

X11Accessibility::X11Accessibility(Connection& connection)
    : connection_(connection), timeouts_(kDefaultTimeoutSeconds) {
  std::vector<std::string> names;
  for (const WindowType type : allWindowTypes()) names.emplace_back(atomName(type));
  const auto atoms = connection_.internAtoms(names, deadlineAfter(kDefaultTimeoutSeconds));
  for (std::size_t i = 0; i < atoms.size(); ++i) {
    if (atoms[i] != XCB_ATOM_NONE) windowTypes_.emplace_back(atoms[i], allWindowTypes()[i]);
  }
}

AXElement X11Accessibility::windowElement(std::int32_t pid, xcb_window_t window) const {
  return {AXElement::Kind::window, pid, window};
}

Deadline X11Accessibility::deadlineFor(const AXElement& element) const {
  return deadlineAfter(timeouts_.seconds(element));
}

AXResult X11Accessibility::copyAttributeValue(const AXElement& element, std::string_view attribute) {
  connection_.drainEvents();
  const Deadline deadline = deadlineFor(element);
  switch (element.kind) {
    case AXElement::Kind::systemWide: return readSystemWide(attribute, deadline);
    case AXElement::Kind::application: return readApplication(element.pid, attribute, deadline);
    case AXElement::Kind::window: return readWindow(element, attribute, deadline);
    case AXElement::Kind::uiElement: break;
  }
  return axFailure(platform::kAXErrorInvalidUIElement);
}

std::optional<std::int32_t> X11Accessibility::ownerOf(xcb_window_t window, Deadline deadline) {
  const xcb_window_t windows[] = {window};
  const std::int32_t owner = ownerPids(connection_, windows, deadline).front();
  if (owner == 0) return std::nullopt;
  return owner;
}

AXResult X11Accessibility::readSystemWide(std::string_view attribute, Deadline deadline) {
  if (!isOneOf(attribute, {ax::focusedApplication, ax::focusedUIElement})) {
    return axFailure(platform::kAXErrorAttributeUnsupported);
  }
  const auto active = activeWindow(connection_, deadline);
  if (!active.value) return axFailure(errorOf(active.fault));
  if (*active.value == XCB_WINDOW_NONE) return axFailure(platform::kAXErrorNoValue);
  const auto owner = ownerOf(*active.value, deadline);
  if (!owner) return axFailure(platform::kAXErrorNoValue);
  if (attribute == ax::focusedApplication) return axSuccess(applicationElement(*owner));
  return axSuccess(windowElement(*owner, *active.value));
}

AXResult X11Accessibility::readApplication(std::int32_t pid, std::string_view attribute, Deadline deadline) {
  const bool windowsWanted = isOneOf(attribute, {ax::windows, ax::children});
  const bool focusWanted = isOneOf(attribute, {ax::focusedWindow, ax::mainWindow, ax::focusedUIElement});
  if (!windowsWanted && !focusWanted && attribute != ax::role) return axFailure(platform::kAXErrorAttributeUnsupported);
  if (pid == 0 || (pid > 0 && !processExists(pid))) return axFailure(platform::kAXErrorInvalidUIElement);
  if (attribute == ax::role && pid > 0) return axSuccess(std::string(ax::roleApplication));

  if (focusWanted) {
    // The active window when it is this program's, else its topmost one.
    const auto active = activeWindow(connection_, deadline);
    if (!active.value) return axFailure(errorOf(active.fault));
    if (*active.value != XCB_WINDOW_NONE && ownerOf(*active.value, deadline) == pid) {
      return axSuccess(windowElement(pid, *active.value));
    }
  }
  const auto windows = windowsOf(connection_, pid, deadline);
  if (!windows.value) return axFailure(errorOf(windows.fault));
  // A synthetic program exists only through its windows.
  if (pid < 0 && windows.value->empty()) return axFailure(platform::kAXErrorInvalidUIElement);

  if (attribute == ax::role) return axSuccess(std::string(ax::roleApplication));
  if (focusWanted) {
    if (windows.value->empty()) return axFailure(platform::kAXErrorNoValue);
    return axSuccess(windowElement(pid, windows.value->front()));
  }
  std::vector<AXElement> elements;
  for (const xcb_window_t window : *windows.value) elements.push_back(windowElement(pid, window));
  return axSuccess(std::move(elements));
}

std::string_view X11Accessibility::subroleOf(const WindowFacts& facts) const {
  std::vector<std::optional<WindowType>> listed;
  for (const xcb_atom_t atom : facts.types) {
    const auto it = std::find_if(windowTypes_.begin(), windowTypes_.end(),
                                 [atom](const auto& entry) { return entry.first == atom; });
    listed.push_back(it == windowTypes_.end() ? std::nullopt : std::optional(it->second));
  }
  return subrole(effectiveWindowType(listed, facts.transient));
}

Rect X11Accessibility::primaryMonitor(Deadline deadline) {
  const auto monitors = readMonitors(connection_, deadline);
  if (!monitors.value || monitors.value->empty()) return Rect(0, 0, connection_.rootWidth(), connection_.rootHeight());
  return monitors.value->front().frame;
}

AXResult X11Accessibility::readWindow(const AXElement& element, std::string_view attribute, Deadline deadline) {
  if (!isOneOf(attribute, {ax::role, ax::subrole, ax::title, ax::position, ax::size, ax::minimized, ax::fullScreen,
                           ax::parent})) {
    return axFailure(platform::kAXErrorAttributeUnsupported);
  }
  if (!isWindowId(element.id)) return axFailure(platform::kAXErrorInvalidUIElement);
  const auto window = xcb_window_t(element.id);
  const auto facts = x11::readWindow(connection_, window, deadline);
  if (!facts.value) return axFailure(errorOf(facts.fault));
  const Atoms& atoms = connection_.atoms();

  if (attribute == ax::role) return axSuccess(std::string(ax::roleWindow));
  if (attribute == ax::subrole) return axSuccess(std::string(subroleOf(*facts.value)));
  if (attribute == ax::title) {
    if (!facts.value->title) return axFailure(platform::kAXErrorNoValue);
    return axSuccess(*facts.value->title);
  }
  if (attribute == ax::minimized) return axSuccess(facts.value->hasState(atoms.netWmStateHidden));
  if (attribute == ax::fullScreen) return axSuccess(facts.value->hasState(atoms.netWmStateFullscreen));
  if (attribute == ax::parent) {
    const auto owner = element.pid != 0 ? std::optional(element.pid) : ownerOf(window, deadline);
    if (!owner) return axFailure(platform::kAXErrorNoValue);
    return axSuccess(applicationElement(*owner));
  }
  const Rect primary = primaryMonitor(deadline);
  Rect frame = rootToAccessibility(facts.value->outer(), primary);
  if (const auto pending = pendingWrites_.find(window); pending != pendingWrites_.end()) {
    // Read what was written: a request just sent shows within a few milliseconds, unless the manager refuses it.
    const PendingWrite written = pending->second;
    pendingWrites_.erase(pending);
    if (frame == written.before) {
      awaitFrameChange(window, written.before, primary, std::min(deadline, written.shows));
      const auto after = x11::readWindow(connection_, window, deadline);
      if (!after.value) return axFailure(errorOf(after.fault));
      frame = rootToAccessibility(after.value->outer(), primary);
    }
  }
  if (attribute == ax::position) return axSuccess(frame.origin());
  return axSuccess(frame.size());
}

AXError X11Accessibility::setAttributeValue(const AXElement& element, std::string_view attribute,
                                            const AXValue& value) {
  connection_.drainEvents();
  if (element.kind == AXElement::Kind::window) return writeWindow(element, attribute, value, deadlineFor(element));
  if (element.kind == AXElement::Kind::uiElement) return platform::kAXErrorInvalidUIElement;
  // Programs on X11 have no accessibility tree to switch on: accepted, nothing to do.
  if (isPreparationAttribute(attribute)) {
    return std::holds_alternative<bool>(value) ? platform::kAXErrorSuccess : platform::kAXErrorIllegalArgument;
  }
  return platform::kAXErrorAttributeUnsupported;
}

void X11Accessibility::awaitWindow(xcb_window_t window, const std::function<bool(const WindowFacts&)>& done,
                                   Deadline deadline) {
  while (std::chrono::steady_clock::now() < deadline) {
    const auto facts = x11::readWindow(connection_, window, deadline);
    if (!facts.value || done(*facts.value)) return;
    std::this_thread::sleep_for(kApplyPoll);
  }
}

void X11Accessibility::awaitFrameChange(xcb_window_t window, const Rect& before, const Rect& primary,
                                        Deadline deadline) {
  awaitWindow(
      window, [&](const WindowFacts& facts) { return rootToAccessibility(facts.outer(), primary) != before; },
      deadline);
}

void X11Accessibility::letOutIfHeldInside(xcb_window_t window, const WindowFacts& facts, Point reference,
                                          bool handlesMoveResize, Deadline deadline) {
  const auto asked = askedWhole_.find(window);
  if (asked == askedWhole_.end() || facts.shadow == Extents{}) return;
  const Rect whole = wholeWindow(facts);
  if (whole.origin() == asked->second.origin()) return;
  const auto area = freeAreaHolding(connection_, whole, deadline);
  if (!area) return;
  const Axis axis = heldInside(asked->second, whole, facts.shadow, *area);
  if (axis == Axis::none) return;

  const bool vertically = axis == Axis::across;
  const xcb_atom_t state =
      vertically ? connection_.atoms().netWmStateMaximizedVert : connection_.atoms().netWmStateMaximizedHorz;
  const Deadline bound = std::min(deadline, deadlineAfter(kLetOutSeconds));
  wm::setMaximized(connection_, window, vertically, true);
  connection_.flush();
  awaitWindow(window, [state](const WindowFacts& f) { return f.hasState(state); }, bound);
  wm::moveResize(connection_, window, reference, std::nullopt, handlesMoveResize);
  connection_.flush();
  awaitWindow(window, [&](const WindowFacts& f) { return wholeWindow(f).origin() != whole.origin(); }, bound);
  wm::setMaximized(connection_, window, vertically, false);
  connection_.flush();
  awaitWindow(window, [state](const WindowFacts& f) { return !f.hasState(state); }, bound);
  char line[96];
  std::snprintf(line, sizeof line, "held-inside window=0x%x axis=%s", window, vertically ? "across" : "down");
  LayoutLog::write(line);
}

bool X11Accessibility::floatIfTiled(xcb_window_t window, Deadline deadline) {
  const Atoms& atoms = connection_.atoms();
  auto socketPath = requestProperty(connection_, connection_.root(), atoms.i3SocketPath);
  auto floating = requestProperty(connection_, window, atoms.i3FloatingWindow, XCB_ATOM_CARDINAL);
  const auto pathReply = socketPath.get(deadline);
  const auto floatingReply = floating.get(deadline);
  if (!pathReply || !floatingReply) return false;
  const auto path = text(propertyFromReply(pathReply.value.get()), atoms.utf8String);
  if (!path || item32(propertyFromReply(floatingReply.value.get()), XCB_ATOM_CARDINAL)) return false;

  const auto result = i3ipc::runCommand(*path, "[id=" + std::to_string(window) + "] floating enable", deadline);
  char id[16];
  std::snprintf(id, sizeof id, "0x%x", window);
  LayoutLog::write(std::string("tiled-window window=") + id + " floating=" + (result.ok ? "true" : "false") +
                   (result.ok ? "" : " error=" + result.error));
  return result.ok;
}

AXError X11Accessibility::writeWindow(const AXElement& element, std::string_view attribute, const AXValue& value,
                                      Deadline deadline) {
  if (isPreparationAttribute(attribute)) {
    return std::holds_alternative<bool>(value) ? platform::kAXErrorSuccess : platform::kAXErrorIllegalArgument;
  }
  const Point* position = attribute == ax::position ? std::get_if<Point>(&value) : nullptr;
  const Size* size = attribute == ax::size ? std::get_if<Size>(&value) : nullptr;
  const bool* fullScreen = attribute == ax::fullScreen ? std::get_if<bool>(&value) : nullptr;
  if (!isOneOf(attribute, {ax::position, ax::size, ax::fullScreen})) return platform::kAXErrorAttributeUnsupported;
  if (!position && !size && !fullScreen) return platform::kAXErrorIllegalArgument;
  if (!isWindowId(element.id)) return platform::kAXErrorInvalidUIElement;

  const auto window = xcb_window_t(element.id);
  auto facts = x11::readWindow(connection_, window, deadline);
  if (!facts.value) return errorOf(facts.fault);
  const Atoms& atoms = connection_.atoms();
  const auto maximized = [&atoms](const WindowFacts& f) {
    return f.hasState(atoms.netWmStateMaximizedVert) || f.hasState(atoms.netWmStateMaximizedHorz);
  };

  if (fullScreen) {
    wm::setFullScreen(connection_, window, *fullScreen);
  } else {
    // The manager answers once the window floats; its frame is then another one.
    if (floatIfTiled(window, deadline)) facts = x11::readWindow(connection_, window, deadline);
    if (!facts.value) return errorOf(facts.fault);
    const auto hints = supportedHints(connection_, deadline);
    if (!hints.value) return errorOf(hints.fault);
    const bool handlesMoveResize = std::find(hints.value->begin(), hints.value->end(), atoms.netMoveresizeWindow) !=
                                   hints.value->end();
    // A maximized window ignores moves, and its frame extents change when it
    // leaves the state: leave it first, and compute from the frame it then has.
    // A loaded manager may clear the state before it restores the frame and
    // its extents, so both are waited for.
    if (maximized(*facts.value)) {
      const Rect held = facts.value->outer();
      wm::unmaximize(connection_, window);
      connection_.flush();
      const Deadline settled = std::min(deadline, deadlineAfter(kUnmaximizeSeconds));
      while (facts.value && (maximized(*facts.value) || facts.value->outer() == held) &&
             std::chrono::steady_clock::now() < settled) {
        connection_.waitForRootChange(std::min(settled, deadlineAfter(kUnmaximizePollSeconds)));
        facts = x11::readWindow(connection_, window, deadline);
      }
      if (!facts.value) return errorOf(facts.fault);
    }
    const Rect primary = primaryMonitor(deadline);
    const Rect before = rootToAccessibility(facts.value->outer(), primary);
    bool changes;
    if (position) {
      const Point reference = northWestReference(accessibilityToRoot(*position, primary), facts.value->shadow);
      letOutIfHeldInside(window, *facts.value, reference, handlesMoveResize, deadline);
      wm::moveResize(connection_, window, reference, std::nullopt, handlesMoveResize);
      if (askedWhole_.size() >= kMaxRememberedMoves) askedWhole_.clear();
      askedWhole_[window] = Rect(reference, wholeWindow(*facts.value).size());
      changes = before.origin() != *position;
    } else {
      // A manager holding the window in would hold its size in too: the move it held back goes first.
      if (const auto asked = askedWhole_.find(window); asked != askedWhole_.end())
        letOutIfHeldInside(window, *facts.value, asked->second.origin(), handlesMoveResize, deadline);
      const Size client = clientSizeFor(*size, facts.value->frame, facts.value->shadow);
      const double border = 2 * facts.value->border;
      wm::moveResize(connection_, window, std::nullopt, Size{client.width - border, client.height - border},
                     handlesMoveResize);
      changes = before.size() != *size;
    }
    if (!connection_.flush()) return platform::kAXErrorCannotComplete;
    if (changes) {
      if (pendingWrites_.size() >= kMaxRememberedMoves) pendingWrites_.clear();
      pendingWrites_[window] = {before, deadlineAfter(kApplySeconds)};
    }
    return platform::kAXErrorSuccess;
  }
  return connection_.flush() ? platform::kAXErrorSuccess : platform::kAXErrorCannotComplete;
}

AXError X11Accessibility::performAction(const AXElement& element, std::string_view action) {
  connection_.drainEvents();
  if (element.kind != AXElement::Kind::window || action != ax::raise) return platform::kAXErrorActionUnsupported;
  if (!isWindowId(element.id)) return platform::kAXErrorInvalidUIElement;
  const Deadline deadline = deadlineFor(element);
  const auto window = xcb_window_t(element.id);
  const auto facts = x11::readWindow(connection_, window, deadline);
  if (!facts.value) return errorOf(facts.fault);
  const auto active = activeWindow(connection_, deadline);
  const auto hints = supportedHints(connection_, deadline);
  if (!active.value) return errorOf(active.fault);
  if (!hints.value) return errorOf(hints.fault);
  const bool handlesRestack = std::find(hints.value->begin(), hints.value->end(),
                                        connection_.atoms().netRestackWindow) != hints.value->end();
  wm::activateAndRaise(connection_, window, *active.value, handlesRestack);
  return connection_.flush() ? platform::kAXErrorSuccess : platform::kAXErrorCannotComplete;
}

}  // namespace vistrel::x11
