#include "capture/CaptureCountdown.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWindow>

#include <algorithm>
#include <cmath>

#include "base/LayoutLog.h"
#include "capture/CaptureError.h"
#include "capture/ScreenCaptureService.h"
#include "platform/Platform.h"
#include "ui/KeyTranslation.h"
#include "ui/OverlayWindow.h"
#include "ui/ScreenSpace.h"

namespace vistrel {

namespace {

constexpr double kGrabRetrySeconds = 0.02;
constexpr int kGrabAttempts = 26;
constexpr double kUnmapPollSeconds = 0.01;
constexpr int kUnmapPolls = 50;
// The window's corner sits this far below and right of the pointer's tip.
constexpr int kPointerGap = 24;

std::shared_ptr<CountdownSession>& activeSlot() {
  static std::shared_ptr<CountdownSession> session;
  return session;
}

}  // namespace

CountdownWindow::CountdownWindow(std::weak_ptr<CountdownSession> session, bool translucent)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::BypassWindowManagerHint |
                           Qt::WindowDoesNotAcceptFocus),
      session_(std::move(session)),
      translucent_(translucent) {
  // Without a compositing manager a translucent corner would show black: the square is opaque then.
  if (translucent_) setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFixedSize(kSide, kSide);
}

void CountdownWindow::setNumber(int number) {
  if (number == number_) return;
  number_ = number;
  update();
}

void CountdownWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF bounds = rect();
  if (translucent_) {
    QPainterPath square;
    square.addRoundedRect(bounds, 16, 16);
    painter.fillPath(square, QColor::fromRgbF(0, 0, 0, 0.72));
  } else {
    painter.fillRect(bounds, QColor(38, 38, 38));
  }
  QFont font = QApplication::font();
  font.setPixelSize(40);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(QColor::fromRgbF(1, 1, 1, 0.95));
  painter.drawText(bounds, Qt::AlignCenter, QString::number(number_));
}

void CountdownWindow::keyPressEvent(QKeyEvent* event) {
  const auto session = session_.lock();
  if (session && session->handleKey(KeyTranslation::keyEventFrom(*event))) return;
  QWidget::keyPressEvent(event);
}

CountdownSession::CountdownSession(double seconds, Resume<bool> continuation)
    : seconds_(seconds), continuation_(std::move(continuation)) {}

void CountdownSession::start(double seconds, Resume<bool> continuation, const CancelKeyWatch& watch) {
  // A count still running would otherwise leave its caller waiting forever.
  if (const auto earlier = activeSlot()) earlier->finish(true);
  auto session = std::make_shared<CountdownSession>(seconds, std::move(continuation));
  activeSlot() = session;
  session->begin(watch);
}

CountdownSession* CountdownSession::active() { return activeSlot().get(); }

void CountdownSession::begin(const CancelKeyWatch& watch) {
  auto& os = platform::current();
  const auto screens = os.screens().screens();
  const ScreenSpace::GlobalSpace space(screens);
  const QPoint pointer = space.toGlobal(os.screens().mouseLocation()).toPoint();
  const auto screen = DisplayGeometry::screenUnderMouse();
  const QRect area = screen ? space.toGlobal(screen->frame).toAlignedRect() : QRect(pointer, QSize(1, 1));

  window_ = new CountdownWindow(weak_from_this(), os.screenCapture().compositorRunning());
  window_->setNumber(int(std::ceil(seconds_)));
  window_->move(CaptureCountdown::placement(pointer, window_->size(), area));
  window_->show();
  if (watch) {
    std::weak_ptr<CountdownSession> weak = weak_from_this();
    stopWatching_ = watch([weak] {
      if (const auto session = weak.lock()) session->finish(true);
    });
  }
  if (!stopWatching_) grabKeyboard(0);
  spawn(tick(shared_from_this()));
}

void CountdownSession::grabKeyboard(int attempt) {
  if (finished_ || !window_) return;
  // A freshly shown window may not be grabbable yet.
  if (window_->windowHandle() && platform::current().eventMonitors().grabKeyboard(*window_->windowHandle())) {
    keyboardHeld_ = true;
    return;
  }
  if (attempt + 1 >= kGrabAttempts) {
    LayoutLog::write("capture-countdown-keyboard-busy");
    return;
  }
  std::weak_ptr<CountdownSession> weak = weak_from_this();
  platform::current().clock().after(kGrabRetrySeconds, [weak, attempt] {
    if (const auto session = weak.lock()) session->grabKeyboard(attempt + 1);
  });
}

Task<> CountdownSession::tick(std::shared_ptr<CountdownSession> session) {
  double left = session->seconds_;
  while (left > 0 && !session->finished_) {
    const double shown = std::ceil(left);
    if (session->window_) session->window_->setNumber(int(shown));
    // Until the number shown changes: a fraction first when the count is not whole.
    const double step = left - (shown - 1);
    co_await sleep(step);
    left -= step;
  }
  session->finish(false);
}

bool CountdownSession::handleKey(const platform::KeyEvent& event) {
  if (!overlay::isCancelKey(event)) return false;
  finish(true);
  return true;
}

void CountdownSession::finish(bool cancelled) {
  if (finished_) return;
  finished_ = true;
  if (window_) {
    if (keyboardHeld_ && window_->windowHandle()) {
      platform::current().eventMonitors().releaseInput(*window_->windowHandle());
    }
    window_->hide();
  }
  keyboardHeld_ = false;
  if (auto stop = std::exchange(stopWatching_, nullptr)) stop();
  // The slot may hold the last reference: it lives on until the end of this call.
  const auto self = activeSlot().get() == this ? std::move(activeSlot()) : nullptr;
  if (cancelled) {
    continuation_->throwing(CaptureException(CaptureError::cancelled));
  } else {
    continuation_->returning(true);
  }
}

namespace CaptureCountdown {

QPoint placement(QPoint pointer, QSize size, QRect screen) {
  int x = pointer.x() + kPointerGap;
  int y = pointer.y() + kPointerGap;
  // Near an edge it goes to the other side of the pointer rather than under it.
  if (x + size.width() > screen.right() + 1) x = pointer.x() - kPointerGap - size.width();
  if (y + size.height() > screen.bottom() + 1) y = pointer.y() - kPointerGap - size.height();
  x = std::clamp(x, screen.left(), std::max(screen.left(), screen.right() + 1 - size.width()));
  y = std::clamp(y, screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height()));
  return {x, y};
}

Task<> run(double seconds, CancelKeyWatch watch) {
  auto [counted, resume] = makeContinuation<bool>();
  CountdownSession::start(seconds, std::move(resume), watch);
  QPointer<CountdownWindow> window = CountdownSession::active() ? CountdownSession::active()->window() : nullptr;
  struct Dispose {
    QPointer<CountdownWindow>& window;
    ~Dispose() {
      if (window) window->deleteLater();
    }
  } dispose{window};
  co_await counted;
  // Hidden is not yet gone: the window server confirms the unmap (Qt then
  // reports the window unexposed), and the windows under it draw that place again.
  for (int poll = 0; window && window->windowHandle() && window->windowHandle()->isExposed() && poll < kUnmapPolls;
       ++poll) {
    co_await sleep(kUnmapPollSeconds);
  }
  co_await sleep(kRepaintSeconds);
}

}  // namespace CaptureCountdown

}  // namespace vistrel
