#pragma once
// A simulated desktop for the selection overlays: the primary display
// (1440x900) with a second one (1280x1024) to its left, tops aligned, so that
// Qt's global coordinates (X root) put the left display at x 0 and the
// primary at x 1280; a log in a temporary folder; and helpers that await a
// selection and send pointer and key events to the overlays.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <memory>
#include <optional>
#include <vector>

#include "base/AlertPresenter.h"
#include "capture/CaptureError.h"
#include "capture/RegionSelector.h"
#include "capture/ScreenCaptureService.h"
#include "capture/WindowSelector.h"
#include "platform/sim/SimPlatform.h"
#include "support/TempLog.h"

namespace vistrel::testing {

// Keeps every alert shown and answers each with its first button.
class AnsweringPresenter : public AlertPresenter {
 public:
  int runModal(const Alert& alert) override {
    alerts.push_back(alert);
    return 0;
  }
  std::vector<Alert> alerts;
};

template <typename T>
struct Outcome {
  bool done = false;
  std::optional<T> value;
  std::optional<CaptureError> error;
};

// The outcome is shared: a flow still waiting when the test body ends is finished in TearDown.
template <typename T>
Task<> collect(Task<T> task, std::shared_ptr<Outcome<T>> outcome) {
  try {
    outcome->value = co_await std::move(task);
  } catch (const CaptureException& error) {
    outcome->error = error.error();
  }
  outcome->done = true;
}

class OverlayFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    sim->screens().addScreen(Rect(0, 0, 1440, 900), Rect(0, 0, 1440, 875));
    sim->screens().addScreen(Rect(-1280, -124, 1280, 1024), Rect(-1280, -124, 1280, 1024));
  }
  void TearDown() override {
    if (auto* session = RegionSession::active()) session->finish(true);
    if (auto* session = WindowPickSession::active()) session->finish(true);
    sim->clock().runUntilIdle();
    ScreenCaptureService::endFreeze();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  // Starts the flow and lets it run up to its first wait.
  template <typename T>
  std::shared_ptr<Outcome<T>> start(Task<T> task) {
    auto outcome = std::make_shared<Outcome<T>>();
    spawn(collect(std::move(task), outcome));
    sim->clock().runPending();
    return outcome;
  }

  // Overlay windows still on screen, of any selection.
  static int visibleOverlays() {
    int count = 0;
    for (auto* widget : QApplication::topLevelWidgets()) {
      if (qobject_cast<overlay::OverlayWindow*>(widget) && widget->isVisible()) ++count;
    }
    return count;
  }

  // Pointer events at a point in Qt global coordinates, delivered to `window`
  // wherever the point lies (as the input grab delivers them).
  static void mouse(QWidget* window, QEvent::Type type, QPointF global, Qt::MouseButton button,
                    Qt::MouseButtons held, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const QPointF local = global - QPointF(window->geometry().topLeft());
    QMouseEvent event(type, local, local, global, button, held, modifiers);
    QCoreApplication::sendEvent(window, &event);
  }
  static void press(QWidget* w, QPointF global, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {}) {
    mouse(w, QEvent::MouseButtonPress, global, b, b, m);
  }
  static void drag(QWidget* w, QPointF global) { mouse(w, QEvent::MouseMove, global, Qt::NoButton, Qt::LeftButton); }
  static void hover(QWidget* w, QPointF global) { mouse(w, QEvent::MouseMove, global, Qt::NoButton, Qt::NoButton); }
  static void release(QWidget* w, QPointF global) {
    mouse(w, QEvent::MouseButtonRelease, global, Qt::LeftButton, Qt::NoButton);
  }
  static void key(QWidget* window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, QString text = {}) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(window, &event);
  }

  sim::ScopedSimPlatform sim;
  TempLog tempLog;
};

}  // namespace vistrel::testing
