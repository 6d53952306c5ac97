#include "platform/x11/X11HotKeys.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <QtDebug>

#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/linux/CarbonKeys.h"

// Last: Xlib's macros (Status, Bool, None) break Qt headers included after it.
#include <X11/Xlib.h>

namespace vistrel::x11 {

namespace CarbonKeys = desktop::CarbonKeys;

namespace {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbPtr = std::unique_ptr<T, FreeDeleter>;
using XcbError = XcbPtr<xcb_generic_error_t>;

// XKB event kinds (XkbNewKeyboardNotify, XkbMapNotify): the second byte of
// every XKB event. xcb/xkb.h does not compile as C++ (a field named explicit).
constexpr std::uint8_t kXkbNewKeyboardNotify = 0;
constexpr std::uint8_t kXkbMapNotify = 1;

// The eight modifier bits of a key event's state; the rest are buttons and the XKB group.
constexpr std::uint16_t kModifierBits = 0xFF;
// The modifiers a shortcut is made of; a lock key that sits on one of them is not treated as a lock.
constexpr std::uint16_t kShortcutBits =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

std::uint16_t x11Modifiers(std::uint32_t carbonModifiers) {
  std::uint16_t mask = 0;
  if (carbonModifiers & platform::carbon::controlKey) mask |= XCB_MOD_MASK_CONTROL;
  if (carbonModifiers & platform::carbon::optionKey) mask |= XCB_MOD_MASK_1;
  if (carbonModifiers & platform::carbon::cmdKey) mask |= XCB_MOD_MASK_4;
  if (carbonModifiers & platform::carbon::shiftKey) mask |= XCB_MOD_MASK_SHIFT;
  return mask;
}

struct KeyGrab {
  xcb_keycode_t keycode;
  std::uint16_t modifiers;  // with the lock bits of this variant
};

std::vector<KeyGrab> expand(const std::vector<xcb_keycode_t>& keycodes, std::uint16_t modifiers,
                            const std::vector<std::uint16_t>& lockVariants) {
  std::vector<KeyGrab> grabs;
  for (xcb_keycode_t keycode : keycodes) {
    for (std::uint16_t locks : lockVariants) grabs.push_back({keycode, std::uint16_t(modifiers | locks)});
  }
  return grabs;
}

// Checked, so that a failure is ours to report rather than an error event in
// Qt's queue. Ungrabbing a key on the root fails only with the connection.
void ungrabEach(xcb_connection_t* connection, xcb_window_t root, const std::vector<KeyGrab>& grabs) {
  std::vector<xcb_void_cookie_t> cookies;
  for (const KeyGrab& g : grabs) cookies.push_back(xcb_ungrab_key_checked(connection, g.keycode, root, g.modifiers));
  for (xcb_void_cookie_t cookie : cookies) {
    if (XcbError error{xcb_request_check(connection, cookie)}) {
      qWarning("vistrel: key ungrab on root 0x%x failed with X error %d", root, error->error_code);
    }
  }
}

}  // namespace

std::unique_ptr<X11HotKeys> X11HotKeys::forApplication() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (!x11 || !x11->connection()) return nullptr;
  xcb_connection_t* connection = x11->connection();
  const int screenNumber = x11->display() ? XDefaultScreen(x11->display()) : 0;
  xcb_screen_iterator_t screen = xcb_setup_roots_iterator(xcb_get_setup(connection));
  for (int i = 0; i < screenNumber && screen.rem; ++i) xcb_screen_next(&screen);
  if (!screen.rem) return nullptr;
  return std::unique_ptr<X11HotKeys>(new X11HotKeys(connection, screen.data->root));
}

X11HotKeys::X11HotKeys(xcb_connection_t* connection, xcb_window_t root) : connection_(connection), root_(root) {
  // Qt reads the keyboard through XKB. Whether a map change reaches this
  // connection as the core MappingNotify, as XKB's map events or as both
  // depends on what Qt selected, so both are watched; the second finds
  // nothing left to do.
  static constexpr char kXkb[] = "XKEYBOARD";
  XcbPtr<xcb_query_extension_reply_t> xkb(xcb_query_extension_reply(
      connection_, xcb_query_extension(connection_, std::strlen(kXkb), kXkb), nullptr));
  if (xkb && xkb->present) xkbFirstEvent_ = xkb->first_event;
  loadKeyboardMap();
  QCoreApplication::instance()->installNativeEventFilter(this);
}

X11HotKeys::~X11HotKeys() {
  if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
  for (const auto& [ref, registration] : registrations_) ungrab(registration.keycodes, registration.modifiers);
}

int X11HotKeys::registerHotKey(std::uint32_t keyCode, std::uint32_t carbonModifiers, platform::HotKeyID id,
                               platform::HotKeyRef* out) {
  if (!out) return platform::kParamErr;
  *out = 0;
  if (xcb_connection_has_error(connection_)) return platform::kParamErr;
  const auto keysym = keyCode <= 0xFFFF ? CarbonKeys::keysym(std::uint16_t(keyCode)) : std::nullopt;
  if (!keysym) return platform::kEventHotKeyInvalidErr;
  const std::vector<xcb_keycode_t> keycodes = keycodesFor(*keysym);
  if (keycodes.empty()) return platform::kEventHotKeyInvalidErr;
  const std::uint16_t modifiers = x11Modifiers(carbonModifiers);
  // The server lets one client grab the same key twice; the contract does not.
  if (heldByUs(keycodes, modifiers)) return platform::kEventHotKeyExistsErr;
  if (int status = grab(keycodes, modifiers); status != platform::kHotKeyNoErr) return status;
  const platform::HotKeyRef ref = nextRef_++;
  registrations_[ref] = Registration{*keysym, modifiers, id, keycodes};
  *out = ref;
  return platform::kHotKeyNoErr;
}

int X11HotKeys::unregisterHotKey(platform::HotKeyRef ref) {
  auto it = registrations_.find(ref);
  if (it == registrations_.end()) return platform::kParamErr;
  ungrab(it->second.keycodes, it->second.modifiers);
  registrations_.erase(it);
  return platform::kHotKeyNoErr;
}

int X11HotKeys::installEventHandler(std::function<void(platform::HotKeyID)> handler) {
  handler_ = std::move(handler);
  return platform::kHotKeyNoErr;
}

std::vector<xcb_keycode_t> X11HotKeys::grabbedKeycodes(platform::HotKeyRef ref) const {
  auto it = registrations_.find(ref);
  return it == registrations_.end() ? std::vector<xcb_keycode_t>{} : it->second.keycodes;
}

bool X11HotKeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  const std::uint8_t type = event->response_type & 0x7F;
  if (type == XCB_KEY_PRESS) return keyPressed(*reinterpret_cast<const xcb_key_press_event_t*>(event));
  // Map changes are Qt's business too: watch them, never consume them.
  if (type == XCB_MAPPING_NOTIFY) {
    if (reinterpret_cast<const xcb_mapping_notify_event_t*>(event)->request != XCB_MAPPING_POINTER) {
      keyboardMappingChanged();
    }
  } else if (xkbFirstEvent_ != 0 && type == xkbFirstEvent_) {
    const std::uint8_t kind = reinterpret_cast<const std::uint8_t*>(event)[1];
    if (kind == kXkbNewKeyboardNotify || kind == kXkbMapNotify) keyboardMappingChanged();
  }
  return false;
}

bool X11HotKeys::keyPressed(const xcb_key_press_event_t& event) {
  if (event.event != root_) return false;
  const std::uint16_t modifiers = event.state & kModifierBits & ~lockMask_;
  for (const auto& [ref, registration] : registrations_) {
    if (registration.modifiers != modifiers) continue;
    const auto& keycodes = registration.keycodes;
    if (std::find(keycodes.begin(), keycodes.end(), event.detail) == keycodes.end()) continue;
    if (handler_) {
      auto handler = handler_;  // the handler may replace itself
      handler(registration.id);
    }
    return true;
  }
  return false;
}

void X11HotKeys::keyboardMappingChanged() {
  const std::vector<std::uint16_t> oldVariants = lockVariants_;
  loadKeyboardMap();
  const bool locksMoved = oldVariants != lockVariants_;

  // Release everything that moves before grabbing anew, so that two of our
  // keys trading keycodes do not collide with each other.
  std::vector<std::pair<Registration*, std::vector<xcb_keycode_t>>> moved;
  for (auto& [ref, registration] : registrations_) {
    std::vector<xcb_keycode_t> keycodes = keycodesFor(registration.keysym);
    if (!locksMoved && keycodes == registration.keycodes) continue;
    ungrabEach(connection_, root_, expand(registration.keycodes, registration.modifiers, oldVariants));
    registration.keycodes.clear();
    moved.emplace_back(&registration, std::move(keycodes));
  }
  for (auto& [registration, keycodes] : moved) {
    const int status = keycodes.empty() ? platform::kEventHotKeyInvalidErr : grab(keycodes, registration->modifiers);
    if (status == platform::kHotKeyNoErr) {
      registration->keycodes = std::move(keycodes);
    } else {
      qWarning("vistrel: hot key id=%u keysym=0x%x lost in a keyboard map change, status %d", registration->id.id,
               registration->keysym, status);
    }
  }
}

void X11HotKeys::loadKeyboardMap() {
  auto modifierMap = xcb_get_modifier_mapping(connection_);
  keySymbols_.reset(xcb_key_symbols_alloc(connection_));
  XcbPtr<xcb_get_modifier_mapping_reply_t> reply(
      xcb_get_modifier_mapping_reply(connection_, modifierMap, nullptr));

  // The ModN a lock key sits on; 0 when it is not mapped.
  auto modifierOf = [&](xcb_keysym_t keysym) -> std::uint16_t {
    if (!reply) return 0;
    const std::vector<xcb_keycode_t> keycodes = keycodesFor(keysym);
    const xcb_keycode_t* map = xcb_get_modifier_mapping_keycodes(reply.get());
    const int perModifier = reply->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
      for (int i = 0; i < perModifier; ++i) {
        const xcb_keycode_t keycode = map[modifier * perModifier + i];
        if (keycode != 0 && std::find(keycodes.begin(), keycodes.end(), keycode) != keycodes.end()) {
          return std::uint16_t(1u << modifier);
        }
      }
    }
    return 0;
  };
  lockMask_ = (XCB_MOD_MASK_LOCK | modifierOf(XK_Num_Lock) | modifierOf(XK_Scroll_Lock)) & ~kShortcutBits;

  lockVariants_.clear();
  for (std::uint16_t subset = lockMask_;; subset = (subset - 1) & lockMask_) {
    lockVariants_.push_back(subset);
    if (subset == 0) break;
  }
  std::reverse(lockVariants_.begin(), lockVariants_.end());
}

std::vector<xcb_keycode_t> X11HotKeys::keycodesFor(xcb_keysym_t keysym) const {
  std::vector<xcb_keycode_t> keycodes;
  XcbPtr<xcb_keycode_t> found(xcb_key_symbols_get_keycode(keySymbols_.get(), keysym));
  for (const xcb_keycode_t* k = found.get(); k && *k != XCB_NO_SYMBOL; ++k) {
    if (std::find(keycodes.begin(), keycodes.end(), *k) == keycodes.end()) keycodes.push_back(*k);
  }
  return keycodes;
}

bool X11HotKeys::heldByUs(const std::vector<xcb_keycode_t>& keycodes, std::uint16_t modifiers) const {
  for (const auto& [ref, registration] : registrations_) {
    if (registration.modifiers != modifiers) continue;
    for (xcb_keycode_t keycode : keycodes) {
      if (std::find(registration.keycodes.begin(), registration.keycodes.end(), keycode) !=
          registration.keycodes.end()) {
        return true;
      }
    }
  }
  return false;
}

int X11HotKeys::grab(const std::vector<xcb_keycode_t>& keycodes, std::uint16_t modifiers) {
  // Send every grab, then collect the answers: one round trip for all of them.
  // Not owner_events: presses always come to the root, also while one of our
  // own windows has the focus, so the filter sees every one.
  const std::vector<KeyGrab> grabs = expand(keycodes, modifiers, lockVariants_);
  std::vector<xcb_void_cookie_t> cookies;
  for (const KeyGrab& g : grabs) {
    cookies.push_back(xcb_grab_key_checked(connection_, 0, root_, g.modifiers, g.keycode, XCB_GRAB_MODE_ASYNC,
                                           XCB_GRAB_MODE_ASYNC));
  }
  std::vector<KeyGrab> held;
  bool refused = false;
  int otherError = 0;
  for (std::size_t i = 0; i < grabs.size(); ++i) {
    XcbError error(xcb_request_check(connection_, cookies[i]));
    if (!error) {
      held.push_back(grabs[i]);
    } else if (error->error_code == XCB_ACCESS) {
      refused = true;
    } else {
      otherError = error->error_code;
    }
  }
  if (xcb_connection_has_error(connection_)) return platform::kParamErr;
  if (!refused && otherError == 0) return platform::kHotKeyNoErr;

  ungrabEach(connection_, root_, held);
  if (refused) return platform::kEventHotKeyExistsErr;
  qWarning("vistrel: key grab on root 0x%x refused with X error %d", root_, otherError);
  return platform::kEventHotKeyInvalidErr;
}

void X11HotKeys::ungrab(const std::vector<xcb_keycode_t>& keycodes, std::uint16_t modifiers) {
  ungrabEach(connection_, root_, expand(keycodes, modifiers, lockVariants_));
}

}  // namespace vistrel::x11
