#include "TestPointer.h"

#include <wayland-client.h>

#include <algorithm>
#include <chrono>

#include "MutterPointer.h"
#include "fake-input-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace vistrel::wlprobe {

namespace {

using wayland::WaylandConnection;

constexpr double kSyncSeconds = 2.0;
// One wheel click as libinput reports it.
constexpr double kUnitsPerClick = 15.0;

std::uint32_t milliseconds() {
  return std::uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count());
}

class VirtualPointer : public TestPointer {
 public:
  explicit VirtualPointer(WaylandConnection& connection) : connection_(connection) {
    pointer_ = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(connection.virtualPointer(), connection.seat());
    for (const auto* output : connection.outputs()) {
      right_ = std::max(right_, output->layoutRect().maxX());
      bottom_ = std::max(bottom_, output->layoutRect().maxY());
    }
  }
  ~VirtualPointer() override {
    zwlr_virtual_pointer_v1_destroy(pointer_);
    connection_.sync(wayland::deadlineAfter(kSyncSeconds));
  }

  bool moveTo(double x, double y) override {
    zwlr_virtual_pointer_v1_motion_absolute(pointer_, milliseconds(), std::uint32_t(x), std::uint32_t(y),
                                            std::uint32_t(right_), std::uint32_t(bottom_));
    return frame();
  }
  bool button(std::uint32_t code, bool pressed) override {
    zwlr_virtual_pointer_v1_button(pointer_, milliseconds(), code,
                                   pressed ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
    return frame();
  }
  bool wheel(int clicks) override {
    const int step = clicks > 0 ? 1 : -1;
    for (int i = 0; i != clicks; i += step) {
      zwlr_virtual_pointer_v1_axis_source(pointer_, WL_POINTER_AXIS_SOURCE_WHEEL);
      zwlr_virtual_pointer_v1_axis_discrete(pointer_, milliseconds(), WL_POINTER_AXIS_VERTICAL_SCROLL,
                                            wl_fixed_from_double(step * kUnitsPerClick), step);
      if (!frame()) return false;
    }
    return true;
  }

 private:
  bool frame() {
    zwlr_virtual_pointer_v1_frame(pointer_);
    return connection_.sync(wayland::deadlineAfter(kSyncSeconds));
  }

  WaylandConnection& connection_;
  zwlr_virtual_pointer_v1* pointer_ = nullptr;
  double right_ = 0, bottom_ = 0;
};

// KWin takes fake input only after authenticate, and adds a pointer to the
// seat for it: a client under the pointer hears of it only after that.
class FakeInput : public TestPointer {
 public:
  explicit FakeInput(WaylandConnection& connection) : connection_(connection), input_(connection.fakeInput()) {
    org_kde_kwin_fake_input_authenticate(input_, "vistrel-wlprobe", "end-to-end tests drive the pointer");
    connection_.sync(wayland::deadlineAfter(kSyncSeconds));
  }

  bool moveTo(double x, double y) override {
    org_kde_kwin_fake_input_pointer_motion_absolute(input_, wl_fixed_from_double(x), wl_fixed_from_double(y));
    return sync();
  }
  bool button(std::uint32_t code, bool pressed) override {
    org_kde_kwin_fake_input_button(input_, code,
                                   pressed ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
    return sync();
  }
  bool wheel(int clicks) override {
    const int step = clicks > 0 ? 1 : -1;
    for (int i = 0; i != clicks; i += step) {
      org_kde_kwin_fake_input_axis(input_, WL_POINTER_AXIS_VERTICAL_SCROLL, wl_fixed_from_double(step * kUnitsPerClick));
      if (!sync()) return false;
    }
    return true;
  }

 private:
  bool sync() { return connection_.sync(wayland::deadlineAfter(kSyncSeconds)); }

  WaylandConnection& connection_;
  org_kde_kwin_fake_input* input_;
};

}  // namespace

std::unique_ptr<TestPointer> TestPointer::make(WaylandConnection& connection) {
  if (connection.virtualPointer() && connection.seat()) return std::make_unique<VirtualPointer>(connection);
  if (connection.fakeInput()) return std::make_unique<FakeInput>(connection);
  if (MutterPointer::offered()) return std::make_unique<MutterPointer>();
  return nullptr;
}

}  // namespace vistrel::wlprobe
