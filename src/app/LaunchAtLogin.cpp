#include "app/LaunchAtLogin.h"

#include "base/LayoutLog.h"
#include "platform/Platform.h"

namespace vistrel::LaunchAtLogin {

bool setEnabled(bool enabled) {
  auto& items = platform::current().loginItems();
  const auto error = enabled ? items.registerItem() : items.unregisterItem();
  if (!error) return true;
  LayoutLog::write(std::string("launch-at-login failed enabled=") + (enabled ? "true" : "false") + " " + *error);
  return false;
}

}  // namespace vistrel::LaunchAtLogin
