#include "editor/EditorCanvas.h"

#include <QFontMetricsF>
#include <QLineEdit>
#include <QLineF>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <utility>

#include "editor/EditorCursor.h"
#include "editor/EditorLivePreview.h"
#include "editor/EditorState.h"
#include "editor/MarkupRenderer.h"
#include "editor/MarkupSizes.h"

namespace vistrel {

namespace {

constexpr double kInset = 64;  // room kept around the card
constexpr double kMinimumArea = 40;
constexpr double kCardRadius = 18;
constexpr double kShadowOffset = 12;
constexpr int kChecker = 16;
constexpr double kTextFieldWidth = 220;
constexpr double kTextFieldDrop = 8;  // the field's centre lies this far below the anchor
constexpr double kMinimumTextSize = 13;
constexpr double kCropDragMinimum = 2;
constexpr double kShadowScale = 4;  // shadows are blurred at a quarter of the size

double snapToDevice(double value, double ratio) { return std::round(value * ratio) / ratio; }

// Three box blurs of the alpha channel approximate a Gaussian of `radius`.
void blurAlpha(QImage& image, int radius) {
  if (radius < 1) return;
  const int w = image.width(), h = image.height();
  std::vector<int> line(std::max(w, h));
  auto pass = [&](bool horizontal) {
    const int count = horizontal ? h : w, length = horizontal ? w : h;
    for (int i = 0; i < count; ++i) {
      auto at = [&](int j) -> uchar& { return horizontal ? image.scanLine(i)[j] : image.scanLine(j)[i]; };
      for (int j = 0; j < length; ++j) line[j] = at(j);
      int sum = 0;
      for (int j = -radius; j <= radius; ++j) sum += line[std::clamp(j, 0, length - 1)];
      for (int j = 0; j < length; ++j) {
        at(j) = uchar(sum / (2 * radius + 1));
        sum += line[std::min(j + radius + 1, length - 1)] - line[std::max(j - radius, 0)];
      }
    }
  };
  for (int round = 0; round < 3; ++round) {
    pass(true);
    pass(false);
  }
}

// A soft shadow under `shape` (a rounded rectangle of `corner`), blurred by
// `radius` points (about two standard deviations) and moved down by
// kShadowOffset. The blurred image keeps room for the whole spread of three
// box passes, so it fades to nothing before its edges.
void paintShadow(QPainter& painter, const QRectF& shape, double corner, double radius, double opacity) {
  const double room = 1.5 * radius;
  const QRectF area = shape.adjusted(-room, -room, room, room);
  const QSize small(std::max(1, int(std::ceil(area.width() / kShadowScale))),
                    std::max(1, int(std::ceil(area.height() / kShadowScale))));
  QImage coverage(small, QImage::Format_ARGB32_Premultiplied);
  coverage.fill(Qt::transparent);
  {
    QPainter p(&coverage);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(1 / kShadowScale, 1 / kShadowScale);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawRoundedRect(QRectF(room, room, shape.width(), shape.height()), corner, corner);
  }
  // Black with the blurred coverage as its alpha.
  QImage alpha = coverage.convertToFormat(QImage::Format_Alpha8);
  // Three boxes of radius b make a Gaussian with a deviation of about b + 0.5.
  blurAlpha(alpha, std::max(1, int(std::lround(radius / 2 / kShadowScale - 0.5))));
  const QImage shadow = alpha.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  painter.save();
  painter.setOpacity(opacity);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(area.translated(0, kShadowOffset), shadow);
  painter.restore();
}

void paintChecker(QPainter& painter, const QRectF& picture, const QRectF& visible) {
  const QColor light = QColor::fromRgbF(0.93f, 0.93f, 0.93f);
  const QColor dark = QColor::fromRgbF(0.88f, 0.88f, 0.88f);
  const QRectF area = picture & visible;
  if (area.isEmpty()) return;
  painter.fillRect(area, light);
  const int firstColumn = int((area.left() - picture.left()) / kChecker);
  const int firstRow = int((area.top() - picture.top()) / kChecker);
  for (int row = firstRow; picture.top() + row * kChecker < area.bottom(); ++row) {
    for (int column = firstColumn + ((firstColumn + row + 1) & 1); picture.left() + column * kChecker < area.right();
         column += 2) {
      const QRectF square(picture.left() + column * kChecker, picture.top() + row * kChecker, kChecker, kChecker);
      painter.fillRect(square & area, dark);
    }
  }
}

}  // namespace

EditorCanvas::Layout EditorCanvas::layoutFor(QSizeF area, QSize pixels, EditorDisplayMath::PixelScale scale,
                                             BackdropStyle backdrop, double zoom, QPointF pan,
                                             double devicePixelRatio) {
  const double W = pixels.width(), H = pixels.height();
  const double pictureWidth = W / std::max(scale.x, 0.01);
  const double pictureHeight = H / std::max(scale.y, 0.01);
  const double margin = backdrop == BackdropStyle::off ? 0 : 2 * BackdropStyles::padding(W, H) / std::max(scale.x, 1.0);
  const double fit = std::max(std::min(std::max(area.width() - kInset, kMinimumArea) / (pictureWidth + margin),
                                       std::max(area.height() - kInset, kMinimumArea) / (pictureHeight + margin)) *
                                  zoom,
                              0.05);
  Layout layout;
  layout.fit = fit;
  const QSizeF card((pictureWidth + margin) * fit, (pictureHeight + margin) * fit);
  const QSizeF picture(pictureWidth * fit, pictureHeight * fit);
  const QPointF centre = QPointF(area.width() / 2, area.height() / 2) + pan;
  const QPointF corner(snapToDevice(centre.x() - picture.width() / 2, devicePixelRatio),
                       snapToDevice(centre.y() - picture.height() / 2, devicePixelRatio));
  layout.picture = QRectF(corner, picture);
  const double half = margin / 2 * fit;
  layout.card = QRectF(corner - QPointF(half, half), card);
  return layout;
}

EditorCanvas::EditorCanvas(EditorState& state, QWidget* parent) : QWidget(parent), state_(state) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::ClickFocus);
  setMinimumSize(200, 150);

  textField_ = new QLineEdit(this);
  textField_->setPlaceholderText(QStringLiteral("Text"));
  textField_->hide();
  textField_->installEventFilter(this);
  connect(textField_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (!syncingText_) state_.setTextValue(text.toStdString());
  });
  connect(textField_, &QLineEdit::returnPressed, this, [this] { state_.commitText(); });

  cropButton_ = new QPushButton(QStringLiteral("Crop"), this);
  cropButton_->setToolTip(QStringLiteral("Enter to crop"));
  cropButton_->setFocusPolicy(Qt::NoFocus);
  cropButton_->setCursor(Qt::ArrowCursor);
  cropButton_->hide();
  connect(cropButton_, &QPushButton::clicked, this, [this] { state_.applyCrop(); });
}

QSize EditorCanvas::pixelSize() const { return state_.picture().size(); }

void EditorCanvas::relayout() {
  const QSize pixels = pixelSize();
  const auto scale = state_.shot()->payload().pixelScale;
  Layout unpanned = layoutFor(size(), pixels, scale, state_.backdrop(), state_.zoom(), {}, devicePixelRatioF());
  // A zoomed card may pan until its edge reaches the inset, no further.
  const double roomX = std::max(0.0, (unpanned.card.width() + kInset - width()) / 2);
  const double roomY = std::max(0.0, (unpanned.card.height() + kInset - height()) / 2);
  pan_ = {std::clamp(pan_.x(), -roomX, roomX), std::clamp(pan_.y(), -roomY, roomY)};
  layout_ = layoutFor(size(), pixels, scale, state_.backdrop(), state_.zoom(), pan_, devicePixelRatioF());
}

EditorCanvas::SceneKey EditorCanvas::sceneKey() const {
  return {state_.composite().cacheKey(), size(), layout_.picture, state_.backdrop(), palette().cacheKey()};
}

EditorCanvas::OverlayKey EditorCanvas::overlayKey() const {
  OverlayKey key;
  key.tool = state_.tool();
  if (state_.cropRect()) {
    key.selection = state_.cropRect();
    key.pending = true;
  } else if (state_.tool() == EditorTool::crop && state_.dragOrigin() && state_.dragCurrent()) {
    const Point a = *state_.dragOrigin(), b = *state_.dragCurrent();
    key.selection = Rect(std::min(a.x, b.x), std::min(a.y, b.y), std::abs(b.x - a.x), std::abs(b.y - a.y));
  }
  return key;
}

QRectF EditorCanvas::pendingBounds() const {
  const auto item = state_.pendingItem();
  if (!item) return {};
  return EditorLivePreview::bounds(*item, layout_.picture, pixelSize());
}

void EditorCanvas::sync() {
  relayout();
  const SceneKey scene = sceneKey();
  const OverlayKey overlay = overlayKey();
  if (scene != sceneShows_ || overlay != overlayShows_) {
    overlayShows_ = overlay;
    update();
  } else {
    // Only the item in progress moved: repaint where it was and where it is.
    const QRectF dirty = previewPainted_ | pendingBounds();
    if (!dirty.isEmpty()) update(dirty.toAlignedRect().adjusted(-1, -1, 1, 1));
  }
  syncTextField();
  syncCropButton();
  syncCursor();
}

void EditorCanvas::reset() {
  gesture_ = Gesture::none;
  hovering_ = false;
  pan_ = {};
  unsetCursor();
}

const QImage& EditorCanvas::scaledComposite() {
  const QImage& composite = state_.composite();
  const double ratio = devicePixelRatioF();
  const QSize target(int(std::lround(layout_.picture.width() * ratio)),
                     int(std::lround(layout_.picture.height() * ratio)));
  // Only a reduction is kept: a zoomed-in picture is drawn from the
  // composite itself, for the visible part only.
  if (target.width() > composite.width() || target.height() > composite.height() || target.isEmpty()) {
    scaled_ = QImage();
    return composite;
  }
  if (scaled_.isNull() || scaledFrom_ != composite.cacheKey() || scaled_.size() != target) {
    scaled_ = target == composite.size() ? composite
                                         : composite.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    scaledFrom_ = composite.cacheKey();
  }
  return scaled_;
}

void EditorCanvas::buildScene() {
  const double ratio = devicePixelRatioF();
  scene_ = QPixmap((QSizeF(size()) * ratio).toSize());
  scene_.setDevicePixelRatio(ratio);
  scene_.fill(palette().color(QPalette::Window));
  QPainter p(&scene_);
  p.setRenderHint(QPainter::Antialiasing);
  const BackdropStyle backdrop = state_.backdrop();
  const bool framed = backdrop != BackdropStyle::off;
  const QSize pixels = pixelSize();
  const auto scale = state_.shot()->payload().pixelScale;

  if (framed) {
    paintShadow(p, layout_.card, kCardRadius, 28, 0.28);
    const auto [top, bottom] = MarkupRenderer::backdropColors(backdrop);
    QLinearGradient gradient(layout_.card.topLeft(), layout_.card.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    p.setPen(Qt::NoPen);
    p.setBrush(gradient);
    p.drawRoundedRect(layout_.card, kCardRadius, kCardRadius);
  } else {
    paintShadow(p, layout_.card, 0, 18, 0.35);
  }

  // With a backdrop the export rounds the picture's corners; so does the preview.
  if (framed) {
    const double corner =
        BackdropStyles::radius(pixels.width(), pixels.height()) / std::max(scale.x, 1.0) * layout_.fit;
    QPainterPath clip;
    clip.addRoundedRect(layout_.picture, corner, corner);
    p.setClipPath(clip);
  }
  const QRectF visible = rect();
  paintChecker(p, layout_.picture, visible);
  const QImage& picture = scaledComposite();
  if (picture.size() == (layout_.picture.size() * ratio).toSize()) {
    p.drawImage(layout_.picture.topLeft(), picture);
  } else {
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(layout_.picture, picture);
  }
  sceneShows_ = sceneKey();
}

void EditorCanvas::paintEvent(QPaintEvent*) {
  if (sceneKey() != sceneShows_) buildScene();
  QPainter p(this);
  p.drawPixmap(0, 0, scene_);

  previewPainted_ = {};
  if (const auto item = state_.pendingItem()) {
    EditorLivePreview::paint(p, *item, layout_.picture, pixelSize());
    previewPainted_ = EditorLivePreview::bounds(*item, layout_.picture, pixelSize());
  }
  if (overlayShows_.selection) paintCrop(p, viewRect(*overlayShows_.selection), overlayShows_.pending);
}

QRectF EditorCanvas::viewRect(const Rect& pixels) const {
  const QSize size = pixelSize();
  if (size.isEmpty()) return {};
  const double sx = layout_.picture.width() / size.width(), sy = layout_.picture.height() / size.height();
  return {layout_.picture.left() + pixels.minX() * sx, layout_.picture.top() + pixels.minY() * sy, pixels.width() * sx,
          pixels.height() * sy};
}

void EditorCanvas::paintCrop(QPainter& painter, const QRectF& selection, bool pending) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  QPainterPath outside;
  outside.addRect(layout_.picture);
  outside.addRect(selection);
  painter.fillPath(outside, QColor(0, 0, 0, 110));
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(Qt::white, 1));
  painter.drawRect(selection);
  QPen dashes(QColor(0, 0, 0, 160), 1, Qt::CustomDashLine);
  dashes.setDashPattern({4, 4});
  painter.setPen(dashes);
  painter.drawRect(selection);

  if (pending) {
    const Rect rect = *state_.cropRect();
    const QString label = QStringLiteral("%1 \u00D7 %2").arg(std::lround(rect.width())).arg(std::lround(rect.height()));
    QFont font = painter.font();
    font.setWeight(QFont::DemiBold);
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    const QSizeF pill(metrics.horizontalAdvance(label) + 16, metrics.height() + 6);
    // Above the selection when there is room, else inside its top edge.
    QPointF corner(selection.left(), selection.top() - pill.height() - 6);
    if (corner.y() < 4) corner.setY(selection.top() + 6);
    corner.setX(std::clamp(corner.x(), 4.0, std::max(4.0, width() - pill.width() - 4)));
    const QRectF box(corner, pill);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 170));
    painter.drawRoundedRect(box, pill.height() / 2, pill.height() / 2);
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter, label);
  }
  painter.restore();
}

void EditorCanvas::syncCropButton() {
  const auto crop = state_.cropRect();
  if (!crop) {
    cropButton_->hide();
    return;
  }
  const QRectF selection = viewRect(*crop);
  const QSize hint = cropButton_->sizeHint();
  QPointF corner(selection.right() - hint.width(), selection.bottom() + 8);
  if (corner.y() + hint.height() > height() - 4) corner.setY(selection.bottom() - hint.height() - 8);
  corner.setX(std::clamp(corner.x(), 4.0, std::max(4.0, width() - hint.width() - 4.0)));
  corner.setY(std::clamp(corner.y(), 4.0, std::max(4.0, height() - hint.height() - 4.0)));
  cropButton_->setGeometry(QRect(corner.toPoint(), hint));
  cropButton_->show();
  cropButton_->raise();
}

void EditorCanvas::syncTextField() {
  // Hiding or focusing the field reports focus changes back to the state,
  // which calls here again; the outer call finishes the work.
  if (syncingText_) return;
  syncingText_ = true;
  const auto anchor = state_.textAnchor();
  if (!anchor) {
    if (textField_->hasFocus()) setFocus(Qt::OtherFocusReason);
    textField_->hide();
    textField_->clear();
    syncingText_ = false;
    return;
  }
  const QSize pixels = pixelSize();
  const double ratio = pixels.width() > 0 ? layout_.picture.width() / pixels.width() : 1;
  QFont font = this->font();
  font.setWeight(QFont::DemiBold);
  font.setPixelSize(int(std::lround(std::max(MarkupSizes::textFontSize(pixels.width()) * ratio, kMinimumTextSize))));
  if (textField_->font() != font) textField_->setFont(font);
  const QString text = QString::fromStdString(state_.textValue());
  if (textField_->text() != text) textField_->setText(text);
  const int height = textField_->sizeHint().height();
  const QPointF at(
      layout_.picture.left() + anchor->x * ratio,
      layout_.picture.top() + anchor->y * (pixels.height() > 0 ? layout_.picture.height() / pixels.height() : 1));
  textField_->setGeometry(int(std::lround(at.x())), int(std::lround(at.y() + kTextFieldDrop - height / 2.0)),
                          int(kTextFieldWidth), height);
  textField_->show();
  textField_->raise();
  if (state_.textFocused() && !textField_->hasFocus()) {
    textField_->setFocus(Qt::OtherFocusReason);
  } else if (!state_.textFocused() && textField_->hasFocus()) {
    setFocus(Qt::OtherFocusReason);
  }
  syncingText_ = false;
}

void EditorCanvas::syncCursor() {
  const QCursor wanted = EditorCursor::forTool(state_.tool(), hovering_, state_.cropRect().has_value());
  const QCursor shown = cursor();
  const bool same = wanted.shape() == shown.shape() &&
                    (wanted.shape() != Qt::BitmapCursor || wanted.pixmap().cacheKey() == shown.pixmap().cacheKey());
  if (!same) setCursor(wanted);
}

bool EditorCanvas::eventFilter(QObject* watched, QEvent* event) {
  if (watched == textField_ && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
    state_.setTextFocused(event->type() == QEvent::FocusIn);
  }
  return QWidget::eventFilter(watched, event);
}

Size EditorCanvas::layoutSize() const { return {layout_.picture.width(), layout_.picture.height()}; }

Point EditorCanvas::viewPoint(QPointF position) const {
  return {position.x() - layout_.picture.left(), position.y() - layout_.picture.top()};
}

Point EditorCanvas::imagePoint(QPointF position) const {
  return EditorState::imagePoint(viewPoint(position), layoutSize(), pixelSize());
}

void EditorCanvas::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || gesture_ != Gesture::none) return;
  const QPointF position = event->position();
  if (!layout_.picture.contains(position)) return;
  pressPosition_ = position;
  if (state_.tool() == EditorTool::crop) {
    gesture_ = Gesture::cropPressed;
    return;
  }
  gesture_ = Gesture::drawing;
  state_.dragChanged(imagePoint(position), event->modifiers() & Qt::ShiftModifier);
}

void EditorCanvas::mouseMoveEvent(QMouseEvent* event) {
  const QPointF position = event->position();
  const bool over = layout_.picture.contains(position);
  if (over != hovering_) {
    hovering_ = over;
    syncCursor();
  }
  switch (gesture_) {
    case Gesture::none:
      return;
    case Gesture::drawing:
      state_.dragChanged(imagePoint(position), event->modifiers() & Qt::ShiftModifier);
      return;
    case Gesture::cropPressed:
      if (QLineF(pressPosition_, position).length() < kCropDragMinimum) return;
      gesture_ = Gesture::cropping;
      [[fallthrough]];
    case Gesture::cropping:
      state_.handleCropStroke(imagePoint(pressPosition_), imagePoint(position), false, layoutSize(),
                              viewPoint(pressPosition_), viewPoint(position));
      return;
  }
}

void EditorCanvas::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const Gesture gesture = std::exchange(gesture_, Gesture::none);
  const QPointF position = event->position();
  if (gesture == Gesture::drawing) {
    state_.dragEnded(imagePoint(position), event->modifiers() & Qt::ShiftModifier);
  } else if (gesture == Gesture::cropping) {
    state_.handleCropStroke(imagePoint(pressPosition_), imagePoint(position), true, layoutSize(),
                            viewPoint(pressPosition_), viewPoint(position));
  }
}

void EditorCanvas::wheelEvent(QWheelEvent* event) {
  if (event->modifiers() & Qt::ControlModifier) {
    const int steps = event->angleDelta().y();
    if (steps > 0) state_.zoomIn();
    if (steps < 0) state_.zoomOut();
    return;
  }
  // A zoomed picture pans under the wheel; a fitting one cannot move.
  QPointF delta = event->pixelDelta().isNull() ? QPointF(event->angleDelta()) / 2 : QPointF(event->pixelDelta());
  if (event->modifiers() & Qt::ShiftModifier) delta = {delta.y(), delta.x()};
  pan_ += delta;
  sync();
}

void EditorCanvas::leaveEvent(QEvent*) {
  if (!hovering_) return;
  hovering_ = false;
  syncCursor();
}

void EditorCanvas::resizeEvent(QResizeEvent*) { sync(); }

void EditorCanvas::changeEvent(QEvent* event) {
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) update();
  QWidget::changeEvent(event);
}

}  // namespace vistrel
