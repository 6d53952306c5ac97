#include "hotkeys/ShortcutCatcher.h"

#include <QKeyEvent>

#include <string>

#include "base/KeyCodeLabels.h"
#include "base/KeyCodes.h"
#include "ui/KeyTranslation.h"

namespace vistrel {

ShortcutCatcher::Outcome ShortcutCatcher::classify(const platform::KeyEvent& event) {
  if (event.keyCode == KeyCode::escape) return Outcome::cancel;
  const bool modified = event.hasShortcutModifiers();
  const bool deletes = event.keyCode == KeyCode::deleteKey || event.keyCode == KeyCode::forwardDelete;
  if (!modified && deletes) return Outcome::clear;
  return modified ? Outcome::record : Outcome::ignore;
}

platform::KeyEvent ShortcutCatcher::keyEventFrom(const QKeyEvent& event) {
  platform::KeyEvent key = KeyTranslation::keyEventFrom(event);
  // The recorded character is the base key's, whatever Shift made of it.
  key.charactersIgnoringModifiers = KeyCodeLabels::baseCharacter(key.keyCode).value_or(std::string());
  return key;
}

ShortcutCatcher::ShortcutCatcher(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setFixedSize(0, 0);
}

void ShortcutCatcher::keyDown(const platform::KeyEvent& event) {
  switch (classify(event)) {
    case Outcome::cancel:
      if (onCancel) onCancel();
      break;
    case Outcome::clear:
      if (onClear) onClear();
      break;
    case Outcome::ignore:
      break;
    case Outcome::record:
      if (onRecord) onRecord(event);
      break;
  }
}

void ShortcutCatcher::claimFocus() {
  if (window()) setFocus(Qt::OtherFocusReason);
}

void ShortcutCatcher::keyPressEvent(QKeyEvent* event) {
  event->accept();
  // A modifier pressed alone is the start of a chord, not a key.
  switch (event->key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
      return;
    default:
      break;
  }
  const platform::KeyEvent key = keyEventFrom(*event);
  // A key with no code of its own can be neither recorded nor a command.
  if (key.keyCode == KeyCode::none) return;
  keyDown(key);
}

bool ShortcutCatcher::focusNextPrevChild(bool) { return false; }

}  // namespace vistrel
