#pragma once
// On a desktop that lets no program take global shortcuts, the first launch
// says how to bind Vistrel's actions in the desktop's own keyboard settings,
// as commands that hand one action to the running copy (on sway, the exact
// lines of its configuration file). Main thread only.

#include <memory>
#include <optional>

#include "base/AlertPresenter.h"

namespace vistrel::DesktopShortcutsHelp {

inline constexpr const char* kShownKey = "vistrel.desktopShortcutsHelpShown";

// The alert, with the commands of the program at `programPath`: where the
// desktop binds keys in its configuration file, its lines for every shortcut.
Alert alert(const std::string& programPath);

// Once the launch has finished: shows the alert when the desktop refuses key
// grabs and it was never shown, and remembers that it was.
void showOnceIfNeeded();

// Replaces the presenter (Qt message boxes); none puts that one back.
void setAlertPresenterForTesting(std::shared_ptr<AlertPresenter> presenter);

}  // namespace vistrel::DesktopShortcutsHelp
