#pragma once
// Which Wayland compositor the session runs, found once at start: each kind
// offers a utility different roads (PLATFORM.md's Wayland table), and the
// backend picks its window access, hot keys, capture and overlays by it.

#include <string_view>

namespace vistrel::wayland {

enum class CompositorKind {
  wlroots,  // sway and the other wlroots desktops: screencopy, data control, virtual pointer; sway's IPC
  kwin,     // KDE Plasma
  gnome,    // GNOME Shell (mutter)
  other,
};

// What the session's environment says, null where unset.
struct CompositorHints {
  const char* swaySocket = nullptr;      // SWAYSOCK
  const char* currentDesktop = nullptr;  // XDG_CURRENT_DESKTOP, a ":"-separated list
  // Whether the compositor announced zwlr_screencopy_manager_v1 (wlroots desktops other than sway).
  bool offersScreencopy = false;
};

// sway's socket decides first, then the desktop's name, then the wlroots protocols.
CompositorKind detectCompositor(const CompositorHints& hints);

std::string_view rawValue(CompositorKind kind);

}  // namespace vistrel::wayland
