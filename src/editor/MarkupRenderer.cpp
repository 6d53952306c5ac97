#include "editor/MarkupRenderer.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/LargeImage.h"
#include "editor/AreaFilters.h"

namespace vistrel {

namespace {

// Each arrow wing lies 0.82π off the shaft's direction, 32.4° off its backward one.
constexpr double kWingAngle = 2.57610597594363;
constexpr double kHighlightAlpha = 0.45;
constexpr double kMinimumStepRadius = 12;

QPointF at(Point p) { return {p.x, p.y}; }

QColor qtColor(const MarkupColor& c, double alpha) {
  const auto unit = [](double v) { return float(std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0); };
  return QColor::fromRgbF(unit(c.red), unit(c.green), unit(c.blue), unit(alpha));
}

QPen roundPen(const QBrush& brush, double width) {
  return QPen(brush, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QRectF spanned(Point a, Point b) {
  return {std::min(a.x, b.x), std::min(a.y, b.y), std::abs(b.x - a.x), std::abs(b.y - a.y)};
}

// The rectangle expanded outward to whole pixels and clipped to the surface;
// nothing unless over 2 pixels each way.
std::optional<QRect> pixelArea(const Rect& rect, const QImage& surface) {
  const Rect area = rect.standardized().integral().intersection(Rect(0, 0, surface.width(), surface.height()));
  if (area.isNull() || !std::isfinite(area.w) || !std::isfinite(area.h)) return std::nullopt;
  if (!(area.w > 2 && area.h > 2)) return std::nullopt;
  return QRect(int(area.x), int(area.y), int(area.w), int(area.h));
}

// The system font at `pixelSize` pixels of `device` (a size in points would
// depend on the picture's resolution).
QFont markupFont(double pixelSize, QFont::Weight weight, const QPaintDevice& device) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setWeight(weight);
  font.setPointSizeF(pixelSize * 72.0 / device.logicalDpiY());
  return font;
}

// Text is placed as a bitmap of its measured size plus a pixel all round,
// the text at (1, 1) in it; it is drawn straight onto the surface where that
// bitmap would go, which gives the same pixels without a detour.
QSizeF textBitmapSize(const QString& text, const QFontMetricsF& metrics) {
  return {std::ceil(metrics.horizontalAdvance(text)) + 2, std::ceil(metrics.height()) + 2};
}

void drawText(QPainter& painter, const QString& text, const QFont& font, const QFontMetricsF& metrics,
              const QColor& color, QPointF bitmapOrigin) {
  painter.setFont(font);
  painter.setPen(color);
  painter.drawText(bitmapOrigin + QPointF(1, 1 + metrics.ascent()), text);
}

// Draws one item; area effects read what `surface` (the painter's device)
// holds at that moment.
struct ItemPainter {
  QPainter& painter;
  const QImage& surface;

  void stroke(const std::vector<Point>& points, const MarkupColor& color, double alpha, double width) const {
    if (points.size() < 2) return;
    QPainterPath path;
    MarkupPath::add(points, path);
    painter.strokePath(path, roundPen(qtColor(color, alpha), width));
  }

  void operator()(const Markup::Pen& item) const { stroke(item.points, item.color, 1.0, item.width); }

  void operator()(const Markup::Highlight& item) const {
    stroke(item.points, item.color, kHighlightAlpha, item.width);
  }

  void operator()(const Markup::Line& item) const { stroke({item.start, item.end}, item.color, 1.0, item.width); }

  void operator()(const Markup::Arrow& item) const {
    stroke({item.start, item.end}, item.color, 1.0, item.width);
    const double angle = std::atan2(item.end.y - item.start.y, item.end.x - item.start.x);
    const double length = std::max(4 * item.width, 14.0);
    const QPointF tip = at(item.end);
    QPainterPath head;
    head.setFillRule(Qt::WindingFill);
    head.moveTo(tip);
    head.lineTo(tip + length * QPointF(std::cos(angle + kWingAngle), std::sin(angle + kWingAngle)));
    head.lineTo(tip + length * QPointF(std::cos(angle - kWingAngle), std::sin(angle - kWingAngle)));
    head.closeSubpath();
    painter.fillPath(head, qtColor(item.color, item.color.alpha));
  }

  void operator()(const Markup::Rectangle& item) const {
    // Mitred corners: a rectangle keeps its square corners at any width.
    QPainterPath outline;
    outline.addRect(spanned(item.first, item.opposite));
    QPen pen(qtColor(item.color, item.color.alpha), item.width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    painter.strokePath(outline, pen);
  }

  void operator()(const Markup::Oval& item) const {
    QPainterPath outline;
    outline.addEllipse(spanned(item.first, item.opposite));
    painter.strokePath(outline, roundPen(qtColor(item.color, item.color.alpha), item.width));
  }

  void operator()(const Markup::Text& item) const {
    if (!(item.fontSize > 0)) return;
    const QFont font = markupFont(item.fontSize, QFont::DemiBold, surface);
    const QFontMetricsF metrics(font, &surface);
    drawText(painter, QString::fromStdString(item.string), font, metrics, qtColor(item.color, item.color.alpha),
             at(item.origin));
  }

  void operator()(const Markup::Step& item) const {
    const double r = std::max(item.radius, kMinimumStepRadius);
    painter.setPen(Qt::NoPen);
    painter.setBrush(qtColor(item.color, item.color.alpha));
    painter.drawEllipse(at(item.center), r, r);
    painter.setBrush(Qt::NoBrush);
    const QString number = QString::number(item.number);
    const QFont font = markupFont((item.number < 10 ? 0.78 : 0.62) * r, QFont::Bold, surface);
    const QFontMetricsF metrics(font, &surface);
    const QSizeF size = textBitmapSize(number, metrics);
    drawText(painter, number, font, metrics, Qt::white,
             at(item.center) - QPointF(size.width() / 2, size.height() / 2));
  }

  void operator()(const Markup::Blur& item) const {
    const auto area = pixelArea(item.rect, surface);
    if (!area) return;
    painter.drawImage(area->topLeft(), AreaFilters::blurred(surface, *area));
  }

  void operator()(const Markup::BlurStroke& item) const {
    if (item.points.size() < 2) return;
    double left = item.points[0].x, right = left, top = item.points[0].y, bottom = top;
    for (const Point& p : item.points) {
      left = std::min(left, p.x);
      right = std::max(right, p.x);
      top = std::min(top, p.y);
      bottom = std::max(bottom, p.y);
    }
    const double grow = item.width / 2 + 20;
    const Rect box(left - grow, top - grow, right - left + 2 * grow, bottom - top + 2 * grow);
    const auto area = pixelArea(box, surface);
    if (!area) return;
    // Only the brushed band shows the blur: the stroke is painted with the
    // blurred box as its texture, placed over the box.
    QBrush texture(AreaFilters::blurred(surface, *area));
    texture.setTransform(QTransform::fromTranslate(area->x(), area->y()));
    QPainterPath path;
    MarkupPath::add(item.points, path);
    painter.strokePath(path, roundPen(texture, item.width));
  }

  void operator()(const Markup::Pixelate& item) const {
    const auto area = pixelArea(item.rect, surface);
    if (!area) return;
    const QImage blocks = AreaFilters::blocks(surface, *area);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRectF(*area), blocks);
    painter.restore();
  }
};

void prepare(QPainter& painter) {
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
}

// The picture's pixels as a premultiplied surface of memory its own.
QImage surfaceFor(const QImage& picture) {
  QImage surface = makeLargeImage(picture.width(), picture.height(), QImage::Format_ARGB32_Premultiplied);
  if (surface.isNull()) return {};
  // An opaque RGB32 pixel (0xFFRRGGBB) is already a premultiplied one.
  const bool sameBytes = picture.format() == QImage::Format_RGB32 ||
                         picture.format() == QImage::Format_ARGB32_Premultiplied;
  const QImage source = sameBytes ? picture : picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const std::size_t rowBytes = std::size_t(picture.width()) * 4;
  for (int y = 0; y < picture.height(); ++y) std::memcpy(surface.scanLine(y), source.constScanLine(y), rowBytes);
  surface.setDotsPerMeterX(picture.dotsPerMeterX());
  surface.setDotsPerMeterY(picture.dotsPerMeterY());
  return surface;
}

}  // namespace

namespace MarkupRenderer {

QImage burn(const std::vector<MarkupItem>& items, const QImage& picture) {
  if (items.empty() || picture.isNull()) return picture;
  QImage surface = surfaceFor(picture);
  if (surface.isNull()) return picture;
  {
    QPainter painter(&surface);
    if (!painter.isActive()) return picture;
    prepare(painter);
    const ItemPainter draw{painter, surface};
    for (const MarkupItem& item : items) std::visit(draw, item);
  }
  // An opaque picture stays opaque, so that it saves as JPEG where the format
  // is automatic: every item is drawn source-over onto opaque pixels and the
  // filters average opaque pixels, which keeps every alpha at 255, so the
  // surface reads as RGB32 as it stands.
  if (!picture.hasAlphaChannel()) surface.reinterpretAsFormat(QImage::Format_RGB32);
  surface.setDevicePixelRatio(picture.devicePixelRatio());
  return surface;
}

void draw(const MarkupItem& item, QImage& surface) {
  if (surface.isNull()) return;
  // Items are in pixels: the painter must not scale by the device pixel ratio.
  const qreal ratio = surface.devicePixelRatio();
  if (ratio != 1) surface.setDevicePixelRatio(1);
  {
    QPainter painter(&surface);
    if (painter.isActive()) {
      prepare(painter);
      std::visit(ItemPainter{painter, surface}, item);
    }
  }
  if (ratio != 1) surface.setDevicePixelRatio(ratio);
}

std::optional<QImage> crop(const QImage& picture, const Rect& rect) {
  const Rect inside = rect.standardized().intersection(Rect(0, 0, picture.width(), picture.height()));
  if (inside.isNull() || !std::isfinite(inside.w) || !std::isfinite(inside.h)) return std::nullopt;
  const Rect whole = inside.integral();
  if (!(whole.w > 4 && whole.h > 4)) return std::nullopt;
  return picture.copy(int(whole.x), int(whole.y), int(whole.w), int(whole.h));
}

std::optional<MarkupColor> sample(const QImage& picture, Point point) {
  const double x = std::floor(point.x), y = std::floor(point.y);
  if (!(x >= 0 && y >= 0 && x < picture.width() && y < picture.height())) return std::nullopt;
  const QColor pixel = picture.pixelColor(int(x), int(y));  // un-premultiplied
  return MarkupColor{pixel.red() / 255.0, pixel.green() / 255.0, pixel.blue() / 255.0, 1};
}

}  // namespace MarkupRenderer

namespace MarkupPath {

void add(const std::vector<Point>& points, QPainterPath& path) {
  const std::size_t n = points.size();
  if (n < 2) return;
  path.moveTo(at(points[0]));
  if (n == 2) {
    path.lineTo(at(points[1]));
    return;
  }
  for (std::size_t i = 1; i + 1 < n; ++i) {
    const QPointF mid = (at(points[i]) + at(points[i + 1])) / 2;
    path.quadTo(at(points[i]), mid);
  }
  path.quadTo(at(points[n - 2]), at(points[n - 1]));
}

}  // namespace MarkupPath

}  // namespace vistrel
