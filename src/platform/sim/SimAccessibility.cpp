#include "platform/sim/SimAccessibility.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace vistrel::sim {

using platform::AXElement;
using platform::AXError;
using platform::AXResult;
using platform::AXValue;
namespace ax = platform::ax;

namespace {

AXResult ok(AXValue value) { return {platform::kAXErrorSuccess, std::move(value)}; }
AXResult fail(AXError error) { return {error, std::nullopt}; }

double clamp(double v, double lo, double hi) { return std::max(lo, std::min(v, hi)); }

// Rounds `v` down onto `base` plus whole steps of `step` (no steps: unchanged).
double onIncrement(double v, double base, double step) {
  if (step <= 0 || v <= base) return v;
  return base + std::floor((v - base) / step + 1e-9) * step;
}

}  // namespace

bool SimAccessibility::isProcessTrustedWithOptions(bool prompt) {
  if (prompt && !trusted_) {
    ++promptCount;
    if (promptGrants) trusted_ = true;
  }
  return trusted_;
}

AXElement SimAccessibility::applicationElement(std::int32_t pid) const {
  return {AXElement::Kind::application, pid, 0};
}

std::optional<std::int32_t> SimAccessibility::pid(const AXElement& element) const {
  if (element.kind == AXElement::Kind::systemWide) return std::nullopt;
  return element.pid;
}

AXError SimAccessibility::setMessagingTimeout(const AXElement& element, double seconds) {
  ++messagingTimeoutCalls;
  if (element.kind != AXElement::Kind::systemWide) messagingTimeouts[element.pid] = seconds;
  return platform::kAXErrorSuccess;
}

// --- test controls ---

AXElement SimAccessibility::addWindow(std::int32_t pid, std::string title, Rect frame, SizeRules rules) {
  const std::uint64_t id = nextID_++;
  windows_[id] = Window{pid, std::move(title), frame, std::move(rules), false};
  apps_[pid];
  return {AXElement::Kind::window, pid, id};
}

AXElement SimAccessibility::addElement(const AXElement& parent, std::string role) {
  const std::uint64_t id = nextID_++;
  elements_[id] = Element{parent.pid, std::move(role), parent};
  return {AXElement::Kind::uiElement, parent.pid, id};
}

void SimAccessibility::closeWindow(const AXElement& w) {
  if (auto* found = window(w)) found->closed = true;
}

void SimAccessibility::closeAllWindows(std::int32_t pid) {
  for (auto& [id, w] : windows_)
    if (w.pid == pid) w.closed = true;
}

void SimAccessibility::setFocusedWindow(const AXElement& w) { apps_[w.pid].focusedWindow = w; }
void SimAccessibility::setMainWindow(const AXElement& w) { apps_[w.pid].mainWindow = w; }
void SimAccessibility::setFocusedUIElement(const AXElement& e) { apps_[e.pid].focusedUIElement = e; }

void SimAccessibility::clearFocus(std::int32_t pid) {
  App& app = apps_[pid];
  app.focusedUIElement.reset();
  app.focusedWindow.reset();
  app.mainWindow.reset();
}

void SimAccessibility::setApplicationRole(std::int32_t pid, std::string role) { apps_[pid].role = std::move(role); }
void SimAccessibility::setWindowsInChildren(std::int32_t pid, bool listed) { apps_[pid].windowsInChildren = listed; }

void SimAccessibility::setFrame(const AXElement& w, Rect frame) {
  if (auto* found = window(w)) found->frame = frame;
}

void SimAccessibility::setTitle(const AXElement& w, std::string title) {
  if (auto* found = window(w)) found->title = std::move(title);
}

std::optional<Rect> SimAccessibility::frame(const AXElement& w) const {
  const Window* found = window(w);
  if (!found || found->closed) return std::nullopt;
  return found->frame;
}

// --- model ---

const SimAccessibility::Window* SimAccessibility::window(const AXElement& element) const {
  if (element.kind != AXElement::Kind::window) return nullptr;
  const auto it = windows_.find(element.id);
  if (it == windows_.end() || it->second.pid != element.pid) return nullptr;
  return &it->second;
}

SimAccessibility::Window* SimAccessibility::window(const AXElement& element) {
  return const_cast<Window*>(std::as_const(*this).window(element));
}

bool SimAccessibility::appExists(std::int32_t pid) const {
  if (workspace_.isRunning(pid)) return true;
  return std::any_of(windows_.begin(), windows_.end(),
                     [pid](const auto& entry) { return entry.second.pid == pid && !entry.second.closed; });
}

bool SimAccessibility::exists(const AXElement& element) const {
  switch (element.kind) {
    case AXElement::Kind::systemWide: return true;
    case AXElement::Kind::application: return appExists(element.pid);
    case AXElement::Kind::window: {
      const Window* w = window(element);
      return w && !w->closed;
    }
    case AXElement::Kind::uiElement: {
      const auto it = elements_.find(element.id);
      return it != elements_.end() && it->second.pid == element.pid && exists(it->second.parent);
    }
  }
  return false;
}

std::vector<AXElement> SimAccessibility::windowsOf(std::int32_t pid) const {
  std::vector<AXElement> result;
  for (const auto& [id, w] : windows_)
    if (w.pid == pid && !w.closed) result.push_back({AXElement::Kind::window, pid, id});
  return result;
}

std::vector<AXElement> SimAccessibility::childrenOf(const AXElement& parent) const {
  std::vector<AXElement> result;
  for (const auto& [id, e] : elements_)
    if (e.parent == parent) result.push_back({AXElement::Kind::uiElement, e.pid, id});
  return result;
}

AXResult SimAccessibility::present(const std::optional<AXElement>& element) const {
  if (!element || !exists(*element)) return fail(platform::kAXErrorNoValue);
  return ok(*element);
}

// --- reads ---

AXResult SimAccessibility::copyAttributeValue(const AXElement& element, std::string_view attribute) {
  if (!trusted_) return fail(platform::kAXErrorAPIDisabled);
  if (!exists(element)) return fail(platform::kAXErrorInvalidUIElement);
  switch (element.kind) {
    case AXElement::Kind::systemWide: {
      if (attribute != ax::focusedApplication) return fail(platform::kAXErrorAttributeUnsupported);
      std::optional<std::int32_t> focus = systemFocus_;
      if (!systemFocusSet_) {
        if (auto front = workspace_.frontmostApplication()) focus = front->pid;
      }
      if (!focus || !appExists(*focus)) return fail(platform::kAXErrorNoValue);
      return ok(applicationElement(*focus));
    }
    case AXElement::Kind::application: return readApplication(element.pid, attribute);
    case AXElement::Kind::window: return readWindow(element, attribute);
    case AXElement::Kind::uiElement: return readElement(element, attribute);
  }
  return fail(platform::kAXErrorFailure);
}

AXResult SimAccessibility::readApplication(std::int32_t pid, std::string_view attribute) const {
  const auto it = apps_.find(pid);
  const App app = it == apps_.end() ? App{} : it->second;
  if (attribute == ax::role) return ok(app.role);
  if (attribute == ax::title) {
    if (auto running = workspace_.runningApplication(pid)) return ok(running->localizedName);
    return fail(platform::kAXErrorNoValue);
  }
  if (attribute == ax::focusedUIElement) return present(app.focusedUIElement);
  if (attribute == ax::focusedWindow) return present(app.focusedWindow);
  if (attribute == ax::mainWindow) return present(app.mainWindow);
  if (attribute == ax::windows) return ok(windowsOf(pid));
  if (attribute == ax::children) {
    std::vector<AXElement> children = app.windowsInChildren ? windowsOf(pid) : std::vector<AXElement>{};
    const auto own = childrenOf(applicationElement(pid));
    children.insert(children.end(), own.begin(), own.end());
    return ok(children);
  }
  return fail(platform::kAXErrorAttributeUnsupported);
}

AXResult SimAccessibility::readWindow(const AXElement& element, std::string_view attribute) const {
  const Window& w = *window(element);
  if (attribute == ax::role) return ok(w.rules.role);
  if (attribute == ax::subrole) {
    if (!w.rules.subrole) return fail(platform::kAXErrorNoValue);
    return ok(*w.rules.subrole);
  }
  if (attribute == ax::title) return ok(w.title);
  if (attribute == ax::position) return ok(w.frame.origin());
  if (attribute == ax::size) return ok(w.frame.size());
  if (attribute == ax::minimized) return ok(w.rules.minimized);
  if (attribute == ax::fullScreen) return ok(w.rules.fullScreen);
  if (attribute == ax::parent) return ok(applicationElement(w.pid));
  if (attribute == ax::children) return ok(childrenOf(element));
  return fail(platform::kAXErrorAttributeUnsupported);
}

AXResult SimAccessibility::readElement(const AXElement& element, std::string_view attribute) const {
  const Element& e = elements_.at(element.id);
  if (attribute == ax::role) return ok(e.role);
  if (attribute == ax::parent) return ok(e.parent);
  if (attribute == ax::children) return ok(childrenOf(element));
  return fail(platform::kAXErrorNoValue);
}

// --- writes ---

void SimAccessibility::record(const AXElement& element, std::string_view name, std::optional<AXValue> value) {
  AXWriteRecord entry{element, std::string(name), std::move(value), platform::kAXErrorSuccess, clock_.uptime()};
  if (beforeWrite) beforeWrite(entry);
  writes.push_back(std::move(entry));
}

AXError SimAccessibility::setAttributeValue(const AXElement& element, std::string_view attribute,
                                            const AXValue& value) {
  const std::size_t index = writes.size();
  record(element, attribute, value);
  AXError result = platform::kAXErrorSuccess;
  if (!trusted_) {
    result = platform::kAXErrorAPIDisabled;
  } else if (!exists(element)) {
    result = platform::kAXErrorInvalidUIElement;
  } else if (element.kind == AXElement::Kind::application) {
    const bool* flag = std::get_if<bool>(&value);
    if (attribute != ax::manualAccessibility && attribute != ax::enhancedUserInterface) {
      result = platform::kAXErrorAttributeUnsupported;
    } else if (!flag) {
      result = platform::kAXErrorIllegalArgument;
    } else if (*flag) {
      applicationFlags[element.pid].insert(std::string(attribute));
    } else {
      applicationFlags[element.pid].erase(std::string(attribute));
    }
  } else if (element.kind == AXElement::Kind::window) {
    result = writeWindow(element, attribute, value);
  } else {
    result = platform::kAXErrorAttributeUnsupported;
  }
  writes[index].result = result;
  return result;
}

AXError SimAccessibility::writeWindow(const AXElement& element, std::string_view attribute, const AXValue& value) {
  Window& w = *window(element);
  if (attribute == ax::fullScreen) {
    const bool* flag = std::get_if<bool>(&value);
    if (!flag) return platform::kAXErrorIllegalArgument;
    w.rules.fullScreen = *flag;
    return platform::kAXErrorSuccess;
  }
  const bool isPosition = attribute == ax::position;
  if (!isPosition && attribute != ax::size) return platform::kAXErrorAttributeUnsupported;
  if (isPosition ? !std::holds_alternative<Point>(value) : !std::holds_alternative<Size>(value))
    return platform::kAXErrorIllegalArgument;
  if (!isPosition && w.rules.refusesSize) return platform::kAXErrorCannotComplete;

  const std::uint64_t id = element.id;
  auto apply = [this, id, isPosition, value] {
    const auto it = windows_.find(id);
    if (it == windows_.end() || it->second.closed) return;
    Window& target = it->second;
    if (isPosition) {
      const Point p = std::get<Point>(value);
      target.frame.x = p.x + target.rules.positionOffset.x;
      target.frame.y = p.y + target.rules.positionOffset.y;
    } else {
      applySize(target, std::get<Size>(value));
    }
    confine(target);
  };
  // Like a window manager, the write is only a request; a late one lands on the clock.
  if (w.rules.writeDelay > 0) {
    clock_.after(w.rules.writeDelay, apply);
  } else {
    apply();
  }
  return platform::kAXErrorSuccess;
}

void SimAccessibility::applySize(Window& w, Size requested) {
  const SizeRules& r = w.rules;
  double width = requested.width;
  double height = requested.height;
  if (r.maxChangePerWrite) {
    width = w.frame.w + clamp(width - w.frame.w, -r.maxChangePerWrite->width, r.maxChangePerWrite->width);
    height = w.frame.h + clamp(height - w.frame.h, -r.maxChangePerWrite->height, r.maxChangePerWrite->height);
  }
  width = clamp(width, r.minSize.width, r.maxSize.width);
  height = clamp(height, r.minSize.height, r.maxSize.height);
  w.frame.w = onIncrement(width, r.minSize.width, r.resizeIncrements.width);
  w.frame.h = onIncrement(height, r.minSize.height, r.resizeIncrements.height);
}

void SimAccessibility::confine(Window& w) {
  if (!w.rules.confinedTo) return;
  const Rect& area = *w.rules.confinedTo;
  w.frame.x = std::max(area.minX(), std::min(w.frame.x, area.maxX() - w.frame.w));
  w.frame.y = std::max(area.minY(), std::min(w.frame.y, area.maxY() - w.frame.h));
}

AXError SimAccessibility::performAction(const AXElement& element, std::string_view action) {
  const std::size_t index = writes.size();
  record(element, action, std::nullopt);
  AXError result = platform::kAXErrorSuccess;
  if (!trusted_) {
    result = platform::kAXErrorAPIDisabled;
  } else if (!exists(element)) {
    result = platform::kAXErrorInvalidUIElement;
  } else if (element.kind != AXElement::Kind::window || action != ax::raise) {
    result = platform::kAXErrorActionUnsupported;
  }
  writes[index].result = result;
  return result;
}

}  // namespace vistrel::sim
