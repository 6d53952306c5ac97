// The Wayland tier's outside view of the program, as separate clients of the
// compositor and the session bus:
//   vistrel-wlprobe shot FILE [OUTPUT]   the first output (or the one named) as PNG (screencopy; KWin: ScreenShot2;
//                                        GNOME: a frame of Mutter's screen cast of the primary monitor)
//   vistrel-wlprobe clip FILE            the clipboard's types on stdout, its image as PNG (data control)
//   vistrel-wlprobe drag X1 Y1 X2 Y2     a left-button drag, in layout pixels
//   vistrel-wlprobe move X Y             the pointer to a point
//   vistrel-wlprobe click X Y            a left click
//   vistrel-wlprobe wheel X Y CLICKS     wheel clicks over a point (positive: down)
//     (the pointer is a virtual pointer on wlroots, KWin's fake input on KDE Plasma, Mutter's remote desktop on GNOME)
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
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QObject>
#include <QStringList>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <variant>

#include "platform/linux/portal/PipeWireDisplayStream.h"
#include "platform/wayland/DataControlPasteboard.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandScreenCapture.h"
#include "platform/wayland/WaylandScreens.h"
#include "platform/wayland/kde/KWinScreenCapture.h"
#include "MutterPointer.h"
#include "TestPointer.h"
#include "support/WaitUntil.h"

using namespace vistrel;
using namespace vistrel::wayland;

namespace {

int fail(const std::string& message) {
  std::fprintf(stderr, "vistrel-wlprobe: %s\n", message.c_str());
  return 1;
}

std::unique_ptr<WaylandConnection> connectOrNull() { return WaylandConnection::connect(deadlineAfter(2)); }

using vistrel::testing::waitUntil;

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

// KWin offers no screencopy: there the picture comes from ScreenShot2, which
// answers only a program an installed desktop file names for it.
int shot(const QString& file, const QString& name) {
  auto connection = connectOrNull();
  if (!name.isEmpty() && (!connection || !connection->screencopy())) return fail("a named output needs screencopy");
  if (connection && !connection->screencopy() &&
      QDBusConnection::sessionBus().interface()->isServiceRegistered("org.gnome.Mutter.ScreenCast").value()) {
    return mutterShot(*connection, file);
  }
  if (!connection || connection->outputs().empty()) return fail("no compositor or no output");
  const auto outputs = connection->outputs();
  const auto named = name.isEmpty() ? outputs.begin()
                                    : std::find_if(outputs.begin(), outputs.end(), [&name](const Output* o) {
                                        return o->name == name.toStdString();
                                      });
  if (named == outputs.end()) return fail("no output named " + name.toStdString());
  const Output& output = **named;
  platform::CaptureResult<QImage> image = platform::CaptureFault{"no capture"};
  if (connection->screencopy()) {
    WaylandScreenCapture capture(*connection, nullptr);
    platform::CaptureConfiguration configuration;
    configuration.width = output.mode.width;
    configuration.height = output.mode.height;
    configuration.showsCursor = false;
    image = capture.captureDisplay(output.globalName, configuration);
  } else {
    const Rect area = output.layoutRect();
    image = kde::screenShot2("CaptureArea", {int(area.x), int(area.y), uint(area.w), uint(area.h)},
                             {{"include-cursor", false}, {"native-resolution", true}}, 5);
  }
  auto* picture = std::get_if<QImage>(&image);
  if (!picture) return fail("the screen capture failed: " + std::get<platform::CaptureFault>(image).description);
  return picture->convertToFormat(QImage::Format_RGB32).save(file, "PNG") ? 0 : fail("cannot write " + file.toStdString());
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

// The pointer to a point, then a left-button drag from there, a left click or wheel clicks.
int point(const QString& what, const QStringList& args) {
  auto connection = connectOrNull();
  if (!connection || connection->outputs().empty()) return fail("no compositor or no output");
  auto pointer = wlprobe::TestPointer::make(*connection);
  if (!pointer) return fail("the compositor offers this program neither virtual pointers nor fake input");
  const double x = args[1].toDouble(), y = args[2].toDouble();
  bool ok = pointer->moveTo(x, y);
  if (what == "drag") {
    const double x2 = args[3].toDouble(), y2 = args[4].toDouble();
    ok = ok && pointer->button(BTN_LEFT, true);
    constexpr int kSteps = 8;
    for (int i = 1; i <= kSteps; ++i) ok = ok && pointer->moveTo(x + (x2 - x) * i / kSteps, y + (y2 - y) * i / kSteps);
    ok = ok && pointer->button(BTN_LEFT, false);
  }
  if (what == "click") ok = ok && pointer->button(BTN_LEFT, true) && pointer->button(BTN_LEFT, false);
  if (what == "wheel") ok = ok && pointer->wheel(args[3].toInt());
  return ok ? 0 : fail("the compositor did not take the events");
}

// Keeps a pointer at (x, y) on the seat, as a mouse would be, until the process is ended: "ready" once it is there.
int holdPointer(double x, double y) {
  if (!wlprobe::MutterPointer::offered()) return fail("no Mutter remote desktop on the session bus");
  wlprobe::MutterPointer pointer;
  if (!pointer.moveTo(x, y)) return fail("Mutter's remote desktop: " + pointer.failure().toStdString());
  std::printf("ready\n");
  std::fflush(stdout);
  return QCoreApplication::exec();
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
  if (command == "shot" && (args.size() == 2 || args.size() == 3)) return shot(args[1], args.value(2));
  if (command == "clip" && args.size() == 2) return clip(args[1]);
  if ((command == "drag" && args.size() == 5) || ((command == "click" || command == "move") && args.size() == 3) ||
      (command == "wheel" && args.size() == 4)) {
    return point(command, args);
  }
  if (command == "pointer" && args.size() == 3) return holdPointer(args[1].toDouble(), args[2].toDouble());
  return fail("usage: vistrel-wlprobe shot FILE [OUTPUT] | clip FILE | drag X1 Y1 X2 Y2 | move X Y | click X Y | wheel X Y CLICKS |"
              " pointer X Y | watcher");
}

#include "main.moc"
