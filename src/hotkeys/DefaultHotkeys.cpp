#include "hotkeys/DefaultHotkeys.h"

namespace vistrel::DefaultHotkeys {

const HotkeyBindings& bindings() {
  using M = GlobalHotkey::Modifier;
  static const HotkeyBindings table = [] {
    const std::vector<M> controlOption{M::control, M::option};
    const std::vector<M> controlOptionShift{M::control, M::option, M::shift};
    const std::vector<M> controlOptionCommand{M::control, M::option, M::command};
    const std::vector<M> shiftCommand{M::shift, M::command};
    const auto window = [](WindowSnap s) { return UtilityAction::window(s); };
    const auto capture = [](CaptureMode m) { return UtilityAction::capture(m); };
    const auto record = [](RecordMode m) { return UtilityAction::record(m); };
    return HotkeyBindings{
        {window(WindowSnap::leftHalf), {123, controlOption}},
        {window(WindowSnap::rightHalf), {124, controlOption}},
        {window(WindowSnap::topHalf), {126, controlOption}},
        {window(WindowSnap::bottomHalf), {125, controlOption}},
        {window(WindowSnap::topLeft), {32, controlOption, "u"}},
        {window(WindowSnap::topRight), {34, controlOption, "i"}},
        {window(WindowSnap::bottomLeft), {38, controlOption, "j"}},
        {window(WindowSnap::bottomRight), {40, controlOption, "k"}},
        {window(WindowSnap::firstThird), {2, controlOption, "d"}},
        {window(WindowSnap::centerThird), {3, controlOption, "f"}},
        {window(WindowSnap::lastThird), {5, controlOption, "g"}},
        {window(WindowSnap::firstTwoThirds), {14, controlOption, "e"}},
        {window(WindowSnap::lastTwoThirds), {17, controlOption, "t"}},
        {window(WindowSnap::maximize), {36, controlOption}},
        {window(WindowSnap::almostMaximize), {36, controlOptionShift}},
        {window(WindowSnap::maximizeHeight), {126, controlOptionShift}},
        {window(WindowSnap::smaller), {27, controlOption, "-"}},
        {window(WindowSnap::larger), {24, controlOption, "="}},
        {window(WindowSnap::center), {8, controlOption, "c"}},
        {window(WindowSnap::restore), {51, controlOption}},
        {window(WindowSnap::nextDisplay), {124, controlOptionCommand}},
        {window(WindowSnap::previousDisplay), {123, controlOptionCommand}},
        {capture(CaptureMode::screen), {18, shiftCommand, "1"}},
        {capture(CaptureMode::window), {13, shiftCommand, "w"}},
        {capture(CaptureMode::area), {19, shiftCommand, "2"}},
        {capture(CaptureMode::recognizeTextOrQR), {31, controlOptionCommand, "o"}},
        {capture(CaptureMode::scrolling), {20, shiftCommand, "3"}},
        {record(RecordMode::screen), {15, controlOptionCommand, "r"}},
        {record(RecordMode::area), {21, controlOptionCommand, "4"}},
    };
  }();
  return table;
}

}  // namespace vistrel::DefaultHotkeys
