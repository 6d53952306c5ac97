#pragma once
// The invisible key receiver of the settings window while one shortcut is
// being recorded: it takes the keyboard focus and sorts each key press into
// cancel, clear or record. Main thread only.

#include <QWidget>

#include <functional>

#include "platform/KeyEvent.h"

class QKeyEvent;

namespace vistrel {

class ShortcutCatcher : public QWidget {
  Q_OBJECT
 public:
  enum class Outcome { cancel, clear, ignore, record };

  // Escape (with or without modifiers) cancels; Delete or Backspace alone
  // clears; any other key alone is swallowed; a key with at least one of
  // Shift, Control, Alt or Super records, Delete included.
  static Outcome classify(const platform::KeyEvent& event);
  // A Qt key press as the product's key event, with the key code of the
  // physical key on the US layout (so shifted symbols name their base key);
  // keys without a code get none.
  static platform::KeyEvent keyEventFrom(const QKeyEvent& event);

  explicit ShortcutCatcher(QWidget* parent = nullptr);

  // Classifies `event` and calls the matching closure.
  void keyDown(const platform::KeyEvent& event);
  // Takes the keyboard focus of its window, if it is in one.
  void claimFocus();

  std::function<void()> onCancel;
  std::function<void()> onClear;
  std::function<void(const platform::KeyEvent&)> onRecord;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  // Tab and Backtab are shortcuts too, not focus moves.
  bool focusNextPrevChild(bool next) override;
};

}  // namespace vistrel
