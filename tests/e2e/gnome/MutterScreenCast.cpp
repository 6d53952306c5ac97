#include "MutterScreenCast.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QEventLoop>
#include <QTimer>

namespace vistrel::e2e {

namespace {

const QString kService = QStringLiteral("org.gnome.Mutter.ScreenCast");

QDBusMessage call(const QDBusConnection& bus, const QString& path, const QString& interface, const QString& method,
                  const QVariantList& arguments) {
  QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
  message.setArguments(arguments);
  return QDBusConnection(bus).call(message, QDBus::Block, 5000);
}

}  // namespace

void MutterScreenCast::onStreamAdded(uint node) { node_ = node; }

std::variant<portal::ScreenCastNode, std::string> MutterScreenCast::open(std::uint32_t, bool showsCursor) {
  close();
  const QDBusMessage created = call(bus_, "/org/gnome/Mutter/ScreenCast", kService, "CreateSession", {QVariantMap()});
  if (created.type() != QDBusMessage::ReplyMessage) return "CreateSession: " + created.errorMessage().toStdString();
  session_ = created.arguments().value(0).value<QDBusObjectPath>().path();
  // An empty connector names the primary monitor; cursor mode 1 draws the pointer in, 0 leaves it out.
  const QDBusMessage recorded =
      call(bus_, session_, kService + ".Session", "RecordMonitor",
           {QString(), QVariantMap{{QStringLiteral("cursor-mode"), uint(showsCursor ? 1 : 0)}}});
  if (recorded.type() != QDBusMessage::ReplyMessage) return "RecordMonitor: " + recorded.errorMessage().toStdString();
  const QString stream = recorded.arguments().value(0).value<QDBusObjectPath>().path();
  node_.reset();
  QDBusConnection(bus_).connect(kService, stream, kService + ".Stream", "PipeWireStreamAdded", this,
                                SLOT(onStreamAdded(uint)));
  const QDBusMessage started = call(bus_, session_, kService + ".Session", "Start", {});
  if (started.type() != QDBusMessage::ReplyMessage) return "Start: " + started.errorMessage().toStdString();
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (node_) loop.quit();
  });
  poll.start(10);
  QTimer::singleShot(5000, &loop, &QEventLoop::quit);
  if (!node_) loop.exec();
  if (!node_) return std::string("Mutter announced no PipeWire stream");
  return portal::ScreenCastNode{-1, *node_};
}

void MutterScreenCast::close() {
  if (session_.isEmpty()) return;
  call(bus_, session_, kService + ".Session", "Stop", {});
  session_.clear();
}

}  // namespace vistrel::e2e
