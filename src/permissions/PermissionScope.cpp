#include "permissions/PermissionScope.h"

#include "platform/Platform.h"

namespace vistrel::PermissionScope {

bool isLocalDevelopment() {
  return platform::current().bundle().infoString("VistrelBuildChannel") == "local";
}

std::string word() { return isLocalDevelopment() ? "local" : "release"; }

std::string key(std::string_view key) { return std::string(key) + "." + word(); }

std::string currentBuild() { return platform::current().bundle().infoString("CFBundleVersion").value_or(""); }

}  // namespace vistrel::PermissionScope
