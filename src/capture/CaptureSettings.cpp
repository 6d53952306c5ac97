#include "capture/CaptureSettings.h"

#include <cstddef>

namespace vistrel {

namespace {

template <typename Case, typename Entry, std::size_t N>
std::optional<Case> lookUp(const std::array<Entry, N>& entries, std::string_view raw) {
  for (const Entry& e : entries)
    if (e.raw == raw) return e.value;
  return std::nullopt;
}

template <typename Case, typename Entry, std::size_t N>
std::array<Case, N> casesOf(const std::array<Entry, N>& entries) {
  std::array<Case, N> cases{};
  for (std::size_t i = 0; i < N; ++i) cases[i] = entries[i].value;
  return cases;
}

struct QualityEntry {
  CaptureQuality value;
  std::string_view raw;
  std::string_view label;
  std::string_view description;
  double fraction;
  double jpeg;
};

constexpr std::array<QualityEntry, 4> kQualities{{
    {CaptureQuality::best, "best", "Best", "Every captured pixel.", 1.0, 0.92},
    {CaptureQuality::high, "high", "High", "Three quarters of the pixels.", 0.75, 0.82},
    {CaptureQuality::medium, "medium", "Medium", "Half the pixels.", 0.5, 0.72},
    {CaptureQuality::low, "low", "Low", "A quarter of the pixels.", 0.25, 0.55},
}};

struct FormatEntry {
  SaveFormat value;
  std::string_view raw;
  std::string_view label;
  std::string_view description;
};

constexpr std::array<FormatEntry, 2> kFormats{{
    {SaveFormat::png, "png", "PNG", " PNG keeps sharp pixels and transparency."},
    {SaveFormat::automatic, "auto", "Automatic", " Automatic uses JPEG only when the image has no transparency."},
}};

struct BackgroundEntry {
  WindowBackground value;
  std::string_view raw;
  std::string_view label;
  std::string_view description;
};

constexpr std::array<BackgroundEntry, 4> kBackgrounds{{
    {WindowBackground::wallpaper, "wallpaper", "Desktop",
     "Shows the desktop behind the window, the way it looks on screen."},
    {WindowBackground::transparent, "transparent", "Clear",
     "Keeps only the window. The area around it stays transparent."},
    {WindowBackground::solid, "solid", "White", "Places the window on a plain white background."},
    {WindowBackground::trimShadow, "trimShadow", "No shadow", "Cuts away the soft shadow around the window."},
}};

const QualityEntry& entry(CaptureQuality q) { return kQualities[std::size_t(q)]; }
const FormatEntry& entry(SaveFormat f) { return kFormats[std::size_t(f)]; }
const BackgroundEntry& entry(WindowBackground b) { return kBackgrounds[std::size_t(b)]; }

}  // namespace

namespace CaptureQualities {
const std::array<CaptureQuality, 4>& allCases() {
  static const auto cases = casesOf<CaptureQuality>(kQualities);
  return cases;
}
std::string_view rawValue(CaptureQuality quality) { return entry(quality).raw; }
std::optional<CaptureQuality> fromRaw(std::string_view raw) { return lookUp<CaptureQuality>(kQualities, raw); }
std::string_view settingsLabel(CaptureQuality quality) { return entry(quality).label; }
std::string_view description(CaptureQuality quality) { return entry(quality).description; }
double sizeFraction(CaptureQuality quality) { return entry(quality).fraction; }
double jpegQuality(CaptureQuality quality) { return entry(quality).jpeg; }
}  // namespace CaptureQualities

namespace SaveFormats {
const std::array<SaveFormat, 2>& allCases() {
  static const auto cases = casesOf<SaveFormat>(kFormats);
  return cases;
}
std::string_view rawValue(SaveFormat format) { return entry(format).raw; }
std::optional<SaveFormat> fromRaw(std::string_view raw) { return lookUp<SaveFormat>(kFormats, raw); }
std::string_view settingsLabel(SaveFormat format) { return entry(format).label; }
std::string_view description(SaveFormat format) { return entry(format).description; }
}  // namespace SaveFormats

namespace WindowBackgrounds {
const std::array<WindowBackground, 4>& allCases() {
  static const auto cases = casesOf<WindowBackground>(kBackgrounds);
  return cases;
}
std::string_view rawValue(WindowBackground background) { return entry(background).raw; }
std::optional<WindowBackground> fromRaw(std::string_view raw) { return lookUp<WindowBackground>(kBackgrounds, raw); }
std::string_view settingsLabel(WindowBackground background) { return entry(background).label; }
std::string_view description(WindowBackground background) { return entry(background).description; }
}  // namespace WindowBackgrounds

}  // namespace vistrel
