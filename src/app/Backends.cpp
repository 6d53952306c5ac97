#include "app/Backends.h"

#include <array>
#include <cstdlib>
#include <cstring>

#include "platform/x11/DisplayLoss.h"
#include "platform/wayland/WaylandPlatform.h"
#include "platform/x11/X11Platform.h"

namespace vistrel::Backends {

namespace {

const std::array<Backend, 3> kTable{{
    {.name = "x11",
     .unavailable = nullptr,
     .displayVariable = "DISPLAY",
     .qtPlatform = "xcb",
     .checkDisplay = &x11::checkDisplay,
     .make = &x11::makePlatform,
     .watchDisplayLoss = &x11::DisplayLoss::watch},
    {.name = "wayland",
     .unavailable = nullptr,
     .displayVariable = "WAYLAND_DISPLAY",
     .qtPlatform = "wayland",
     .checkDisplay = &wayland::checkDisplay,
     .make = &wayland::makePlatform},
    {.name = "sim",
     .unavailable = "the simulated desktop is built into the tests only",
     .displayVariable = nullptr,
     .qtPlatform = "offscreen",
     .checkDisplay = nullptr,
     .make = nullptr},
}};

bool set(const char* value) { return value && *value; }

}  // namespace

const Backend* named(std::string_view name) {
  for (const auto& backend : kTable)
    if (name == backend.name) return &backend;
  return nullptr;
}

Session sessionFromEnvironment() {
  return {std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_SESSION_TYPE")};
}

const Backend& forSession(const Session& session) {
  const bool wayland = (set(session.waylandDisplay) && !set(session.display)) ||
                       (session.sessionType && std::strcmp(session.sessionType, "wayland") == 0);
  return *named(wayland ? "wayland" : "x11");
}

std::string names() {
  std::string text;
  for (const auto& backend : kTable) text += (text.empty() ? "" : "|") + std::string(backend.name);
  return text;
}

}  // namespace vistrel::Backends
