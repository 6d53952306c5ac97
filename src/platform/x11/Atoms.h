#pragma once
// The X atoms the backend names, interned once per connection.

#include <xcb/xcb.h>

#include <span>
#include <utility>

namespace vistrel::x11 {

struct Atoms {
  xcb_atom_t utf8String = XCB_ATOM_NONE;
  xcb_atom_t netSupported = XCB_ATOM_NONE;
  xcb_atom_t netClientList = XCB_ATOM_NONE;
  xcb_atom_t netClientListStacking = XCB_ATOM_NONE;
  xcb_atom_t netActiveWindow = XCB_ATOM_NONE;
  xcb_atom_t netCurrentDesktop = XCB_ATOM_NONE;
  xcb_atom_t netWorkarea = XCB_ATOM_NONE;
  xcb_atom_t netWmPid = XCB_ATOM_NONE;
  xcb_atom_t netWmName = XCB_ATOM_NONE;
  xcb_atom_t netWmWindowType = XCB_ATOM_NONE;
  xcb_atom_t netWmState = XCB_ATOM_NONE;
  xcb_atom_t netWmStateHidden = XCB_ATOM_NONE;
  xcb_atom_t netWmStateFullscreen = XCB_ATOM_NONE;
  xcb_atom_t netWmStateMaximizedVert = XCB_ATOM_NONE;
  xcb_atom_t netWmStateMaximizedHorz = XCB_ATOM_NONE;
  xcb_atom_t netWmStrut = XCB_ATOM_NONE;
  xcb_atom_t netWmStrutPartial = XCB_ATOM_NONE;
  xcb_atom_t netFrameExtents = XCB_ATOM_NONE;
  xcb_atom_t gtkFrameExtents = XCB_ATOM_NONE;
  xcb_atom_t netMoveresizeWindow = XCB_ATOM_NONE;
  xcb_atom_t netRestackWindow = XCB_ATOM_NONE;
  xcb_atom_t netCloseWindow = XCB_ATOM_NONE;
  xcb_atom_t netWmDesktop = XCB_ATOM_NONE;
  xcb_atom_t netWmStateSticky = XCB_ATOM_NONE;
  // i3's own: the root's IPC socket path, and the mark of its floating windows.
  xcb_atom_t i3SocketPath = XCB_ATOM_NONE;
  xcb_atom_t i3FloatingWindow = XCB_ATOM_NONE;
};

// Each atom's name with the field that holds it.
std::span<const std::pair<const char*, xcb_atom_t Atoms::*>> atomNames();

}  // namespace vistrel::x11
