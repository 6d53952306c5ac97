#pragma once
// Turns the menu model into a QMenu: titles, images, check marks, and each
// action's shortcut shown the way the desktop writes shortcuts.

#include <QKeySequence>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/MenuModel.h"

class QAction;
class QMenu;

namespace vistrel::MenuRendering {

// The Qt modifiers of a menu modifier mask: control Ctrl, option Alt,
// shift Shift, command Meta (the Super key).
Qt::KeyboardModifiers modifiers(std::uint64_t menuModifierMask);

// The shortcut a key equivalent stands for: a character, or Return,
// Backspace and the arrows' function-key characters; none for an empty key
// equivalent or one the desktop has no key for.
std::optional<QKeySequence> keySequence(const std::string& keyEquivalent, std::uint64_t menuModifierMask);

using Chosen = std::function<void(const MenuRow& row, QAction& item)>;

// Empties `menu` and fills it with the rows. Choosing an enabled row calls
// `chosen` with it and its item, from the item's triggered signal.
void render(const MenuModel& model, QMenu& menu, const Chosen& chosen);

// Shortcut texts name Qt's Meta modifier "Super", as X11 desktops label the
// key the command modifier is on. Application-wide; once is enough.
void nameMetaKeySuper();

}  // namespace vistrel::MenuRendering
