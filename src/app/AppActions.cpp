#include "app/AppActions.h"

#include <QCoreApplication>

#include "app/LaunchAtLogin.h"
#include "capture/CaptureEngine.h"
#include "hotkeys/GlobalHotkeyRegistry.h"
#include "hotkeys/HotkeyStore.h"
#include "layout/WindowEngine.h"
#include "layout/WindowTargetStore.h"
#include "recording/RecordingEngine.h"
#include "settings/SettingsWindowController.h"

namespace vistrel {

void AppActions::handle(const UtilityAction& action) {
  switch (action.kind()) {
    case UtilityAction::Kind::window: {
      // Remembered now: once a menu or alert has taken the focus, the front program is no longer findable.
      auto& targets = WindowTargetStore::shared();
      if (const auto app = targets.userFacingApplication()) targets.rememberedPID = app->pid;
      WindowEngine::shared().perform(*action.snap(), true);
      break;
    }
    case UtilityAction::Kind::quit:
      QCoreApplication::quit();
      break;
    case UtilityAction::Kind::capture:
      CaptureEngine::shared().perform(*action.captureMode());
      break;
    case UtilityAction::Kind::record:
      switch (*action.recordMode()) {
        case RecordMode::screen: RecordingEngine::shared().toggleScreen(); break;
        case RecordMode::area: RecordingEngine::shared().toggleArea(); break;
        case RecordMode::stop: RecordingEngine::shared().stop(); break;
        case RecordMode::areaGif: RecordingEngine::shared().toggleAreaGif(); break;
      }
      break;
    case UtilityAction::Kind::openSettings: {
      auto& settings = SettingsWindowController::shared();
      settings.setLaunchAtLogin = LaunchAtLogin::setEnabled;
      settings.show();
      break;
    }
  }
}

void AppActions::handle(const UtilityAction& action, double captureDelay) {
  if (captureDelay > 0 && action.kind() == UtilityAction::Kind::capture) {
    CaptureEngine::shared().perform(*action.captureMode(), captureDelay);
    return;
  }
  handle(action);
}

void AppActions::registerGlobalHotkeys() {
  GlobalHotkeyRegistry::shared().registerDefaults(HotkeyStore::shared().bindings(),
                                                  [this](const UtilityAction& action) { handle(action); });
}

}  // namespace vistrel
