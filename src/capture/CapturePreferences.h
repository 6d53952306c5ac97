#pragma once
// Typed access to the capture settings. Every call reads the user defaults
// anew, so a change made in Settings applies to the next capture.

#include <string>

#include "capture/CaptureSettings.h"

namespace vistrel::CapturePreferences {

inline constexpr const char* kSaveDirectoryKey = "vistrel.saveDirectory";
inline constexpr const char* kQualityKey = "vistrel.capture.quality";
inline constexpr const char* kLegacyDownscaleKey = "vistrel.capture.downscale";  // only read
inline constexpr const char* kSaveFormatKey = "vistrel.capture.saveFormat";
inline constexpr const char* kWindowBackgroundKey = "vistrel.capture.windowBackground";
inline constexpr const char* kScrollSpeedKey = "vistrel.capture.scrollSpeed";
inline constexpr const char* kCopyKey = "vistrel.capture.copy";
inline constexpr const char* kSaveKey = "vistrel.capture.save";
inline constexpr const char* kShowKey = "vistrel.capture.show";

// An unknown or absent value reads as wallpaper.
WindowBackground windowBackground();
void setWindowBackground(WindowBackground background);

// "auto" reads as automatic; anything else, absent included, as png.
SaveFormat saveFormat();

// A known raw value wins; else a true legacy downscale switch means medium;
// else best.
CaptureQuality quality();
void setQuality(CaptureQuality quality);

// 0…1; 0.5 when absent.
double scrollingSpeed();

// The defaults' Boolean reading of whatever the key holds (a value that has
// no Boolean reading is false); `fallback` when the key is absent.
bool boolValue(const std::string& key, bool fallback);

}  // namespace vistrel::CapturePreferences
