#include "platform/sim/SimHotKeys.h"

#include <algorithm>

namespace vistrel::sim {

int SimHotKeys::registerHotKey(std::uint32_t keyCode, std::uint32_t carbonModifiers, platform::HotKeyID id,
                               platform::HotKeyRef* out) {
  if (!out) return platform::kParamErr;
  *out = 0;
  const bool ours = std::any_of(registrations_.begin(), registrations_.end(), [&](const Registration& r) {
    return r.keyCode == keyCode && r.modifiers == carbonModifiers;
  });
  if (ours || taken_.count({keyCode, carbonModifiers})) return platform::kEventHotKeyExistsErr;
  const platform::HotKeyRef ref = nextRef_++;
  registrations_.push_back({keyCode, carbonModifiers, id, ref});
  *out = ref;
  return platform::kHotKeyNoErr;
}

int SimHotKeys::unregisterHotKey(platform::HotKeyRef ref) {
  const auto it = std::find_if(registrations_.begin(), registrations_.end(),
                               [ref](const Registration& r) { return r.ref == ref; });
  if (ref == 0 || it == registrations_.end()) return platform::kEventHotKeyInvalidErr;
  registrations_.erase(it);
  return platform::kHotKeyNoErr;
}

int SimHotKeys::installEventHandler(std::function<void(platform::HotKeyID)> handler) {
  handler_ = std::move(handler);
  return platform::kHotKeyNoErr;
}

bool SimHotKeys::pressHotKey(std::uint32_t keyCode, std::uint32_t carbonModifiers) {
  const auto it = std::find_if(registrations_.begin(), registrations_.end(), [&](const Registration& r) {
    return r.keyCode == keyCode && r.modifiers == carbonModifiers;
  });
  if (it == registrations_.end() || !handler_) return false;
  // Copies, so a handler that re-registers every key cannot pull them out from under the call.
  const platform::HotKeyID id = it->id;
  const auto handler = handler_;
  handler(id);
  return true;
}

}  // namespace vistrel::sim
