#include "platform/x11/WindowRoles.h"

#include <array>

#include "platform/Accessibility.h"

namespace vistrel::x11 {

namespace {

struct Row {
  WindowType type;
  std::string_view atom;
  std::string_view subrole;
};

namespace ax = platform::ax;

constexpr std::array<Row, 14> kTable{{
    {WindowType::normal, "_NET_WM_WINDOW_TYPE_NORMAL", ax::subroleStandardWindow},
    {WindowType::dialog, "_NET_WM_WINDOW_TYPE_DIALOG", ax::subroleDialog},
    {WindowType::utility, "_NET_WM_WINDOW_TYPE_UTILITY", ax::subroleFloatingWindow},
    {WindowType::toolbar, "_NET_WM_WINDOW_TYPE_TOOLBAR", ax::subroleFloatingWindow},
    {WindowType::menu, "_NET_WM_WINDOW_TYPE_MENU", ax::subroleFloatingWindow},
    {WindowType::splash, "_NET_WM_WINDOW_TYPE_SPLASH", ax::subroleSystemDialog},
    {WindowType::notification, "_NET_WM_WINDOW_TYPE_NOTIFICATION", ax::subroleSystemDialog},
    {WindowType::desktop, "_NET_WM_WINDOW_TYPE_DESKTOP", ax::subroleUnknown},
    {WindowType::dock, "_NET_WM_WINDOW_TYPE_DOCK", ax::subroleUnknown},
    {WindowType::dropdownMenu, "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU", ax::subroleUnknown},
    {WindowType::popupMenu, "_NET_WM_WINDOW_TYPE_POPUP_MENU", ax::subroleUnknown},
    {WindowType::tooltip, "_NET_WM_WINDOW_TYPE_TOOLTIP", ax::subroleUnknown},
    {WindowType::combo, "_NET_WM_WINDOW_TYPE_COMBO", ax::subroleUnknown},
    {WindowType::dnd, "_NET_WM_WINDOW_TYPE_DND", ax::subroleUnknown},
}};

constexpr std::array<WindowType, kTable.size()> kAll = [] {
  std::array<WindowType, kTable.size()> all{};
  for (std::size_t i = 0; i < kTable.size(); ++i) all[i] = kTable[i].type;
  return all;
}();

const Row& row(WindowType type) {
  for (const Row& r : kTable) {
    if (r.type == type) return r;
  }
  return kTable[0];
}

}  // namespace

std::span<const WindowType> allWindowTypes() { return kAll; }

std::string_view atomName(WindowType type) { return row(type).atom; }

std::optional<WindowType> windowTypeFromAtomName(std::string_view name) {
  for (const Row& r : kTable) {
    if (r.atom == name) return r.type;
  }
  return std::nullopt;
}

std::string_view subrole(WindowType type) { return row(type).subrole; }

WindowType effectiveWindowType(std::span<const std::optional<WindowType>> listed, bool isTransient) {
  for (const auto& type : listed) {
    if (type) return *type;
  }
  return isTransient ? WindowType::dialog : WindowType::normal;
}

}  // namespace vistrel::x11
