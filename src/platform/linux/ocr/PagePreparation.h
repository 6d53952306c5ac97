#pragma once
// Turns a screen image into the page Tesseract reads best: 8-bit gray, dark
// text on a light ground, small text enlarged. Terminals and dark themes
// draw light text on dark grounds; Tesseract would otherwise read each such
// line twice (as it is and inverted).

#include <QImage>

namespace vistrel::desktop::ocr {

struct PreparedPage {
  QImage gray;          // QImage::Format_Grayscale8
  double scale = 1;     // how many times the image was enlarged
  bool hasInk = false;  // false: a plain area, nothing to read
  int threshold = 0;    // levels of `gray` below it are ink
  int ground = 255;     // the level of `gray` around the text
  bool bitmap = false;  // drawn without smoothing: kept sharp, its dots exactly symmetric
};

PreparedPage preparePage(const QImage& image);

}  // namespace vistrel::desktop::ocr
