#pragma once
// The editor's document: a picture plus an ordered list of markup items drawn
// over it. Item geometry is in picture pixels, origin top-left, y down; items
// never hold view coordinates. Items are immutable once committed.

#include <string>
#include <variant>
#include <vector>

#include "base/Rect.h"

namespace vistrel {

// sRGB components 0…1.
struct MarkupColor {
  double red = 0;
  double green = 0;
  double blue = 0;
  double alpha = 1;
  // "#RRGGBB", each component × 255 truncated; alpha is not part of it.
  std::string hex() const;
  friend bool operator==(const MarkupColor&, const MarkupColor&) = default;
};

namespace Markup {

struct Pen {
  std::vector<Point> points;
  MarkupColor color;
  double width = 0;
  friend bool operator==(const Pen&, const Pen&) = default;
};
struct Highlight {
  std::vector<Point> points;
  MarkupColor color;
  double width = 0;
  friend bool operator==(const Highlight&, const Highlight&) = default;
};
struct Line {
  Point start, end;
  MarkupColor color;
  double width = 0;
  friend bool operator==(const Line&, const Line&) = default;
};
// `end` is the tip.
struct Arrow {
  Point start, end;
  MarkupColor color;
  double width = 0;
  friend bool operator==(const Arrow&, const Arrow&) = default;
};
struct Rectangle {
  Point first, opposite;
  MarkupColor color;
  double width = 0;
  friend bool operator==(const Rectangle&, const Rectangle&) = default;
};
// Inscribed in the rectangle the two corners span.
struct Oval {
  Point first, opposite;
  MarkupColor color;
  double width = 0;
  friend bool operator==(const Oval&, const Oval&) = default;
};
// One line of text; `origin` is its top-left.
struct Text {
  std::string string;
  Point origin;
  MarkupColor color;
  double fontSize = 0;
  friend bool operator==(const Text&, const Text&) = default;
};
// A numbered step counter: a filled disc with the number in white.
struct Step {
  int number = 1;
  Point center;
  MarkupColor color;
  double radius = 0;
  friend bool operator==(const Step&, const Step&) = default;
};
struct Blur {
  Rect rect;
  friend bool operator==(const Blur&, const Blur&) = default;
};
// A blur confined to a brushed path.
struct BlurStroke {
  std::vector<Point> points;
  double width = 0;
  friend bool operator==(const BlurStroke&, const BlurStroke&) = default;
};
struct Pixelate {
  Rect rect;
  friend bool operator==(const Pixelate&, const Pixelate&) = default;
};

}  // namespace Markup

// The eleven cases, in their fixed order.
using MarkupItem = std::variant<Markup::Pen, Markup::Highlight, Markup::Line, Markup::Arrow, Markup::Rectangle,
                                Markup::Oval, Markup::Text, Markup::Step, Markup::Blur, Markup::BlurStroke,
                                Markup::Pixelate>;

}  // namespace vistrel
