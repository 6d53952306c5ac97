#pragma once
// The editor's vocabularies: its tools, the counter sizes, the blur styles
// and the backdrops, with the texts and keys the toolbar and menus show.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace vistrel {

// Toolbar order. The raw value is the case name.
enum class EditorTool { arrow, line, text, rectangle, oval, step, highlight, pen, blur, pixelate, crop, pick };

enum class CounterSize { small, medium, large };

enum class BlurStyle { pen, box };

// Raw values 0…3; frames the exported picture, it is not an item.
enum class BackdropStyle { off = 0, light = 1, dark = 2, gradient = 3 };

namespace EditorTools {
const std::array<EditorTool, 12>& allCases();
std::string_view rawValue(EditorTool tool);
std::optional<EditorTool> fromRaw(std::string_view raw);
// The name of the toolbar button's icon ("arrow.up.right"); the window draws
// the icon for each name.
std::string_view symbolName(EditorTool tool);
// Tooltip, e.g. "Arrow (A) · Shift locks angle".
std::string_view helpText(EditorTool tool);
// The letter that selects the tool without modifiers, upper case; none for
// pixelate and pick.
std::optional<char> key(EditorTool tool);
// The tool whose key is `letter` (either case).
std::optional<EditorTool> forKey(char letter);
// The toolbar's longer tooltip for step and blur, naming the current size or
// style ("Counter (C) · Medium", "Blur (B) · Box"); helpText for the others.
std::string toolbarHelpText(EditorTool tool, CounterSize size, BlurStyle style);
}  // namespace EditorTools

namespace CounterSizes {
const std::array<CounterSize, 3>& allCases();
std::string_view rawValue(CounterSize size);
std::optional<CounterSize> fromRaw(std::string_view raw);
std::string_view label(CounterSize size);  // "Small", "Medium", "Large"
}  // namespace CounterSizes

namespace BlurStyles {
std::string_view label(BlurStyle style);  // "Pen", "Box"
std::string_view note(BlurStyle style);   // "Draw to blur", "Drag a rectangle"
}  // namespace BlurStyles

namespace BackdropStyles {
const std::array<BackdropStyle, 4>& allCases();
int rawValue(BackdropStyle style);
std::optional<BackdropStyle> fromRaw(int raw);
std::string_view label(BackdropStyle style);  // "Off", "Light", "Dark", "Gradient"
// off → light → dark → gradient → off.
BackdropStyle next(BackdropStyle style);
// Margin and corner radius in pixels for a picture of `width` x `height`.
double padding(double width, double height);
double radius(double width, double height);
}  // namespace BackdropStyles

}  // namespace vistrel
