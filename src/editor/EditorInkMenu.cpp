#include "editor/EditorInkMenu.h"

#include <QColorDialog>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "editor/InkSwatch.h"

namespace vistrel {

namespace {

constexpr double kSwatch = 28;
constexpr double kSpacing = 8;
constexpr int kColumns = 4;
constexpr double kPadding = 12;

QColor qcolor(const MarkupColor& color) {
  return QColor::fromRgbF(float(color.red), float(color.green), float(color.blue), float(color.alpha));
}

MarkupColor markupColor(const QColor& color) {
  const QColor rgb = color.toRgb();
  return {rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF()};
}

int rows() { return int((InkSwatch::palette().size() + kColumns - 1) / kColumns); }

}  // namespace

EditorInkMenu::EditorInkMenu(MarkupColor current, std::function<void(const MarkupColor&)> choose, QWidget* parent)
    : QWidget(parent, Qt::Popup), current_(current), choose_(std::move(choose)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setMouseTracking(true);
  custom_ = new QPushButton(QStringLiteral("Custom"), this);
  custom_->setFocusPolicy(Qt::NoFocus);
  const double gridWidth = kColumns * kSwatch + (kColumns - 1) * kSpacing;
  const double gridHeight = rows() * kSwatch + (rows() - 1) * kSpacing;
  const QSize button = custom_->sizeHint();
  custom_->setGeometry(int(kPadding), int(kPadding + gridHeight + kSpacing + 4), int(gridWidth), button.height());
  setFixedSize(int(gridWidth + 2 * kPadding), int(kPadding + gridHeight + kSpacing + 4 + button.height() + kPadding));
  connect(custom_, &QPushButton::clicked, this, [this] {
    // The dialog runs after the popup is gone, parented to the editor window.
    QPointer<QWidget> owner = parentWidget() ? parentWidget()->window() : nullptr;
    const QColor initial = qcolor(current_);
    auto choose = choose_;
    close();
    QTimer::singleShot(0, [owner, initial, choose] {
      const QColor picked = QColorDialog::getColor(initial, owner, QStringLiteral("Color"));
      if (picked.isValid()) choose(markupColor(picked));
    });
  });
}

void EditorInkMenu::popup(QPoint global) {
  move(global);
  show();
}

QRectF EditorInkMenu::swatchRect(int index) const {
  const int row = index / kColumns, column = index % kColumns;
  return {kPadding + column * (kSwatch + kSpacing), kPadding + row * (kSwatch + kSpacing), kSwatch, kSwatch};
}

std::optional<int> EditorInkMenu::swatchAt(QPointF position) const {
  for (int i = 0; i < int(InkSwatch::palette().size()); ++i) {
    if (swatchRect(i).contains(position)) return i;
  }
  return std::nullopt;
}

void EditorInkMenu::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().color(QPalette::Window));
  p.setPen(palette().color(QPalette::Mid));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  p.setRenderHint(QPainter::Antialiasing);
  QColor rim = palette().color(QPalette::WindowText);
  rim.setAlphaF(0.3f);
  const auto& swatches = InkSwatch::palette();
  for (int i = 0; i < int(swatches.size()); ++i) {
    const QRectF box = swatchRect(i);
    const MarkupColor color = swatches[i].color();
    p.setPen(QPen(rim, 1));
    p.setBrush(qcolor(color));
    p.drawEllipse(box.adjusted(3, 3, -3, -3));
    const bool selected = swatches[i].matches(current_);
    if (selected || hovered_ == i) {
      QColor ring = palette().color(QPalette::Highlight);
      if (!selected) ring.setAlphaF(0.5f);
      p.setPen(QPen(ring, 2));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(box.adjusted(1, 1, -1, -1));
    }
    if (selected) {
      // A check in black or white, whichever stands out on the swatch.
      const bool light = 0.299 * color.red + 0.587 * color.green + 0.114 * color.blue > 0.6;
      QPen check(light ? Qt::black : Qt::white, 2);
      check.setCapStyle(Qt::RoundCap);
      check.setJoinStyle(Qt::RoundJoin);
      p.setPen(check);
      const QPointF c = box.center();
      const QPointF points[] = {c + QPointF(-5, 0), c + QPointF(-1.5, 3.5), c + QPointF(5, -3.5)};
      p.drawPolyline(points, 3);
    }
  }
}

void EditorInkMenu::mouseMoveEvent(QMouseEvent* event) {
  const auto at = swatchAt(event->position());
  if (at == hovered_) return;
  hovered_ = at;
  update();
}

void EditorInkMenu::leaveEvent(QEvent*) {
  hovered_.reset();
  update();
}

void EditorInkMenu::mouseReleaseEvent(QMouseEvent* event) {
  if (!rect().contains(event->position().toPoint())) {
    close();
    return;
  }
  const auto at = swatchAt(event->position());
  if (!at) return;
  const MarkupColor color = InkSwatch::palette()[*at].color();
  auto choose = choose_;
  close();
  choose(color);
}

}  // namespace vistrel
