#pragma once
// The editor's toolbar: one button per tool in toolbar order, then undo,
// copy, save, pin, backdrop and the ink. It opens the counter-size and
// blur-style menus when the editor asks for them and the ink menu on a
// click. A press on its empty area moves the window. Main thread only.

#include <QWidget>
#include <map>

#include "editor/EditorVocabulary.h"

class QMenu;
class QToolButton;

namespace vistrel {

class EditorState;

class EditorToolbar : public QWidget {
 public:
  EditorToolbar(EditorState& state, QWidget* parent = nullptr);

  // Brings the buttons up to the editor's state and opens a menu it asks for.
  void sync();
  QToolButton* button(EditorTool tool) const { return tools_.at(tool); }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  QToolButton* addButton(QLayout& layout, const QString& help);
  void applyIcons();
  void openCounterMenu();
  void openBlurMenu();
  void openInkMenu();
  // Pops `menu` up under the button of `tool`; closing it without a choice closes the editor's menus.
  void popUnder(QMenu& menu, EditorTool tool);

  EditorState& state_;
  std::map<EditorTool, QToolButton*> tools_;
  QToolButton* undo_ = nullptr;
  QToolButton* copy_ = nullptr;
  QToolButton* save_ = nullptr;
  QToolButton* pin_ = nullptr;
  QToolButton* backdrop_ = nullptr;
  QToolButton* ink_ = nullptr;
  QMenu* counterMenu_ = nullptr;
  QMenu* blurMenu_ = nullptr;
};

}  // namespace vistrel
