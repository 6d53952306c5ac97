#include "platform/wayland/SwayAccessibility.h"

#include <qlogging.h>

#include <algorithm>
#include <cmath>

#include "platform/linux/ApplicationAttributes.h"
#include "platform/wayland/LayoutSpace.h"

namespace vistrel::wayland {

using platform::AXElement;
using platform::AXError;
using platform::AXResult;
using platform::AXValue;
using platform::axFailure;
using platform::axSuccess;
namespace ax = platform::ax;
using desktop::isOneOf;

namespace {

// sway answers in about a millisecond; the bound matters only when it is
// stuck. The product lowers it per program once it knows one.
constexpr double kDefaultTimeoutSeconds = 1.2;


AXError errorOf(IpcFault fault) {
  switch (fault) {
    case IpcFault::none: return platform::kAXErrorSuccess;
    case IpcFault::unavailable:
    case IpcFault::timedOut:
    case IpcFault::broken: return platform::kAXErrorCannotComplete;
    case IpcFault::refused: return platform::kAXErrorFailure;
  }
  return platform::kAXErrorFailure;
}

bool isPreparationAttribute(std::string_view attribute) {
  return attribute == ax::manualAccessibility || attribute == ax::enhancedUserInterface;
}

// sway's criteria for one window.
std::string criteria(const SwayView& view) { return "[con_id=" + std::to_string(view.id) + "] "; }

long pixels(double value) { return std::lround(value); }

}  // namespace

SwayAccessibility::SwayAccessibility(SwayIpc& sway) : sway_(sway), timeouts_(kDefaultTimeoutSeconds) {}

AXElement SwayAccessibility::windowElement(const SwayView& view) const {
  return {AXElement::Kind::window, view.pid, std::uint64_t(view.id)};
}

Deadline SwayAccessibility::deadlineFor(const AXElement& element) const {
  return deadlineAfter(timeouts_.seconds(element));
}

IpcReply<SwayAccessibility::Desktop> SwayAccessibility::readDesktop(Deadline deadline) {
  auto tree = sway_.tree(deadline);
  if (!tree.value) return {std::nullopt, tree.fault, std::move(tree.error)};
  auto outputs = sway_.outputs(deadline);
  if (!outputs.value) return {std::nullopt, outputs.fault, std::move(outputs.error)};
  std::vector<Rect> areas;
  for (const SwayOutput& output : *outputs.value) {
    if (output.active) areas.push_back(output.rect);
  }
  const auto primary = primaryIndex(areas);
  return {Desktop{std::move(*tree.value), primary ? areas[*primary] : Rect()}, IpcFault::none, {}};
}

AXError SwayAccessibility::findView(const AXElement& element, const Desktop& desktop, const SwayView*& view) const {
  view = element.id > 0 ? desktop.tree.find(std::int64_t(element.id)) : nullptr;
  // A con_id is never reused while sway runs; a pid that differs names another program's window.
  if (!view || (element.pid != 0 && view->pid != element.pid)) return platform::kAXErrorInvalidUIElement;
  return platform::kAXErrorSuccess;
}

AXResult SwayAccessibility::copyAttributeValue(const AXElement& element, std::string_view attribute) {
  if (element.kind == AXElement::Kind::uiElement) return axFailure(platform::kAXErrorInvalidUIElement);
  if (element.kind == AXElement::Kind::systemWide &&
      !isOneOf(attribute, {ax::focusedApplication, ax::focusedUIElement})) {
    return axFailure(platform::kAXErrorAttributeUnsupported);
  }
  const auto desktop = readDesktop(deadlineFor(element));
  if (!desktop.value) return axFailure(errorOf(desktop.fault));

  switch (element.kind) {
    case AXElement::Kind::systemWide: {
      const SwayView* focused = desktop.value->tree.focused();
      if (!focused) return axFailure(platform::kAXErrorNoValue);
      if (attribute == ax::focusedApplication) return axSuccess(applicationElement(focused->pid));
      return axSuccess(windowElement(*focused));
    }
    case AXElement::Kind::application: return readApplication(element.pid, attribute, *desktop.value);
    case AXElement::Kind::window: {
      const SwayView* view = nullptr;
      if (const AXError error = findView(element, *desktop.value, view)) return axFailure(error);
      return readWindow(*view, attribute, *desktop.value);
    }
    case AXElement::Kind::uiElement: break;
  }
  return axFailure(platform::kAXErrorInvalidUIElement);
}

AXResult SwayAccessibility::readApplication(std::int32_t pid, std::string_view attribute,
                                            const Desktop& desktop) const {
  std::vector<const SwayView*> own;
  for (const SwayView& view : desktop.tree.views) {
    if (view.pid == pid) own.push_back(&view);
  }
  // Else its front-most window on screen.
  return desktop::readApplicationAttribute(
      pid, attribute, own, desktop.tree.focused(), [](const SwayView& view) { return !view.scratchpad; },
      [this](const SwayView& view) { return windowElement(view); });
}

AXResult SwayAccessibility::readWindow(const SwayView& view, std::string_view attribute,
                                       const Desktop& desktop) const {
  if (attribute == ax::role) return axSuccess(std::string(ax::roleWindow));
  if (attribute == ax::subrole) {
    return axSuccess(std::string(view.windowType == "dialog" ? ax::subroleDialog : ax::subroleStandardWindow));
  }
  if (attribute == ax::title) return axSuccess(view.title);
  if (attribute == ax::minimized) return axSuccess(view.scratchpad);
  if (attribute == ax::fullScreen) return axSuccess(view.fullScreen);
  if (attribute == ax::parent) return axSuccess(applicationElement(view.pid));
  const Rect frame = layoutToAccessibility(view.frame, desktop.primary);
  if (attribute == ax::position) return axSuccess(frame.origin());
  if (attribute == ax::size) return axSuccess(frame.size());
  return axFailure(platform::kAXErrorAttributeUnsupported);
}

AXError SwayAccessibility::setAttributeValue(const AXElement& element, std::string_view attribute,
                                             const AXValue& value) {
  if (element.kind == AXElement::Kind::uiElement) return platform::kAXErrorInvalidUIElement;
  // Programs have no accessibility tree to switch on here: accepted, nothing to do.
  if (isPreparationAttribute(attribute)) {
    return std::holds_alternative<bool>(value) ? platform::kAXErrorSuccess : platform::kAXErrorIllegalArgument;
  }
  if (element.kind != AXElement::Kind::window) return platform::kAXErrorAttributeUnsupported;
  if (!isOneOf(attribute, {ax::position, ax::size, ax::fullScreen})) return platform::kAXErrorAttributeUnsupported;
  const bool fits = (attribute == ax::position && std::holds_alternative<Point>(value)) ||
                    (attribute == ax::size && std::holds_alternative<Size>(value)) ||
                    (attribute == ax::fullScreen && std::holds_alternative<bool>(value));
  if (!fits) return platform::kAXErrorIllegalArgument;

  const Deadline deadline = deadlineFor(element);
  const auto desktop = readDesktop(deadline);
  if (!desktop.value) return errorOf(desktop.fault);
  const SwayView* view = nullptr;
  if (const AXError error = findView(element, *desktop.value, view)) return error;
  return writeWindow(*view, attribute, value, *desktop.value, deadline);
}

AXError SwayAccessibility::writeWindow(const SwayView& view, std::string_view attribute, const AXValue& value,
                                       const Desktop& desktop, Deadline deadline) {
  if (attribute == ax::fullScreen) {
    return run(criteria(view) + "fullscreen " + (std::get<bool>(value) ? "enable" : "disable"), deadline);
  }
  // A tiled window floats first, at the frame it has; then the size (which
  // sway applies around the centre) and the top-left corner.
  Rect target = view.frame;
  if (const auto* position = std::get_if<Point>(&value)) {
    target = Rect(accessibilityToLayout(*position, desktop.primary), view.frame.size());
  } else {
    target = Rect(view.frame.origin(), std::get<Size>(value));
  }
  std::string commands = criteria(view);
  if (!view.floating) commands += "floating enable, ";
  if (!view.floating || attribute == ax::size) {
    commands += "resize set width " + std::to_string(pixels(target.width())) + " px height " +
                std::to_string(pixels(target.height())) + " px, ";
  }
  commands += "move absolute position " + std::to_string(pixels(target.minX())) + " px " +
              std::to_string(pixels(target.minY())) + " px";
  return run(commands, deadline);
}

AXError SwayAccessibility::performAction(const AXElement& element, std::string_view action) {
  if (element.kind != AXElement::Kind::window || action != ax::raise) return platform::kAXErrorActionUnsupported;
  const Deadline deadline = deadlineFor(element);
  const auto desktop = readDesktop(deadline);
  if (!desktop.value) return errorOf(desktop.fault);
  const SwayView* view = nullptr;
  if (const AXError error = findView(element, *desktop.value, view)) return error;
  return run(criteria(*view) + "focus", deadline);
}

AXError SwayAccessibility::run(const std::string& commands, Deadline deadline) {
  const auto result = sway_.command(commands, deadline);
  if (result.fault == IpcFault::none) return platform::kAXErrorSuccess;
  qWarning("vistrel wayland: sway command \"%s\" failed: %s", commands.c_str(), result.error.c_str());
  // The window closed between the read and the command.
  if (result.fault == IpcFault::refused && result.error == "No matching node.") {
    return platform::kAXErrorInvalidUIElement;
  }
  return errorOf(result.fault);
}

}  // namespace vistrel::wayland
