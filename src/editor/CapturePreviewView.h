#pragma once
// The capture editor's content: the toolbar, the canvas and the status line
// over one editor state. It redraws on every change of the state, installs
// the editor's key monitor while shown, and hides its window when the state
// asks to close (Escape). Main thread only.

#include <QWidget>
#include <memory>

#include "editor/CaptureShot.h"
#include "editor/EditorKeyFilter.h"
#include "editor/EditorState.h"

class QLabel;
class QToolButton;

namespace vistrel {

class EditorCanvas;
class EditorToolbar;

class CapturePreviewView : public QWidget {
 public:
  explicit CapturePreviewView(std::shared_ptr<CaptureShot> shot, QWidget* parent = nullptr);
  ~CapturePreviewView() override;

  EditorState& state() { return *state_; }
  EditorCanvas& canvas() { return *canvas_; }

 protected:
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void refresh();

  std::unique_ptr<EditorState> state_;
  EditorKeyFilter keys_;
  EditorToolbar* toolbar_ = nullptr;
  EditorCanvas* canvas_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* savedName_ = nullptr;
  QToolButton* zoomOut_ = nullptr;
  QToolButton* zoomIn_ = nullptr;
};

}  // namespace vistrel
