#pragma once
// The menu's images: freedesktop theme icons where one fits a symbol, and
// glyphs the program draws for the rest. Every snap's glyph shows the exact
// region that snap gives a window, on a small screen outline.
//
// All results are template images: 16x16 points (with 2x pixels), one colour
// (the palette's text colour) with only their shape in the alpha channel,
// marked as masks. Needs the QGuiApplication; main thread only.

#include <QIcon>
#include <QString>

#include <optional>
#include <string_view>
#include <vector>

#include "base/WindowSnap.h"

namespace vistrel::MenuIcons {

inline constexpr int kSize = 16;

// The theme icon names that stand for a symbol name, best first ("-symbolic"
// monochrome variants before the coloured ones); empty where none fits.
std::vector<QString> themeNames(std::string_view symbolName);

// The first of `themeNames(symbolName)` the current icon theme has, as a
// template image; none when the theme has none of them.
std::optional<QIcon> themeIcon(std::string_view symbolName, QString* chosenName = nullptr);

// The drawn glyph of a capture, recording or section symbol; none for names
// the program does not draw.
std::optional<QIcon> drawnSymbol(std::string_view symbolName);

// The drawn glyph of a snap: the region it gives a window on a screen
// outline, or for the snaps without a fixed region (maximizeHeight, larger,
// smaller, center, restore and the display moves) a symbol of what they do.
QIcon snapGlyph(WindowSnap snap);

}  // namespace vistrel::MenuIcons
