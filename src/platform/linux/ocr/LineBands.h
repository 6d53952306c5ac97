#pragma once
// Cuts a prepared page into horizontal bands of whole text lines, so that
// several recognisers can read one page at once. Cuts fall only on rows
// without ink, between lines, so no glyph (ascender, descender, accent, the
// dot of an i) is split between two bands.

#include <QImage>

#include <vector>

namespace vistrel::desktop::ocr {

// Rows [top, bottom) of the page.
struct LineBand {
  int top = 0;
  int bottom = 0;
  friend bool operator==(const LineBand&, const LineBand&) = default;
};

// Bands that tile `gray` (8-bit, dark ink on a light ground; levels below
// `threshold` are ink) from top to bottom, in reading order. A page that is
// not plain lines of text (a picture, a code, a chart taller than a few
// lines) is one band: read whole, as before it was cut. Empty only for a
// null image.
std::vector<LineBand> lineBands(const QImage& gray, int threshold);

}  // namespace vistrel::desktop::ocr
