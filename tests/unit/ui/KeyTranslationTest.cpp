#include <gtest/gtest.h>

#include <QKeyEvent>

#include "base/KeyCodes.h"
#include "platform/KeyEvent.h"
#include "ui/KeyTranslation.h"
#include "ui/OverlayWindow.h"

using namespace vistrel;
using platform::KeyEvent;

namespace {

KeyEvent translated(int key, Qt::KeyboardModifiers modifiers, const QString& text = {}) {
  return KeyTranslation::keyEventFrom(QKeyEvent(QEvent::KeyPress, key, modifiers, text));
}

}  // namespace

// Named keys, letters and shifted symbols get the US key's code; the characters are what the key typed.
TEST(KeyTranslation, CodesAndCharacters) {
  struct Case {
    int key;
    Qt::KeyboardModifiers modifiers;
    QString text;
    std::uint16_t code;
    std::string characters;
  };
  const Case cases[] = {
      {Qt::Key_Escape, Qt::NoModifier, "\x1b", KeyCode::escape, "\x1b"},
      {Qt::Key_Return, Qt::NoModifier, "\r", KeyCode::returnKey, "\r"},
      {Qt::Key_Enter, Qt::KeypadModifier, "\r", KeyCode::keypadEnter, "\r"},
      {Qt::Key_Backtab, Qt::ShiftModifier, "", KeyCode::tab, ""},
      {Qt::Key_Space, Qt::NoModifier, " ", KeyCode::space, " "},
      {Qt::Key_Left, Qt::NoModifier, "", KeyCode::leftArrow, ""},
      {Qt::Key_F12, Qt::NoModifier, "", KeyCode::f12, ""},
      {Qt::Key_C, Qt::ControlModifier, "\x03", 8, "c"},
      {Qt::Key_Exclam, Qt::ShiftModifier, "!", 18, "!"},
      {Qt::Key_Period, Qt::KeypadModifier, ".", 47, "."},
      {Qt::Key_Launch0, Qt::NoModifier, "", KeyCode::none, ""},
  };
  for (const auto& c : cases) {
    const KeyEvent key = translated(c.key, c.modifiers, c.text);
    EXPECT_EQ(key.keyCode, c.code) << c.key;
    EXPECT_EQ(key.charactersIgnoringModifiers, c.characters) << c.key;
  }
}

// Super is Command, Control is Control, Alt is Option; the keypad is marked.
TEST(KeyTranslation, Modifiers) {
  EXPECT_EQ(translated(Qt::Key_A, Qt::MetaModifier | Qt::AltModifier).modifierFlags,
            KeyEvent::kCommand | KeyEvent::kOption);
  EXPECT_EQ(translated(Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier).modifierFlags,
            KeyEvent::kControl | KeyEvent::kShift);
  EXPECT_EQ(translated(Qt::Key_1, Qt::KeypadModifier).modifierFlags, KeyEvent::kNumericPad);
}

// A selection ends on Escape, or on "." with Control or Super, not on "." alone.
TEST(KeyTranslation, CancelKey) {
  EXPECT_TRUE(overlay::isCancelKey(translated(Qt::Key_Escape, Qt::NoModifier, "\x1b")));
  EXPECT_TRUE(overlay::isCancelKey(translated(Qt::Key_Period, Qt::ControlModifier, ".")));
  EXPECT_TRUE(overlay::isCancelKey(translated(Qt::Key_Period, Qt::MetaModifier, ".")));
  EXPECT_FALSE(overlay::isCancelKey(translated(Qt::Key_Period, Qt::NoModifier, ".")));
}
