#pragma once
// The vocabularies of the capture settings. Raw values are what is stored;
// declaration order is the order the Settings window lists them.

#include <array>
#include <optional>
#include <string_view>

namespace vistrel {

// How many pixels a capture keeps, and how hard a JPEG of it is compressed.
enum class CaptureQuality { best, high, medium, low };

// The format of saved screenshots.
enum class SaveFormat { png, automatic };

// What surrounds a captured window.
enum class WindowBackground { wallpaper, transparent, solid, trimShadow };

namespace CaptureQualities {
const std::array<CaptureQuality, 4>& allCases();
std::string_view rawValue(CaptureQuality quality);
std::optional<CaptureQuality> fromRaw(std::string_view raw);  // exact, case-sensitive
std::string_view settingsLabel(CaptureQuality quality);
std::string_view description(CaptureQuality quality);
// The share of the width and of the height a capture keeps (1 for best).
double sizeFraction(CaptureQuality quality);
// The lossy-compression quality of a JPEG, 0…1.
double jpegQuality(CaptureQuality quality);
}  // namespace CaptureQualities

// `automatic` stands for the raw value "auto" (a C++ keyword).
namespace SaveFormats {
const std::array<SaveFormat, 2>& allCases();
std::string_view rawValue(SaveFormat format);
std::optional<SaveFormat> fromRaw(std::string_view raw);  // exact, case-sensitive
std::string_view settingsLabel(SaveFormat format);
// Appended after the quality's description; begins with a space.
std::string_view description(SaveFormat format);
}  // namespace SaveFormats

namespace WindowBackgrounds {
const std::array<WindowBackground, 4>& allCases();
std::string_view rawValue(WindowBackground background);
std::optional<WindowBackground> fromRaw(std::string_view raw);  // exact, case-sensitive
std::string_view settingsLabel(WindowBackground background);
std::string_view description(WindowBackground background);
}  // namespace WindowBackgrounds

}  // namespace vistrel
