#include "platform/BundleInfo.h"

namespace vistrel::platform {

std::optional<std::string> BundleInfo::infoString(const std::string& key) const {
  const auto v = info(key);
  if (!v) return std::nullopt;
  if (const auto* s = std::get_if<std::string>(&*v)) return *s;
  return std::nullopt;
}

}  // namespace vistrel::platform
