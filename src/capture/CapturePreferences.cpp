#include "capture/CapturePreferences.h"

#include <algorithm>
#include <cmath>

#include "platform/Platform.h"

namespace vistrel::CapturePreferences {

namespace {

platform::UserDefaults& defaults() { return platform::current().defaults(); }

}  // namespace

WindowBackground windowBackground() {
  const auto raw = defaults().string(kWindowBackgroundKey);
  const auto background = raw ? WindowBackgrounds::fromRaw(*raw) : std::nullopt;
  return background.value_or(WindowBackground::wallpaper);
}

void setWindowBackground(WindowBackground background) {
  defaults().setString(kWindowBackgroundKey, std::string(WindowBackgrounds::rawValue(background)));
}

SaveFormat saveFormat() {
  const auto raw = defaults().string(kSaveFormatKey);
  return raw == "auto" ? SaveFormat::automatic : SaveFormat::png;
}

CaptureQuality quality() {
  if (const auto raw = defaults().string(kQualityKey))
    if (const auto known = CaptureQualities::fromRaw(*raw)) return *known;
  if (boolValue(kLegacyDownscaleKey, false)) return CaptureQuality::medium;
  return CaptureQuality::best;
}

void setQuality(CaptureQuality quality) {
  defaults().setString(kQualityKey, std::string(CaptureQualities::rawValue(quality)));
}

double scrollingSpeed() {
  if (!defaults().contains(kScrollSpeedKey)) return 0.5;
  // A value that reads as no number counts as 0, like any unreadable number.
  const double stored = defaults().real(kScrollSpeedKey).value_or(0.0);
  if (std::isnan(stored)) return 0.0;
  return std::clamp(stored, 0.0, 1.0);
}

bool boolValue(const std::string& key, bool fallback) {
  if (!defaults().contains(key)) return fallback;
  return defaults().boolean(key).value_or(false);
}

}  // namespace vistrel::CapturePreferences
