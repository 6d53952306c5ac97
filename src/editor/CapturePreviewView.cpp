#include "editor/CapturePreviewView.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

#include "editor/EditorCanvas.h"
#include "editor/EditorIcons.h"
#include "editor/EditorToolbar.h"

namespace vistrel {

namespace {

QToolButton* zoomButton(std::string_view symbol, const QString& help, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
  button->setIconSize(QSize(EditorIcons::kSize, EditorIcons::kSize));
  button->setIcon(EditorIcons::icon(symbol, parent->palette()));
  button->setToolTip(help);
  return button;
}

}  // namespace

CapturePreviewView::CapturePreviewView(std::shared_ptr<CaptureShot> shot, QWidget* parent)
    : QWidget(parent),
      state_(std::make_unique<EditorState>(std::move(shot))),
      keys_(
          [this](const platform::KeyEvent& event, bool textEditing) { return state_->handleKey(event, textEditing); }) {
  toolbar_ = new EditorToolbar(*state_, this);
  canvas_ = new EditorCanvas(*state_, this);

  auto* statusRow = new QHBoxLayout;
  statusRow->setContentsMargins(12, 2, 8, 4);
  status_ = new QLabel(this);
  savedName_ = new QLabel(this);
  savedName_->setForegroundRole(QPalette::PlaceholderText);
  savedName_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  zoomOut_ = zoomButton(EditorIcons::kZoomOut, QStringLiteral("Zoom out"), this);
  zoomIn_ = zoomButton(EditorIcons::kZoomIn, QStringLiteral("Zoom in"), this);
  connect(zoomOut_, &QToolButton::clicked, this, [this] { state_->zoomOut(); });
  connect(zoomIn_, &QToolButton::clicked, this, [this] { state_->zoomIn(); });
  statusRow->addWidget(status_);
  statusRow->addSpacing(16);
  statusRow->addWidget(savedName_, 1);
  statusRow->addWidget(zoomOut_);
  statusRow->addWidget(zoomIn_);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(toolbar_);
  column->addWidget(canvas_, 1);
  column->addLayout(statusRow);

  state_->onChange = [this] { refresh(); };
  state_->onClose = [this] { window()->hide(); };
  refresh();
}

// The children hold references to the state: they go first.
CapturePreviewView::~CapturePreviewView() {
  keys_.remove();
  state_->onChange = nullptr;
  state_->onClose = nullptr;
  delete toolbar_;
  delete canvas_;
}

void CapturePreviewView::refresh() {
  toolbar_->sync();
  canvas_->sync();
  const QString status = QString::fromStdString(state_->statusLabel());
  if (status_->text() != status) status_->setText(status);
  const QString saved = QString::fromStdString(state_->savedName());
  if (savedName_->text() != saved) savedName_->setText(saved);
}

void CapturePreviewView::changeEvent(QEvent* event) {
  if (event->type() == QEvent::PaletteChange) {
    zoomOut_->setIcon(EditorIcons::icon(EditorIcons::kZoomOut, palette()));
    zoomIn_->setIcon(EditorIcons::icon(EditorIcons::kZoomIn, palette()));
  }
  QWidget::changeEvent(event);
}

void CapturePreviewView::showEvent(QShowEvent* event) {
  keys_.install();
  QWidget::showEvent(event);
}

void CapturePreviewView::hideEvent(QHideEvent* event) {
  // A minimised window keeps its monitor; a closed one gives it up.
  if (!event->spontaneous()) {
    keys_.remove();
    canvas_->reset();
  }
  QWidget::hideEvent(event);
}

}  // namespace vistrel
