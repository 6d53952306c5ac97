#include "app/DesktopShortcutsHelp.h"

#include <string>

#include "base/LayoutLog.h"
#include "base/MessageBoxAlertPresenter.h"
#include "hotkeys/DesktopBindings.h"
#include "platform/Platform.h"

namespace vistrel::DesktopShortcutsHelp {

namespace {

std::shared_ptr<AlertPresenter>& presenter() {
  static std::shared_ptr<AlertPresenter> stored;
  return stored;
}

}  // namespace

Alert alert(const std::string& programPath) {
  const std::string title = "Set up Vistrel's shortcuts in your desktop's settings";
  const std::string refused =
      "This desktop does not let programs take global shortcuts, so Vistrel's own shortcuts do nothing here. ";
  const auto lines = DesktopBindings::configurationLines(programPath);
  if (!lines.empty()) {
    std::string text = refused + "Add these lines to your desktop's configuration file and reload it:\n\n";
    for (const auto& line : lines) text += line + "\n";
    return {title, text + "\nThe Hotkeys tab of Vistrel's settings shows them again."};
  }
  return {title,
          refused +
              "In your desktop's keyboard settings, add a custom shortcut for each action you use, with a command "
              "such as:\n\n" +
              programPath + " --action window.leftHalf\n" + programPath +
              " --action capture.area\n\nThe actions: window.<position> (window.rightHalf, window.maximize, "
              "\u2026), capture.screen, capture.area, capture.window, capture.scrolling, "
              "capture.recognizeTextOrQR, record.screen, record.area, record.stop, settings and quit.\n\nOn GNOME: "
              "Settings \u203a Keyboard \u203a View and Customize Shortcuts \u203a Custom Shortcuts, then + for "
              "each one."};
}

void showOnceIfNeeded() {
  auto& system = platform::current();
  if (system.hotKeys().canGrabGlobalKeys()) return;
  if (system.defaults().boolean(kShownKey).value_or(false)) return;
  system.defaults().setBool(kShownKey, true);
  LayoutLog::write("desktop-shortcuts-help");
  if (!presenter()) presenter() = std::make_shared<MessageBoxAlertPresenter>();
  presenter()->runModal(alert(system.bundle().bundlePath()));
}

void setAlertPresenterForTesting(std::shared_ptr<AlertPresenter> replacement) { presenter() = std::move(replacement); }

}  // namespace vistrel::DesktopShortcutsHelp
