#pragma once
// Builds the status item's menu as a model: every layout position, the
// capture and recording commands, the login-item switch, the Accessibility
// repair entry, settings, updates and quit. Each action item shows the
// action's current shortcut, so the menu doubles as a reference card.

#include <optional>
#include <string>

#include "app/MenuModel.h"
#include "base/UtilityAction.h"

namespace vistrel {

class MenuController;

// What the menu reflects besides the shortcuts, read at each opening.
struct MenuState {
  bool isRecording = false;
  bool isProcessTrusted = true;      // for Accessibility
  bool launchesAtLogin = false;      // the login-item service reports the program enabled
  std::string updatesTitle = "Check for Updates\u2026";
};

// A template image and the theme icon or drawn symbol it came from.
struct TemplateImage {
  QIcon icon;
  std::string name;
};

namespace UtilitiesMenuBuilder {

// The whole menu; action items get their tags from the controller.
MenuModel makeMenu(MenuController& controller, const MenuState& state);

// One action item: registered with the controller, with the action's title,
// its image and its current shortcut.
MenuRow item(const UtilityAction& action, MenuController& controller);

// The capture section's "Timer" submenu: screen and window captures after
// each of kTimerSeconds.
inline constexpr int kTimerSeconds[] = {3, 5, 10};
MenuRow timerMenu();

// The action's title (its settings title).
std::string menuTitle(const UtilityAction& action);
// None for openSettings and quit.
std::optional<MenuSymbol> menuSymbol(const UtilityAction& action);

// The image of a symbol: for its primary name and then each fallback, the
// theme's icon for that name, else the program's drawn glyph of it (a snap's
// glyph of its region); the first name that has either wins. None when no
// name has an image.
std::optional<TemplateImage> templateIcon(const MenuSymbol& symbol);

}  // namespace UtilitiesMenuBuilder

}  // namespace vistrel
