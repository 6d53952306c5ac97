#include "recording/ClickRings.h"

#include <QPainter>
#include <QPen>

namespace vistrel::ClickRings {

namespace {

// Radius in points from the press to the end, and the ring's width.
constexpr double kFirstRadius = 6;
constexpr double kLastRadius = 26;
constexpr double kWidth = 3;

}  // namespace

bool showing(const ClickMark& mark, double time) { return time >= mark.start && time < mark.start + kSeconds; }

void draw(QImage& image, const std::vector<ClickMark>& marks, double time, double scale) {
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(Qt::NoBrush);
  for (const ClickMark& mark : marks) {
    if (!showing(mark, time)) continue;
    const double progress = (time - mark.start) / kSeconds;
    const double radius = (kFirstRadius + (kLastRadius - kFirstRadius) * progress) * scale;
    // A dark edge under the colour keeps the ring visible on light and dark pictures alike.
    painter.setOpacity(1.0 - 0.6 * progress);
    painter.setPen(QPen(QColor(0, 0, 0, 110), (kWidth + 2) * scale));
    painter.drawEllipse(mark.at, radius, radius);
    painter.setPen(QPen(mark.right ? QColor(30, 144, 255) : QColor(255, 190, 0), kWidth * scale));
    painter.drawEllipse(mark.at, radius, radius);
  }
}

}  // namespace vistrel::ClickRings
