#pragma once
// System-wide hot keys as passive key grabs on the root window, made on Qt's
// own X connection so that the presses arrive through Qt's native event filter
// on the main thread. Main thread only; destroy it before the application.
//
// A registration grabs every keycode the keyboard map gives the key's keysym,
// with each combination of the lock modifiers (Caps Lock, NumLock, ScrollLock)
// on top of its own, so that a lock state never hides a shortcut. A keyboard
// map change re-reads the map and grabs again.
//
// Presses only: the release of a grabbed key goes to Qt, which has no window
// for the root and drops it. Auto-repeat sends a press per repeat; each one
// reaches the handler (the registry's debounce absorbs them).

#include <QAbstractNativeEventFilter>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/HotKeys.h"

namespace vistrel::x11 {

class X11HotKeys : public platform::HotKeys, private QAbstractNativeEventFilter {
 public:
  // The hot keys of the running application's X connection; none when the
  // application does not run on the xcb platform.
  static std::unique_ptr<X11HotKeys> forApplication();
  ~X11HotKeys() override;

  // Passive grabs on the root window; single keys may still be refused.
  bool canGrabGlobalKeys() const override { return true; }

  // kEventHotKeyInvalidErr: the key code has no keysym, or the keysym no key
  // on this keyboard. kEventHotKeyExistsErr: another client (BadAccess) or
  // another registration of ours holds the key with these modifiers; nothing
  // stays grabbed.
  int registerHotKey(std::uint32_t keyCode, std::uint32_t carbonModifiers, platform::HotKeyID id,
                     platform::HotKeyRef* out) override;
  int unregisterHotKey(platform::HotKeyRef ref) override;
  // Called on the main thread, from inside Qt's event processing.
  int installEventHandler(std::function<void(platform::HotKeyID)> handler) override;

  // The keycodes held for a registration under the current keyboard map;
  // empty when its grab was lost to a map change or the reference is unknown.
  std::vector<xcb_keycode_t> grabbedKeycodes(platform::HotKeyRef ref) const;

 private:
  struct Registration {
    xcb_keysym_t keysym;
    std::uint16_t modifiers;  // X modifier mask, without lock bits
    platform::HotKeyID id;
    std::vector<xcb_keycode_t> keycodes;  // grabbed now
  };
  struct KeySymbolsFree {
    void operator()(xcb_key_symbols_t* symbols) const { xcb_key_symbols_free(symbols); }
  };

  X11HotKeys(xcb_connection_t* connection, xcb_window_t root);

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
  bool keyPressed(const xcb_key_press_event_t& event);
  void keyboardMappingChanged();

  // Reads the keyboard and modifier maps afresh.
  void loadKeyboardMap();
  std::vector<xcb_keycode_t> keycodesFor(xcb_keysym_t keysym) const;
  bool heldByUs(const std::vector<xcb_keycode_t>& keycodes, std::uint16_t modifiers) const;
  // Grabs every keycode with every lock variant; all or nothing.
  int grab(const std::vector<xcb_keycode_t>& keycodes, std::uint16_t modifiers);
  void ungrab(const std::vector<xcb_keycode_t>& keycodes, std::uint16_t modifiers);

  xcb_connection_t* connection_;  // Qt's; not owned
  xcb_window_t root_;
  std::uint8_t xkbFirstEvent_ = 0;  // 0 without the XKB extension
  std::unique_ptr<xcb_key_symbols_t, KeySymbolsFree> keySymbols_;
  std::uint16_t lockMask_ = 0;                 // Lock | NumLock's ModN | ScrollLock's ModN
  std::vector<std::uint16_t> lockVariants_;    // every combination of those bits, 0 first
  std::map<platform::HotKeyRef, Registration> registrations_;
  platform::HotKeyRef nextRef_ = 1;
  std::function<void(platform::HotKeyID)> handler_;
};

}  // namespace vistrel::x11
