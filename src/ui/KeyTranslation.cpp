#include "ui/KeyTranslation.h"

#include <QKeyEvent>

#include <optional>
#include <string>

#include "base/KeyCodeLabels.h"
#include "base/KeyCodes.h"

namespace vistrel::KeyTranslation {

namespace {

// What Shift makes of each key on the US layout, back to the unshifted key.
char unshifted(char c) {
  static const std::string shifted = "~!@#$%^&*()_+{}|:\"<>?";
  static const std::string base = "`1234567890-=[]\\;',./";
  const auto at = shifted.find(c);
  return at == std::string::npos ? c : base[at];
}

std::optional<std::uint16_t> codeOfCharacter(char c) {
  const std::string text(1, unshifted(c));
  for (const auto& [code, label] : KeyCodeLabels::labels())
    if (label == text) return code;
  return std::nullopt;
}

std::optional<std::uint16_t> namedKeyCode(int key) {
  switch (key) {
    case Qt::Key_Escape: return KeyCode::escape;
    case Qt::Key_Backspace: return KeyCode::deleteKey;
    case Qt::Key_Delete: return KeyCode::forwardDelete;
    case Qt::Key_Return: return KeyCode::returnKey;
    case Qt::Key_Enter: return KeyCode::keypadEnter;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return KeyCode::tab;
    case Qt::Key_Space: return KeyCode::space;
    case Qt::Key_Left: return KeyCode::leftArrow;
    case Qt::Key_Right: return KeyCode::rightArrow;
    case Qt::Key_Down: return KeyCode::downArrow;
    case Qt::Key_Up: return KeyCode::upArrow;
    case Qt::Key_Home: return KeyCode::home;
    case Qt::Key_End: return KeyCode::end;
    case Qt::Key_PageUp: return KeyCode::pageUp;
    case Qt::Key_PageDown: return KeyCode::pageDown;
    case Qt::Key_F1: return KeyCode::f1;
    case Qt::Key_F2: return KeyCode::f2;
    case Qt::Key_F3: return KeyCode::f3;
    case Qt::Key_F4: return KeyCode::f4;
    case Qt::Key_F5: return KeyCode::f5;
    case Qt::Key_F6: return KeyCode::f6;
    case Qt::Key_F7: return KeyCode::f7;
    case Qt::Key_F8: return KeyCode::f8;
    case Qt::Key_F9: return KeyCode::f9;
    case Qt::Key_F10: return KeyCode::f10;
    case Qt::Key_F11: return KeyCode::f11;
    case Qt::Key_F12: return KeyCode::f12;
    default: return std::nullopt;
  }
}

}  // namespace

platform::KeyEvent keyEventFrom(const QKeyEvent& event) {
  using platform::KeyEvent;
  KeyEvent key;
  const Qt::KeyboardModifiers modifiers = event.modifiers();
  if (modifiers & Qt::ShiftModifier) key.modifierFlags |= KeyEvent::kShift;
  if (modifiers & Qt::ControlModifier) key.modifierFlags |= KeyEvent::kControl;
  if (modifiers & Qt::AltModifier) key.modifierFlags |= KeyEvent::kOption;
  if (modifiers & Qt::MetaModifier) key.modifierFlags |= KeyEvent::kCommand;
  if (modifiers & Qt::KeypadModifier) key.modifierFlags |= KeyEvent::kNumericPad;

  const int qtKey = event.key();
  key.keyCode = KeyCode::none;
  if (const auto code = namedKeyCode(qtKey)) {
    key.keyCode = *code;
  } else if (qtKey >= 0x21 && qtKey < 0x7F) {
    key.keyCode = codeOfCharacter(static_cast<char>(QChar(qtKey).toLower().unicode())).value_or(KeyCode::none);
  }
  // With Control held Qt's text is a control character; the key itself names
  // the character for every printable key.
  if (qtKey >= 0x20 && qtKey < 0x7F) {
    key.charactersIgnoringModifiers = QString(QChar(qtKey)).toLower().toStdString();
  } else {
    key.charactersIgnoringModifiers = event.text().toStdString();
  }
  return key;
}

}  // namespace vistrel::KeyTranslation
