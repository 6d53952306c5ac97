#include "platform/linux/ocr/PunctuationShape.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace vistrel::desktop::ocr {

namespace {

// A point, a tail or a tick is at most this share of its line's height (the
// height of its ink): xterm's 6x13 dots are a quarter of a line, DejaVu Sans
// Mono's a fifth, but xterm's 6x10 and 8x13 draw theirs up to 0.4 of a line
// without descenders.
constexpr double kMarkOfLine = 0.45;
// A point is about as wide as high...
constexpr double kPointAspect = 1.5;
// ...and its mirror image differs from it in at most this share of its ink.
// Bitmap points (squares, crosses, diamonds) differ in none, bitmap commas in
// 0.25-0.6; antialiased points, cut by the threshold, in up to 0.4.
constexpr double kPointAsymmetry = 0.15;

struct Component {
  int label = 0;
  QRect bounds;  // in the area's coordinates
  int pixels = 0;
};

// The 8-connected components of ink that reach into `box`, followed out to
// the edges of `area` (the recogniser's boxes may clip a mark by a column),
// labelled in `labels` (area-sized, row by row).
std::vector<Component> componentsReaching(const QImage& gray, int threshold, QRect box, QRect area,
                                          std::vector<int>& labels) {
  const int width = area.width(), height = area.height();
  labels.assign(size_t(width) * size_t(height), 0);
  auto ink = [&](int x, int y) { return gray.constScanLine(area.top() + y)[area.left() + x] < threshold; };
  const QRect seeds = box.translated(-area.topLeft());
  std::vector<Component> components;
  std::vector<std::pair<int, int>> stack;
  for (int y0 = seeds.top(); y0 <= seeds.bottom(); ++y0) {
    for (int x0 = seeds.left(); x0 <= seeds.right(); ++x0) {
      if (!ink(x0, y0) || labels[size_t(y0 * width + x0)]) continue;
      Component component{int(components.size()) + 1, QRect(x0, y0, 1, 1), 0};
      labels[size_t(y0 * width + x0)] = component.label;
      stack.assign(1, {x0, y0});
      while (!stack.empty()) {
        auto [x, y] = stack.back();
        stack.pop_back();
        ++component.pixels;
        component.bounds |= QRect(x, y, 1, 1);
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx, ny = y + dy;
            if (nx < 0 || ny < 0 || nx >= width || ny >= height) continue;
            if (!ink(nx, ny) || labels[size_t(ny * width + nx)]) continue;
            labels[size_t(ny * width + nx)] = component.label;
            stack.emplace_back(nx, ny);
          }
        }
      }
      components.push_back(component);
    }
  }
  // Top first: a component found in a lower row may reach higher.
  std::sort(components.begin(), components.end(),
            [](const Component& a, const Component& b) { return a.bounds.top() < b.bounds.top(); });
  return components;
}

// The share of the component's ink that its left-right mirror image lacks.
double asymmetry(const Component& component, const std::vector<int>& labels, int width) {
  const QRect& b = component.bounds;
  int differing = 0;
  for (int y = b.top(); y <= b.bottom(); ++y) {
    for (int x = b.left(); x <= b.right(); ++x) {
      const bool here = labels[size_t(y * width + x)] == component.label;
      const bool mirrored = labels[size_t(y * width + b.left() + b.right() - x)] == component.label;
      differing += here && !mirrored ? 1 : 0;
    }
  }
  return double(differing) / double(component.pixels);
}

}  // namespace

std::optional<std::string> punctuationByShape(const QImage& gray, int threshold, bool bitmap, QRect box,
                                              int lineHeight, std::string_view read) {
  box &= gray.rect();
  if (box.isEmpty() || lineHeight <= 0) return std::nullopt;
  // Marks larger than this are no points, tails or ticks: no need to follow them further.
  const int reach = int(std::ceil(kMarkOfLine * lineHeight));
  const QRect area = box.adjusted(-reach, -reach, reach, reach) & gray.rect();
  std::vector<int> labels;
  const std::vector<Component> components = componentsReaching(gray, threshold, box, area, labels);
  auto asymmetryOf = [&](const Component& c) { return asymmetry(c, labels, area.width()); };
  const double markSize = kMarkOfLine * lineHeight;
  auto small = [markSize](const Component& c) { return c.bounds.width() <= markSize && c.bounds.height() <= markSize; };
  auto isPoint = [&](const Component& c) {
    const int longer = std::max(c.bounds.width(), c.bounds.height());
    const int shorter = std::min(c.bounds.width(), c.bounds.height());
    return small(c) && longer <= kPointAspect * shorter && asymmetryOf(c) <= kPointAsymmetry;
  };
  auto isTail = [&](const Component& c) { return bitmap && small(c) && asymmetryOf(c) > kPointAsymmetry; };
  // A straight quote's tick is as symmetric as a point, and taller; a typographic quote's is a tail.
  auto isTick = [&](const Component& c) {
    return small(c) && c.bounds.width() <= c.bounds.height() && asymmetryOf(c) <= kPointAsymmetry;
  };

  std::string shape;
  if (components.size() == 1 && read == "," && isPoint(components[0])) shape = ".";
  if (components.size() == 1 && read == "." && isTail(components[0])) shape = ",";
  if (components.size() == 2) {
    const Component &upper = components[0], &lower = components[1];
    const bool stacked = upper.bounds.bottom() < lower.bounds.top() && upper.bounds.left() <= lower.bounds.right() &&
                         lower.bounds.left() <= upper.bounds.right();
    // A colon's or a semicolon's marks are of a size; an i's stem is not its dot's.
    const bool alike =
        lower.bounds.width() <= 2 * upper.bounds.width() && lower.bounds.height() <= 2 * upper.bounds.height();
    if (stacked && alike && isPoint(upper)) shape = isPoint(lower) ? ":" : isTail(lower) ? ";" : "";
  }
  if (components.size() == 1 && (read == "‘" || read == "’") && isTick(components[0])) shape = "'";
  if (components.size() == 2 && (read == "“" || read == "”")) {
    const bool sideBySide = components[0].bounds.right() < components[1].bounds.left() ||
                            components[1].bounds.right() < components[0].bounds.left();
    if (sideBySide && isTick(components[0]) && isTick(components[1])) shape = "\"";
  }
  if (shape.empty() || shape == read) return std::nullopt;
  return shape;
}

}  // namespace vistrel::desktop::ocr
