#pragma once
// Global shortcuts on Wayland desktops that let no program take keys: every
// wlroots desktop (sway binds keys in its configuration file only) and any
// compositor the backend has no shortcut road for. Nothing is grabbed; the
// actions arrive as `vistrel --action <id>` commands the desktop runs.
// Where the desktop is configured by file, configurationLine() gives the line
// that binds a key to such a command (sway's bindsym).

#include "platform/HotKeys.h"
#include "platform/wayland/Compositor.h"

namespace vistrel::wayland {

class WaylandHotKeys : public platform::HotKeys {
 public:
  explicit WaylandHotKeys(CompositorKind compositor) : compositor_(compositor) {}

  bool canGrabGlobalKeys() const override { return false; }
  // Refused as a key another program holds: the desktop keeps every key.
  int registerHotKey(std::uint32_t, std::uint32_t, platform::HotKeyID, platform::HotKeyRef*) override {
    return platform::kEventHotKeyExistsErr;
  }
  int unregisterHotKey(platform::HotKeyRef) override { return platform::kParamErr; }
  // No key press ever reaches a handler here.
  int installEventHandler(std::function<void(platform::HotKeyID)>) override { return platform::kHotKeyNoErr; }
  // "bindsym Ctrl+Mod1+Left exec <command>" on wlroots desktops; none elsewhere.
  std::optional<std::string> configurationLine(std::uint32_t keyCode, std::uint32_t carbonModifiers,
                                               const std::string& command) const override;

 private:
  CompositorKind compositor_;
};

}  // namespace vistrel::wayland
