#include "capture/RegionSelector.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

#include "base/KeyCodes.h"
#include "capture/CaptureError.h"
#include "capture/ScreenCaptureService.h"
#include "platform/Platform.h"
#include "ui/KeyTranslation.h"
#include "ui/ScreenSpace.h"

namespace vistrel {

namespace {

std::shared_ptr<RegionSession>& activeSlot() {
  static std::shared_ptr<RegionSession> slot;
  return slot;
}

Rect spanned(Point a, Point b) {
  return {std::min(a.x, b.x), std::min(a.y, b.y), std::abs(a.x - b.x), std::abs(a.y - b.y)};
}

}  // namespace

RegionOverlayWindow::RegionOverlayWindow(std::weak_ptr<RegionSession> session, platform::Screen screen,
                                         overlay::Backdrop backdrop, ScreenSpace::GlobalSpace space)
    : OverlayWindow(std::move(screen), std::move(backdrop), space), session_(std::move(session)) {}

RegionOverlayWindow* RegionOverlayWindow::make(std::weak_ptr<RegionSession> session, platform::Screen screen,
                                               overlay::Backdrop backdrop, ScreenSpace::GlobalSpace space) {
  auto* window = overlay::takeIdleOverlay<RegionOverlayWindow>(screen, backdrop);
  if (!window) return new RegionOverlayWindow(std::move(session), std::move(screen), std::move(backdrop), space);
  window->reset(std::move(screen), std::move(backdrop), space);
  window->session_ = std::move(session);
  window->selectionRect = {};
  return window;
}

QRectF RegionOverlayWindow::convertScreenRectToLocal(const Rect& rect) const {
  const Rect clipped = rect.intersection(screen().frame);
  if (clipped.isNull() || clipped.width() <= 1 || clipped.height() <= 1) return {};
  return localRect(clipped);
}

void RegionOverlayWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  paintBackdrop(painter);
  QRectF hole;
  if (selectionRect.width() > 2 && selectionRect.height() > 2) hole = convertScreenRectToLocal(selectionRect);
  overlay::dimAround(painter, QRectF(rect()), hole, QColor::fromRgbF(0, 0, 0, 0.45));
  // A selection lying wholly on another screen leaves no hole here, and no outline.
  if (!hole.isEmpty()) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(hole);
  }
  overlay::paintHint(painter, size(), QStringLiteral("Drag to select \u00B7 Esc to cancel"));
}

void RegionOverlayWindow::mousePressEvent(QMouseEvent* event) {
  const auto session = session_.lock();
  if (!session) return;
  if (event->button() == Qt::RightButton) {
    session->finish(true);
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  present();
  session->mouseDown(screenPoint(*event), event->modifiers() & Qt::ControlModifier);
}

void RegionOverlayWindow::mouseMoveEvent(QMouseEvent* event) {
  if (const auto session = session_.lock()) session->mouseDragged(screenPoint(*event));
}

void RegionOverlayWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (const auto session = session_.lock()) session->mouseUp(screenPoint(*event));
}

void RegionOverlayWindow::keyPressEvent(QKeyEvent* event) {
  const auto session = session_.lock();
  if (session && session->handleKey(KeyTranslation::keyEventFrom(*event))) return;
  OverlayWindow::keyPressEvent(event);
}

RegionSession::RegionSession(Resume<Rect> continuation) : continuation_(std::move(continuation)) {}

void RegionSession::start(Resume<Rect> continuation) {
  // A selection still running would otherwise leave its caller waiting forever.
  if (const auto earlier = activeSlot()) earlier->finish(true);
  auto session = std::make_shared<RegionSession>(std::move(continuation));
  activeSlot() = session;
  session->begin();
}

RegionSession* RegionSession::active() { return activeSlot().get(); }

void RegionSession::begin() {
  const auto screens = platform::current().screens().screens();
  if (screens.empty()) {
    finish(true);
    return;
  }
  // The pictures must be taken before any overlay covers a screen.
  auto backdrops = overlay::takeBackdrops(screens);
  const ScreenSpace::GlobalSpace space(screens);
  for (std::size_t i = 0; i < screens.size(); ++i) {
    if (!backdrops[i].translucent && !backdrops[i].picture.isNull()) {
      ScreenCaptureService::freezeDisplay(screens[i].displayID, backdrops[i].picture);
    }
    auto* window = RegionOverlayWindow::make(weak_from_this(), screens[i], std::move(backdrops[i]), space);
    windows_.push_back(window);
    window->show();
  }
  windows_.front()->present();
  std::weak_ptr<RegionSession> weak = weak_from_this();
  grab_.start(windows_.front()->windowHandle(), [weak] {
    if (const auto session = weak.lock()) session->finish(true);
  });
}

bool RegionSession::handleKey(const platform::KeyEvent& event) {
  if (overlay::isCancelKey(event)) {
    finish(true);
    return true;
  }
  if (event.keyCode == KeyCode::returnKey || event.keyCode == KeyCode::keypadEnter) {
    finish(false);
    return true;
  }
  return false;
}

void RegionSession::mouseDown(Point point, bool controlHeld) {
  if (finished_) return;
  if (controlHeld) {
    finish(true);
    return;
  }
  dragStart_ = point;
}

void RegionSession::mouseDragged(Point point) {
  if (finished_ || !dragStart_) return;
  setCurrentRect(spanned(*dragStart_, point));
}

void RegionSession::mouseUp(Point point) {
  if (finished_ || !dragStart_) return;
  setCurrentRect(spanned(*dragStart_, point));
  dragStart_.reset();
  finish(false);
}

void RegionSession::setCurrentRect(Rect rect) {
  currentRect_ = rect;
  for (const auto& window : windows_) {
    if (!window) continue;
    // Only what the hole and its outline covered and will cover changes:
    // repainting a whole screen on every move of a drag would lag behind it.
    const QRectF before = window->convertScreenRectToLocal(window->selectionRect);
    const QRectF after = window->convertScreenRectToLocal(rect);
    window->selectionRect = rect;
    window->update(before.united(after).adjusted(-3, -3, 3, 3).toAlignedRect());
  }
}

void RegionSession::finish(bool cancelled) {
  if (finished_) return;
  finished_ = true;
  // Teardown may drop the last owner of this session.
  const auto self = shared_from_this();
  auto continuation = std::exchange(continuation_, std::nullopt);
  if (!continuation) {
    teardown();
    return;
  }
  const Rect rect = currentRect_;
  teardown();
  if (cancelled || rect.width() < kMinimumSide || rect.height() < kMinimumSide) {
    continuation->throwing(CaptureException(CaptureError::cancelled));
  } else {
    continuation->returning(rect);
  }
}

void RegionSession::teardown() {
  grab_.release();
  overlay::dismissAll(windows_);
  if (activeSlot().get() == this) activeSlot().reset();
}

std::vector<RegionOverlayWindow*> RegionSession::windows() const { return overlay::liveWindows(windows_); }

namespace RegionSelector {

Task<Rect> pickRegion() {
  auto continuation = makeContinuation<Rect>();
  RegionSession::start(std::move(continuation.second));
  co_return co_await continuation.first;
}

}  // namespace RegionSelector

}  // namespace vistrel
