#include "editor/EditorToolbar.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QToolButton>
#include <QWindow>

#include "editor/EditorIcons.h"
#include "editor/EditorInkMenu.h"
#include "editor/EditorState.h"
#include "editor/MarkupSizes.h"

namespace vistrel {

namespace {

QString text(std::string_view value) { return QString::fromUtf8(value.data(), qsizetype(value.size())); }

QColor qcolor(const MarkupColor& color) {
  return QColor::fromRgbF(float(color.red), float(color.green), float(color.blue), float(color.alpha));
}

// A disc of the counter's relative size in the ink, for the size menu.
QIcon disc(CounterSize size, const QColor& ink, const QPalette& palette) {
  const double relative = MarkupSizes::stepRadius(480, size) / MarkupSizes::stepRadius(480, CounterSize::large);
  return EditorIcons::inkIcon(ink, palette, 8 * relative);
}

QFrame* separator() {
  auto* line = new QFrame;
  line->setFrameShape(QFrame::VLine);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}

}  // namespace

EditorToolbar::EditorToolbar(EditorState& state, QWidget* parent) : QWidget(parent), state_(state) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(10, 6, 10, 6);
  row->setSpacing(2);
  for (const EditorTool tool : EditorTools::allCases()) {
    QToolButton* button = addButton(*row, {});
    button->setCheckable(true);
    connect(button, &QToolButton::clicked, this, [this, tool] { state_.selectTool(tool); });
    tools_[tool] = button;
  }
  row->addSpacing(8);
  row->addWidget(separator());
  row->addSpacing(8);
  undo_ = addButton(*row, QStringLiteral("Undo (Ctrl+Z)"));
  connect(undo_, &QToolButton::clicked, this, [this] { state_.undo(); });
  copy_ = addButton(*row, QStringLiteral("Copy (Ctrl+C, Tab) \u00B7 Esc copies and closes"));
  connect(copy_, &QToolButton::clicked, this, [this] { state_.copyImage(); });
  save_ = addButton(*row, QStringLiteral("Save (Ctrl+S)"));
  connect(save_, &QToolButton::clicked, this, [this] { state_.saveImage(); });
  pin_ = addButton(*row, QStringLiteral("Pin (Ctrl+P)"));
  connect(pin_, &QToolButton::clicked, this, [this] { state_.pin(); });
  backdrop_ = addButton(*row, {});
  connect(backdrop_, &QToolButton::clicked, this, [this] { state_.cycleBackdrop(); });
  ink_ = addButton(*row, QStringLiteral("Color"));
  connect(ink_, &QToolButton::clicked, this, [this] { openInkMenu(); });
  row->addStretch(1);

  counterMenu_ = new QMenu(this);
  blurMenu_ = new QMenu(this);
  for (QMenu* menu : {counterMenu_, blurMenu_}) {
    // The editor's flag goes down with the menu; a choice made in it sets the tool after.
    connect(menu, &QMenu::aboutToHide, this, [this] { state_.closeMenus(); });
  }
  applyIcons();
  sync();
}

QToolButton* EditorToolbar::addButton(QLayout& layout, const QString& help) {
  auto* button = new QToolButton(this);
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
  button->setIconSize(QSize(EditorIcons::kSize, EditorIcons::kSize));
  button->setToolTip(help);
  layout.addWidget(button);
  return button;
}

void EditorToolbar::applyIcons() {
  const QPalette& colors = palette();
  for (const auto& [tool, button] : tools_) button->setIcon(EditorIcons::icon(EditorTools::symbolName(tool), colors));
  undo_->setIcon(EditorIcons::icon(EditorIcons::kUndo, colors));
  copy_->setIcon(EditorIcons::icon(EditorIcons::kCopy, colors));
  save_->setIcon(EditorIcons::icon(EditorIcons::kSave, colors));
  pin_->setIcon(EditorIcons::icon(EditorIcons::kPin, colors));
  backdrop_->setIcon(EditorIcons::icon(EditorIcons::kBackdrop, colors));
}

void EditorToolbar::sync() {
  for (const auto& [tool, button] : tools_) {
    button->setChecked(tool == state_.tool());
    const QString help =
        QString::fromStdString(EditorTools::toolbarHelpText(tool, state_.counterSize(), state_.blurStyle()));
    if (button->toolTip() != help) button->setToolTip(help);
  }
  undo_->setEnabled(state_.canUndo());
  const QString backdropHelp = QStringLiteral("Backdrop (K): ") + text(BackdropStyles::label(state_.backdrop()));
  if (backdrop_->toolTip() != backdropHelp) backdrop_->setToolTip(backdropHelp);
  const QColor ink = qcolor(state_.ink());
  if (ink_->property("ink").value<QColor>() != ink) {
    ink_->setProperty("ink", ink);
    ink_->setIcon(EditorIcons::inkIcon(ink, palette()));
  }
  if (state_.showCounterMenu() && !counterMenu_->isVisible()) openCounterMenu();
  if (state_.showBlurMenu() && !blurMenu_->isVisible()) openBlurMenu();
}

void EditorToolbar::popUnder(QMenu& menu, EditorTool tool) {
  QToolButton* anchor = tools_.at(tool);
  menu.popup(anchor->mapToGlobal(QPoint(0, anchor->height())));
}

void EditorToolbar::openCounterMenu() {
  counterMenu_->clear();
  const QColor ink = qcolor(state_.ink());
  for (const CounterSize size : CounterSizes::allCases()) {
    QAction* row = counterMenu_->addAction(disc(size, ink, palette()), text(CounterSizes::label(size)));
    row->setCheckable(true);
    row->setChecked(size == state_.counterSize());
    connect(row, &QAction::triggered, this, [this, size] { state_.chooseCounterSize(size); });
  }
  popUnder(*counterMenu_, EditorTool::step);
}

void EditorToolbar::openBlurMenu() {
  blurMenu_->clear();
  for (const BlurStyle style : {BlurStyle::pen, BlurStyle::box}) {
    // After the tab a menu row shows its note right-aligned.
    const QString label = text(BlurStyles::label(style)) + QLatin1Char('\t') + text(BlurStyles::note(style));
    const std::string_view symbol = style == BlurStyle::pen ? "pencil.tip" : "rectangle";
    QAction* row = blurMenu_->addAction(EditorIcons::icon(symbol, palette()), label);
    row->setCheckable(true);
    row->setChecked(style == state_.blurStyle());
    connect(row, &QAction::triggered, this, [this, style] { state_.chooseBlurStyle(style); });
  }
  popUnder(*blurMenu_, EditorTool::blur);
}

void EditorToolbar::openInkMenu() {
  auto* menu = new EditorInkMenu(
      state_.ink(), [this](const MarkupColor& color) { state_.setInk(color); }, this);
  menu->popup(ink_->mapToGlobal(QPoint(0, ink_->height())));
}

void EditorToolbar::mousePressEvent(QMouseEvent* event) {
  // Only presses on the bare toolbar get here; buttons take their own.
  if (event->button() == Qt::LeftButton && window()->windowHandle()) {
    window()->windowHandle()->startSystemMove();
    return;
  }
  QWidget::mousePressEvent(event);
}

void EditorToolbar::changeEvent(QEvent* event) {
  if (event->type() == QEvent::PaletteChange) {
    applyIcons();
    ink_->setProperty("ink", QVariant());
    sync();
  }
  QWidget::changeEvent(event);
}

}  // namespace vistrel
