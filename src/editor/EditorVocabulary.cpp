#include "editor/EditorVocabulary.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

namespace vistrel {

namespace {

struct ToolEntry {
  EditorTool value;
  std::string_view raw;
  std::string_view symbol;
  std::string_view help;
  char key;  // 0: none
};

constexpr std::array<ToolEntry, 12> kTools{{
    {EditorTool::arrow, "arrow", "arrow.up.right", "Arrow (A) · Shift locks angle", 'A'},
    {EditorTool::line, "line", "line.diagonal", "Line (L) · Shift locks angle", 'L'},
    {EditorTool::text, "text", "character.textbox", "Text (T)", 'T'},
    {EditorTool::rectangle, "rectangle", "rectangle", "Rectangle (R)", 'R'},
    {EditorTool::oval, "oval", "circle", "Oval (O)", 'O'},
    {EditorTool::step, "step", "1.circle", "Counter (C)", 'C'},
    {EditorTool::highlight, "highlight", "highlighter", "Highlighter (H)", 'H'},
    {EditorTool::pen, "pen", "pencil.tip", "Freehand (D)", 'D'},
    {EditorTool::blur, "blur", "drop.halffull", "Blur (B)", 'B'},
    {EditorTool::pixelate, "pixelate", "square.grid.3x3.fill", "Pixelate", 0},
    {EditorTool::crop, "crop", "crop", "Crop (V) · drag, then Enter", 'V'},
    {EditorTool::pick, "pick", "eyedropper", "Color pick", 0},
}};

struct CounterEntry {
  CounterSize value;
  std::string_view raw;
  std::string_view label;
};

constexpr std::array<CounterEntry, 3> kCounters{{
    {CounterSize::small, "small", "Small"},
    {CounterSize::medium, "medium", "Medium"},
    {CounterSize::large, "large", "Large"},
}};

constexpr std::array<std::string_view, 4> kBackdropLabels{"Off", "Light", "Dark", "Gradient"};

const ToolEntry& entry(EditorTool tool) { return kTools[std::size_t(tool)]; }

}  // namespace

namespace EditorTools {

const std::array<EditorTool, 12>& allCases() {
  static const std::array<EditorTool, 12> cases = [] {
    std::array<EditorTool, 12> all{};
    for (std::size_t i = 0; i < kTools.size(); ++i) all[i] = kTools[i].value;
    return all;
  }();
  return cases;
}

std::string_view rawValue(EditorTool tool) { return entry(tool).raw; }

std::optional<EditorTool> fromRaw(std::string_view raw) {
  for (const ToolEntry& e : kTools)
    if (e.raw == raw) return e.value;
  return std::nullopt;
}

std::string_view symbolName(EditorTool tool) { return entry(tool).symbol; }

std::string_view helpText(EditorTool tool) { return entry(tool).help; }

std::optional<char> key(EditorTool tool) {
  const char k = entry(tool).key;
  return k ? std::optional<char>(k) : std::nullopt;
}

std::optional<EditorTool> forKey(char letter) {
  const char upper = char(std::toupper(static_cast<unsigned char>(letter)));
  for (const ToolEntry& e : kTools)
    if (e.key && e.key == upper) return e.value;
  return std::nullopt;
}

std::string toolbarHelpText(EditorTool tool, CounterSize size, BlurStyle style) {
  if (tool == EditorTool::step) return "Counter (C) · " + std::string(CounterSizes::label(size));
  if (tool == EditorTool::blur) return "Blur (B) · " + std::string(BlurStyles::label(style));
  return std::string(helpText(tool));
}

}  // namespace EditorTools

namespace CounterSizes {

const std::array<CounterSize, 3>& allCases() {
  static constexpr std::array<CounterSize, 3> cases{CounterSize::small, CounterSize::medium, CounterSize::large};
  return cases;
}

std::string_view rawValue(CounterSize size) { return kCounters[std::size_t(size)].raw; }

std::optional<CounterSize> fromRaw(std::string_view raw) {
  for (const CounterEntry& e : kCounters)
    if (e.raw == raw) return e.value;
  return std::nullopt;
}

std::string_view label(CounterSize size) { return kCounters[std::size_t(size)].label; }

}  // namespace CounterSizes

namespace BlurStyles {

std::string_view label(BlurStyle style) { return style == BlurStyle::pen ? "Pen" : "Box"; }

std::string_view note(BlurStyle style) { return style == BlurStyle::pen ? "Draw to blur" : "Drag a rectangle"; }

}  // namespace BlurStyles

namespace BackdropStyles {

const std::array<BackdropStyle, 4>& allCases() {
  static constexpr std::array<BackdropStyle, 4> cases{BackdropStyle::off, BackdropStyle::light, BackdropStyle::dark,
                                                      BackdropStyle::gradient};
  return cases;
}

int rawValue(BackdropStyle style) { return int(style); }

std::optional<BackdropStyle> fromRaw(int raw) {
  if (raw < 0 || raw > 3) return std::nullopt;
  return BackdropStyle(raw);
}

std::string_view label(BackdropStyle style) { return kBackdropLabels[std::size_t(style)]; }

BackdropStyle next(BackdropStyle style) { return BackdropStyle((int(style) + 1) % 4); }

double padding(double width, double height) { return std::max(std::min(width, height) * 0.07, 72.0); }

double radius(double width, double height) { return std::max(std::min(width, height) * 0.02, 18.0); }

}  // namespace BackdropStyles

}  // namespace vistrel
