#include "platform/x11/X11FloatingWindows.h"

#include <QWindow>

#include <cstdint>

#include "platform/x11/Clients.h"
#include "platform/x11/WmRequests.h"

namespace vistrel::x11 {

namespace {

constexpr std::uint32_t kAllDesktops = 0xFFFFFFFF;
constexpr std::uint32_t kStateAdd = 1;
constexpr std::uint32_t kSourcePager = 2;
constexpr double kReplySeconds = 2;

}  // namespace

void X11FloatingWindows::keepOnAllDesktops(QWindow& window) {
  const auto id = xcb_window_t(window.winId());
  const Atoms& atoms = connection_.atoms();
  if (window.isVisible()) {
    wm::sendToRoot(connection_, id, atoms.netWmDesktop, {kAllDesktops, kSourcePager, 0, 0, 0});
    wm::sendToRoot(connection_, id, atoms.netWmState, {kStateAdd, atoms.netWmStateSticky, 0, kSourcePager, 0});
    connection_.flush();
    return;
  }
  xcb_change_property(connection_.raw(), XCB_PROP_MODE_REPLACE, id, atoms.netWmDesktop, XCB_ATOM_CARDINAL, 32, 1,
                      &kAllDesktops);
  xcb_change_property(connection_.raw(), XCB_PROP_MODE_APPEND, id, atoms.netWmState, XCB_ATOM_ATOM, 32, 1,
                      &atoms.netWmStateSticky);
  // Qt maps the window on its own connection: the round trip makes sure the
  // server holds both properties before Qt reads _NET_WM_STATE back.
  const auto reply = requestProperty(connection_, id, atoms.netWmState, XCB_ATOM_ATOM).get(deadlineAfter(kReplySeconds));
  if (reply.status == ReplyStatus::xError && reply.error) {
    connection_.reportError("keep on all desktops", id, *reply.error);
  } else if (!reply) {
    qWarning("vistrel x11: no answer about window 0x%x; it may show on one desktop only", id);
  }
}

}  // namespace vistrel::x11
