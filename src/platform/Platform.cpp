#include "platform/Platform.h"

#include <cstdio>
#include <cstdlib>

#include "base/Task.h"

namespace vistrel::platform {

namespace {
Platform* installed = nullptr;
}

Platform& current() {
  if (!installed) {
    std::fprintf(stderr, "vistrel: no platform backend installed\n");
    std::abort();
  }
  return *installed;
}

void install(Platform* platform) {
  installed = platform;
  installMainClock(platform ? &platform->clock() : nullptr);
}

bool isInstalled() { return installed != nullptr; }

}  // namespace vistrel::platform
