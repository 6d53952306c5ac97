#pragma once
// The item a drag is making, drawn over the canvas in view coordinates while
// the pointer moves. The committed items stay burned into the cached picture;
// only this one item is painted per pointer move, so drawing stays fluid on
// large shots. It mirrors the item that the release would commit: strokes at
// the item's width in the view but at least 1.5 points, arrow heads of
// max(4.5 x width, 12) points, the blur brush at 55 % opacity and blurred or
// pixelated areas as a thin dashed outline.

#include <QRectF>
#include <QSize>

#include "editor/MarkupItem.h"

class QPainter;

namespace vistrel::EditorLivePreview {

// `picture`: where the picture lies in the painter's coordinates;
// `pixelSize`: the picture's size in pixels, the item's coordinate space.
void paint(QPainter& painter, const MarkupItem& item, const QRectF& picture, QSize pixelSize);

// Where `paint` may touch, so a pointer move repaints only that part.
QRectF bounds(const MarkupItem& item, const QRectF& picture, QSize pixelSize);

}  // namespace vistrel::EditorLivePreview
