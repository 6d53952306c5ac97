#include <gtest/gtest.h>

#include <QImage>

#include <optional>
#include <string>
#include <vector>

#include "platform/linux/ocr/PunctuationShape.h"

namespace vistrel::desktop::ocr {
namespace {

// A symbol drawn as xterm's 6x13 draws it, '#' ink on a white ground.
QImage glyph(const std::vector<std::string>& rows) {
  QImage image(int(rows[0].size()), int(rows.size()), QImage::Format_Grayscale8);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) image.scanLine(y)[x] = rows[size_t(y)][size_t(x)] == '#' ? 0 : 255;
  return image;
}

// `clip` columns of the glyph left out of the symbol's box, as the recogniser's boxes may.
std::optional<std::string> shapeOf(const std::vector<std::string>& rows, const char* read, bool bitmap = true,
                                   int clip = 0) {
  QImage image = glyph(rows);
  return punctuationByShape(image, 128, bitmap, image.rect().adjusted(clip, 0, 0, 0), 13, read);
}

// Points (mirror-symmetric) and tails decide between '.' ',' ':' ';' whatever
// the network read, straight ticks between straight and typographic quotes;
// other shapes, and right readings, are left alone. Tails count on bitmap
// pages only.
TEST(PunctuationShape, DotsAreToldFromTails) {
  const std::vector<std::string> point = {".#.", "###", ".#."};
  const std::vector<std::string> comma = {".##", ".#.", "#.."};
  const std::vector<std::string> colon = {".#.", "###", ".#.", "...", "...", ".#.", "###", ".#."};
  const std::vector<std::string> semicolon = {".#.", "###", ".#.", "...", "...", ".##", ".#.", "#.."};
  EXPECT_EQ(shapeOf(point, ","), ".");
  EXPECT_EQ(shapeOf(colon, "3"), ":");
  EXPECT_EQ(shapeOf(colon, ";"), ":");
  EXPECT_EQ(shapeOf(semicolon, "s"), ";");
  EXPECT_EQ(shapeOf(semicolon, ":"), ";");
  EXPECT_EQ(shapeOf(comma, "."), ",");
  EXPECT_EQ(shapeOf(comma, ".", false), std::nullopt);
  EXPECT_EQ(shapeOf(colon, "3", false), ":");
  const std::vector<std::string> tick = {"#", "#", "#", "#"};
  EXPECT_EQ(shapeOf(tick, "‘"), "'");
  EXPECT_EQ(shapeOf({"#.#", "#.#", "#.#", "#.#"}, "”"), "\"");

  EXPECT_EQ(shapeOf(point, "."), std::nullopt);
  EXPECT_EQ(shapeOf(point, ".", true, 1), std::nullopt);
  EXPECT_EQ(shapeOf(comma, ","), std::nullopt);
  EXPECT_EQ(shapeOf(colon, ":"), std::nullopt);
  EXPECT_EQ(shapeOf({"..#", ".#.", "##.", "##."}, "‘"), std::nullopt);
  // A point above a stem is an i; a round letter is no point, however symmetric.
  EXPECT_EQ(shapeOf({".#.", "...", "##.", ".#.", ".#.", ".#.", ".#.", ".#.", "###"}, "i"), std::nullopt);
  EXPECT_EQ(shapeOf({"..#..", ".....", "#####", "#####", "#####", "#####"}, "i"), std::nullopt);
  EXPECT_EQ(shapeOf({".###.", "#...#", "#...#", "#...#", "#...#", ".###."}, ","), std::nullopt);
}

}  // namespace
}  // namespace vistrel::desktop::ocr
