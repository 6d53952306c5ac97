#include "platform/x11/XTestInputSynth.h"

#include <xcb/xtest.h>

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/x11/DesktopSpaces.h"
#include "platform/x11/Monitors.h"
#include "platform/x11/ServerSync.h"

namespace vistrel::x11 {

namespace {

constexpr double kSeconds = 1.0;
constexpr std::uint8_t kWheelDown = 5;
constexpr std::uint8_t kWheelUp = 4;
constexpr std::uint8_t kAbsolute = 0;  // motion detail: root coordinates, not a delta

std::int16_t coordinate(double value) {
  return std::int16_t(std::clamp(std::lround(value), long(INT16_MIN), long(INT16_MAX)));
}

}  // namespace

bool XTestInputSynth::ready(Deadline deadline) {
  if (state_ != State::unknown) return state_ == State::ready;
  const xcb_query_extension_reply_t* xtest = extensionData(connection_, &xcb_test_id, deadline);
  if (!xtest) return false;
  state_ = xtest->present ? State::ready : State::missing;
  if (!xtest->present) qInfo("vistrel x11: the X server has no XTest extension; scrolling capture cannot scroll");
  return xtest->present;
}

bool XTestInputSynth::scrollWheel(Point point, int clicks) {
  if (clicks == 0) return true;
  const Deadline deadline = deadlineAfter(kSeconds);
  if (!ready(deadline)) return false;
  auto* raw = connection_.raw();
  const xcb_window_t root = connection_.root();
  auto pointerRequest = connection_.request<xcb_query_pointer_reply_t>(xcb_query_pointer(raw, root));
  const auto monitors = readMonitors(connection_, deadline);
  const auto pointer = pointerRequest.get(deadline);
  if (!monitors.value || monitors.value->empty() || !pointer) return false;
  const Point target = accessibilityToRoot(point, monitors.value->front().frame);

  const std::uint8_t button = clicks > 0 ? kWheelDown : kWheelUp;
  const int count = std::min(std::abs(clicks), kMaxClicks);
  std::vector<xcb_void_cookie_t> requests;
  requests.push_back(xcb_test_fake_input_checked(raw, XCB_MOTION_NOTIFY, kAbsolute, XCB_CURRENT_TIME, root,
                                                 coordinate(target.x), coordinate(target.y), XCB_NONE));
  for (int i = 0; i < count; ++i) {
    requests.push_back(xcb_test_fake_input_checked(raw, XCB_BUTTON_PRESS, button, XCB_CURRENT_TIME, root, 0, 0, XCB_NONE));
    requests.push_back(xcb_test_fake_input_checked(raw, XCB_BUTTON_RELEASE, button, XCB_CURRENT_TIME, root, 0, 0, XCB_NONE));
  }
  // A pointer on another X screen stays where the clicks left it.
  if (pointer.value->same_screen) {
    requests.push_back(xcb_test_fake_input_checked(raw, XCB_MOTION_NOTIFY, kAbsolute, XCB_CURRENT_TIME, root,
                                                   pointer.value->root_x, pointer.value->root_y, XCB_NONE));
  }
  const Checked checked = checkRequests(connection_, requests, deadline);
  if (checked.status != ReplyStatus::ok) return false;
  for (const auto& error : checked.errors) {
    if (error) {
      connection_.reportError("XTest FakeInput", root, *error);
      return false;
    }
  }
  return true;
}

}  // namespace vistrel::x11
