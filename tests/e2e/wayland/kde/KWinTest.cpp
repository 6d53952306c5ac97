// The KDE Plasma pieces against a headless KWin 5.27 (harness.sh --kwin):
// window access through KWin scripts, capture through ScreenShot2 once a
// desktop file authorises this program, global shortcuts through the portal
// fired by kglobalaccel, and the tray registered with kded5's watcher.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QKeyCombination>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <functional>
#include <memory>
#include <vector>

#include "platform/linux/TrayStatusItem.h"
#include "platform/linux/portal/PortalGlobalShortcuts.h"
#include "platform/wayland/kde/KWinAccessibility.h"
#include "platform/wayland/kde/KWinDesktopEntry.h"
#include "platform/wayland/kde/KWinScreenCapture.h"
#include "platform/wayland/kde/KWinScreens.h"
#include "support/WaitUntil.h"

namespace vistrel::e2e {
namespace {

using platform::AXElement;
using platform::AXResult;
namespace ax = platform::ax;
using namespace wayland::kde;

constexpr QRgb kGreen = 0xff00ff00;

using testing::waitUntil;

// A native window filled green, without Qt's own title bar.
class TestWindow {
 public:
  explicit TestWindow(const QString& title) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_WAYLAND_DISABLE_WINDOWDECORATION"), QStringLiteral("1"));
    process_.setProcessEnvironment(environment);
    process_.start(QStringLiteral("vistrel-testwindow"),
                   {QStringLiteral("--title"), title, QStringLiteral("--color"), QStringLiteral("#00ff00"),
                    QStringLiteral("--geometry"), QStringLiteral("400x300+0+0")});
  }
  ~TestWindow() {
    process_.kill();
    process_.waitForFinished(5000);
  }
  std::int32_t pid() const { return std::int32_t(process_.processId()); }

 private:
  QProcess process_;
};

class KWinSession : public ::testing::Test {
 protected:
  KWinSession()
      : connection(wayland::WaylandConnection::connect(wayland::deadlineAfter(5))), accessibility(kwin) {}

  // The window of `pid` once KWin has it active.
  std::optional<AXElement> activeWindowOf(std::int32_t pid) {
    std::optional<AXElement> found;
    waitUntil(10, [&] {
      const AXResult focused = accessibility.copyAttributeValue(accessibility.systemWideElement(), ax::focusedUIElement);
      if (focused.error == platform::kAXErrorSuccess && std::get<AXElement>(*focused.value).pid == pid) {
        found = std::get<AXElement>(*focused.value);
      }
      return found.has_value();
    });
    return found;
  }

  std::optional<Rect> frame(const AXElement& window) {
    const AXResult position = accessibility.copyAttributeValue(window, ax::position);
    const AXResult size = accessibility.copyAttributeValue(window, ax::size);
    if (position.error != platform::kAXErrorSuccess || size.error != platform::kAXErrorSuccess) return std::nullopt;
    return Rect(std::get<Point>(*position.value), std::get<Size>(*size.value));
  }

  // Writes the frame, then waits until KWin reports it (reads are later script runs).
  bool moveTo(const AXElement& window, const Rect& target) {
    if (accessibility.setAttributeValue(window, ax::position, target.origin()) != platform::kAXErrorSuccess ||
        accessibility.setAttributeValue(window, ax::size, target.size()) != platform::kAXErrorSuccess) {
      return false;
    }
    return waitUntil(5, [&] { return frame(window) == target; });
  }

  QImage screen() {
    auto image = screenShot2(QStringLiteral("CaptureArea"), {0, 0, 1920u, 1080u},
                             {{QStringLiteral("native-resolution"), true}}, 5);
    return std::holds_alternative<QImage>(image) ? std::get<QImage>(image).convertToFormat(QImage::Format_RGB32)
                                                 : QImage();
  }

  std::unique_ptr<wayland::WaylandConnection> connection;
  KWinScripting kwin;
  KWinAccessibility accessibility;
};

TEST_F(KWinSession, ScreenShot2AnswersOnceADesktopFileAuthorisesTheProgramAndEqualsTheScreen) {
  ASSERT_TRUE(connection);
  ASSERT_TRUE(KWinScripting::kwinRunning());
  KWinScreenCapture capture(*connection, kwin);
  const QString self = QCoreApplication::applicationFilePath();
  ASSERT_FALSE(desktopEntryAuthorises(self));
  EXPECT_FALSE(capture.preflightAccess());
  const auto refused = capture.captureDisplay(connection->outputs().front()->globalName, {});
  ASSERT_TRUE(std::holds_alternative<platform::CaptureFault>(refused));
  EXPECT_NE(std::get<platform::CaptureFault>(refused).description.find("X-KDE-DBUS-Restricted-Interfaces"),
            std::string::npos);

  ASSERT_TRUE(authoriseScreenshots(self, true));
  ASSERT_TRUE(waitUntil(10, [&] { return capture.preflightAccess(); }))
      << std::get<platform::CaptureFault>(capture.captureDisplay(connection->outputs().front()->globalName, {}))
             .description;

  TestWindow green(QStringLiteral("kde-capture"));
  const auto window = activeWindowOf(green.pid());
  ASSERT_TRUE(window);
  const Rect target(200, 150, 640, 480);
  ASSERT_TRUE(moveTo(*window, target)) << "the window stayed at " << frame(*window).value_or(Rect()).minX();

  const auto content = capture.shareableContent();
  ASSERT_TRUE(std::holds_alternative<platform::ShareableContent>(content));
  const auto& shareable = std::get<platform::ShareableContent>(content);
  ASSERT_EQ(shareable.displays.size(), 1u);
  EXPECT_EQ(shareable.displays[0].frame, Rect(0, 0, 1920, 1080));
  // The screens are the same displays; headless KWin has no panel, and its pointer is on the screen.
  KWinScreens screens(*connection, kwin);
  const auto main = screens.mainScreen();
  ASSERT_TRUE(main);
  EXPECT_EQ(main->displayID, shareable.displays[0].displayID);
  EXPECT_EQ(main->visibleFrame, Rect(0, 0, 1920, 1080));
  EXPECT_TRUE(main->frame.contains(screens.mouseLocation()));
  const auto listed = std::find_if(shareable.windows.begin(), shareable.windows.end(),
                                   [&](const platform::CaptureWindow& w) { return w.ownerPID == green.pid(); });
  ASSERT_NE(listed, shareable.windows.end());
  EXPECT_EQ(listed->bounds, target);
  EXPECT_EQ(listed->title, "kde-capture");

  platform::CaptureConfiguration whole;
  whole.width = 1920;
  whole.height = 1080;
  whole.showsCursor = false;
  const auto display = capture.captureDisplay(shareable.displays[0].displayID, whole);
  ASSERT_TRUE(std::holds_alternative<QImage>(display));
  const QImage& pixels = std::get<QImage>(display);
  ASSERT_EQ(pixels.size(), QSize(1920, 1080));
  // The window's corners are green, the pixels just outside are not.
  for (const QPoint p : {QPoint(200, 150), QPoint(839, 150), QPoint(200, 629), QPoint(839, 629)}) {
    EXPECT_EQ(pixels.pixel(p), kGreen) << p.x() << "," << p.y();
  }
  for (const QPoint p : {QPoint(199, 300), QPoint(840, 300), QPoint(500, 149), QPoint(500, 630)}) {
    EXPECT_NE(pixels.pixel(p), kGreen) << p.x() << "," << p.y();
  }

  // An area and the window alone are the same pixels as the screen there.
  platform::CaptureConfiguration area;
  area.sourceRect = Rect(100, 100, 300, 200);
  area.width = 300;
  area.height = 200;
  area.showsCursor = false;
  const auto part = capture.captureDisplay(shareable.displays[0].displayID, area);
  ASSERT_TRUE(std::holds_alternative<QImage>(part));
  EXPECT_EQ(std::get<QImage>(part), pixels.copy(100, 100, 300, 200));
  const auto alone = capture.captureWindow(listed->windowID, {});
  ASSERT_TRUE(std::holds_alternative<QImage>(alone));
  EXPECT_EQ(std::get<QImage>(alone).convertToFormat(QImage::Format_RGB32), pixels.copy(200, 150, 640, 480));
}

TEST_F(KWinSession, SnapsANativeWindowThroughScriptsToThePixel) {
  ASSERT_TRUE(connection);
  ASSERT_TRUE(authoriseScreenshots(QCoreApplication::applicationFilePath(), true));
  auto green = std::make_unique<TestWindow>(QStringLiteral("kde-snap"));
  const auto window = activeWindowOf(green->pid());
  ASSERT_TRUE(window);
  EXPECT_EQ(accessibility.copyAttributeValue(*window, ax::title).value, platform::AXValue(std::string("kde-snap")));
  EXPECT_EQ(accessibility.copyAttributeValue(*window, ax::subrole).value,
            platform::AXValue(std::string(ax::subroleStandardWindow)));
  const AXResult windows =
      accessibility.copyAttributeValue(accessibility.applicationElement(green->pid()), ax::windows);
  ASSERT_EQ(windows.error, platform::kAXErrorSuccess);
  EXPECT_EQ(std::get<std::vector<AXElement>>(*windows.value), std::vector<AXElement>{*window});

  // A maximized window leaves that state to take the half.
  const auto uuid = kwin.uuid(window->id);
  ASSERT_TRUE(uuid);
  ASSERT_TRUE(kwin.run("win.setMaximize(true, true);", *uuid, wayland::deadlineAfter(2)).report);
  ASSERT_TRUE(waitUntil(5, [&] { return frame(*window) == Rect(0, 0, 1920, 1080); }));

  // The left half, then the right half: both land, and the screen shows them.
  for (const Rect& half : {Rect(0, 0, 960, 1080), Rect(960, 0, 960, 1080)}) {
    ASSERT_TRUE(moveTo(*window, half)) << "stayed at x " << frame(*window).value_or(Rect()).minX();
    QImage pixels;
    ASSERT_TRUE(waitUntil(5, [&] {
      pixels = screen();
      const int left = int(half.minX()), right = int(half.maxX()) - 1;
      return !pixels.isNull() && pixels.pixel(left, 0) == kGreen && pixels.pixel(right, 1079) == kGreen &&
             pixels.pixel(right, 0) == kGreen && pixels.pixel(left, 1079) == kGreen &&
             pixels.pixel(half.minX() == 0 ? 960 : 959, 540) != kGreen;
    }));
  }

  EXPECT_EQ(accessibility.performAction(*window, ax::raise), platform::kAXErrorSuccess);
  // A closed window reads as vanished.
  green.reset();
  EXPECT_TRUE(waitUntil(5, [&] {
    return accessibility.copyAttributeValue(*window, ax::position).error == platform::kAXErrorInvalidUIElement;
  }));
}

// The kglobalaccel action the portal made for `shortcutId`: its component's object path.
std::optional<QString> componentHolding(const QString& shortcutId) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  const QDBusMessage components = bus.call(QDBusMessage::createMethodCall(
      QStringLiteral("org.kde.kglobalaccel"), QStringLiteral("/kglobalaccel"), QStringLiteral("org.kde.KGlobalAccel"),
      QStringLiteral("allComponents")));
  const auto paths = qdbus_cast<QList<QDBusObjectPath>>(components.arguments().value(0));
  for (const QDBusObjectPath& path : paths) {
    const QDBusMessage names = bus.call(QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.kglobalaccel"), path.path(), QStringLiteral("org.kde.kglobalaccel.Component"),
        QStringLiteral("shortcutNames")));
    if (names.arguments().value(0).toStringList().contains(shortcutId)) return path.path();
  }
  return std::nullopt;
}

// The keys kglobalaccel has bound to the action, as Qt key combinations.
QList<int> keysOf(const QString& component, const QString& shortcutId) {
  QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.kde.kglobalaccel"), QStringLiteral("/kglobalaccel"),
                                                     QStringLiteral("org.kde.KGlobalAccel"), QStringLiteral("shortcut"));
  call.setArguments({QStringList{component.section(QLatin1Char('/'), -1), shortcutId, QString(), QString()}});
  return qdbus_cast<QList<int>>(QDBusConnection::sessionBus().call(call).arguments().value(0));
}

bool invoke(const QString& component, const QString& shortcutId) {
  QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.kde.kglobalaccel"), component,
                                                     QStringLiteral("org.kde.kglobalaccel.Component"),
                                                     QStringLiteral("invokeShortcut"));
  call.setArguments({shortcutId});
  return QDBusConnection::sessionBus().call(call).type() == QDBusMessage::ReplyMessage;
}

TEST(KdePortal, ShortcutsBoundThroughThePortalFireWhenKGlobalAccelInvokesThemAndRebind) {
  ASSERT_TRUE(portal::PortalGlobalShortcuts::available()) << "no GlobalShortcuts portal on the session bus";
  portal::PortalGlobalShortcuts shortcuts;
  std::vector<std::uint32_t> pressed;
  shortcuts.installEventHandler([&](platform::HotKeyID id) { pressed.push_back(id.id); });
  bool bound = false;
  QObject::connect(&shortcuts, &portal::PortalGlobalShortcuts::sessionChanged, [&](bool ok) { bound = ok; });

  platform::HotKeyRef left = 0, right = 0;
  ASSERT_EQ(shortcuts.registerHotKey(123, platform::carbon::controlKey | platform::carbon::optionKey, {1, 1}, &left),
            platform::kHotKeyNoErr);
  ASSERT_EQ(shortcuts.registerHotKey(124, platform::carbon::controlKey | platform::carbon::optionKey, {1, 2}, &right),
            platform::kHotKeyNoErr);
  platform::HotKeyRef super = 0;
  ASSERT_EQ(shortcuts.registerHotKey(0, platform::carbon::cmdKey | platform::carbon::shiftKey, {1, 3}, &super),
            platform::kHotKeyNoErr);
  ASSERT_TRUE(waitUntil(20, [&] { return bound; })) << "the portal did not bind the shortcuts";
  const QString leftId = QStringLiteral("hotkey-1-CTRL+ALT+Left");
  const auto component = componentHolding(leftId);
  ASSERT_TRUE(component) << "kglobalaccel has no action " << qPrintable(leftId);
  EXPECT_EQ(keysOf(*component, leftId),
            QList<int>{QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_Left).toCombined()});
  EXPECT_EQ(keysOf(*component, QStringLiteral("hotkey-3-SHIFT+LOGO+a")),
            QList<int>{QKeyCombination(Qt::ShiftModifier | Qt::MetaModifier, Qt::Key_A).toCombined()});
  ASSERT_TRUE(invoke(*component, QStringLiteral("hotkey-2-CTRL+ALT+Right")));
  ASSERT_TRUE(waitUntil(5, [&] { return pressed == std::vector<std::uint32_t>{2}; }));

  // The settings window swaps the keys of actions 1 and 2: each new key fires its action, and
  // an earlier session's actions, which held the keys, do not keep them.
  bound = false;
  shortcuts.unregisterHotKey(left);
  shortcuts.unregisterHotKey(right);
  const auto ctrlAlt = platform::carbon::controlKey | platform::carbon::optionKey;
  ASSERT_EQ(shortcuts.registerHotKey(124, ctrlAlt, {1, 1}, &left), platform::kHotKeyNoErr);
  ASSERT_EQ(shortcuts.registerHotKey(123, ctrlAlt, {1, 2}, &right), platform::kHotKeyNoErr);
  ASSERT_TRUE(waitUntil(20, [&] { return bound; }));
  const QString swappedId = QStringLiteral("hotkey-1-CTRL+ALT+Right");
  const auto swapped = componentHolding(swappedId);
  ASSERT_TRUE(swapped);
  EXPECT_EQ(keysOf(*swapped, swappedId),
            QList<int>{QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_Right).toCombined()});
  EXPECT_EQ(keysOf(*swapped, QStringLiteral("hotkey-2-CTRL+ALT+Left")),
            QList<int>{QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_Left).toCombined()});
  invoke(*component, leftId);
  ASSERT_TRUE(invoke(*swapped, swappedId));
  ASSERT_TRUE(waitUntil(5, [&] { return pressed.size() >= 2; }));
  EXPECT_EQ(pressed, (std::vector<std::uint32_t>{2, 1}));
}

TEST(KdeTray, TheTrayIconRegistersWithKdedsWatcher) {
  desktop::TrayStatusItem item;
  ASSERT_TRUE(item.hasButton()) << "Qt saw no StatusNotifierWatcher";
  item.setImage(QImage(22, 22, QImage::Format_ARGB32_Premultiplied), false);
  QStringList items;
  ASSERT_TRUE(waitUntil(10, [&] {
    QDBusMessage get = QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get.setArguments({QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("RegisteredStatusNotifierItems")});
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get);
    items = reply.arguments().value(0).value<QDBusVariant>().variant().toStringList();
    return !items.isEmpty();
  }));
  // "<bus name>/StatusNotifierItem", the bus name one of this process's connections.
  QDBusMessage owner = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                      QStringLiteral("/org/freedesktop/DBus"),
                                                      QStringLiteral("org.freedesktop.DBus"),
                                                      QStringLiteral("GetConnectionUnixProcessID"));
  owner.setArguments({items.first().section(QLatin1Char('/'), 0, 0)});
  const QDBusMessage pid = QDBusConnection::sessionBus().call(owner);
  EXPECT_EQ(pid.arguments().value(0).toLongLong(), QCoreApplication::applicationPid()) << qPrintable(items.join(','));
}

}  // namespace
}  // namespace vistrel::e2e
