#include "settings/SettingsWindowController.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>

#include "settings/SettingsView.h"

namespace vistrel {

namespace {
std::unique_ptr<SettingsWindowController>& instance() {
  static std::unique_ptr<SettingsWindowController> controller;
  return controller;
}
}  // namespace

SettingsWindowController& SettingsWindowController::shared() {
  auto& controller = instance();
  if (!controller) controller.reset(new SettingsWindowController);
  return *controller;
}

void SettingsWindowController::resetForTesting() { instance().reset(); }

SettingsWindowController::~SettingsWindowController() = default;

SettingsView* SettingsWindowController::view() const {
  return window_ ? static_cast<SettingsView*>(window_->centralWidget()) : nullptr;
}

void SettingsWindowController::show() {
  if (!window_) {
    window_ = std::make_unique<QMainWindow>();
    window_->setWindowTitle("Settings");
    window_->setCentralWidget(new SettingsView([this](bool on) { return setLaunchAtLogin && setLaunchAtLogin(on); }));
    window_->resize(860, 680);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      QRect frame = window_->frameGeometry();
      frame.moveCenter(screen->availableGeometry().center());
      window_->move(frame.topLeft());
    }
  }
  window_->setMinimumSize(560, 480);
  window_->setMaximumSize(1100, 1200);
  window_->show();
  window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
  window_->raise();
  window_->activateWindow();
}

}  // namespace vistrel
