// The Wayland tier's outside view of the program, as separate clients of the
// compositor and the session bus:
//   vistrel-wlprobe shot FILE            the first output by screencopy, as PNG; on GNOME, which has none, a frame
//                                        of Mutter's screen cast of the primary monitor
//   vistrel-wlprobe clip FILE            the clipboard's types on stdout, its image as PNG (data control)
//   vistrel-wlprobe drag X1 Y1 X2 Y2     a left-button drag of a virtual pointer, in layout pixels; on GNOME,
//                                        which has none, through Mutter's remote-desktop input on the primary monitor
//   vistrel-wlprobe pointer X Y          GNOME: a remote-desktop pointer moved to X Y and kept on the seat until the
//                                        process ends; "ready" once it is there
//   vistrel-wlprobe watcher              a StatusNotifierWatcher: "ready", then "registered <service>" lines
// Exit status 0 on success, 1 with one line on stderr otherwise.

#include <linux/input-event-codes.h>
#include <wayland-client.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QObject>
#include <QStringList>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <variant>

#include "platform/linux/portal/PipeWireDisplayStream.h"
#include "platform/wayland/DataControlPasteboard.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandScreenCapture.h"
#include "platform/wayland/WaylandScreens.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

using namespace vistrel;
using namespace vistrel::wayland;

namespace {

int fail(const std::string& message) {
  std::fprintf(stderr, "vistrel-wlprobe: %s\n", message.c_str());
  return 1;
}

std::unique_ptr<WaylandConnection> connectOrNull() { return WaylandConnection::connect(deadlineAfter(2)); }

// Checks `done` every 20 ms, events running in between, until it holds or `seconds` pass.
bool waitUntil(double seconds, const std::function<bool()>& done) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > seconds * 1000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(20);
  }
  return true;
}

// Mutter's own screen cast of the primary monitor, which any client of the session bus may open.
class MutterCast : public QObject, public portal::ScreenCastSource {
  Q_OBJECT

 public:
  std::variant<portal::ScreenCastNode, std::string> open(std::uint32_t, bool showsCursor) override {
    auto bus = QDBusConnection::sessionBus();
    node_ = 0;
    session_ = call("/org/gnome/Mutter/ScreenCast", kCast, "CreateSession", {QVariantMap()}).value<QDBusObjectPath>().path();
    const QString stream = call(session_, kCast + ".Session", "RecordMonitor",
                                {QString(), QVariantMap{{"cursor-mode", uint(showsCursor ? 1 : 0)}}})
                               .value<QDBusObjectPath>().path();
    if (!stream.isEmpty()) bus.connect(kCast, stream, kCast + ".Stream", "PipeWireStreamAdded", this, SLOT(added(uint)));
    call(session_, kCast + ".Session", "Start", {});
    if (!failure_.isEmpty()) return failure_.toStdString();
    if (!waitUntil(10, [this] { return node_ != 0; })) return "Mutter announced no PipeWire stream";
    return portal::ScreenCastNode{-1, node_};
  }
  void close() override {
    failure_.clear();
    if (!session_.isEmpty()) call(session_, kCast + ".Session", "Stop", {});
    session_.clear();
  }

 private slots:
  void added(uint node) { node_ = node; }

 private:
  inline static const QString kCast = QStringLiteral("org.gnome.Mutter.ScreenCast");

  QVariant call(const QString& path, const QString& interface, const QString& method, const QVariantList& arguments) {
    if (!failure_.isEmpty()) return {};
    QDBusMessage message = QDBusMessage::createMethodCall(kCast, path, interface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(message, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage) failure_ = method + ": " + reply.errorMessage();
    return reply.arguments().value(0);
  }

  QString session_, failure_;
  std::uint32_t node_ = 0;
};

int mutterShot(WaylandConnection& connection, const QString& file) {
  WaylandScreens screens(connection, nullptr);
  const auto listed = screens.screens();
  if (listed.empty()) return fail("no screen");
  portal::PipeWireDisplayStream stream(std::make_unique<MutterCast>(), screens);
  platform::StreamConfiguration configuration;
  configuration.capture.width = int(listed[0].frame.w);
  configuration.capture.height = int(listed[0].frame.h);
  configuration.capture.showsCursor = false;
  configuration.minimumFrameInterval = 1.0 / 30;
  std::mutex mutex;
  QImage frame;
  const auto failure = stream.start(listed[0].displayID, configuration, [&](const platform::StreamFrame& f) {
    std::lock_guard lock(mutex);
    if (frame.isNull()) frame = f.image.copy();
  });
  if (failure) return fail("Mutter's screen cast: " + *failure);
  const bool got = waitUntil(10, [&] {
    std::lock_guard lock(mutex);
    return !frame.isNull();
  });
  stream.stop();
  if (!got) return fail("Mutter's screen cast sent no frame");
  return frame.save(file, "PNG") ? 0 : fail("cannot write " + file.toStdString());
}

int shot(const QString& file) {
  auto connection = connectOrNull();
  if (connection && !connection->screencopy() &&
      QDBusConnection::sessionBus().interface()->isServiceRegistered("org.gnome.Mutter.ScreenCast").value()) {
    return mutterShot(*connection, file);
  }
  if (!connection || connection->outputs().empty()) return fail("no compositor or no output");
  const Output& output = *connection->outputs().front();
  WaylandScreenCapture capture(*connection, nullptr);
  platform::CaptureConfiguration configuration;
  configuration.width = output.mode.width;
  configuration.height = output.mode.height;
  configuration.showsCursor = false;
  auto image = capture.captureDisplay(output.globalName, configuration);
  auto* picture = std::get_if<QImage>(&image);
  if (!picture) return fail("the screencopy failed");
  return picture->save(file, "PNG") ? 0 : fail("cannot write " + file.toStdString());
}

int clip(const QString& file) {
  auto connection = connectOrNull();
  if (!connection) return fail("no compositor");
  DataControlPasteboard pasteboard(*connection);
  if (!pasteboard.available()) return fail("the compositor offers no data control");
  connection->sync(deadlineAfter(2));
  for (const auto& type : pasteboard.offeredTypes()) std::printf("%s\n", type.c_str());
  const auto image = pasteboard.image();
  if (!image) return fail("the clipboard holds no image");
  return image->save(file, "PNG") ? 0 : fail("cannot write " + file.toStdString());
}

std::uint32_t milliseconds() {
  return std::uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count());
}

constexpr int kDragSteps = 8;

// A pointer of Mutter's remote-desktop input. The session takes absolute positions on a screen cast of a
// monitor linked to it; both end with this client's connection. A headless GNOME has no other pointer: the seat
// offers one to clients only while a session runs, and a client that binds it late misses what came before.
class MutterPointer {
 public:
  MutterPointer() : bus_(QDBusConnection::sessionBus()) {
    session_ = call(kInput, "/org/gnome/Mutter/RemoteDesktop", kInput, "CreateSession", {})
                   .value<QDBusObjectPath>().path();
    const QString id = call(kInput, session_, "org.freedesktop.DBus.Properties", "Get",
                            {kInput + ".Session", "SessionId"}).value<QDBusVariant>().variant().toString();
    const QString cast = call(kCast, "/org/gnome/Mutter/ScreenCast", kCast, "CreateSession",
                              {QVariantMap{{"remote-desktop-session-id", id}}}).value<QDBusObjectPath>().path();
    stream_ = call(kCast, cast, kCast + ".Session", "RecordMonitor", {QString(), QVariantMap()})
                  .value<QDBusObjectPath>().path();
    call(kInput, session_, kInput + ".Session", "Start", {});
  }
  ~MutterPointer() {
    failure_.clear();
    if (!session_.isEmpty()) call(kInput, session_, kInput + ".Session", "Stop", {});
  }
  static bool offered() {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(kInput).value();
  }
  // The first failure, empty while all went well.
  const QString& failure() const { return failure_; }
  void moveTo(double x, double y) { call(kInput, session_, kInput + ".Session", "NotifyPointerMotionAbsolute", {stream_, x, y}); }
  void button(bool down) { call(kInput, session_, kInput + ".Session", "NotifyPointerButton", {int(BTN_LEFT), down}); }

 private:
  inline static const QString kInput = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
  inline static const QString kCast = QStringLiteral("org.gnome.Mutter.ScreenCast");

  QVariant call(const QString& service, const QString& path, const QString& interface, const QString& method,
                const QVariantList& arguments) {
    if (!failure_.isEmpty()) return {};
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = bus_.call(message, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage) failure_ = method + ": " + reply.errorMessage();
    return reply.arguments().value(0);
  }

  QDBusConnection bus_;
  QString session_, stream_, failure_;
};

int mutterFailure(const QString& failure) { return fail("Mutter's remote desktop: " + failure.toStdString()); }

int mutterDrag(double x1, double y1, double x2, double y2) {
  MutterPointer pointer;
  pointer.moveTo(x1, y1);
  pointer.button(true);
  for (int i = 1; i <= kDragSteps; ++i) pointer.moveTo(x1 + (x2 - x1) * i / kDragSteps, y1 + (y2 - y1) * i / kDragSteps);
  pointer.button(false);
  return pointer.failure().isEmpty() ? 0 : mutterFailure(pointer.failure());
}

// Keeps a pointer at (x, y) on the seat, as a mouse would be, until the process is ended: "ready" once it is there.
int holdPointer(double x, double y) {
  if (!MutterPointer::offered()) return fail("no Mutter remote desktop on the session bus");
  MutterPointer pointer;
  pointer.moveTo(x, y);
  if (!pointer.failure().isEmpty()) return mutterFailure(pointer.failure());
  std::printf("ready\n");
  std::fflush(stdout);
  return QCoreApplication::exec();
}

int drag(double x1, double y1, double x2, double y2) {
  auto connection = connectOrNull();
  if (connection && !connection->virtualPointer() && MutterPointer::offered()) return mutterDrag(x1, y1, x2, y2);
  if (!connection || !connection->virtualPointer() || connection->outputs().empty()) {
    return fail("no compositor with virtual pointers");
  }
  double right = 0, bottom = 0;
  for (const Output* output : connection->outputs()) {
    right = std::max(right, output->layoutRect().maxX());
    bottom = std::max(bottom, output->layoutRect().maxY());
  }
  auto* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(connection->virtualPointer(), connection->seat());
  const auto extentX = std::uint32_t(right), extentY = std::uint32_t(bottom);
  auto moveTo = [&](double x, double y) {
    zwlr_virtual_pointer_v1_motion_absolute(pointer, milliseconds(), std::uint32_t(x), std::uint32_t(y), extentX, extentY);
    zwlr_virtual_pointer_v1_frame(pointer);
    connection->sync(deadlineAfter(2));
  };
  auto button = [&](bool pressed) {
    zwlr_virtual_pointer_v1_button(pointer, milliseconds(), BTN_LEFT,
                                   pressed ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(pointer);
    connection->sync(deadlineAfter(2));
  };
  moveTo(x1, y1);
  button(true);
  for (int i = 1; i <= kDragSteps; ++i) moveTo(x1 + (x2 - x1) * i / kDragSteps, y1 + (y2 - y1) * i / kDragSteps);
  button(false);
  zwlr_virtual_pointer_v1_destroy(pointer);
  return connection->sync(deadlineAfter(2)) ? 0 : fail("the compositor did not take the events");
}

// The part of org.kde.StatusNotifierWatcher that Qt's tray icon uses.
class Watcher : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
  Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
  Q_PROPERTY(int ProtocolVersion READ protocolVersion)
  Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)

 public:
  bool hostRegistered() const { return true; }
  int protocolVersion() const { return 0; }
  QStringList items() const { return items_; }

 public slots:
  void RegisterStatusNotifierItem(const QString& service) {
    items_ << service;
    std::printf("registered %s\n", qPrintable(service));
    std::fflush(stdout);
    emit StatusNotifierItemRegistered(service);
  }
  void RegisterStatusNotifierHost(const QString&) {}

 signals:
  void StatusNotifierItemRegistered(const QString& service);
  void StatusNotifierHostRegistered();

 private:
  QStringList items_;
};

int watcher(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  auto bus = QDBusConnection::sessionBus();
  Watcher watcher;
  if (!bus.registerObject("/StatusNotifierWatcher", &watcher,
                          QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                              QDBusConnection::ExportAllProperties) ||
      !bus.registerService("org.kde.StatusNotifierWatcher")) {
    return fail("cannot take org.kde.StatusNotifierWatcher on the session bus");
  }
  std::printf("ready\n");
  std::fflush(stdout);
  return application.exec();
}

}  // namespace

int main(int argc, char** argv) {
  const QStringList args = [&] {
    QStringList out;
    for (int i = 1; i < argc; ++i) out << QString::fromLocal8Bit(argv[i]);
    return out;
  }();
  const QString command = args.value(0);
  if (command == "watcher") return watcher(argc, argv);
  // The image codecs need a Gui application; the offscreen platform keeps it off the compositor.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  if (command == "shot" && args.size() == 2) return shot(args[1]);
  if (command == "clip" && args.size() == 2) return clip(args[1]);
  if (command == "drag" && args.size() == 5) {
    return drag(args[1].toDouble(), args[2].toDouble(), args[3].toDouble(), args[4].toDouble());
  }
  if (command == "pointer" && args.size() == 3) return holdPointer(args[1].toDouble(), args[2].toDouble());
  return fail("usage: vistrel-wlprobe shot FILE | clip FILE | drag X1 Y1 X2 Y2 | pointer X Y | watcher");
}

#include "main.moc"
