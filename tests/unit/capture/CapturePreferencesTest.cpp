#include <gtest/gtest.h>

#include "capture/CapturePreferences.h"
#include "platform/sim/SimPlatform.h"

namespace vistrel {
namespace {

namespace Prefs = CapturePreferences;

class CapturePreferencesTest : public ::testing::Test {
 protected:
  platform::UserDefaults& defaults() { return sim->defaults(); }
  sim::ScopedSimPlatform sim;
};

// Every vocabulary reads back from its raw value, and the raw values and table values are the stored ones.
TEST_F(CapturePreferencesTest, VocabulariesRoundTrip) {
  for (CaptureQuality q : CaptureQualities::allCases())
    EXPECT_EQ(CaptureQualities::fromRaw(CaptureQualities::rawValue(q)), q);
  for (SaveFormat f : SaveFormats::allCases()) EXPECT_EQ(SaveFormats::fromRaw(SaveFormats::rawValue(f)), f);
  for (WindowBackground b : WindowBackgrounds::allCases())
    EXPECT_EQ(WindowBackgrounds::fromRaw(WindowBackgrounds::rawValue(b)), b);
  EXPECT_EQ(SaveFormats::rawValue(SaveFormat::automatic), "auto");
  EXPECT_EQ(WindowBackgrounds::rawValue(WindowBackground::trimShadow), "trimShadow");
  EXPECT_EQ(CaptureQualities::fromRaw("Best"), std::nullopt);
  EXPECT_EQ(CaptureQualities::jpegQuality(CaptureQuality::low), 0.55);
  EXPECT_EQ(CaptureQualities::sizeFraction(CaptureQuality::high), 0.75);
}

// A known quality wins; an unknown or absent one falls back to the legacy switch (medium when true), else best.
TEST_F(CapturePreferencesTest, QualityWithLegacyDownscale) {
  EXPECT_EQ(Prefs::quality(), CaptureQuality::best);
  defaults().setString(Prefs::kQualityKey, "ultra");
  EXPECT_EQ(Prefs::quality(), CaptureQuality::best);
  defaults().setBool(Prefs::kLegacyDownscaleKey, true);
  EXPECT_EQ(Prefs::quality(), CaptureQuality::medium);
  defaults().setString(Prefs::kLegacyDownscaleKey, "YES");
  EXPECT_EQ(Prefs::quality(), CaptureQuality::medium);
  defaults().setInteger(Prefs::kLegacyDownscaleKey, 0);
  EXPECT_EQ(Prefs::quality(), CaptureQuality::best);
  defaults().setBool(Prefs::kLegacyDownscaleKey, true);
  defaults().setInteger(Prefs::kQualityKey, 3);  // not a string: unknown
  EXPECT_EQ(Prefs::quality(), CaptureQuality::medium);
  Prefs::setQuality(CaptureQuality::low);
  EXPECT_EQ(defaults().string(Prefs::kQualityKey), "low");
  EXPECT_EQ(Prefs::quality(), CaptureQuality::low);
}

// The scrolling speed is 0.5 when absent and is clamped to 0…1; numeric text counts, other values read as 0.
TEST_F(CapturePreferencesTest, ScrollingSpeedClamped) {
  EXPECT_EQ(Prefs::scrollingSpeed(), 0.5);
  defaults().setDouble(Prefs::kScrollSpeedKey, 3);
  EXPECT_EQ(Prefs::scrollingSpeed(), 1.0);
  defaults().setDouble(Prefs::kScrollSpeedKey, -2);
  EXPECT_EQ(Prefs::scrollingSpeed(), 0.0);
  defaults().setString(Prefs::kScrollSpeedKey, "0.25");
  EXPECT_EQ(Prefs::scrollingSpeed(), 0.25);
  defaults().setString(Prefs::kScrollSpeedKey, "fast");
  EXPECT_EQ(Prefs::scrollingSpeed(), 0.0);
}

// Only "auto" is automatic; unknown backgrounds are the wallpaper; the setter stores the raw value.
TEST_F(CapturePreferencesTest, FormatAndBackground) {
  EXPECT_EQ(Prefs::saveFormat(), SaveFormat::png);
  defaults().setString(Prefs::kSaveFormatKey, "auto");
  EXPECT_EQ(Prefs::saveFormat(), SaveFormat::automatic);
  defaults().setString(Prefs::kSaveFormatKey, "AUTO");
  EXPECT_EQ(Prefs::saveFormat(), SaveFormat::png);

  EXPECT_EQ(Prefs::windowBackground(), WindowBackground::wallpaper);
  defaults().setString(Prefs::kWindowBackgroundKey, "shadowless");
  EXPECT_EQ(Prefs::windowBackground(), WindowBackground::wallpaper);
  Prefs::setWindowBackground(WindowBackground::transparent);
  EXPECT_EQ(defaults().string(Prefs::kWindowBackgroundKey), "transparent");
  EXPECT_EQ(Prefs::windowBackground(), WindowBackground::transparent);
}

// A switch reads its default only when absent; any stored value is read as a Boolean, unreadable ones as false.
TEST_F(CapturePreferencesTest, BooleanSwitches) {
  EXPECT_TRUE(Prefs::boolValue(Prefs::kCopyKey, true));
  defaults().setString(Prefs::kCopyKey, "NO");
  EXPECT_FALSE(Prefs::boolValue(Prefs::kCopyKey, true));
  defaults().setInteger(Prefs::kCopyKey, 2);
  EXPECT_TRUE(Prefs::boolValue(Prefs::kCopyKey, false));
  defaults().setData(Prefs::kCopyKey, QByteArray("x"));
  EXPECT_FALSE(Prefs::boolValue(Prefs::kCopyKey, true));
}

}  // namespace
}  // namespace vistrel
