#include "hotkeys/GlobalHotkeyRegistry.h"

#include <string>

#include "base/LayoutLog.h"
#include "platform/Platform.h"

namespace vistrel {

namespace {

std::unique_ptr<GlobalHotkeyRegistry>& sharedSlot() {
  static std::unique_ptr<GlobalHotkeyRegistry> registry;
  return registry;
}

}  // namespace

GlobalHotkeyRegistry& GlobalHotkeyRegistry::shared() {
  auto& slot = sharedSlot();
  if (!slot) slot.reset(new GlobalHotkeyRegistry());
  return *slot;
}

void GlobalHotkeyRegistry::resetSharedForTesting() {
  sharedSlot().reset();
  installed_ = false;
}

void GlobalHotkeyRegistry::registerDefaults(const HotkeyBindings& bindings, Handler newHandler) {
  handler = std::move(newHandler);
  uninstallHotKeys();
  installEventHandlerIfNeeded();

  platform::HotKeys& hotKeys = platform::current().hotKeys();
  // Every key would be refused: none is asked for (the launch tells the user
  // how to bind the actions in the desktop's own settings).
  if (!hotKeys.canGrabGlobalKeys()) {
    LayoutLog::write("hotkey-grabs-unavailable bindings=" + std::to_string(bindings.size()));
    return;
  }
  for (const auto& [action, binding] : bindings) {
    const std::uint32_t id = nextID_++;
    // Before the system call: a refused key keeps its action, it just never fires.
    actionByHotKeyID_.insert_or_assign(id, action);
    const std::uint32_t mask = binding.carbonModifierMask();
    platform::HotKeyRef ref = 0;
    const int status = hotKeys.registerHotKey(binding.keyCode, mask, {kSignature, id}, &ref);
    if (status == platform::kHotKeyNoErr && ref != 0) {
      hotKeyRefs_.push_back(ref);
    } else {
      refused_.push_back({id, binding.keyCode, mask});
      LayoutLog::write("hotkey-register-failed id=" + std::to_string(id) + " key=" + std::to_string(binding.keyCode) +
                       " mods=" + std::to_string(mask) + " status=" + std::to_string(status));
    }
  }
}

void GlobalHotkeyRegistry::uninstallHotKeys() {
  platform::HotKeys& hotKeys = platform::current().hotKeys();
  for (platform::HotKeyRef ref : hotKeyRefs_) hotKeys.unregisterHotKey(ref);
  hotKeyRefs_.clear();
  refused_.clear();
  actionByHotKeyID_.clear();
  nextID_ = 1;
}

std::size_t GlobalHotkeyRegistry::retryRefused() {
  platform::HotKeys& hotKeys = platform::current().hotKeys();
  std::erase_if(refused_, [&](const Refused& key) {
    platform::HotKeyRef ref = 0;
    const int status = hotKeys.registerHotKey(key.keyCode, key.mask, {kSignature, key.id}, &ref);
    if (status != platform::kHotKeyNoErr || ref == 0) return false;
    hotKeyRefs_.push_back(ref);
    return true;
  });
  return refused_.size();
}

std::optional<std::uint32_t> GlobalHotkeyRegistry::holdKey(std::uint32_t keyCode, std::uint32_t carbonModifiers,
                                                            std::function<void()> pressed) {
  installEventHandlerIfNeeded();
  platform::HotKeys& hotKeys = platform::current().hotKeys();
  if (!hotKeys.canGrabGlobalKeys()) return std::nullopt;
  const std::uint32_t id = nextHeldID_++;
  platform::HotKeyRef ref = 0;
  if (hotKeys.registerHotKey(keyCode, carbonModifiers, {kSignature, id}, &ref) != platform::kHotKeyNoErr || ref == 0) {
    return std::nullopt;
  }
  held_.insert_or_assign(id, Held{ref, std::move(pressed)});
  return id;
}

void GlobalHotkeyRegistry::releaseHeldKey(std::uint32_t id) {
  const auto it = held_.find(id);
  if (it == held_.end()) return;
  platform::current().hotKeys().unregisterHotKey(it->second.ref);
  held_.erase(it);
}

void GlobalHotkeyRegistry::installEventHandlerIfNeeded() {
  if (installed_) return;
  installed_ = true;
  // May run on any thread: it only logs and hands the id to the main queue.
  // The signature is not compared; the id alone selects the action.
  const int status = platform::current().hotKeys().installEventHandler([](platform::HotKeyID hotKeyID) {
    const std::uint32_t id = hotKeyID.id;
    LayoutLog::write("hotkey-fired id=" + std::to_string(id));
    platform::current().clock().after(0, [id] { GlobalHotkeyRegistry::shared().dispatchHotKey(id); });
  });
  LayoutLog::write("hotkey-handler status=" + std::to_string(status));
}

void GlobalHotkeyRegistry::dispatchHotKey(std::uint32_t id) {
  if (const auto held = held_.find(id); held != held_.end()) {
    // A copy: the callback may release the key, erasing the entry.
    const auto pressed = held->second.pressed;
    if (pressed) pressed();
    return;
  }
  const double now = platform::current().clock().uptime();
  if (lastFire_ && lastFire_->id == id && now - lastFire_->time < kDebounce) return;
  lastFire_ = Fire{id, now};
  auto it = actionByHotKeyID_.find(id);
  if (it == actionByHotKeyID_.end() || !handler) return;
  // Copies: the handler may register anew, replacing both.
  const UtilityAction action = it->second;
  const Handler current = handler;
  current(action);
}

}  // namespace vistrel
