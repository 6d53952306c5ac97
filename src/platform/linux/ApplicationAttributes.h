#pragma once
// What the window-access backends share about program elements: whether a
// program still runs, and how a program's attributes read from the listing
// of its windows (its role, its windows, the window that stands for it).

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Accessibility.h"

namespace vistrel::desktop {

// EPERM: the process runs under another user.
inline bool processExists(std::int32_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

inline bool isOneOf(std::string_view attribute, std::initializer_list<std::string_view> names) {
  return std::find(names.begin(), names.end(), attribute) != names.end();
}

// `own` lists the program's windows front-most first; `focused` is the
// desktop's focused window, if any; the window that stands for the program
// is the focused one when it is the program's, else the first one `stands`
// accepts. `elementOf` names a window's element.
template <class Window, class Stands, class ElementOf>
platform::AXResult readApplicationAttribute(std::int32_t pid, std::string_view attribute,
                                            const std::vector<const Window*>& own, const Window* focused,
                                            Stands stands, ElementOf elementOf) {
  namespace ax = platform::ax;
  const bool windowsWanted = isOneOf(attribute, {ax::windows, ax::children});
  const bool focusWanted = isOneOf(attribute, {ax::focusedWindow, ax::mainWindow, ax::focusedUIElement});
  if (!windowsWanted && !focusWanted && attribute != ax::role) {
    return platform::axFailure(platform::kAXErrorAttributeUnsupported);
  }
  if (pid <= 0 || (own.empty() && !processExists(pid))) return platform::axFailure(platform::kAXErrorInvalidUIElement);
  if (attribute == ax::role) return platform::axSuccess(std::string(ax::roleApplication));
  if (focusWanted) {
    if (focused && focused->pid == pid) return platform::axSuccess(elementOf(*focused));
    const auto shown = std::find_if(own.begin(), own.end(), [&](const Window* window) { return stands(*window); });
    if (shown == own.end()) return platform::axFailure(platform::kAXErrorNoValue);
    return platform::axSuccess(elementOf(**shown));
  }
  std::vector<platform::AXElement> elements;
  for (const Window* window : own) elements.push_back(elementOf(*window));
  return platform::axSuccess(std::move(elements));
}

}  // namespace vistrel::desktop
