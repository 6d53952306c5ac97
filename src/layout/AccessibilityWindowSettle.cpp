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
  if (const auto screen = screenContaining(target)) {
    const Rect& visible = screen->visibleFrame;
    if (std::abs(target.minY() - visible.minY()) < 8) anchorBottom = target.height() + 24 < visible.height();
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
  if (positionOff(*c, target)) setPosition(window, target.origin());
  if (!needGrow) {
    if (const auto frame = rawFrame(window)) logSettleDone(*frame, target, id, 0, false);
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

  // Anchored, the bottom edge goes onto the target's bottom edge at the height the window has now.
  const Point wanted = anchorBottom ? Point{target.minX(), target.maxY() - c->height()} : target.origin();
  if ((std::abs(c->minX() - wanted.x) > 4 || std::abs(c->minY() - wanted.y) > 4) && attempt <= 8) {
    setPosition(window, wanted);
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

  const bool partial = !(std::abs(c->width() - target.width()) < 8 && std::abs(c->height() - target.height()) < 20);
  logSettleDone(*c, target, id, attempt + 1, partial);
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

  if (positionOff(*c, target) && attempt <= 3) {
    setPosition(window, target.origin());
    logStep("place", attempt, *c);
    spawn(grow(target, window, id, attempt + 1));
    co_return;
  }

  const bool sizeOK = setSize(window, target.size()) == platform::kAXErrorSuccess;
  const auto a = rawFrame(window);
  if (!a) co_return;
  LayoutLog::write("grow " + std::to_string(attempt) + " sizeOK=" + (sizeOK ? "true" : "false") +
                   " actual=" + RectText::frame(*a));

  if (std::abs(a->width() - target.width()) < 8 && std::abs(a->height() - target.height()) < 20) {
    const auto again = rawFrame(window);
    if (!again) co_return;
    if (positionOff(*again, target)) setPosition(window, target.origin());
    if (const auto last = rawFrame(window)) logSettleDone(*last, target, id, attempt + 1, false);
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
