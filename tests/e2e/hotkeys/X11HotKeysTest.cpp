// Real key grabs on a private X server: X11HotKeys on this process's Qt
// connection, keys typed with xdotool, and a second X client that holds grabs
// the way another program would. Runs under tests/e2e/harness.sh.

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QGuiApplication>
#include <QProcess>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/HotKeys.h"
#include "platform/linux/CarbonKeys.h"
#include "platform/x11/X11HotKeys.h"

namespace vistrel {
namespace {

using platform::HotKeyRef;
using platform::kEventHotKeyExistsErr;
using platform::kEventHotKeyInvalidErr;
using platform::kHotKeyNoErr;
using platform::kParamErr;

constexpr std::uint32_t kSignature = 0x5653544C;
constexpr std::uint32_t kCtrlOpt = platform::carbon::controlKey | platform::carbon::optionKey;
constexpr std::uint16_t kXCtrlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
constexpr std::uint16_t kNumLock = XCB_MOD_MASK_2;  // where the server's default map puts NumLock
constexpr std::uint16_t kLockVariants[] = {0, XCB_MOD_MASK_LOCK, kNumLock, XCB_MOD_MASK_LOCK | kNumLock};
constexpr std::uint16_t kLeft = 123, kRight = 124, kUp = 126;

std::uint32_t keysymOf(std::uint16_t keyCode) { return *desktop::CarbonKeys::keysym(keyCode); }

// Another program on a connection of its own. Disconnecting releases its grabs.
class OtherClient {
 public:
  OtherClient() {
    int screenNumber = 0;
    connection_ = xcb_connect(nullptr, &screenNumber);
    xcb_screen_iterator_t screen = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&screen);
    root_ = screen.data->root;
    symbols_ = xcb_key_symbols_alloc(connection_);
  }
  ~OtherClient() {
    xcb_key_symbols_free(symbols_);
    xcb_disconnect(connection_);
  }
  bool connected() const { return xcb_connection_has_error(connection_) == 0; }

  // The first keycode of a keysym, as the keyboard map stood when this client connected.
  xcb_keycode_t keycode(std::uint32_t keysym) {
    xcb_keycode_t* found = xcb_key_symbols_get_keycode(symbols_, keysym);
    const xcb_keycode_t keycode = found ? found[0] : 0;
    std::free(found);
    return keycode;
  }
  // A keycode with no keysym at all, free to be given one.
  xcb_keycode_t spareKeycode() {
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    for (int keycode = setup->max_keycode; keycode >= setup->min_keycode; --keycode) {
      bool empty = true;
      for (int column = 0; column < 4 && empty; ++column) {
        empty = xcb_key_symbols_get_keysym(symbols_, xcb_keycode_t(keycode), column) == 0;
      }
      if (empty) return xcb_keycode_t(keycode);
    }
    return 0;
  }
  // True when the server granted the grab.
  bool grab(xcb_keycode_t keycode, std::uint16_t modifiers) {
    auto cookie = xcb_grab_key_checked(connection_, 0, root_, modifiers, keycode, XCB_GRAB_MODE_ASYNC,
                                       XCB_GRAB_MODE_ASYNC);
    xcb_generic_error_t* error = xcb_request_check(connection_, cookie);
    std::free(error);
    return error == nullptr;
  }
  void ungrab(xcb_keycode_t keycode, std::uint16_t modifiers) {
    std::free(xcb_request_check(connection_, xcb_ungrab_key_checked(connection_, keycode, root_, modifiers)));
  }
  // The modifier and lock state of the keyboard now.
  std::uint16_t modifierState() {
    xcb_query_pointer_reply_t* reply =
        xcb_query_pointer_reply(connection_, xcb_query_pointer(connection_, root_), nullptr);
    const std::uint16_t state = reply ? reply->mask & 0xFF : 0;
    std::free(reply);
    return state;
  }

 private:
  xcb_connection_t* connection_;
  xcb_window_t root_;
  xcb_key_symbols_t* symbols_;
};

bool run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Runs the event loop until `done` holds or `seconds` pass; true when it held.
bool waitUntil(const std::function<bool()>& done, int seconds = 5) {
  if (done()) return true;
  QEventLoop loop;
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  deadline.start(seconds * 1000);
  check.start(10);
  loop.exec();
  return done();
}

class X11HotKeysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(other.connected());
    hotKeys = x11::X11HotKeys::forApplication();
    ASSERT_TRUE(hotKeys);
    ASSERT_EQ(hotKeys->installEventHandler([this](platform::HotKeyID id) {
      EXPECT_EQ(id.signature, kSignature);
      pressed.push_back(id.id);
    }), kHotKeyNoErr);
  }
  void TearDown() override {
    // Leave the locks off for the next test, whatever happened in this one.
    const std::uint16_t state = other.modifierState();
    if (state & kNumLock) run("xdotool", {"key", "Num_Lock"});
    if (state & XCB_MOD_MASK_LOCK) run("xdotool", {"key", "Caps_Lock"});
  }

  HotKeyRef registerKey(std::uint16_t keyCode, std::uint32_t id, std::uint32_t modifiers = kCtrlOpt) {
    HotKeyRef ref = 0;
    EXPECT_EQ(hotKeys->registerHotKey(keyCode, modifiers, {kSignature, id}, &ref), kHotKeyNoErr) << keyCode;
    EXPECT_NE(ref, 0u);
    return ref;
  }
  // Types the keys and waits for the press they cause; the id that arrived, none by the deadline.
  std::optional<std::uint32_t> type(const QString& keys) {
    const std::size_t before = pressed.size();
    EXPECT_TRUE(run("xdotool", {"key", keys})) << keys.toStdString();
    if (!waitUntil([&] { return pressed.size() > before; })) return std::nullopt;
    return pressed.back();
  }

  OtherClient other;
  std::unique_ptr<x11::X11HotKeys> hotKeys;
  std::vector<std::uint32_t> pressed;
};

// Control+Option+Left grabbed on the root fires its id when typed, also with NumLock and Caps Lock on.
TEST_F(X11HotKeysTest, GrabFiresInEveryLockState) {
  registerKey(kLeft, 7);
  EXPECT_EQ(type("ctrl+alt+Left"), 7u);

  ASSERT_TRUE(run("xdotool", {"key", "Num_Lock"}));
  ASSERT_EQ(other.modifierState() & kNumLock, kNumLock);
  EXPECT_EQ(type("ctrl+alt+Left"), 7u);

  ASSERT_TRUE(run("xdotool", {"key", "Caps_Lock"}));
  ASSERT_EQ(other.modifierState() & XCB_MOD_MASK_LOCK, XCB_MOD_MASK_LOCK);
  EXPECT_EQ(type("ctrl+alt+Left"), 7u);
  EXPECT_EQ(pressed.size(), 3u);
}

// A key another client holds is refused, leaving no lock variant grabbed; other keys work; released, it registers.
TEST_F(X11HotKeysTest, KeyHeldByAnotherClientIsRefused) {
  const xcb_keycode_t right = other.keycode(keysymOf(kRight));
  ASSERT_TRUE(other.grab(right, kXCtrlAlt));

  HotKeyRef ref = 99;
  EXPECT_EQ(hotKeys->registerHotKey(kRight, kCtrlOpt, {kSignature, 1}, &ref), kEventHotKeyExistsErr);
  EXPECT_EQ(ref, 0u);
  for (std::uint16_t locks : kLockVariants) {
    if (locks == 0) continue;
    EXPECT_TRUE(other.grab(right, kXCtrlAlt | locks)) << "variant 0x" << std::hex << locks << " stayed grabbed";
  }

  registerKey(kUp, 2);
  EXPECT_EQ(type("ctrl+alt+Up"), 2u);

  for (std::uint16_t locks : kLockVariants) other.ungrab(right, kXCtrlAlt | locks);
  registerKey(kRight, 3);
  EXPECT_EQ(type("ctrl+alt+Right"), 3u);
}

// Unregistering releases every lock variant; a reference is good for one unregistration.
TEST_F(X11HotKeysTest, UnregisterReleasesEveryVariant) {
  const HotKeyRef ref = registerKey(kLeft, 1);
  const xcb_keycode_t left = other.keycode(keysymOf(kLeft));
  EXPECT_FALSE(other.grab(left, kXCtrlAlt | kNumLock));

  EXPECT_EQ(hotKeys->unregisterHotKey(ref), kHotKeyNoErr);
  EXPECT_EQ(hotKeys->unregisterHotKey(ref), kParamErr);
  for (std::uint16_t locks : kLockVariants) {
    EXPECT_TRUE(other.grab(left, kXCtrlAlt | locks)) << "variant 0x" << std::hex << locks << " still held";
    other.ungrab(left, kXCtrlAlt | locks);
  }
}

// Our own key twice is refused like another program's; other modifiers on it register; codes without a key are invalid.
TEST_F(X11HotKeysTest, DuplicatesAndUnknownKeys) {
  registerKey(kLeft, 1);
  HotKeyRef ref = 0;
  EXPECT_EQ(hotKeys->registerHotKey(kLeft, kCtrlOpt, {kSignature, 2}, &ref), kEventHotKeyExistsErr);
  registerKey(kLeft, 3, kCtrlOpt | platform::carbon::shiftKey);
  EXPECT_EQ(hotKeys->registerHotKey(10, kCtrlOpt, {kSignature, 4}, &ref), kEventHotKeyInvalidErr);
  EXPECT_EQ(hotKeys->registerHotKey(0x10000, kCtrlOpt, {kSignature, 5}, &ref), kEventHotKeyInvalidErr);
  EXPECT_EQ(type("ctrl+alt+shift+Left"), 3u);
}

// When the keyboard map moves Left to another keycode, the grab follows it, and the old keycode is let go.
TEST_F(X11HotKeysTest, KeyboardMapChangeGrabsAgain) {
  const xcb_keycode_t left = other.keycode(keysymOf(kLeft));
  const xcb_keycode_t spare = other.spareKeycode();
  ASSERT_NE(left, 0);
  ASSERT_NE(spare, 0);
  const HotKeyRef ref = registerKey(kLeft, 5);
  ASSERT_EQ(hotKeys->grabbedKeycodes(ref), std::vector<xcb_keycode_t>{left});

  auto remap = [](xcb_keycode_t from, xcb_keycode_t to) {
    return run("xmodmap", {"-e", QString("keycode %1 = NoSymbol").arg(from), "-e", QString("keycode %1 = Left").arg(to)});
  };
  ASSERT_TRUE(remap(left, spare));
  EXPECT_TRUE(waitUntil([&] { return hotKeys->grabbedKeycodes(ref) == std::vector<xcb_keycode_t>{spare}; }));
  EXPECT_TRUE(other.grab(left, kXCtrlAlt));
  other.ungrab(left, kXCtrlAlt);
  EXPECT_EQ(type("ctrl+alt+Left"), 5u);

  ASSERT_TRUE(remap(spare, left));
  EXPECT_TRUE(waitUntil([&] { return hotKeys->grabbedKeycodes(ref) == std::vector<xcb_keycode_t>{left}; }));
  EXPECT_EQ(type("ctrl+alt+Left"), 5u);
}

}  // namespace
}  // namespace vistrel

int main(int argc, char** argv) {
  // The real X server of the harness, whatever the environment asks for.
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  ::testing::InitGoogleTest(&argc, argv);
  QGuiApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
