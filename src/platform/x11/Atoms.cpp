#include "platform/x11/Atoms.h"

#include <array>

namespace vistrel::x11 {

std::span<const std::pair<const char*, xcb_atom_t Atoms::*>> atomNames() {
  static const std::array<std::pair<const char*, xcb_atom_t Atoms::*>, 26> names{{
      {"UTF8_STRING", &Atoms::utf8String},
      {"_NET_SUPPORTED", &Atoms::netSupported},
      {"_NET_CLIENT_LIST", &Atoms::netClientList},
      {"_NET_CLIENT_LIST_STACKING", &Atoms::netClientListStacking},
      {"_NET_ACTIVE_WINDOW", &Atoms::netActiveWindow},
      {"_NET_CURRENT_DESKTOP", &Atoms::netCurrentDesktop},
      {"_NET_WORKAREA", &Atoms::netWorkarea},
      {"_NET_WM_PID", &Atoms::netWmPid},
      {"_NET_WM_NAME", &Atoms::netWmName},
      {"_NET_WM_WINDOW_TYPE", &Atoms::netWmWindowType},
      {"_NET_WM_STATE", &Atoms::netWmState},
      {"_NET_WM_STATE_HIDDEN", &Atoms::netWmStateHidden},
      {"_NET_WM_STATE_FULLSCREEN", &Atoms::netWmStateFullscreen},
      {"_NET_WM_STATE_MAXIMIZED_VERT", &Atoms::netWmStateMaximizedVert},
      {"_NET_WM_STATE_MAXIMIZED_HORZ", &Atoms::netWmStateMaximizedHorz},
      {"_NET_WM_STRUT", &Atoms::netWmStrut},
      {"_NET_WM_STRUT_PARTIAL", &Atoms::netWmStrutPartial},
      {"_NET_FRAME_EXTENTS", &Atoms::netFrameExtents},
      {"_GTK_FRAME_EXTENTS", &Atoms::gtkFrameExtents},
      {"_NET_MOVERESIZE_WINDOW", &Atoms::netMoveresizeWindow},
      {"_NET_RESTACK_WINDOW", &Atoms::netRestackWindow},
      {"_NET_CLOSE_WINDOW", &Atoms::netCloseWindow},
      {"_NET_WM_DESKTOP", &Atoms::netWmDesktop},
      {"_NET_WM_STATE_STICKY", &Atoms::netWmStateSticky},
      {"I3_SOCKET_PATH", &Atoms::i3SocketPath},
      {"I3_FLOATING_WINDOW", &Atoms::i3FloatingWindow},
  }};
  return names;
}

}  // namespace vistrel::x11
