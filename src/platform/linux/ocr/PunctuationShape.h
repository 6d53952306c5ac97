#pragma once
// A second look at the recogniser's dots and ticks. Bitmap terminal fonts
// draw a period as a small cross or square reaching below the baseline,
// where the network expects a comma's tail, and set a colon's dots so close
// to their neighbours that it reads them as '3' or 's'; monospaced fonts'
// straight quotes come back as typographic ones. The ink settles it: a point
// or a straight tick is mirror-symmetric, a comma's or a typographic quote's
// tail is not, and two small marks of a size stacked alone in one symbol are
// a colon or a semicolon, whatever was read.

#include <QImage>
#include <QRect>

#include <optional>
#include <string>
#include <string_view>

namespace vistrel::desktop::ocr {

// What the ink of one recognised symbol says it is, when that differs from
// `read`: "." and "," for a lone point or tail read as the other, ":" or ";"
// for a point above a point or a tail, "'" and "\"" for straight ticks read
// as typographic quotes; nothing when the shapes are not that plain. `box`
// is the symbol's box in `gray` (8-bit, levels below `threshold` are ink),
// `lineHeight` the height of its line's ink. Tails are told only on `bitmap`
// pages, drawn without smoothing, where every point is exactly symmetric:
// the threshold cuts antialiased points into shapes as lopsided as commas.
std::optional<std::string> punctuationByShape(const QImage& gray, int threshold, bool bitmap, QRect box,
                                              int lineHeight, std::string_view read);

}  // namespace vistrel::desktop::ocr
