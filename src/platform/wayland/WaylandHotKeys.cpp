#include "platform/wayland/WaylandHotKeys.h"

#include "platform/linux/CarbonKeys.h"

namespace vistrel::wayland {

std::optional<std::string> WaylandHotKeys::configurationLine(std::uint32_t keyCode, std::uint32_t carbonModifiers,
                                                             const std::string& command) const {
  if (compositor_ != CompositorKind::wlroots || keyCode > 0xFFFF) return std::nullopt;
  const auto key = desktop::CarbonKeys::keyName(std::uint16_t(keyCode));
  if (!key) return std::nullopt;
  // sway's modifier names (sway(5)): Alt is Mod1, Super is Mod4.
  std::string chord;
  if (carbonModifiers & platform::carbon::controlKey) chord += "Ctrl+";
  if (carbonModifiers & platform::carbon::optionKey) chord += "Mod1+";
  if (carbonModifiers & platform::carbon::shiftKey) chord += "Shift+";
  if (carbonModifiers & platform::carbon::cmdKey) chord += "Mod4+";
  return "bindsym " + chord + *key + " exec " + command;
}

}  // namespace vistrel::wayland
