#include "editor/EditorKeyFilter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTextEdit>
#include <QWindow>

#include "ui/KeyTranslation.h"

namespace vistrel {

namespace {

bool isEditorWindow(const QWindow& window) { return window.title().startsWith(QStringLiteral("Vistrel Capture")); }

bool textWidgetFocused() {
  const QWidget* focus = QApplication::focusWidget();
  return focus && (qobject_cast<const QLineEdit*>(focus) || qobject_cast<const QTextEdit*>(focus));
}

}  // namespace

EditorKeyFilter::EditorKeyFilter(Handler handler, QObject* parent) : QObject(parent), handler_(std::move(handler)) {}

void EditorKeyFilter::install() {
  if (installed_) return;
  qApp->installEventFilter(this);
  installed_ = true;
}

void EditorKeyFilter::remove() {
  if (!installed_) return;
  qApp->removeEventFilter(this);
  installed_ = false;
}

bool EditorKeyFilter::eventFilter(QObject* watched, QEvent* event) {
  // A key press reaches the window first and its focus widget after; the
  // window's turn is the one place to look, so each press is seen once.
  if (event->type() != QEvent::KeyPress) return false;
  const auto* window = qobject_cast<QWindow*>(watched);
  if (!window || !isEditorWindow(*window)) return false;
  return handler_(KeyTranslation::keyEventFrom(*static_cast<QKeyEvent*>(event)), textWidgetFocused());
}

}  // namespace vistrel
