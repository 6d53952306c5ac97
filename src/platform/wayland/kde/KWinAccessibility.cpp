#include "platform/wayland/kde/KWinAccessibility.h"

#include <qlogging.h>

#include <algorithm>
#include <cmath>

#include "platform/linux/ApplicationAttributes.h"
#include "platform/wayland/LayoutSpace.h"

namespace vistrel::wayland::kde {

using platform::AXElement;
using platform::AXError;
using platform::AXResult;
using platform::AXValue;
using platform::axFailure;
using platform::axSuccess;
namespace ax = platform::ax;
using desktop::isOneOf;

namespace {

// A script run takes 5-20 ms; the bound matters only when KWin is stuck.
constexpr double kDefaultTimeoutSeconds = 1.2;


AXError errorOf(const ScriptResult& result) {
  switch (result.fault) {
    case ScriptFault::none: return platform::kAXErrorSuccess;
    case ScriptFault::unavailable:
    case ScriptFault::timedOut: return platform::kAXErrorCannotComplete;
    case ScriptFault::refused: return platform::kAXErrorFailure;
  }
  return platform::kAXErrorFailure;
}

bool listed(const KWinWindow& window) { return window.type != "other"; }

Rect primaryOf(const KWinDesktop& desktop) {
  const auto primary = primaryIndex(desktop.outputs);
  return primary ? desktop.outputs[*primary] : Rect();
}

std::string number(double value) { return std::to_string(std::lround(value)); }

std::string frameAction(const Rect& frame) {
  return "if (!win) { report.error = 'gone'; return; }"
         " win.frameGeometry = { x: " + number(frame.minX()) + ", y: " + number(frame.minY()) +
         ", width: " + number(frame.width()) + ", height: " + number(frame.height()) + " };";
}

}  // namespace

KWinAccessibility::KWinAccessibility(KWinScripting& kwin) : kwin_(kwin), timeouts_(kDefaultTimeoutSeconds) {}

AXElement KWinAccessibility::windowElement(const KWinWindow& window) {
  return {AXElement::Kind::window, window.pid, kwin_.number(window.uuid)};
}

Deadline KWinAccessibility::deadlineFor(const AXElement& element) const {
  return deadlineAfter(timeouts_.seconds(element));
}

AXError KWinAccessibility::findWindow(const AXElement& element, const KWinDesktop& desktop,
                                      const KWinWindow*& window) const {
  const auto uuid = kwin_.uuid(element.id);
  window = uuid ? desktop.find(*uuid) : nullptr;
  if (!window || !listed(*window) || (element.pid != 0 && window->pid != element.pid)) {
    return platform::kAXErrorInvalidUIElement;
  }
  return platform::kAXErrorSuccess;
}

AXResult KWinAccessibility::copyAttributeValue(const AXElement& element, std::string_view attribute) {
  // A number this object never gave names no window KWin has.
  if (element.kind == AXElement::Kind::uiElement || (element.kind == AXElement::Kind::window && !kwin_.uuid(element.id))) {
    return axFailure(platform::kAXErrorInvalidUIElement);
  }
  if (element.kind == AXElement::Kind::systemWide &&
      !isOneOf(attribute, {ax::focusedApplication, ax::focusedUIElement})) {
    return axFailure(platform::kAXErrorAttributeUnsupported);
  }
  const ScriptResult read = kwin_.desktop(deadlineFor(element));
  if (!read.report) {
    qWarning("vistrel kde: reading KWin's windows failed: %s", read.error.c_str());
    return axFailure(errorOf(read));
  }
  const KWinDesktop& desktop = read.report->desktop;
  switch (element.kind) {
    case AXElement::Kind::systemWide: {
      const KWinWindow* active = desktop.active();
      if (!active || !listed(*active)) return axFailure(platform::kAXErrorNoValue);
      if (attribute == ax::focusedApplication) return axSuccess(applicationElement(active->pid));
      return axSuccess(windowElement(*active));
    }
    case AXElement::Kind::application: return readApplication(element.pid, attribute, desktop);
    case AXElement::Kind::window: {
      const KWinWindow* window = nullptr;
      if (const AXError error = findWindow(element, desktop, window)) return axFailure(error);
      return readWindow(*window, attribute, desktop);
    }
    case AXElement::Kind::uiElement: break;
  }
  return axFailure(platform::kAXErrorInvalidUIElement);
}

AXResult KWinAccessibility::readApplication(std::int32_t pid, std::string_view attribute,
                                            const KWinDesktop& desktop) {
  std::vector<const KWinWindow*> own;
  for (const KWinWindow& window : desktop.windows) {
    if (window.pid == pid && listed(window)) own.push_back(&window);
  }
  // The scripts report the active window as a flag: the active one, else the front-most on screen.
  return desktop::readApplicationAttribute<KWinWindow>(
      pid, attribute, own, nullptr,
      [](const KWinWindow& window) { return window.active || (!window.minimized && window.onCurrentDesktop); },
      [this](const KWinWindow& window) { return windowElement(window); });
}

AXResult KWinAccessibility::readWindow(const KWinWindow& window, std::string_view attribute,
                                       const KWinDesktop& desktop) {
  if (attribute == ax::role) return axSuccess(std::string(ax::roleWindow));
  if (attribute == ax::subrole) {
    if (window.type == "normal") return axSuccess(std::string(ax::subroleStandardWindow));
    if (window.type == "dialog") return axSuccess(std::string(ax::subroleDialog));
    if (window.type == "utility") return axSuccess(std::string(ax::subroleFloatingWindow));
    return axSuccess(std::string(ax::subroleUnknown));
  }
  if (attribute == ax::title) return axSuccess(window.caption);
  if (attribute == ax::minimized) return axSuccess(window.minimized);
  if (attribute == ax::fullScreen) return axSuccess(window.fullScreen);
  if (attribute == ax::parent) return axSuccess(applicationElement(window.pid));
  const Rect frame = layoutToAccessibility(window.frame, primaryOf(desktop));
  if (attribute == ax::position) return axSuccess(frame.origin());
  if (attribute == ax::size) return axSuccess(frame.size());
  return axFailure(platform::kAXErrorAttributeUnsupported);
}

AXError KWinAccessibility::setAttributeValue(const AXElement& element, std::string_view attribute,
                                             const AXValue& value) {
  if (element.kind == AXElement::Kind::uiElement) return platform::kAXErrorInvalidUIElement;
  // Programs have no accessibility tree to switch on here: accepted, nothing to do.
  if (attribute == ax::manualAccessibility || attribute == ax::enhancedUserInterface) {
    return std::holds_alternative<bool>(value) ? platform::kAXErrorSuccess : platform::kAXErrorIllegalArgument;
  }
  if (element.kind != AXElement::Kind::window) return platform::kAXErrorAttributeUnsupported;
  if (!isOneOf(attribute, {ax::position, ax::size, ax::fullScreen})) return platform::kAXErrorAttributeUnsupported;
  if (!kwin_.uuid(element.id)) return platform::kAXErrorInvalidUIElement;
  const bool fits = (attribute == ax::position && std::holds_alternative<Point>(value)) ||
                    (attribute == ax::size && std::holds_alternative<Size>(value)) ||
                    (attribute == ax::fullScreen && std::holds_alternative<bool>(value));
  if (!fits) return platform::kAXErrorIllegalArgument;

  if (attribute == ax::fullScreen) {
    return act(element, std::string("if (!win) { report.error = 'gone'; return; } win.fullScreen = ") +
                            (std::get<bool>(value) ? "true;" : "false;"));
  }
  // The frame the window has now, with the one field changed.
  const ScriptResult read = kwin_.desktop(deadlineFor(element));
  if (!read.report) return errorOf(read);
  const KWinWindow* window = nullptr;
  if (const AXError error = findWindow(element, read.report->desktop, window)) return error;
  Rect target = window->frame;
  if (const auto* position = std::get_if<Point>(&value)) {
    target = Rect(accessibilityToLayout(*position, primaryOf(read.report->desktop)), window->frame.size());
  } else {
    target = Rect(window->frame.origin(), std::get<Size>(value));
  }
  return act(element, frameAction(target));
}

AXError KWinAccessibility::performAction(const AXElement& element, std::string_view action) {
  if (element.kind != AXElement::Kind::window || action != ax::raise) return platform::kAXErrorActionUnsupported;
  return act(element, "if (!win) { report.error = 'gone'; return; } workspace.activeClient = win;");
}

AXError KWinAccessibility::act(const AXElement& element, const std::string& action) {
  const auto uuid = kwin_.uuid(element.id);
  if (!uuid) return platform::kAXErrorInvalidUIElement;
  const ScriptResult result = kwin_.run(action, *uuid, deadlineFor(element));
  if (!result.report) {
    qWarning("vistrel kde: a KWin script failed: %s", result.error.c_str());
    return errorOf(result);
  }
  if (result.report->error == "gone") return platform::kAXErrorInvalidUIElement;
  if (!result.report->error.empty()) {
    qWarning("vistrel kde: KWin refused a window change: %s", result.report->error.c_str());
    return platform::kAXErrorFailure;
  }
  const KWinWindow* window = nullptr;
  return findWindow(element, result.report->desktop, window);
}

}  // namespace vistrel::wayland::kde
