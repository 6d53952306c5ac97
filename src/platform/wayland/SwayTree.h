#pragma once
// What sway's IPC replies say about windows, outputs and workspaces, decoded
// from their JSON (sway-ipc(7)). Rectangles are in sway's layout space:
// logical pixels, origin at the layout's top-left, y down.
//
// The decoders take outside data: a reply that is not the expected JSON
// shape decodes to none; a node lacking a field reads that field as absent.

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Rect.h"

namespace vistrel::wayland {

// A window ("view") in the tree.
struct SwayView {
  std::int64_t id = 0;     // con_id, unique for the compositor's run
  std::int32_t pid = 0;    // the client's process
  std::string appId;       // app_id, or the X11 class of an Xwayland window
  std::string title;
  std::string shell;       // "xdg_shell" or "xwayland"
  std::string windowType;  // Xwayland's window type ("normal", "dialog"...), empty for native windows
  // The frame the user sees: sway's rect (borders, no title bar) with the
  // title bar (deco_rect's height) above it.
  Rect frame;
  bool focused = false;
  bool floating = false;
  bool fullScreen = false;
  bool visible = false;     // on a shown workspace and not hidden behind a tab or stack
  bool scratchpad = false;  // moved to the scratchpad: hidden, as a minimized window
  std::string workspace;
  friend bool operator==(const SwayView&, const SwayView&) = default;
};

struct SwayTree {
  // Front-most first: per workspace the fullscreen window, the floating ones
  // from the top down, then the tiled ones; the scratchpad last.
  std::vector<SwayView> views;

  const SwayView* find(std::int64_t id) const;
  const SwayView* focused() const;
};

struct SwayOutput {
  std::string name;
  Rect rect;  // the output's logical area in the layout
  double scale = 1.0;
  bool active = false;
  bool focused = false;
  std::string currentWorkspace;
  friend bool operator==(const SwayOutput&, const SwayOutput&) = default;
};

struct SwayWorkspace {
  std::string name;
  std::string output;
  Rect rect;  // the output's area less what panels reserve
  bool visible = false;
  bool focused = false;
  friend bool operator==(const SwayWorkspace&, const SwayWorkspace&) = default;
};

std::optional<SwayTree> parseTree(const QByteArray& json);
std::optional<std::vector<SwayOutput>> parseOutputs(const QByteArray& json);
std::optional<std::vector<SwayWorkspace>> parseWorkspaces(const QByteArray& json);

}  // namespace vistrel::wayland
