#pragma once
// The editor's toolbar and status icons, drawn by the program for each
// symbol name the editor uses ("arrow.up.right", "doc.on.doc"...), so they
// look the same on every desktop theme. Glyphs take the palette's button
// text colour; a disabled state takes its disabled colour.

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPalette>
#include <string_view>

namespace vistrel::EditorIcons {

// Logical size of a toolbar glyph, in points.
inline constexpr int kSize = 18;

// Symbol names of the editor's own command buttons (the tools name theirs
// through EditorTools::symbolName).
inline constexpr std::string_view kUndo = "arrow.uturn.backward";
inline constexpr std::string_view kCopy = "doc.on.doc";
inline constexpr std::string_view kSave = "square.and.arrow.down";
inline constexpr std::string_view kPin = "pin";
inline constexpr std::string_view kBackdrop = "rectangle.inset.filled";
inline constexpr std::string_view kZoomOut = "minus.magnifyingglass";
inline constexpr std::string_view kZoomIn = "plus.magnifyingglass";

// The glyph for `symbol` at kSize points in the palette's colours; an
// unknown name draws a dot.
QIcon icon(std::string_view symbol, const QPalette& palette);

// The glyph alone, `pixels` square, in `color` on transparent.
QImage glyph(std::string_view symbol, int pixels, const QColor& color);

// A filled disc of the ink colour, `radius` points, with a thin ring in the
// palette's text colour, so white and black inks stay visible on either theme.
QIcon inkIcon(const QColor& ink, const QPalette& palette, double radius = 7);

}  // namespace vistrel::EditorIcons
