#include "editor/EditorIcons.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>
#include <functional>
#include <map>

namespace vistrel::EditorIcons {

namespace {

using Paint = std::function<void(QPainter&)>;

// Every glyph is painted in black on an 18 x 18 grid; the caller's colour is
// put in afterwards, so only the shape matters here.
QPen pen(double width = 1.5) {
  QPen pen(Qt::black, width);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

void outline(QPainter& p, double width = 1.5) {
  p.setPen(pen(width));
  p.setBrush(Qt::NoBrush);
}

void solid(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
}

void polyline(QPainter& p, std::initializer_list<QPointF> points, double width = 1.5) {
  outline(p, width);
  p.drawPolyline(std::data(points), int(points.size()));
}

void erase(QPainter& p, const QPainterPath& shape) {
  p.save();
  p.setCompositionMode(QPainter::CompositionMode_Clear);
  p.fillPath(shape, Qt::black);
  p.restore();
}

void magnifier(QPainter& p, bool plus) {
  outline(p);
  p.drawEllipse(QPointF(7.5, 7.5), 5, 5);
  polyline(p, {{11.2, 11.2}, {15.5, 15.5}}, 2.2);
  polyline(p, {{5, 7.5}, {10, 7.5}});
  if (plus) polyline(p, {{7.5, 5}, {7.5, 10}});
}

// A slanted marker with its nib at the top left (a cursor's hot spot sits there).
void highlighter(QPainter& p) {
  p.save();
  p.translate(9, 9);
  p.rotate(45);
  QPainterPath body;
  body.addRoundedRect(QRectF(-3.2, -2.5, 6.4, 10), 1.2, 1.2);
  outline(p);
  p.drawPath(body);
  QPainterPath nib;
  nib.moveTo(-3.2, -2.5);
  nib.lineTo(-1.6, -6.5);
  nib.lineTo(1.6, -8);
  nib.lineTo(3.2, -2.5);
  nib.closeSubpath();
  solid(p);
  p.drawPath(nib);
  polyline(p, {{-3.2, 4}, {3.2, 4}}, 1.2);
  p.restore();
}

const std::map<std::string_view, Paint>& glyphs() {
  static const std::map<std::string_view, Paint> table = {
      {"arrow.up.right",
       [](QPainter& p) {
         polyline(p, {{3.5, 14.5}, {14, 4}}, 1.7);
         polyline(p, {{7, 3.8}, {14.2, 3.8}, {14.2, 11}}, 1.7);
       }},
      {"line.diagonal",
       [](QPainter& p) {
         polyline(p, {{3.5, 14.5}, {14.5, 3.5}}, 1.7);
       }},
      {"character.textbox",
       [](QPainter& p) {
         outline(p, 1.3);
         p.drawRoundedRect(QRectF(1.8, 2.8, 14.4, 12.4), 2.5, 2.5);
         polyline(p, {{5.6, 12.2}, {9, 5.4}, {12.4, 12.2}}, 1.5);
         polyline(p, {{6.9, 9.8}, {11.1, 9.8}}, 1.3);
       }},
      {"rectangle",
       [](QPainter& p) {
         outline(p);
         p.drawRoundedRect(QRectF(2, 4, 14, 10), 1.5, 1.5);
       }},
      {"circle",
       [](QPainter& p) {
         outline(p);
         p.drawEllipse(QPointF(9, 9), 6.8, 6.8);
       }},
      {"1.circle",
       [](QPainter& p) {
         outline(p);
         p.drawEllipse(QPointF(9, 9), 6.8, 6.8);
         polyline(p, {{7.2, 6.4}, {9.4, 5}, {9.4, 13}}, 1.5);
         polyline(p, {{7.4, 13}, {11.4, 13}}, 1.4);
       }},
      {"highlighter", highlighter},
      {"pencil.tip",
       [](QPainter& p) {
         QPainterPath tip;
         tip.moveTo(9, 2);
         tip.lineTo(14.5, 15.5);
         tip.lineTo(3.5, 15.5);
         tip.closeSubpath();
         outline(p);
         p.drawPath(tip);
         QPainterPath lead;
         lead.moveTo(9, 2);
         lead.lineTo(10.8, 6.4);
         lead.lineTo(7.2, 6.4);
         lead.closeSubpath();
         solid(p);
         p.drawPath(lead);
       }},
      {"drop.halffull",
       [](QPainter& p) {
         QPainterPath drop;
         drop.moveTo(9, 1.8);
         drop.cubicTo(12, 6, 14.5, 8.6, 14.5, 11);
         drop.cubicTo(14.5, 14.2, 12, 16.3, 9, 16.3);
         drop.cubicTo(6, 16.3, 3.5, 14.2, 3.5, 11);
         drop.cubicTo(3.5, 8.6, 6, 6, 9, 1.8);
         p.save();
         p.setClipRect(QRectF(9, 0, 9, 18));
         solid(p);
         p.drawPath(drop);
         p.restore();
         outline(p);
         p.drawPath(drop);
       }},
      {"square.grid.3x3.fill",
       [](QPainter& p) {
         solid(p);
         for (int row = 0; row < 3; ++row) {
           for (int column = 0; column < 3; ++column) {
             p.drawRoundedRect(QRectF(2.5 + column * 4.6, 2.5 + row * 4.6, 3.8, 3.8), 0.8, 0.8);
           }
         }
       }},
      {"crop",
       [](QPainter& p) {
         polyline(p, {{5, 1.5}, {5, 13}, {16.5, 13}});
         polyline(p, {{1.5, 5}, {13, 5}, {13, 16.5}});
       }},
      {"eyedropper",
       [](QPainter& p) {
         p.save();
         p.translate(9, 9);
         p.rotate(45);
         outline(p);
         p.drawLine(QPointF(0, -1), QPointF(0, 8.5));
         p.drawRoundedRect(QRectF(-1.6, -1.5, 3.2, 6.5), 1, 1);
         solid(p);
         p.drawRoundedRect(QRectF(-3.4, -4.2, 6.8, 2.6), 1.2, 1.2);
         p.drawRoundedRect(QRectF(-2.2, -8.2, 4.4, 4.6), 2, 2);
         p.restore();
       }},
      {"arrow.uturn.backward",
       [](QPainter& p) {
         QPainterPath turn;
         turn.moveTo(4, 7);
         turn.lineTo(11, 7);
         turn.cubicTo(16.5, 7, 16.5, 15, 11, 15);
         turn.lineTo(7, 15);
         outline(p, 1.6);
         p.drawPath(turn);
         polyline(p, {{7.2, 3.8}, {4, 7}, {7.2, 10.2}}, 1.6);
       }},
      {"doc.on.doc",
       [](QPainter& p) {
         outline(p, 1.3);
         p.drawRoundedRect(QRectF(2.5, 1.8, 9, 11), 1.6, 1.6);
         const QRectF front(6.5, 5.2, 9, 11);
         QPainterPath behind;
         behind.addRoundedRect(front.adjusted(-1.3, -1.3, 1.3, 1.3), 2, 2);
         erase(p, behind);
         outline(p, 1.3);
         p.drawRoundedRect(front, 1.6, 1.6);
       }},
      {"square.and.arrow.down",
       [](QPainter& p) {
         polyline(p, {{6, 7.5}, {3, 7.5}, {3, 16}, {15, 16}, {15, 7.5}, {12, 7.5}}, 1.4);
         polyline(p, {{9, 1.8}, {9, 11.5}}, 1.5);
         polyline(p, {{5.8, 8.4}, {9, 11.6}, {12.2, 8.4}}, 1.5);
       }},
      {"pin",
       [](QPainter& p) {
         solid(p);
         p.drawEllipse(QPointF(9, 5.6), 4.2, 4.2);
         polyline(p, {{9, 9.5}, {9, 16.5}}, 1.6);
       }},
      {"rectangle.inset.filled",
       [](QPainter& p) {
         outline(p, 1.3);
         p.drawRoundedRect(QRectF(1.8, 3, 14.4, 12), 2.6, 2.6);
         solid(p);
         p.drawRoundedRect(QRectF(4.8, 6, 8.4, 6), 1, 1);
       }},
      {"minus.magnifyingglass", [](QPainter& p) { magnifier(p, false); }},
      {"plus.magnifyingglass", [](QPainter& p) { magnifier(p, true); }},
  };
  return table;
}

QPixmap tinted(std::string_view symbol, int scale, const QColor& color) {
  QImage image = glyph(symbol, kSize * scale, color);
  image.setDevicePixelRatio(scale);
  return QPixmap::fromImage(image);
}

}  // namespace

QImage glyph(std::string_view symbol, int pixels, const QColor& color) {
  QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(pixels / double(kSize), pixels / double(kSize));
    const auto& table = glyphs();
    if (const auto found = table.find(symbol); found != table.end()) {
      found->second(p);
    } else {
      solid(p);
      p.drawEllipse(QPointF(9, 9), 3, 3);
    }
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.resetTransform();
    p.fillRect(image.rect(), color);
  }
  return image;
}

QIcon icon(std::string_view symbol, const QPalette& palette) {
  QIcon icon;
  for (const int scale : {1, 2}) {
    icon.addPixmap(tinted(symbol, scale, palette.color(QPalette::Active, QPalette::ButtonText)), QIcon::Normal);
    icon.addPixmap(tinted(symbol, scale, palette.color(QPalette::Disabled, QPalette::ButtonText)), QIcon::Disabled);
  }
  return icon;
}

QIcon inkIcon(const QColor& ink, const QPalette& palette, double radius) {
  QIcon icon;
  for (const int scale : {1, 2}) {
    QPixmap pixmap(kSize * scale, kSize * scale);
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QColor ring = palette.color(QPalette::ButtonText);
    ring.setAlphaF(0.45);
    p.setPen(QPen(ring, 1));
    p.setBrush(ink);
    p.drawEllipse(QPointF(kSize / 2.0, kSize / 2.0), radius, radius);
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace vistrel::EditorIcons
