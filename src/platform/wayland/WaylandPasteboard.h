#pragma once
// The clipboard on Wayland: Qt's while one of our windows has the keyboard
// focus (the compositor takes a selection only with the serial of our own
// input event then), else data control (wlroots, DataControlPasteboard.h),
// which needs no focus. Without data control, Qt's alone: it works only with
// the focus. Main thread only.

#include "platform/linux/ClipboardPasteboard.h"
#include "platform/wayland/DataControlPasteboard.h"

namespace vistrel::wayland {

class WaylandPasteboard : public platform::Pasteboard {
 public:
  explicit WaylandPasteboard(WaylandConnection& connection) : dataControl_(connection) {}

  void clear() override { current().clear(); }
  void setString(const std::string& text) override { current().setString(text); }
  std::optional<std::string> string() const override { return current().string(); }
  void setImage(const QImage& image) override { current().setImage(image); }
  std::optional<QImage> image() const override { return current().image(); }

 private:
  platform::Pasteboard& current() const;

  mutable desktop::ClipboardPasteboard qt_;
  mutable DataControlPasteboard dataControl_;
};

}  // namespace vistrel::wayland
