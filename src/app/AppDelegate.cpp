#include "app/AppDelegate.h"

#include <QPainter>

#include "app/BuildIdentity.h"
#include "hotkeys/GlobalHotkeyRegistry.h"
#include "hotkeys/HotkeyStore.h"
#include "layout/LayoutReview.h"
#include "layout/WindowEngine.h"
#include "platform/Platform.h"

namespace vistrel {

void AppDelegate::applicationDidFinishLaunching() {
  auto& system = platform::current();

  // 1. Ask to notify; the answer is neither logged nor stored.
  system.notifications().requestAuthorization({.alert = true, .sound = true, .badge = false}, [](bool) {});

  // 8. The program has no main window and no taskbar entry on any backend,
  // which is what the accessory policy means here.

  // 9. The status item, kept for the whole run.
  statusItem_ = system.makeStatusItem();

  // 10. Its image and tooltip, when there is a status area to show them in.
  if (statusItem_->hasButton()) {
    const bool local = BuildIdentity::isLocalDevelopment();
    statusItem_->setImage(placeholderStatusImage(), true);
    statusItem_->setToolTip(local ? "Vistrel \u2014 local build" : "Vistrel");
  }

  // 13, 14. Shortcuts, re-registered after every change of bindings.
  HotkeyStore::shared().onChange = [this] { actions_.registerGlobalHotkeys(); };
  actions_.registerGlobalHotkeys();

  // 15. A snap that waited for the Accessibility permission across a relaunch.
  WindowEngine::shared().consumePendingSnap();

  // 16. The layout self-test, when its marker asks for it.
  LayoutReview::startIfRequested();
}

void AppDelegate::applicationWillTerminate() {
  auto& registry = GlobalHotkeyRegistry::shared();
  registry.handler = nullptr;
  registry.uninstallHotKeys();
  // The tray drops the icon now rather than when the connection closes.
  statusItem_.reset();
}

QImage placeholderStatusImage() {
  QImage image(44, 44, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(2);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::black, 1.6));
  p.setBrush(Qt::NoBrush);
  const QRectF frame(2.5, 4.5, 17, 13);
  p.drawRoundedRect(frame, 2.5, 2.5);
  p.setBrush(Qt::black);
  p.drawRoundedRect(QRectF(frame.left(), frame.top(), frame.width() / 2, frame.height()), 2.5, 2.5);
  return image;
}

}  // namespace vistrel
