#pragma once
// Synthetic wheel clicks through zwlr_virtual_pointer_manager_v1 (wlroots
// compositors): the virtual pointer moves to the point and turns the wheel,
// one discrete step a click, as a mouse wheel does through libinput
// (15 units a step).
//
// Wayland tells no client where the pointer is, so it cannot be put back
// where it was: it stays at the point. Captures for scrolling are taken
// without the cursor, so it shows in none of them.
//
// Main thread only; the connection must outlive it.

#include "platform/InputSynth.h"
#include "platform/wayland/WaylandConnection.h"

struct zwlr_virtual_pointer_v1;

namespace vistrel::wayland {

class VirtualPointerInputSynth : public platform::InputSynth {
 public:
  explicit VirtualPointerInputSynth(WaylandConnection& connection);
  ~VirtualPointerInputSynth() override;

  // False when the compositor offers no virtual pointers, there is no
  // output, or the compositor does not take the events in time.
  bool scrollWheel(Point point, int clicks) override;

 private:
  WaylandConnection& connection_;
  zwlr_virtual_pointer_v1* pointer_ = nullptr;
};

}  // namespace vistrel::wayland
