// The Wayland tier's outside view of the program, as separate clients of the
// compositor and the session bus:
//   vistrel-wlprobe shot FILE            the first output as PNG (screencopy; KWin: ScreenShot2)
//   vistrel-wlprobe clip FILE            the clipboard's types on stdout, its image as PNG (data control)
//   vistrel-wlprobe drag X1 Y1 X2 Y2     a left-button drag, in layout pixels
//   vistrel-wlprobe move X Y             the pointer to a point
//   vistrel-wlprobe click X Y            a left click
//   vistrel-wlprobe wheel X Y CLICKS     wheel clicks over a point (positive: down)
//     (the pointer is a virtual pointer on wlroots, KWin's fake input on KDE Plasma)
//   vistrel-wlprobe watcher              a StatusNotifierWatcher: "ready", then "registered <service>" lines
// Exit status 0 on success, 1 with one line on stderr otherwise.

#include <linux/input-event-codes.h>
#include <wayland-client.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QGuiApplication>
#include <QImage>
#include <QObject>
#include <QStringList>

#include <cstdio>
#include <variant>

#include "platform/wayland/DataControlPasteboard.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandScreenCapture.h"
#include "platform/wayland/kde/KWinScreenCapture.h"
#include "TestPointer.h"

using namespace vistrel;
using namespace vistrel::wayland;

namespace {

int fail(const std::string& message) {
  std::fprintf(stderr, "vistrel-wlprobe: %s\n", message.c_str());
  return 1;
}

std::unique_ptr<WaylandConnection> connectOrNull() { return WaylandConnection::connect(deadlineAfter(2)); }

// KWin offers no screencopy: there the picture comes from ScreenShot2, which
// answers only a program an installed desktop file names for it.
int shot(const QString& file) {
  auto connection = connectOrNull();
  if (!connection || connection->outputs().empty()) return fail("no compositor or no output");
  const Output& output = *connection->outputs().front();
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
  if ((command == "drag" && args.size() == 5) || ((command == "click" || command == "move") && args.size() == 3) ||
      (command == "wheel" && args.size() == 4)) {
    return point(command, args);
  }
  return fail("usage: vistrel-wlprobe shot FILE | clip FILE | drag X1 Y1 X2 Y2 | move X Y | click X Y | wheel X Y CLICKS | watcher");
}

#include "main.moc"
