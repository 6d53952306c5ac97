#include "layout/AccessibilityWindow.h"

#include <cmath>

#include "base/LayoutLog.h"
#include "base/RectText.h"
#include "layout/WindowSnapGeometry.h"
#include "layout/WindowTargetStore.h"
#include "platform/Desktop.h"
#include "platform/Platform.h"
#include "ui/ScreenSpace.h"

namespace vistrel::AccessibilityWindow {

namespace ax = platform::ax;
using platform::AXValue;

namespace {

State freshState() {
  State s;
  if (platform::isInstalled()) s.settleStarted = platform::current().clock().uptime();
  return s;
}

double area(const std::optional<Rect>& r) { return r ? r->width() * r->height() : 0; }

bool sameWindow(const Element& a, const Element& b) {
  auto& access = platform::accessibility();
  if (access.pid(a) != access.pid(b)) return false;
  const auto fa = rawFrame(a);
  const auto fb = rawFrame(b);
  if (!fa || !fb) return false;
  const bool near = std::abs(fa->x - fb->x) <= 8 && std::abs(fa->y - fb->y) <= 8 &&
                    std::abs(fa->w - fb->w) <= 8 && std::abs(fa->h - fb->h) <= 8;
  return near && stringAttribute(a, ax::title) == stringAttribute(b, ax::title);
}

}  // namespace

State& state() {
  static State s = freshState();
  return s;
}

void resetForTesting() { state() = freshState(); }

// --- attribute helpers ---

std::optional<AXValue> copyAttributeValue(const Element& element, std::string_view attribute) {
  const platform::AXResult result = platform::accessibility().copyAttributeValue(element, attribute);
  if (result.error == platform::kAXErrorAPIDisabled) state().accessDenied = true;
  if (result.error != platform::kAXErrorSuccess) return std::nullopt;
  return result.value;
}

std::optional<Element> copyElement(const Element& element, std::string_view attribute) {
  const auto value = copyAttributeValue(element, attribute);
  if (!value) return std::nullopt;
  if (const auto* e = std::get_if<Element>(&*value)) return *e;
  return std::nullopt;
}

std::optional<AXValue> copyValue(const Element& element, std::string_view attribute) {
  auto value = copyAttributeValue(element, attribute);
  if (!value || !(std::holds_alternative<Point>(*value) || std::holds_alternative<Size>(*value)))
    return std::nullopt;
  return value;
}

std::optional<std::string> stringAttribute(const Element& element, std::string_view attribute) {
  const auto value = copyAttributeValue(element, attribute);
  if (!value) return std::nullopt;
  if (const auto* s = std::get_if<std::string>(&*value)) return *s;
  return std::nullopt;
}

std::optional<bool> boolAttribute(const Element& element, std::string_view attribute) {
  const auto value = copyAttributeValue(element, attribute);
  if (!value) return std::nullopt;
  if (const auto* b = std::get_if<bool>(&*value)) return *b;
  return std::nullopt;
}

std::vector<Element> axElements(const std::optional<AXValue>& value) {
  if (!value) return {};
  if (const auto* list = std::get_if<std::vector<Element>>(&*value)) return *list;
  if (const auto* one = std::get_if<Element>(&*value)) return {*one};
  return {};
}

platform::AXError setPosition(const Element& window, Point origin) {
  if (!std::isfinite(origin.x) || !std::isfinite(origin.y)) return platform::kAXErrorIllegalArgument;
  return platform::accessibility().setAttributeValue(window, ax::position, origin);
}

platform::AXError setSize(const Element& window, Size size) {
  if (!std::isfinite(size.width) || !std::isfinite(size.height)) return platform::kAXErrorIllegalArgument;
  return platform::accessibility().setAttributeValue(window, ax::size, size);
}

// --- finding the window ---

std::optional<Element> targetWindow() {
  state().accessDenied = false;
  auto& access = platform::accessibility();
  const auto& store = WindowTargetStore::shared();

  const std::optional<std::int32_t> pid = store.targetProcess();
  if (pid) {
    if (auto found = window(access.applicationElement(*pid))) return found;
  }
  if (const auto focused = copyElement(access.systemWideElement(), ax::focusedApplication)) return window(*focused);
  return std::nullopt;
}

std::optional<Element> window(const Element& application) {
  prepare(application);

  struct Source {
    std::string_view attribute;
    const char* line;
  };
  static const Source sources[] = {{ax::focusedUIElement, "picked focused-ui "},
                                   {ax::focusedWindow, "picked focused-window "},
                                   {ax::mainWindow, "picked main "}};
  for (const Source& source : sources) {
    const auto element = copyElement(application, source.attribute);
    if (!element) continue;
    const auto ancestor = windowAncestor(*element);
    if (ancestor && isResizableWindow(*ancestor)) {
      LayoutLog::write(source.line + describe(*ancestor));
      return ancestor;
    }
  }

  std::vector<Element> candidates = axElements(copyAttributeValue(application, ax::windows));
  for (const Element& child : axElements(copyAttributeValue(application, ax::children)))
    if (stringAttribute(child, ax::role) == ax::roleWindow) candidates.push_back(child);

  if (const auto best = bestWindow(candidates)) {
    LayoutLog::write("picked largest " + describe(*best) + " of " + std::to_string(candidates.size()));
    return best;
  }
  LayoutLog::write("no-usable-window role=" + stringAttribute(application, ax::role).value_or("?") +
                   " windows=" + std::to_string(candidates.size()));
  return std::nullopt;
}

void prepare(const Element& application) {
  auto& access = platform::accessibility();
  const std::int32_t pid = access.pid(application).value_or(0);
  auto& prepared = state().preparedApps;
  const bool known = pid >= 1 && prepared.count(pid);
  access.setMessagingTimeout(application, known ? 0.35 : 1.2);
  if (known) return;
  if (pid >= 1) prepared.insert(pid);
  // Some toolkits build their accessibility tree only when asked for it this way.
  access.setAttributeValue(application, ax::manualAccessibility, true);
  access.setAttributeValue(application, ax::enhancedUserInterface, true);
}

std::optional<Element> windowAncestor(const Element& element) {
  Element current = element;
  for (int examined = 0; examined < 16; ++examined) {
    if (stringAttribute(current, ax::role) == ax::roleWindow) return current;
    const auto parent = copyElement(current, ax::parent);
    if (!parent) return std::nullopt;
    current = *parent;
  }
  return std::nullopt;
}

bool isResizableWindow(const Element& window) {
  if (stringAttribute(window, ax::role) != ax::roleWindow) return false;
  if (boolAttribute(window, ax::minimized) == true) return false;
  const auto subrole = stringAttribute(window, ax::subrole);
  if (subrole == ax::subroleUnknown || subrole == ax::subroleSystemDialog) return false;
  const auto frame = rawFrame(window);
  return frame && frame->width() > 80 && frame->height() > 60;
}

std::optional<Element> bestWindow(const std::vector<Element>& candidates) {
  std::vector<Element> kept;
  for (const Element& candidate : candidates) {
    if (!isResizableWindow(candidate)) continue;
    bool duplicate = false;
    for (const Element& k : kept) duplicate = duplicate || sameWindow(candidate, k);
    if (!duplicate) kept.push_back(candidate);
  }

  std::vector<Element> pool;
  for (const Element& k : kept)
    if (stringAttribute(k, ax::subrole) == ax::subroleStandardWindow) pool.push_back(k);
  if (pool.empty()) pool = kept;

  std::optional<Element> best;
  double bestArea = -1;
  for (const Element& p : pool) {
    const double a = area(rawFrame(p));
    if (a > bestArea) {
      best = p;
      bestArea = a;
    }
  }
  return best;
}

std::string describe(const Element& window) {
  const auto frame = rawFrame(window);
  return "subrole=" + stringAttribute(window, ax::subrole).value_or("-") +
         " title=" + stringAttribute(window, ax::title).value_or("") +
         " ax=" + (frame ? RectText::frame(*frame) : std::string("?"));
}

std::string identity(const Element& window) {
  const std::int32_t pid = platform::accessibility().pid(window).value_or(0);
  return std::to_string(pid) + "|" + stringAttribute(window, ax::title).value_or("");
}

// --- frames and displays ---

std::optional<Rect> rawFrame(const Element& window) {
  const auto position = copyValue(window, ax::position);
  const auto size = copyValue(window, ax::size);
  if (!position || !size) return std::nullopt;
  const auto* p = std::get_if<Point>(&*position);
  const auto* s = std::get_if<Size>(&*size);
  if (!p || !s) return std::nullopt;
  return Rect(*p, *s);
}

double flipHeight() { return ScreenSpace::primaryTop(); }

Rect toAppKit(const Rect& f) { return ScreenSpace::flipped(f, flipHeight()); }
Rect toAccessibility(const Rect& f) { return ScreenSpace::flipped(f, flipHeight()); }

std::optional<platform::Screen> screenContaining(const Rect& rect) { return ScreenSpace::screenWithMostOf(rect); }

std::optional<Rect> frameMovingDisplaysBy(const Rect& frame, int delta) {
  const auto all = platform::screens().screens();
  std::vector<DisplayFrames> displays;
  for (const auto& s : all) displays.push_back({s.frame, s.visibleFrame});
  std::optional<std::size_t> index;
  if (const auto holder = screenContaining(frame)) {
    for (std::size_t i = 0; i < all.size(); ++i)
      if (all[i].displayID == holder->displayID) index = i;
  }
  return WindowSnapGeometry::displayMove(frame, delta, displays, index);
}

}  // namespace vistrel::AccessibilityWindow
