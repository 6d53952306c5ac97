#pragma once
// Turns the editor's document into pixels: burn the items into the picture
// at full resolution, frame a picture with a backdrop, cut a rectangle out,
// read one pixel. Stateless; all geometry in picture pixels (top-left origin).

#include <QColor>
#include <QImage>

#include <optional>
#include <utility>
#include <vector>

#include "editor/EditorVocabulary.h"
#include "editor/MarkupItem.h"

class QPainterPath;

namespace vistrel::MarkupRenderer {

// The picture with every item drawn over it in list order; area effects
// (blur, blurStroke, pixelate) work on what lies under them at that moment.
// An empty list returns the picture itself.
QImage burn(const std::vector<MarkupItem>& items, const QImage& picture);

// Draws one item over `surface` (premultiplied ARGB), as burn does. For a
// view that keeps the committed items burned and draws only the item in
// progress over them.
void draw(const MarkupItem& item, QImage& surface);

// The picture framed by the backdrop; `off` returns it unchanged.
QImage present(const QImage& picture, BackdropStyle backdrop);

// The part of the picture under `rect` (made non-negative, clipped, origin
// rounded down and far edges up), or nothing when not over 4 pixels each way.
std::optional<QImage> crop(const QImage& picture, const Rect& rect);

// The colour of the pixel at the point rounded down; nothing outside.
std::optional<MarkupColor> sample(const QImage& picture, Point point);

// The backdrop's two gradient colours (first at the top edge, second at the
// bottom, for preview and export alike).
std::pair<QColor, QColor> backdropColors(BackdropStyle backdrop);

}  // namespace vistrel::MarkupRenderer

namespace vistrel::MarkupPath {

// Appends the smoothed path through `points` to `path`: nothing for none,
// a straight segment for two, quadratic curves through the midpoints of the
// inner points for more.
void add(const std::vector<Point>& points, QPainterPath& path);

}  // namespace vistrel::MarkupPath
