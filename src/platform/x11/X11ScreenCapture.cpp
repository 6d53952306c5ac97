#include "platform/x11/X11ScreenCapture.h"

#include <QFile>
#include <QPainter>
#include <QRectF>

#include <algorithm>
#include <optional>

#include "platform/linux/ProcessName.h"
#include "platform/linux/ProcessMemory.h"
#include "platform/x11/Clients.h"
#include "platform/x11/DesktopSpaces.h"
#include "platform/x11/Monitors.h"
#include "platform/x11/ServerSync.h"

namespace vistrel::x11 {

namespace {

// Lists and small replies come from a local server at once; the bound
// matters only when it is stuck. Images may be large over a remote link.
constexpr double kReadSeconds = 1.0;
constexpr double kImageSeconds = 3.0;

// _NET_WM_DESKTOP of a window shown on every desktop.
constexpr std::uint32_t kAllDesktops = 0xffffffff;

platform::CaptureFault faultOf(Fault fault) {
  switch (fault) {
    case Fault::timedOut: return {"The X server did not answer in time."};
    case Fault::disconnected: return {"The connection to the X server is broken."};
    case Fault::none:
    case Fault::vanished: break;
  }
  return {"The X server refused to list the screen's contents."};
}

}  // namespace

int captureLayer(WindowType type) {
  switch (type) {
    case WindowType::normal:
    case WindowType::dialog:
    case WindowType::utility:
    case WindowType::toolbar:
    case WindowType::menu:
    case WindowType::splash: return 0;
    case WindowType::desktop: return -1;
    case WindowType::dock: return 20;
    case WindowType::notification:
    case WindowType::dropdownMenu:
    case WindowType::popupMenu:
    case WindowType::tooltip:
    case WindowType::combo:
    case WindowType::dnd: return 101;
  }
  return 0;
}

X11ScreenCapture::X11ScreenCapture(Connection& connection) : connection_(connection) {
  std::vector<std::string> names;
  for (const WindowType type : allWindowTypes()) names.emplace_back(atomName(type));
  names.emplace_back("_NET_WM_DESKTOP");
  names.emplace_back("_NET_WM_CM_S" + std::to_string(std::max(screenNumberOf(connection_), 0)));
  const auto atoms = connection_.internAtoms(names, deadlineAfter(kReadSeconds));
  for (std::size_t i = 0; i < allWindowTypes().size(); ++i) {
    if (atoms[i] != XCB_ATOM_NONE) windowTypes_.emplace_back(atoms[i], allWindowTypes()[i]);
  }
  netWmDesktop_ = atoms[atoms.size() - 2];
  compositorSelection_ = atoms.back();
}

int X11ScreenCapture::layerOf(const std::vector<xcb_atom_t>& types, bool transient) const {
  std::vector<std::optional<WindowType>> listed;
  for (const xcb_atom_t atom : types) {
    const auto it = std::find_if(windowTypes_.begin(), windowTypes_.end(),
                                 [atom](const auto& entry) { return entry.first == atom; });
    listed.push_back(it == windowTypes_.end() ? std::nullopt : std::optional(it->second));
  }
  return captureLayer(effectiveWindowType(listed, transient));
}

platform::CaptureResult<platform::ShareableContent> X11ScreenCapture::shareableContent() {
  connection_.drainEvents();
  const Deadline deadline = deadlineAfter(kReadSeconds);
  const auto monitors = readMonitors(connection_, deadline);
  if (!monitors.value) return faultOf(monitors.fault);
  if (monitors.value->empty()) return platform::CaptureFault{"There is no display to capture."};
  const Rect primary = monitors.value->front().frame;

  platform::ShareableContent content;
  for (const Monitor& monitor : *monitors.value) {
    content.displays.push_back({monitor.id, rootToAppKit(monitor.frame, primary), 1.0});
  }

  const auto stacking = stackingClients(connection_, deadline);
  if (!stacking.value) return faultOf(stacking.fault);
  const std::vector<xcb_window_t>& clients = *stacking.value;
  auto currentDesktop = requestProperty(connection_, connection_.root(), connection_.atoms().netCurrentDesktop);
  std::vector<Pending<xcb_get_property_reply_t>> desktops;
  desktops.reserve(clients.size());
  for (const xcb_window_t window : clients) {
    desktops.push_back(requestProperty(connection_, window, netWmDesktop_, XCB_ATOM_CARDINAL));
  }
  const auto currentReply = currentDesktop.get(deadline);
  const auto current = item32(propertyFromReply(currentReply.value.get()), XCB_ATOM_CARDINAL);
  std::vector<std::optional<std::uint32_t>> desktopOf;
  for (auto& pending : desktops) {
    const auto reply = pending.get(deadline);
    desktopOf.push_back(item32(propertyFromReply(reply.value.get()), XCB_ATOM_CARDINAL));
  }
  const auto pids = ownerPids(connection_, clients, deadline);

  // The stacking list runs bottom to top; capture lists the front-most first.
  for (std::size_t i = clients.size(); i-- > 0;) {
    const auto facts = readWindow(connection_, clients[i], deadline);
    if (!facts.value) {
      if (facts.fault == Fault::vanished) continue;
      return faultOf(facts.fault);
    }
    const WindowFacts& f = *facts.value;
    // Minimized windows and those of other desktops are unmapped under most
    // window managers; the state and desktop catch those that keep them mapped.
    const bool elsewhere = current && desktopOf[i] && *desktopOf[i] != kAllDesktops && *desktopOf[i] != *current;
    if (!f.viewable || f.hasState(connection_.atoms().netWmStateHidden) || elsewhere) continue;
    platform::CaptureWindow window;
    window.windowID = clients[i];
    window.bounds = rootToAccessibility(f.outer(), primary);
    window.ownerPID = std::max(pids[i], 0);  // a synthetic owner is no process
    window.ownerName = f.windowClass && !f.windowClass->className.empty() ? f.windowClass->className
                                                                          : desktop::processName(window.ownerPID);
    window.title = f.title.value_or("");
    window.layer = layerOf(f.types, f.transient);
    content.windows.push_back(std::move(window));
  }
  return content;
}

platform::CaptureResult<QImage> X11ScreenCapture::captureDisplay(std::uint32_t displayID,
                                                                 const platform::CaptureConfiguration& configuration) {
  desktop::ProcessMemory::releaseFreeWhenQuiet();
  connection_.drainEvents();
  const Deadline deadline = deadlineAfter(kImageSeconds);
  const auto monitors = readMonitors(connection_, deadline);
  if (!monitors.value) return faultOf(monitors.fault);
  const auto monitor = std::find_if(monitors.value->begin(), monitors.value->end(),
                                    [displayID](const Monitor& m) { return m.id == displayID; });
  if (monitor == monitors.value->end()) return platform::CaptureFault{"The display is not available."};
  const xcb_screen_t* screen = screenOf(connection_);
  if (!screen) return platform::CaptureFault{"The X server describes no screen to capture."};

  const Rect& frame = monitor->frame;
  const QRect display = QRectF(frame.x, frame.y, frame.w, frame.h).toAlignedRect();
  QRect wanted = display;
  if (configuration.sourceRect) {
    const Rect& r = *configuration.sourceRect;
    wanted = QRectF(frame.x + r.minX(), frame.y + r.minY(), r.width(), r.height()).toAlignedRect();
  }
  const QRect area = wanted & display;
  if (area.isEmpty()) return platform::CaptureFault{"The area to capture lies outside the display."};

  auto cursor = configuration.showsCursor ? cursor_.request(deadline) : std::nullopt;
  Pixels pixels = reader_.read(connection_.root(), area, screen->root_depth, screen->root_visual, deadline);
  if (!pixels.unsupported.empty()) {
    return platform::CaptureFault{"The display cannot be captured: its " + pixels.unsupported + "."};
  }
  switch (pixels.status) {
    case ReplyStatus::ok: break;
    case ReplyStatus::xError:
      return platform::CaptureFault{"The X server refused to read the display (X error " +
                                    std::to_string(pixels.errorCode) + ")."};
    case ReplyStatus::timedOut: return platform::CaptureFault{"The X server did not answer in time."};
    case ReplyStatus::disconnected: return platform::CaptureFault{"The connection to the X server is broken."};
  }
  if (pixels.image.isNull()) return platform::CaptureFault{"There is not enough memory for the display's image."};
  if (cursor) cursor_.paint(*cursor, pixels.image, area.topLeft(), deadline);
  QImage image = std::move(pixels.image);
  if (area != wanted) {
    // What lies off the display is black, as on a screen, rather than the rest stretched over it.
    QImage whole(wanted.size(), QImage::Format_RGB32);
    whole.fill(Qt::black);
    QPainter(&whole).drawImage(area.topLeft() - wanted.topLeft(), image);
    image = std::move(whole);
  }

  const QSize size(configuration.width, configuration.height);
  if (!size.isEmpty() && size != image.size()) {
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  return image;
}

platform::CaptureResult<QImage> X11ScreenCapture::captureWindow(std::uint32_t windowID,
                                                                const platform::CaptureConfiguration&) {
  // X ids have 29 bits; anything else names no window.
  constexpr const char* kGone = "The window is no longer on screen.";
  if (windowID == 0 || windowID > 0x1fffffffu) return platform::CaptureFault{kGone};
  desktop::ProcessMemory::releaseFreeWhenQuiet();
  connection_.drainEvents();
  const Deadline deadline = deadlineAfter(kImageSeconds);
  const auto facts = readWindow(connection_, windowID, deadline);
  if (!facts.value) return facts.fault == Fault::vanished ? platform::CaptureFault{kGone} : faultOf(facts.fault);
  return windows_.capture(windowID, facts.value->outer(), deadline);
}

void X11ScreenCapture::beginWindowPick() { windows_.redirectFrames(deadlineAfter(kReadSeconds)); }

void X11ScreenCapture::endWindowPick() { windows_.unredirectFrames(); }

bool X11ScreenCapture::compositorRunning() const {
  if (compositorSelection_ == XCB_ATOM_NONE) return false;
  connection_.drainEvents();
  auto owner = connection_.request<xcb_get_selection_owner_reply_t>(
      xcb_get_selection_owner(connection_.raw(), compositorSelection_));
  const auto reply = owner.get(deadlineAfter(kReadSeconds));
  return reply && reply.value->owner != XCB_WINDOW_NONE;
}

}  // namespace vistrel::x11
