#include "app/AppDelegate.h"

#include <cstdlib>
#include <cstring>

#include "app/BuildIdentity.h"
#include "base/KeyCodes.h"
#include "app/DesktopShortcutsHelp.h"
#include "app/HotkeyTakeover.h"
#include "app/MenuController.h"
#include "app/SingleCopyGuard.h"
#include "app/TrayPresenter.h"
#include "capture/CaptureEngine.h"
#include "editor/CapturePreviewWindowController.h"
#include "hotkeys/GlobalHotkeyRegistry.h"
#include "hotkeys/HotkeyStore.h"
#include "layout/LayoutReview.h"
#include "layout/WindowEngine.h"
#include "permissions/AccessibilityAccess.h"
#include "permissions/PermissionInstallState.h"
#include "permissions/PostUpdateHeal.h"
#include "permissions/ScreenRecordingAccess.h"
#include "recording/RecordingEngine.h"
#include "update/AppUpdate.h"
#include "update/BrandIcon.h"
#include "update/PreviewCard.h"
#include "update/UpdateNotifier.h"
#include "platform/Platform.h"

namespace vistrel {

void AppDelegate::applicationDidFinishLaunching() {
  auto& system = platform::current();

  // 1. Notices after an update show also while the program is in front. Ask
  // to notify; the answer is neither logged nor stored.
  system.notifications().setDelegate(&UpdateNotifier::Delegate::shared());
  system.notifications().requestAuthorization({.alert = true, .sound = true, .badge = false}, [](bool) {});

  // 2, 3. The permission records: old unscoped keys cleared once, then one line with their state.
  PermissionInstallState::migrateLegacyKeysIfNeeded();
  PermissionInstallState::logEndToEndSnapshot();

  // 4. Screen Recording bookkeeping for this launch; it never waits for the user.
  ScreenRecordingAccess::registerLaunch();

  // 5. The same for Accessibility. A snap blocked by it goes to its flow from now on.
  AccessibilityAccess::registerLaunch();
  WindowEngine::shared().setPermissionFlow(AccessibilityAccess::permissionFlow());

  // 6. Another copy from a different file: a modal warning the launch waits on.
  SingleCopyGuard::warnIfNeeded();

  // 7. A build that lost its permissions with an update may relaunch itself once, a little later.
  PostUpdateHeal::considerAfterLaunch();

  // 8. The program has no main window and no taskbar entry on any backend,
  // which is what the accessory policy means here.

  // 9. The status item, kept for the whole run.
  statusItem_ = system.makeStatusItem();

  // 10. Its image and tooltip, when there is a status area to show them in.
  if (statusItem_->hasButton()) {
    const bool local = BuildIdentity::isLocalDevelopment();
    statusItem_->setImage(BrandIcon::menuBarImage(UpdateBadge::none, local), true);
    statusItem_->setToolTip(local ? "Vistrel \u2014 local build" : "Vistrel");
  }

  // 11. Clicks on the item and the menu they open.
  auto& menu = MenuController::shared();
  menu.updatesTitleProvider = [] { return AppUpdate::shared().menuTitle(); };
  menu.checkForUpdatesAction = [] { AppUpdate::shared().checkForUpdates(); };
  menu.attach(statusItem_.get(), &actions_);

  // 12. The icon shows the update and recording state from now on, also when a
  // tray appears later; then the update controller starts the updater.
  auto& tray = TrayPresenter::shared();
  tray.statusItem = statusItem_.get();
  statusItem_->setButtonAppearedHandler([] { TrayPresenter::shared().applyIcon(); });
  auto& update = AppUpdate::shared();
  update.onPresentationChange = [] { TrayPresenter::shared().applyIcon(); };
  tray.applyIcon();
  RecordingEngine::shared().refreshMenuBarIcon = [] { TrayPresenter::shared().applyIcon(); };
  update.start();

  // 13, 14. Shortcuts, re-registered after every change of bindings.
  HotkeyStore::shared().onChange = [this] { actions_.registerGlobalHotkeys(); };
  actions_.registerGlobalHotkeys();
  // A desktop that grabs no keys for programs: once, after the launch, how to bind them there instead.
  system.clock().after(0, [] { DesktopShortcutsHelp::showOnceIfNeeded(); });
  // A copy that replaces a running one gets the keys that copy held once it has gone.
  spawn(HotkeyTakeover::takeOverFromEarlierCopies());

  // Finished shots open in the capture editor (when the after-capture switch says so).
  CaptureEngine::shared().showEditor = [](const QImage& image, std::optional<std::string> savedPath,
                                          EditorDisplayMath::PixelScale scale) {
    CapturePreviewWindowController::shared().show(image, std::move(savedPath), scale);
  };

  // A capture's countdown watches Escape as a system-wide key, leaving the keyboard to the menus it waits for.
  CaptureEngine::shared().watchCancelKey = [](std::function<void()> cancel) -> std::function<void()> {
    const auto id = GlobalHotkeyRegistry::shared().holdKey(KeyCode::escape, 0, std::move(cancel));
    if (!id) return {};
    return [id = *id] { GlobalHotkeyRegistry::shared().releaseHeldKey(id); };
  };

  // 15. A snap that waited for the Accessibility permission across a relaunch.
  WindowEngine::shared().consumePendingSnap();

  // 16. The layout self-test, when its marker asks for it.
  LayoutReview::startIfRequested();

  // 17. The development preview of the update card, after the launch has finished.
  const char* preview = std::getenv("VISTREL_PREVIEW_CARD");
  if (preview && std::strcmp(preview, "1") == 0) system.clock().after(0, [] { showPreviewCard(); });
}

void AppDelegate::applicationWillTerminate() {
  auto& registry = GlobalHotkeyRegistry::shared();
  registry.handler = nullptr;
  registry.uninstallHotKeys();
  // Nothing may reach the item once it is gone; the tray drops the icon now
  // rather than when the connection closes.
  TrayPresenter::shared().statusItem = nullptr;
  MenuController::shared().statusItem = nullptr;
  statusItem_.reset();
}

}  // namespace vistrel
