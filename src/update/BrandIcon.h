#pragma once
// The program's own images: the status item's template image (the brand
// glyph with its update badge and local-build mark), the recording variant,
// and the brand mark in colour. Images are square, `side` points wide, drawn
// at device pixel ratio 2 so that they stay crisp on dense screens.

#include <QImage>
#include <QString>

namespace vistrel {

enum class UpdateBadge { none, optional, required };

namespace BrandIcon {

// The tray icon size the images are drawn for unless told otherwise.
inline constexpr double kDefaultSide = 22;
inline constexpr double kDevicePixelRatio = 2;

// A template image: black on transparent, to be shown as a mask that follows the tray's theme.
QImage menuBarImage(UpdateBadge updateBadge, bool localBuild, double side = kDefaultSide);
// Not a template: carries the red recording dot.
QImage menuBarRecordingImage(double side = kDefaultSide);
// The brand mark in colour, 48 x 48 points, from the program's resources
// (":/Brand"); a null image when it cannot be read.
QImage colorMarkImage();
// The brand image in `directory`: "VistrelMark.svg", else "VistrelAppIcon.jpg"
// (a name ending in "icon" is a raster image), sized 48 x 48 points.
QImage brandImage(const QString& directory);

}  // namespace BrandIcon

}  // namespace vistrel
