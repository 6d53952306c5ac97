#include "capture/WindowSelector.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <variant>

#include "capture/CaptureError.h"
#include "platform/Platform.h"
#include "ui/KeyTranslation.h"
#include "ui/ScreenSpace.h"

namespace vistrel {

namespace {

std::shared_ptr<WindowPickSession>& activeSlot() {
  static std::shared_ptr<WindowPickSession> slot;
  return slot;
}

std::string windowTitle(const std::string& owner, const std::string& name) {
  std::string title = owner;
  if (!owner.empty() && !name.empty()) title += " \u2014 ";
  title += name;
  return title.empty() ? "Window" : title;
}

}  // namespace

WindowPickOverlay::WindowPickOverlay(std::weak_ptr<WindowPickSession> session, platform::Screen screen,
                                     overlay::Backdrop backdrop, ScreenSpace::GlobalSpace space)
    : OverlayWindow(std::move(screen), std::move(backdrop), space), session_(std::move(session)) {
  setMouseTracking(true);
}

WindowPickOverlay* WindowPickOverlay::make(std::weak_ptr<WindowPickSession> session, platform::Screen screen,
                                           overlay::Backdrop backdrop, ScreenSpace::GlobalSpace space) {
  auto* overlay = overlay::takeIdleOverlay<WindowPickOverlay>(screen, backdrop);
  if (!overlay) return new WindowPickOverlay(std::move(session), std::move(screen), std::move(backdrop), space);
  overlay->reset(std::move(screen), std::move(backdrop), space);
  overlay->session_ = std::move(session);
  overlay->highlight.reset();
  overlay->showsLabel = false;
  return overlay;
}

void WindowPickOverlay::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  paintBackdrop(painter);
  const QColor dim = QColor::fromRgbF(0, 0, 0, 0.35);
  const QString hint = QStringLiteral("Click a window \u00B7 Esc to cancel");
  QPainterPath path;
  path.addRect(QRectF(rect()));
  if (!highlight || highlight->frame.width() <= 2) {
    painter.fillPath(path, dim);
    overlay::paintHint(painter, size(), hint);
    return;
  }
  const QRectF local = localRect(highlight->frame);
  path.addRoundedRect(local, 6, 6);
  path.setFillRule(Qt::OddEvenFill);
  painter.fillPath(path, dim);
  QPainterPath outline;
  outline.addRoundedRect(local, 6, 6);
  painter.strokePath(outline, QPen(Qt::white, 3));

  if (showsLabel) {
    QFont font = QApplication::font();
    font.setPixelSize(13);
    font.setWeight(QFont::Medium);
    const QFontMetricsF metrics(font);
    const QString title = QString::fromStdString(highlight->title);
    const Size textSize{metrics.horizontalAdvance(title), metrics.height()};
    const Rect bottomUp(local.left(), height() - local.bottom(), local.width(), local.height());
    const auto label = WindowSelector::titleLabelPlacement(bottomUp, textSize, {double(width()), double(height())});
    QPainterPath pill;
    pill.addRoundedRect(ScreenSpace::viewRect(label.pill, height()), 8, 8);
    painter.fillPath(pill, QColor::fromRgbF(0, 0, 0, 0.72));
    const QRectF textRect = ScreenSpace::viewRect(label.text, height());
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     metrics.elidedText(title, Qt::ElideRight, textRect.width()));
  }
  overlay::paintHint(painter, size(), hint);
}

void WindowPickOverlay::mousePressEvent(QMouseEvent* event) {
  const auto session = session_.lock();
  if (!session) return;
  if (event->button() == Qt::RightButton) {
    session->finish(true);
    return;
  }
  present();
}

void WindowPickOverlay::mouseMoveEvent(QMouseEvent* event) {
  if (const auto session = session_.lock()) session->hover(screenPoint(*event));
}

void WindowPickOverlay::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const auto session = session_.lock();
  if (!session) return;
  session->hover(screenPoint(*event));
  if (session->highlight()) session->finish(false);
}

void WindowPickOverlay::keyPressEvent(QKeyEvent* event) {
  const auto session = session_.lock();
  if (session && session->handleKey(KeyTranslation::keyEventFrom(*event))) return;
  OverlayWindow::keyPressEvent(event);
}

WindowPickSession::WindowPickSession(std::vector<SelectedWindow> windows, Resume<SelectedWindow> continuation)
    : windows_(std::move(windows)), continuation_(std::move(continuation)) {}

void WindowPickSession::start(std::vector<SelectedWindow> windows, Resume<SelectedWindow> continuation) {
  // A pick still running would otherwise leave its caller waiting forever.
  if (const auto earlier = activeSlot()) earlier->finish(true);
  auto session = std::make_shared<WindowPickSession>(std::move(windows), std::move(continuation));
  activeSlot() = session;
  session->begin();
}

WindowPickSession* WindowPickSession::active() { return activeSlot().get(); }

void WindowPickSession::begin() {
  auto& os = platform::current();
  const auto screens = os.screens().screens();
  if (screens.empty()) {
    finish(true);
    return;
  }
  // The pictures must be taken before any overlay covers a screen.
  auto backdrops = overlay::takeBackdrops(screens);
  const ScreenSpace::GlobalSpace space(screens);
  for (std::size_t i = 0; i < screens.size(); ++i) {
    auto* overlay = WindowPickOverlay::make(weak_from_this(), screens[i], std::move(backdrops[i]), space);
    overlays_.push_back(overlay);
    overlay->show();
  }
  overlays_.front()->present();
  hover(os.screens().mouseLocation());
  std::weak_ptr<WindowPickSession> weak = weak_from_this();
  grab_.start(overlays_.front()->windowHandle(), [weak] {
    if (const auto session = weak.lock()) session->finish(true);
  });
}

void WindowPickSession::hover(Point point) {
  if (finished_) return;
  const auto target = std::find_if(windows_.begin(), windows_.end(),
                                   [&](const SelectedWindow& window) { return window.frame.contains(point); });
  if (target != windows_.end()) {
    if (highlight_ && highlight_->id == target->id) return;
    highlight_ = *target;
  } else {
    if (!highlight_) return;
    highlight_.reset();
  }
  // The label goes to the screen holding the window's centre, else to the
  // first it touches: every overlay clamps the label into its own view, so
  // more than one would show a copy.
  WindowPickOverlay* labelled = nullptr;
  if (highlight_) {
    const Point centre{highlight_->frame.midX(), highlight_->frame.midY()};
    for (const auto& overlay : overlays_) {
      if (overlay && overlay->screen().frame.contains(centre)) {
        labelled = overlay;
        break;
      }
    }
    if (!labelled) {
      for (const auto& overlay : overlays_) {
        if (overlay && overlay->screen().frame.intersects(highlight_->frame)) {
          labelled = overlay;
          break;
        }
      }
    }
  }
  for (const auto& overlay : overlays_) {
    if (!overlay) continue;
    overlay->highlight = highlight_;
    overlay->showsLabel = overlay == labelled;
    overlay->update();
  }
}

bool WindowPickSession::handleKey(const platform::KeyEvent& event) {
  if (!overlay::isCancelKey(event)) return false;
  finish(true);
  return true;
}

void WindowPickSession::finish(bool cancelled) {
  if (finished_) return;
  finished_ = true;
  // Teardown may drop the last owner of this session.
  const auto self = shared_from_this();
  const auto picked = highlight_;
  auto continuation = std::exchange(continuation_, std::nullopt);
  if (!continuation) {
    teardown();
    return;
  }
  teardown();
  if (picked && !cancelled) {
    continuation->returning(*picked);
  } else {
    continuation->throwing(CaptureException(CaptureError::cancelled));
  }
}

void WindowPickSession::teardown() {
  grab_.release();
  overlay::dismissAll(overlays_);
  if (activeSlot().get() == this) activeSlot().reset();
}

std::vector<WindowPickOverlay*> WindowPickSession::overlays() const { return overlay::liveWindows(overlays_); }

namespace WindowSelector {

Task<SelectedWindow> pick() {
  platform::current().screenCapture().beginWindowPick();
  auto candidates = onScreenWindows();
  auto continuation = makeContinuation<SelectedWindow>();
  WindowPickSession::start(std::move(candidates), std::move(continuation.second));
  co_return co_await continuation.first;
}

std::vector<SelectedWindow> onScreenWindows() {
  auto& os = platform::current();
  const auto content = os.screenCapture().shareableContent();
  const auto* listed = std::get_if<platform::ShareableContent>(&content);
  if (!listed) return {};
  const std::int32_t ownPID = os.workspace().currentProcessID();
  const auto screens = os.screens().screens();
  const double primaryTop = ScreenSpace::primaryTop();
  std::vector<SelectedWindow> candidates;
  for (const auto& window : listed->windows) {
    if (window.layer != 0) continue;
    if (window.ownerPID == ownPID) continue;
    if (window.ownerName == "Dock" || window.ownerName == "Window Server") continue;
    const Rect& bounds = window.bounds;
    if (bounds.isNull()) continue;
    if (bounds.width() <= 80 || bounds.height() <= 80) continue;
    const Rect frame = ScreenSpace::flipped(bounds, primaryTop);
    const bool onScreen = std::any_of(screens.begin(), screens.end(),
                                      [&](const platform::Screen& screen) { return frame.intersects(screen.frame); });
    if (!onScreen) continue;
    if (window.windowID == 0) continue;
    candidates.push_back({window.windowID, frame, windowTitle(window.ownerName, window.title)});
  }
  return candidates;
}

TitleLabelPlacement titleLabelPlacement(const Rect& highlight, Size text, Size bounds) {
  const double labelWidth = std::min(bounds.width - 24, text.width + 20);
  double x = std::max(highlight.midX() - labelWidth * 0.5, 12.0);
  x = std::min(bounds.width - labelWidth - 12, x);
  double y = highlight.maxY() + 8;
  if (text.height + y + 12 > bounds.height - 8) y = highlight.minY() - text.height - 16;
  return {Rect(x, y - 6, labelWidth, text.height + 12), Rect(x + 10, y, labelWidth - 20, text.height)};
}

}  // namespace WindowSelector

}  // namespace vistrel
