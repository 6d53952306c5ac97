#include "app/MenuIcons.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

#include <functional>
#include <map>
#include <string>

#include "layout/WindowSnapGeometry.h"

namespace vistrel::MenuIcons {

namespace {

using Paint = std::function<void(QPainter&)>;

// Glyphs are painted in black on transparent in 16x16 logical coordinates,
// then everything painted takes the text colour, so only the shape counts.
QColor ink() { return QGuiApplication::palette().color(QPalette::WindowText); }

void tint(QImage& image) {
  QPainter p(&image);
  p.setCompositionMode(QPainter::CompositionMode_SourceIn);
  p.fillRect(image.rect(), ink());
}

QIcon drawn(const Paint& paint) {
  QIcon icon;
  for (const int scale : {1, 2}) {
    QImage image(kSize * scale, kSize * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
      QPainter p(&image);
      p.setRenderHint(QPainter::Antialiasing);
      p.scale(scale, scale);
      paint(p);
    }
    tint(image);
    image.setDevicePixelRatio(scale);
    icon.addPixmap(QPixmap::fromImage(image));
  }
  icon.setIsMask(true);
  return icon;
}

QPen pen(double width) {
  QPen pen(Qt::black, width);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

void stroke(QPainter& p, std::initializer_list<QPointF> points, double width = 1.2) {
  p.setPen(pen(width));
  p.setBrush(Qt::NoBrush);
  p.drawPolyline(std::data(points), int(points.size()));
}

void fill(QPainter& p, const QRectF& rect, double radius = 0) {
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  p.drawRoundedRect(rect, radius, radius);
}

void fillEllipse(QPainter& p, QPointF centre, double radius) {
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  p.drawEllipse(centre, radius, radius);
}

// Erases what is under `shape` (holes such as a camera's lens).
void clear(QPainter& p, const std::function<void()>& shape) {
  p.save();
  p.setCompositionMode(QPainter::CompositionMode_Clear);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  shape();
  p.restore();
}

// The screen outline of the snap glyphs. Its inside, 12 x 8 pixels at
// (2, 4), stands for a screen of 120 x 80 points, so halves, thirds and
// quarters fall on whole pixels and the 16-point inset of almostMaximize
// stays visible.
const QRectF kInside(2, 4, 12, 8);
const Rect kGlyphScreen(0, 0, 120, 80);

void screenOutline(QPainter& p) {
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(0.5, 2.5, 15, 11), 1.5, 1.5);
}

// A rectangle of the glyph screen (AppKit space, y up) in glyph pixels (y down).
QRectF onGlyph(const Rect& r) {
  const double scale = kInside.width() / kGlyphScreen.width();
  return {kInside.left() + (r.minX() - kGlyphScreen.minX()) * scale,
          kInside.top() + (kGlyphScreen.maxY() - r.maxY()) * scale, r.width() * scale, r.height() * scale};
}

void corners(QPainter& p) {
  stroke(p, {{1.5, 5.5}, {1.5, 2}, {5, 2}});
  stroke(p, {{11, 2}, {14.5, 2}, {14.5, 5.5}});
  stroke(p, {{1.5, 10.5}, {1.5, 14}, {5, 14}});
  stroke(p, {{11, 14}, {14.5, 14}, {14.5, 10.5}});
}

void chevrons(QPainter& p, bool right) {
  const auto x = [right](double v) { return right ? v : kSize - v; };
  stroke(p, {{x(3.5), 4}, {x(7.5), 8}, {x(3.5), 12}}, 1.5);
  stroke(p, {{x(8.5), 4}, {x(12.5), 8}, {x(8.5), 12}}, 1.5);
}

void paintSnapSymbol(QPainter& p, WindowSnap snap) {
  switch (snap) {
    case WindowSnap::maximizeHeight:
      screenOutline(p);
      stroke(p, {{8, 4.5}, {8, 11.5}});
      stroke(p, {{6, 6.5}, {8, 4.5}, {10, 6.5}});
      stroke(p, {{6, 9.5}, {8, 11.5}, {10, 9.5}});
      return;
    case WindowSnap::larger:
      screenOutline(p);
      stroke(p, {{5, 8}, {11, 8}}, 1.4);
      stroke(p, {{8, 5}, {8, 11}}, 1.4);
      return;
    case WindowSnap::smaller:
      screenOutline(p);
      stroke(p, {{5, 8}, {11, 8}}, 1.4);
      return;
    case WindowSnap::center:
      screenOutline(p);
      fill(p, QRectF(5, 6, 6, 4));
      return;
    case WindowSnap::restore: {
      QPainterPath path;
      path.moveTo(3.5, 6);
      path.lineTo(10.5, 6);
      path.arcTo(QRectF(7, 6, 7, 7), 90, -180);
      path.lineTo(6, 13);
      p.setPen(pen(1.4));
      p.setBrush(Qt::NoBrush);
      p.drawPath(path);
      stroke(p, {{6.5, 3}, {3.5, 6}, {6.5, 9}}, 1.4);
      return;
    }
    case WindowSnap::nextDisplay: chevrons(p, true); return;
    case WindowSnap::previousDisplay: chevrons(p, false); return;
    default: {
      // Every other snap has a fixed region; the window's own frame does not matter.
      const auto region = WindowSnapGeometry::rect(snap, Rect(30, 20, 60, 40), kGlyphScreen);
      screenOutline(p);
      if (region) fill(p, onGlyph(*region));
      return;
    }
  }
}

const std::map<std::string, Paint, std::less<>>& symbolPainters() {
  static const std::map<std::string, Paint, std::less<>> painters = {
      {"camera", [](QPainter& p) {
         fill(p, QRectF(1, 5, 14, 9), 1.5);
         fill(p, QRectF(5, 3, 6, 2.5), 0.5);
         clear(p, [&] { p.drawEllipse(QPointF(8, 9.5), 3, 3); });
         fillEllipse(p, QPointF(8, 9.5), 1.5);
       }},
      {"video", [](QPainter& p) {
         fill(p, QRectF(1, 4.5, 10, 8), 1.5);
         p.setBrush(Qt::black);
         const QPointF lens[] = {{11.5, 8.5}, {15, 5}, {15, 12}};
         p.drawPolygon(lens, 3);
       }},
      {"timer", [](QPainter& p) {
         fillEllipse(p, QPointF(8, 9.5), 6);
         clear(p, [&] { p.drawEllipse(QPointF(8, 9.5), 4.5, 4.5); });
         fill(p, QRectF(7.3, 5.5, 1.4, 4.6));
         fill(p, QRectF(6.5, 1.5, 3, 1.8));
       }},
      {"camera.viewfinder", [](QPainter& p) {
         corners(p);
         fill(p, QRectF(4.5, 6.5, 7, 5), 1);
         fill(p, QRectF(6.5, 5.5, 3, 1.5));
         clear(p, [&] { p.drawEllipse(QPointF(8, 9), 1.6, 1.6); });
       }},
      {"macwindow.on.rectangle", [](QPainter& p) {
         p.setPen(QPen(Qt::black, 1));
         p.setBrush(Qt::NoBrush);
         p.drawRect(QRectF(5.5, 2.5, 9, 7));
         clear(p, [&] { p.drawRect(QRectF(1, 6, 11, 8.5)); });
         p.setPen(QPen(Qt::black, 1));
         p.setBrush(Qt::NoBrush);
         p.drawRect(QRectF(1.5, 6.5, 10, 7.5));
         fill(p, QRectF(1.5, 6.5, 10, 2));
       }},
      {"viewfinder.rectangular", [](QPainter& p) {
         corners(p);
         stroke(p, {{8, 6}, {8, 10}}, 1);
         stroke(p, {{6, 8}, {10, 8}}, 1);
       }},
      {"scroll", [](QPainter& p) {
         p.setPen(QPen(Qt::black, 1));
         p.setBrush(Qt::NoBrush);
         p.drawRoundedRect(QRectF(4.5, 1.5, 7, 13), 1, 1);
         stroke(p, {{6.5, 4.5}, {9.5, 4.5}}, 1);
         stroke(p, {{6.5, 6.5}, {9.5, 6.5}}, 1);
         stroke(p, {{8, 8.5}, {8, 12.5}}, 1);
         stroke(p, {{6.5, 11}, {8, 12.5}, {9.5, 11}}, 1);
       }},
      {"text.viewfinder", [](QPainter& p) {
         corners(p);
         stroke(p, {{5, 5}, {11, 5}}, 1.5);
         stroke(p, {{8, 5}, {8, 11.5}}, 1.5);
       }},
      {"record.circle", [](QPainter& p) {
         p.setPen(QPen(Qt::black, 1.2));
         p.setBrush(Qt::NoBrush);
         p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
         fillEllipse(p, QPointF(8, 8), 3.5);
       }},
      {"viewfinder", [](QPainter& p) {
         corners(p);
         fillEllipse(p, QPointF(8, 8), 2.5);
       }},
      {"rectangle.dashed", [](QPainter& p) {
         QPen dashed(Qt::black, 1.2);
         dashed.setDashPattern({2, 1.5});
         p.setPen(dashed);
         p.setBrush(Qt::NoBrush);
         p.drawRect(QRectF(1.5, 3.5, 13, 9));
       }},
      {"stop.circle.fill", [](QPainter& p) {
         fillEllipse(p, QPointF(8, 8), 7);
         clear(p, [&] { p.drawRect(QRectF(5.5, 5.5, 5, 5)); });
       }},
      {"stop.fill", [](QPainter& p) { fill(p, QRectF(3, 3, 10, 10), 1.5); }},
  };
  return painters;
}

// A theme icon as a template image: its pixels at both scales, centred on
// the 16x16 canvas, in the text colour.
QIcon templateFrom(const QIcon& themed) {
  QIcon icon;
  for (const int scale : {1, 2}) {
    const QPixmap source = themed.pixmap(QSize(kSize, kSize), scale);
    QImage image(kSize * scale, kSize * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
      QPainter p(&image);
      const QImage pixels = source.toImage();
      p.drawImage(QPoint((image.width() - pixels.width()) / 2, (image.height() - pixels.height()) / 2), pixels);
    }
    tint(image);
    image.setDevicePixelRatio(scale);
    icon.addPixmap(QPixmap::fromImage(image));
  }
  icon.setIsMask(true);
  return icon;
}

}  // namespace

std::vector<QString> themeNames(std::string_view symbolName) {
  static const std::map<std::string, QString, std::less<>> names = {
      {"camera", "camera-photo"},
      {"video", "camera-video"},
      {"record.circle", "media-record"},
      {"stop.circle.fill", "media-playback-stop"},
      {"stop.fill", "media-playback-stop"},
  };
  const auto it = names.find(symbolName);
  if (it == names.end()) return {};
  return {it->second + "-symbolic", it->second};
}

std::optional<QIcon> themeIcon(std::string_view symbolName, QString* chosenName) {
  for (const QString& name : themeNames(symbolName)) {
    if (!QIcon::hasThemeIcon(name)) continue;
    if (chosenName) *chosenName = name;
    return templateFrom(QIcon::fromTheme(name));
  }
  return std::nullopt;
}

std::optional<QIcon> drawnSymbol(std::string_view symbolName) {
  const auto& painters = symbolPainters();
  const auto it = painters.find(symbolName);
  if (it == painters.end()) return std::nullopt;
  return drawn(it->second);
}

QIcon snapGlyph(WindowSnap snap) {
  return drawn([snap](QPainter& p) { paintSnapSymbol(p, snap); });
}

}  // namespace vistrel::MenuIcons
