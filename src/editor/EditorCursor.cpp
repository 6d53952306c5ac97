#include "editor/EditorCursor.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "editor/EditorIcons.h"

namespace vistrel::EditorCursor {

QCursor makeSymbolCursor(std::string_view name, QPoint hotSpot) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const int scale = std::max(1, int(std::ceil(screen ? screen->devicePixelRatio() : 1.0)));
  const int glyphPixels = 22 * scale;
  QPixmap pixmap(24 * scale, 24 * scale);
  pixmap.fill(Qt::transparent);
  {
    // A cursor has no theme to follow: a dark glyph with a light rim reads on
    // any picture under it.
    const QImage rim = EditorIcons::glyph(name, glyphPixels, QColor(255, 255, 255, 230));
    const QImage ink = EditorIcons::glyph(name, glyphPixels, QColor(20, 20, 20));
    QPainter p(&pixmap);
    for (const QPoint offset : {QPoint(-1, 0), QPoint(1, 0), QPoint(0, -1), QPoint(0, 1)}) {
      p.drawImage(QPoint(scale, scale) + offset * scale, rim);
    }
    p.drawImage(QPoint(scale, scale), ink);
  }
  pixmap.setDevicePixelRatio(scale);
  return QCursor(pixmap, hotSpot.x(), hotSpot.y());
}

const QCursor& highlighter() {
  static const QCursor cursor = makeSymbolCursor("highlighter", QPoint(4, 4));
  return cursor;
}

QCursor forTool(EditorTool tool, bool overCanvas, bool cropPending) {
  if (!overCanvas) return Qt::ArrowCursor;
  switch (tool) {
    case EditorTool::pen:
    case EditorTool::highlight:
      return highlighter();
    case EditorTool::crop:
      return cropPending ? Qt::ArrowCursor : Qt::CrossCursor;
    default:
      return Qt::ArrowCursor;
  }
}

}  // namespace vistrel::EditorCursor
