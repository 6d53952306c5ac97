#include "editor/EditorLivePreview.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/Overload.h"
#include "editor/MarkupRenderer.h"

namespace vistrel::EditorLivePreview {

namespace {

constexpr double kMinimumStroke = 1.5;
constexpr double kHighlightAlpha = 0.45;
constexpr double kBlurBrushOpacity = 0.55;
constexpr double kWingAngle = 0.82 * std::numbers::pi;

// Picture pixels to view points, one ratio per axis as the canvas maps them.
struct Mapping {
  QPointF origin;
  double sx = 1;
  double sy = 1;

  QPointF operator()(Point p) const { return {origin.x() + p.x * sx, origin.y() + p.y * sy}; }
  double width(double pixels) const { return std::max(pixels * sx, kMinimumStroke); }
  std::vector<Point> points(const std::vector<Point>& pixels) const {
    std::vector<Point> out;
    out.reserve(pixels.size());
    for (const Point& p : pixels) {
      const QPointF v = (*this)(p);
      out.push_back({v.x(), v.y()});
    }
    return out;
  }
  QRectF rect(Point a, Point b) const { return QRectF((*this)(a), (*this)(b)).normalized(); }
};

QColor qcolor(const MarkupColor& color, std::optional<double> alpha = std::nullopt) {
  return QColor::fromRgbF(float(color.red), float(color.green), float(color.blue), float(alpha.value_or(color.alpha)));
}

QPen strokePen(const QColor& color, double width) {
  QPen pen(color, width);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

void strokePath(QPainter& p, const std::vector<Point>& points, const QPen& pen) {
  if (points.size() < 2) return;
  QPainterPath path;
  MarkupPath::add(points, path);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  p.drawPath(path);
}

// The outline of an area to blur or pixelate: dark dashes over a light line,
// visible on any picture.
void dashedOutline(QPainter& p, const QRectF& area) {
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(255, 255, 255, 200), 1));
  p.drawRect(area);
  QPen dashes(QColor(0, 0, 0, 200), 1, Qt::CustomDashLine);
  dashes.setDashPattern({4, 3});
  p.setPen(dashes);
  p.drawRect(area);
}

void arrow(QPainter& p, QPointF start, QPointF end, const QColor& shaft, const QColor& head, double width) {
  p.setPen(strokePen(shaft, width));
  p.drawLine(start, end);
  const double angle = std::atan2(end.y() - start.y(), end.x() - start.x());
  const double length = std::max(4.5 * width, 12.0);
  QPainterPath triangle;
  triangle.moveTo(end);
  triangle.lineTo(end + length * QPointF(std::cos(angle + kWingAngle), std::sin(angle + kWingAngle)));
  triangle.lineTo(end + length * QPointF(std::cos(angle - kWingAngle), std::sin(angle - kWingAngle)));
  triangle.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(head);
  p.drawPath(triangle);
}

// The item's points and the width of what is drawn around them, in pixels.
struct Extent {
  std::vector<Point> points;
  double width = 0;
  bool headed = false;
};

Extent extent(const MarkupItem& item) {
  return std::visit(Overload{
                        [](const Markup::Pen& m) {
                          return Extent{m.points, m.width};
                        },
                        [](const Markup::Highlight& m) {
                          return Extent{m.points, m.width};
                        },
                        [](const Markup::Line& m) {
                          return Extent{{m.start, m.end}, m.width};
                        },
                        [](const Markup::Arrow& m) {
                          return Extent{{m.start, m.end}, m.width, true};
                        },
                        [](const Markup::Rectangle& m) {
                          return Extent{{m.first, m.opposite}, m.width};
                        },
                        [](const Markup::Oval& m) {
                          return Extent{{m.first, m.opposite}, m.width};
                        },
                        [](const Markup::BlurStroke& m) {
                          return Extent{m.points, m.width};
                        },
                        [](const Markup::Blur& m) {
                          return Extent{{{m.rect.minX(), m.rect.minY()}, {m.rect.maxX(), m.rect.maxY()}}, 0};
                        },
                        [](const Markup::Pixelate& m) {
                          return Extent{{{m.rect.minX(), m.rect.minY()}, {m.rect.maxX(), m.rect.maxY()}}, 0};
                        },
                        [](const Markup::Text& m) {
                          return Extent{{m.origin}, 0};
                        },
                        [](const Markup::Step& m) {
                          return Extent{{m.center}, 2 * m.radius};
                        },
                    },
                    item);
}

}  // namespace

QRectF bounds(const MarkupItem& item, const QRectF& picture, QSize pixelSize) {
  if (pixelSize.isEmpty()) return {};
  const Mapping map{picture.topLeft(), picture.width() / pixelSize.width(), picture.height() / pixelSize.height()};
  const Extent e = extent(item);
  if (e.points.empty()) return {};
  double left = map(e.points.front()).x(), right = left, top = map(e.points.front()).y(), bottom = top;
  for (const Point& p : e.points) {
    const QPointF v = map(p);
    left = std::min(left, v.x());
    right = std::max(right, v.x());
    top = std::min(top, v.y());
    bottom = std::max(bottom, v.y());
  }
  const double width = map.width(e.width);
  const double margin = (e.headed ? std::max(4.5 * width, 12.0) : width / 2) + 2;
  return QRectF(QPointF(left, top), QPointF(right, bottom)).adjusted(-margin, -margin, margin, margin) & picture;
}

void paint(QPainter& painter, const MarkupItem& item, const QRectF& picture, QSize pixelSize) {
  if (pixelSize.isEmpty()) return;
  const Mapping map{picture.topLeft(), picture.width() / pixelSize.width(), picture.height() / pixelSize.height()};
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setClipRect(picture);
  std::visit(Overload{
                 [&](const Markup::Pen& pen) {
                   strokePath(painter, map.points(pen.points), strokePen(qcolor(pen.color, 1.0), map.width(pen.width)));
                 },
                 [&](const Markup::Highlight& mark) {
                   strokePath(painter, map.points(mark.points),
                              strokePen(qcolor(mark.color, kHighlightAlpha), map.width(mark.width)));
                 },
                 [&](const Markup::Line& line) {
                   painter.setPen(strokePen(qcolor(line.color, 1.0), map.width(line.width)));
                   painter.drawLine(map(line.start), map(line.end));
                 },
                 [&](const Markup::Arrow& mark) {
                   arrow(painter, map(mark.start), map(mark.end), qcolor(mark.color, 1.0), qcolor(mark.color),
                         map.width(mark.width));
                 },
                 [&](const Markup::Rectangle& mark) {
                   painter.setPen(strokePen(qcolor(mark.color), map.width(mark.width)));
                   painter.setBrush(Qt::NoBrush);
                   painter.drawRect(map.rect(mark.first, mark.opposite));
                 },
                 [&](const Markup::Oval& mark) {
                   painter.setPen(strokePen(qcolor(mark.color), map.width(mark.width)));
                   painter.setBrush(Qt::NoBrush);
                   painter.drawEllipse(map.rect(mark.first, mark.opposite));
                 },
                 [&](const Markup::BlurStroke& mark) {
                   painter.setOpacity(kBlurBrushOpacity);
                   strokePath(painter, map.points(mark.points),
                              strokePen(QColor(150, 150, 150), map.width(mark.width)));
                 },
                 [&](const Markup::Blur& mark) {
                   dashedOutline(painter,
                                 map.rect({mark.rect.minX(), mark.rect.minY()}, {mark.rect.maxX(), mark.rect.maxY()}));
                 },
                 [&](const Markup::Pixelate& mark) {
                   dashedOutline(painter,
                                 map.rect({mark.rect.minX(), mark.rect.minY()}, {mark.rect.maxX(), mark.rect.maxY()}));
                 },
                 // Placed by a click, never dragged.
                 [](const Markup::Text&) {},
                 [](const Markup::Step&) {},
             },
             item);
  painter.restore();
}

}  // namespace vistrel::EditorLivePreview
