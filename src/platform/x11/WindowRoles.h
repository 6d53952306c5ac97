#pragma once
// The EWMH window types and the accessibility subroles they read as.
//
//   normal                                        AXStandardWindow
//   dialog                                        AXDialog
//   utility, toolbar, menu                        AXFloatingWindow
//   splash, notification                          AXSystemDialog
//   desktop, dock, dropdown/popup menu, tooltip,  AXUnknown
//   combo, dnd
//
// Splash screens and notifications are transient system-style surfaces; the
// desktop, panels and pop-ups are no windows a user works in. Both kinds are
// skipped by the window search, which rejects these two subroles.

#include <optional>
#include <span>
#include <string_view>

namespace vistrel::x11 {

enum class WindowType {
  normal,
  dialog,
  utility,
  toolbar,
  menu,
  splash,
  notification,
  desktop,
  dock,
  dropdownMenu,
  popupMenu,
  tooltip,
  combo,
  dnd,
};

// Every window type, in the order of the table above.
std::span<const WindowType> allWindowTypes();

// The atom name, such as "_NET_WM_WINDOW_TYPE_NORMAL".
std::string_view atomName(WindowType type);
std::optional<WindowType> windowTypeFromAtomName(std::string_view name);

std::string_view subrole(WindowType type);

// The type EWMH prescribes from a window's _NET_WM_WINDOW_TYPE list (most
// preferred first): the first type known here; with none known, a window
// transient for another is a dialog, any other a normal window.
WindowType effectiveWindowType(std::span<const std::optional<WindowType>> listed, bool isTransient);

}  // namespace vistrel::x11
