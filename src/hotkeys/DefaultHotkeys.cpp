#include "hotkeys/DefaultHotkeys.h"

#include "base/KeyCodes.h"

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
        {window(WindowSnap::leftHalf), {KeyCode::leftArrow, controlOption}},
        {window(WindowSnap::rightHalf), {KeyCode::rightArrow, controlOption}},
        {window(WindowSnap::topHalf), {KeyCode::upArrow, controlOption}},
        {window(WindowSnap::bottomHalf), {KeyCode::downArrow, controlOption}},
        {window(WindowSnap::topLeft), {32, controlOption, "u"}},
        {window(WindowSnap::topRight), {34, controlOption, "i"}},
        {window(WindowSnap::bottomLeft), {38, controlOption, "j"}},
        {window(WindowSnap::bottomRight), {40, controlOption, "k"}},
        {window(WindowSnap::firstThird), {2, controlOption, "d"}},
        {window(WindowSnap::centerThird), {3, controlOption, "f"}},
        {window(WindowSnap::lastThird), {5, controlOption, "g"}},
        {window(WindowSnap::firstTwoThirds), {14, controlOption, "e"}},
        {window(WindowSnap::lastTwoThirds), {17, controlOption, "t"}},
        {window(WindowSnap::maximize), {KeyCode::returnKey, controlOption}},
        {window(WindowSnap::almostMaximize), {KeyCode::returnKey, controlOptionShift}},
        {window(WindowSnap::maximizeHeight), {KeyCode::upArrow, controlOptionShift}},
        {window(WindowSnap::smaller), {27, controlOption, "-"}},
        {window(WindowSnap::larger), {24, controlOption, "="}},
        {window(WindowSnap::center), {8, controlOption, "c"}},
        {window(WindowSnap::restore), {KeyCode::deleteKey, controlOption}},
        {window(WindowSnap::nextDisplay), {KeyCode::rightArrow, controlOptionCommand}},
        {window(WindowSnap::previousDisplay), {KeyCode::leftArrow, controlOptionCommand}},
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
