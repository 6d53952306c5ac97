#include "update/BrandIcon.h"

#include <QFile>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>
#include <cmath>

namespace vistrel::BrandIcon {

namespace {

// The brand glyph's design box; the glyph's own coordinates are in this space.
constexpr QRectF kGlyphBox(4.55, 5.85, 15.1, 12.3);
constexpr double kMarkedScale = 0.82;
constexpr double kBrandSide = 48;
// The system's red, as the recording dot shows it.
const QColor kRecordingRed = QColor::fromRgbF(1.0, 0.231, 0.188);

QImage blankImage(double side) {
  const int pixels = int(std::lround(side * kDevicePixelRatio));
  QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(kDevicePixelRatio);
  image.fill(Qt::transparent);
  return image;
}

// Painting in points with the origin at the top-left, y down, as the glyph's geometry is given.
void preparePainter(QPainter& p) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(Qt::NoBrush);
}

QPen roundPen(const QColor& color, double width) {
  QPen pen(color, width);
  pen.setJoinStyle(Qt::RoundJoin);
  pen.setCapStyle(Qt::RoundCap);
  return pen;
}

void drawGlyph(QPainter& p, double side, bool marked) {
  const double scale = side / kGlyphBox.width() * (marked ? kMarkedScale : 1.0);
  const double x = marked ? -0.6 : 0.0;
  const double y = (side - kGlyphBox.height() * scale) / 2;
  p.save();
  p.translate(x, y);
  p.scale(scale, scale);
  p.translate(-kGlyphBox.x(), -kGlyphBox.y());
  QColor faint(Qt::black);
  faint.setAlphaF(0.4);
  p.setPen(roundPen(faint, 1.15));
  p.drawRoundedRect(QRectF(5.25, 6.75, 9, 10.5), 2.5, 2.5);
  p.setPen(roundPen(Qt::black, 1.6));
  p.drawRoundedRect(QRectF(9.75, 6.75, 9, 10.5), 2.5, 2.5);
  p.setPen(roundPen(Qt::black, 1.2));
  p.drawEllipse(QRectF(12.17, 9.92, 4.16, 4.16));
  p.restore();
}

void drawLocalMark(QPainter& p, double side) {
  p.setPen(roundPen(Qt::black, 1.1));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(0.6, side - 4.8, 3.6, 3.6), 0.8, 0.8);
}

void drawBadge(QPainter& p, double side, UpdateBadge badge) {
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  switch (badge) {
    case UpdateBadge::none: return;
    case UpdateBadge::optional: p.drawEllipse(QRectF(side - 5.2, 1.1, 4.2, 4.2)); return;
    case UpdateBadge::required: {
      QPainterPath triangle;
      triangle.moveTo(side - 2.2, 2);
      triangle.lineTo(side - 6.8, 2);
      triangle.lineTo(side - 4.5, 6.4);
      triangle.closeSubpath();
      p.drawPath(triangle);
      p.drawEllipse(QRectF(side - 5, 0.8, 1.2, 1.2));
      return;
    }
  }
}

// The "stop.fill" symbol ("Stop recording"): a filled rounded square of 0.56
// times the image, centred half a point left, in a rounded frame 2.2 larger.
void drawStopSymbol(QPainter& p, double side) {
  const double size = side * 0.56;
  const QRectF symbol((side - size) / 2 - 0.5, (side - size) / 2, size, size);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  p.drawRoundedRect(symbol, size * 0.18, size * 0.18);
  p.setBrush(Qt::NoBrush);
  p.setPen(roundPen(Qt::black, 1.1));
  p.drawRoundedRect(symbol.adjusted(-2.2, -2.2, 2.2, 2.2), 3, 3);
}

}  // namespace

QImage menuBarImage(UpdateBadge updateBadge, bool localBuild, double side) {
  QImage image = blankImage(side);
  QPainter p(&image);
  preparePainter(p);
  drawGlyph(p, side, updateBadge != UpdateBadge::none || localBuild);
  if (localBuild) drawLocalMark(p, side);
  drawBadge(p, side, updateBadge);
  return image;
}

QImage menuBarRecordingImage(double side) {
  QImage image = blankImage(side);
  QPainter p(&image);
  preparePainter(p);
  drawStopSymbol(p, side);
  p.setPen(Qt::NoPen);
  p.setBrush(kRecordingRed);
  p.drawEllipse(QRectF(side - 6.6, 1.4, 5.2, 5.2));
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kRecordingRed, 0.9));
  p.drawEllipse(QRectF(side - 7.4, 0.6, 6.8, 6.8));
  return image;
}

QImage brandImage(const QString& directory) {
  QImage image = blankImage(kBrandSide);
  const QString markPath = directory + QStringLiteral("/VistrelMark.svg");
  if (QFile::exists(markPath)) {
    QSvgRenderer mark(markPath);
    if (mark.isValid()) {
      QPainter p(&image);
      mark.render(&p, QRectF(0, 0, kBrandSide, kBrandSide));
      return image;
    }
  }
  const QImage icon(directory + QStringLiteral("/VistrelAppIcon.jpg"));
  if (icon.isNull()) return {};
  image = icon.scaled(image.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
  image.setDevicePixelRatio(kDevicePixelRatio);
  return image;
}

QImage colorMarkImage() { return brandImage(QStringLiteral(":/Brand")); }

}  // namespace vistrel::BrandIcon
