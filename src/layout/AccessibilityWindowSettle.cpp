// The frame change and its settle sequence: write, then confirm through the
// frame the window reports, step by step, because a window manager may apply
// a request late, partly or within the window's own size rules.

#include <cmath>
#include <cstdio>

#include "base/LayoutLog.h"
#include "base/RectText.h"
#include "layout/AccessibilityWindow.h"
#include "platform/Desktop.h"
#include "platform/Platform.h"

namespace vistrel::AccessibilityWindow {

namespace ax = platform::ax;

namespace {

bool positionOff(const Rect& c, const Rect& t) {
  return std::abs(c.minX() - t.minX()) >= 6 || std::abs(c.minY() - t.minY()) >= 6;
}

bool current(int id) { return state().settleID == id; }

// How far a window manager may put a window from the point asked for when it
// takes the point for another corner (of its frame, of the client inside it,
// of a shadow): a frame or a shadow, at twice the usual scale. A window found
// farther away was moved by something else, such as an older request landing late.
constexpr double kMaxReferenceOffset = 128;

bool sizeClose(const Rect& c, const Rect& t) {
  return std::abs(c.width() - t.width()) < 8 && std::abs(c.height() - t.height()) < 20;
}

// One axis of placement(): start and length of the target and the area, the window's length.
double placeAlong(double t0, double tLength, std::optional<std::pair<double, double>> area, double length,
                  bool anchorEnd) {
  const double t1 = t0 + tLength;
  double origin = anchorEnd ? t1 - length : t0;
  if (length > tLength + 0.5 && !anchorEnd) {
    const bool atStart = area && std::abs(t0 - area->first) < 8;
    const bool atEnd = area && std::abs(t1 - (area->first + area->second)) < 8;
    origin = atStart ? t0 : atEnd ? t1 - length : t0 + tLength / 2 - length / 2;
  }
  if (area && t0 >= area->first - 0.5 && t1 <= area->first + area->second + 0.5) {
    origin = std::max(area->first, std::min(origin, area->first + area->second - length));
  }
  return origin;
}

void logStep(const char* word, int attempt, const Rect& frame) {
  LayoutLog::write(std::string(word) + " " + std::to_string(attempt) + " actual=" + RectText::frame(frame));
}

// Reads the frame and logs the step with it; false when the window can no longer be read.
bool logStepRead(const char* word, int attempt, const Element& window) {
  const auto frame = rawFrame(window);
  if (frame) logStep(word, attempt, *frame);
  return frame.has_value();
}

}  // namespace

Point placement(Size size, const Rect& target, const std::optional<Rect>& area, bool anchorBottom) {
  const auto span = [&area](bool across) -> std::optional<std::pair<double, double>> {
    if (!area) return std::nullopt;
    return across ? std::pair(area->minX(), area->width()) : std::pair(area->minY(), area->height());
  };
  return {placeAlong(target.minX(), target.width(), span(true), size.width, false),
          placeAlong(target.minY(), target.height(), span(false), size.height, anchorBottom)};
}

bool landed(const Rect& actual, const Rect& target, bool anchorBottom) {
  const Point wanted = placement(actual.size(), target, state().settleArea, anchorBottom);
  return sizeClose(actual, target) && !positionOff(actual, Rect(wanted, actual.size()));
}

platform::AXError askPosition(const Element& window, Point wanted, const Rect& current) {
  auto& last = state().lastAsk;
  Point ask = wanted;
  const bool moved = last && current.origin() != last->from;
  const Point miss = last ? Point{current.minX() - last->asked.x, current.minY() - last->asked.y} : Point{};
  if (moved && std::abs(miss.x) <= kMaxReferenceOffset && std::abs(miss.y) <= kMaxReferenceOffset) {
    // It moved: the manager puts the window where it was asked plus some offset, which this ask takes off.
    ask = {wanted.x - miss.x, wanted.y - miss.y};
  } else if (last) {
    // Not moved (yet): the correction found so far still holds.
    ask = {wanted.x + last->asked.x - last->wanted.x, wanted.y + last->asked.y - last->wanted.y};
  }
  last = State::PositionAsk{ask, wanted, current.origin()};
  return setPosition(window, ask);
}

bool setFrame(const Rect& target, const Element& window, const std::string& label) {
  auto& access = platform::accessibility();
  if (boolAttribute(window, ax::fullScreen) == true) access.setAttributeValue(window, ax::fullScreen, false);
  const platform::AXError raised = access.performAction(window, ax::raise);

  const Rect axTarget = toAccessibility(target);
  // A window that is gone, or a process no longer trusted, cannot take the frame at all.
  if (raised == platform::kAXErrorInvalidUIElement || raised == platform::kAXErrorAPIDisabled) {
    LayoutLog::write("set-failed ax=" + RectText::frame(axTarget));
    return false;
  }

  bool anchorBottom = false;
  state().settleArea.reset();
  if (const auto screen = screenContaining(target)) {
    const Rect& visible = screen->visibleFrame;
    if (std::abs(target.minY() - visible.minY()) < 8) anchorBottom = target.height() + 24 < visible.height();
    state().settleArea = toAccessibility(visible);
  }

  commit(axTarget, window, anchorBottom, label);
  if (const auto frame = rawFrame(window))
    LayoutLog::write("set ax=" + RectText::frame(axTarget) + " actual=" + RectText::frame(*frame));
  return true;
}

bool commit(const Rect& target, const Element& window, bool anchorBottom, const std::string& label) {
  State& s = state();
  const int id = ++s.settleID;
  s.settleLabel = label;
  s.settleStarted = platform::current().clock().uptime();
  s.lastAsk.reset();

  const auto c = rawFrame(window);
  if (!c) {
    spawn(grow(target, window, id, 0));
    return true;
  }
  const bool needShrink = c->width() > target.width() + 8 || target.height() + 8 < c->height();
  const bool needGrow = target.width() > c->width() + 8 || c->height() + 8 < target.height();

  if (needShrink) {
    spawn(shrink(target, window, id, 0, anchorBottom));
    return true;
  }
  if (positionOff(*c, target)) askPosition(window, target.origin(), *c);
  if (!needGrow) {
    // Confirmed here when the window is already there, else on the clock by the grow steps.
    const auto frame = rawFrame(window);
    if (frame && landed(*frame, target, false)) {
      logSettleDone(*frame, target, id, 0, false);
    } else if (frame) {
      spawn(grow(target, window, id, 0));
    }
    return true;
  }
  if (c->height() + 8 < target.height() * 0.85) {
    spawn(growHeightFirst(target, window, id, 0));
  } else {
    spawn(grow(target, window, id, 0));
  }
  return true;
}

Task<> shrink(Rect target, Element window, int id, int attempt, bool anchorBottom) {
  co_await sleep(0.07);
  if (!current(id)) co_return;
  const auto c = rawFrame(window);
  if (!c) co_return;

  const bool sizeFarOff = std::abs(c->width() - target.width()) >= 16 || std::abs(c->height() - target.height()) >= 30;
  if (sizeFarOff && attempt <= 4) {
    setSize(window, target.size());
    logStepRead("shrink-size", attempt, window);
    spawn(shrink(target, window, id, attempt + 1, anchorBottom));
    co_return;
  }

  // Anchored, the bottom edge goes onto the target's bottom edge at the height the window has now; a
  // window that stays larger than the target goes as near to it as the visible frame allows.
  const Point wanted = placement(c->size(), target, state().settleArea, anchorBottom);
  if ((std::abs(c->minX() - wanted.x) > 4 || std::abs(c->minY() - wanted.y) > 4) && attempt <= 8) {
    askPosition(window, wanted, *c);
    if (const auto a = rawFrame(window)) {
      logStep("shrink-move", attempt, *a);
      if (target.width() + 12 < a->width() || a->height() > target.height() + 20) {
        setSize(window, target.size());
        logStepRead("shrink-overshoot ", attempt, window);
      }
    }
    spawn(shrink(target, window, id, attempt + 1, anchorBottom));
    co_return;
  }

  logSettleDone(*c, target, id, attempt + 1, !landed(*c, target, anchorBottom));
}

Task<> growHeightFirst(Rect target, Element window, int id, int attempt) {
  co_await sleep(0.08);
  if (!current(id)) co_return;
  const auto c = rawFrame(window);
  if (!c) co_return;

  if (c->height() + 8 < target.height() && attempt < 4) {
    setSize(window, Size{c->width(), target.height()});
    logStepRead("grow-height", attempt, window);
    spawn(growHeightFirst(target, window, id, attempt + 1));
  } else {
    spawn(grow(target, window, id, 0));
  }
}

Task<> grow(Rect target, Element window, int id, int attempt) {
  co_await sleep(0.08);
  if (!current(id)) co_return;
  const auto c = rawFrame(window);
  if (!c) co_return;

  const Rect wanted(placement(c->size(), target, state().settleArea, false), c->size());
  if (positionOff(*c, wanted) && attempt <= 3) {
    askPosition(window, wanted.origin(), *c);
    logStep("place", attempt, *c);
    spawn(grow(target, window, id, attempt + 1));
    co_return;
  }

  const bool sizeOK = setSize(window, target.size()) == platform::kAXErrorSuccess;
  const auto a = rawFrame(window);
  if (!a) co_return;
  LayoutLog::write("grow " + std::to_string(attempt) + " sizeOK=" + (sizeOK ? "true" : "false") +
                   " actual=" + RectText::frame(*a));

  if (sizeClose(*a, target)) {
    const auto again = rawFrame(window);
    if (!again) co_return;
    const Rect placed(placement(again->size(), target, state().settleArea, false), again->size());
    if (positionOff(*again, placed)) askPosition(window, placed.origin(), *again);
    const auto last = rawFrame(window);
    if (!last) co_return;
    // A position the window manager has not taken (yet) is looked at again on the next step.
    if (landed(*last, target, false)) {
      logSettleDone(*last, target, id, attempt + 1, false);
    } else if (attempt < 8) {
      spawn(grow(target, window, id, attempt + 1));
    } else {
      logSettleDone(*last, target, id, attempt + 1, true);
    }
  } else if (attempt < 8) {
    spawn(grow(target, window, id, attempt + 1));
  } else {
    logSettleDone(*a, target, id, attempt + 1, true);
  }
}

void logSettleDone(const Rect& actual, const Rect& target, int id, int steps, bool partial) {
  const State& s = state();
  if (s.settleID != id) return;
  // Whole milliseconds, truncated; the small allowance keeps binary fractions
  // of exact step times (0.08 s) from truncating a millisecond away.
  const double elapsed = platform::current().clock().uptime() - s.settleStarted;
  const long long ms = static_cast<long long>(std::floor(elapsed * 1000 + 1e-6));
  char deviation[200];
  std::snprintf(deviation, sizeof deviation, "dx=%.0f dy=%.0f dw=%.0f dh=%.0f", actual.minX() - target.minX(),
                actual.minY() - target.minY(), actual.width() - target.width(), actual.height() - target.height());
  LayoutLog::write(std::string(partial ? "snap-partial" : "snap-done") +
                   " preset=" + (s.settleLabel.empty() ? std::string("-") : s.settleLabel) + " " + deviation +
                   " steps=" + std::to_string(steps) + " ms=" + std::to_string(ms) +
                   " actual=" + RectText::frame(actual));
}

}  // namespace vistrel::AccessibilityWindow
