#include "hotkeys/ShortcutCatcher.h"

#include <QKeyEvent>

#include <string>

#include "base/KeyCodeLabels.h"

namespace vistrel {

namespace {

constexpr std::uint16_t kEscape = 53;
constexpr std::uint16_t kBackspace = 51;
constexpr std::uint16_t kForwardDelete = 117;

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
    case Qt::Key_Escape: return kEscape;
    case Qt::Key_Backspace: return kBackspace;
    case Qt::Key_Delete: return kForwardDelete;
    case Qt::Key_Return: return 36;
    case Qt::Key_Enter: return 76;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 48;
    case Qt::Key_Space: return 49;
    case Qt::Key_Left: return 123;
    case Qt::Key_Right: return 124;
    case Qt::Key_Down: return 125;
    case Qt::Key_Up: return 126;
    case Qt::Key_Home: return 115;
    case Qt::Key_End: return 119;
    case Qt::Key_PageUp: return 116;
    case Qt::Key_PageDown: return 121;
    case Qt::Key_F1: return 122;
    case Qt::Key_F2: return 120;
    case Qt::Key_F3: return 99;
    case Qt::Key_F4: return 118;
    case Qt::Key_F5: return 96;
    case Qt::Key_F6: return 97;
    case Qt::Key_F7: return 98;
    case Qt::Key_F8: return 100;
    case Qt::Key_F9: return 101;
    case Qt::Key_F10: return 109;
    case Qt::Key_F11: return 103;
    case Qt::Key_F12: return 111;
    default: return std::nullopt;
  }
}

}  // namespace

ShortcutCatcher::Outcome ShortcutCatcher::classify(const platform::KeyEvent& event) {
  if (event.keyCode == kEscape) return Outcome::cancel;
  const bool modified = event.hasShortcutModifiers();
  if (!modified && (event.keyCode == kBackspace || event.keyCode == kForwardDelete)) return Outcome::clear;
  return modified ? Outcome::record : Outcome::ignore;
}

platform::KeyEvent ShortcutCatcher::keyEventFrom(const QKeyEvent& event) {
  using platform::KeyEvent;
  KeyEvent key;
  const Qt::KeyboardModifiers modifiers = event.modifiers();
  if (modifiers & Qt::ShiftModifier) key.modifierFlags |= KeyEvent::kShift;
  if (modifiers & Qt::ControlModifier) key.modifierFlags |= KeyEvent::kControl;
  if (modifiers & Qt::AltModifier) key.modifierFlags |= KeyEvent::kOption;
  if (modifiers & Qt::MetaModifier) key.modifierFlags |= KeyEvent::kCommand;
  if (modifiers & Qt::KeypadModifier) key.modifierFlags |= KeyEvent::kNumericPad;

  const int qtKey = event.key();
  if (const auto code = namedKeyCode(qtKey)) {
    key.keyCode = *code;
  } else if (qtKey >= 0x21 && qtKey < 0x7F) {
    const char c = static_cast<char>(QChar(qtKey).toLower().unicode());
    if (const auto code = codeOfCharacter(c)) {
      key.keyCode = *code;
      key.charactersIgnoringModifiers = std::string(1, unshifted(c));
    } else {
      key.keyCode = 0xFFFF;
    }
  } else {
    key.keyCode = 0xFFFF;
  }
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
  if (key.keyCode == 0xFFFF) return;
  keyDown(key);
}

bool ShortcutCatcher::focusNextPrevChild(bool) { return false; }

}  // namespace vistrel
