#pragma once
// Pure image functions that join the frames of a scrolling capture into one
// tall image. Every comparison reads colour channels only (alpha is ignored)
// and samples a sparse grid of columns; results are RGBA premultiplied images.

#include <QImage>

#include <cstdint>
#include <optional>
#include <vector>

namespace vistrel::ImageStitcher {

// The image as 8-bit RGBA, premultiplied alpha last, rows of 4 x width bytes, row 0 the top row; none when it cannot be rendered.
std::optional<std::vector<std::uint8_t>> sample(const QImage& image);

// Mean absolute difference per colour channel (0...255) between `rows` rows of
// a from y and of b from y2, over sampled columns; 999 when nothing compared.
int rowDifference(const QImage& a, int y, const QImage& b, int y2, int rows);

// How many top rows of next repeat the bottom of previous: the overlap from
// 12 % of the shorter height up to all its rows but one whose rows match best
// (the larger one among equal matches), 0 for images under 21 rows, and 20 %
// of the shorter height when no overlap matches.
int overlapRows(const QImage& previous, const QImage& next);

// previous with the rows of next below its top skippingTop rows (at least one
// row of next is kept); none when the result cannot be made.
std::optional<QImage> append(const QImage& previous, const QImage& next, int skippingTop);

// All images joined top to bottom with their overlaps removed; none for an
// empty list. Cost is linear in the number of images.
std::optional<QImage> vertical(const std::vector<QImage>& images);

// Whether next shows the same content as last, so the page did not move.
// Compares rows spread over the whole frame, so blank bands in the middle of
// a moved page do not pass for an unmoved one.
bool unchanged(const QImage& last, const QImage& next);

}  // namespace vistrel::ImageStitcher
