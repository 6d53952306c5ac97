#include "MutterPointer.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>

namespace vistrel::wlprobe {

namespace {

const QString kInput = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
const QString kCast = QStringLiteral("org.gnome.Mutter.ScreenCast");

}  // namespace

MutterPointer::MutterPointer() : bus_(QDBusConnection::sessionBus()) {
  session_ = call(kInput, "/org/gnome/Mutter/RemoteDesktop", kInput, "CreateSession", {}).value<QDBusObjectPath>().path();
  const QString id = call(kInput, session_, "org.freedesktop.DBus.Properties", "Get", {kInput + ".Session", "SessionId"})
                         .value<QDBusVariant>()
                         .variant()
                         .toString();
  const QString cast = call(kCast, "/org/gnome/Mutter/ScreenCast", kCast, "CreateSession",
                            {QVariantMap{{"remote-desktop-session-id", id}}})
                           .value<QDBusObjectPath>()
                           .path();
  stream_ = call(kCast, cast, kCast + ".Session", "RecordMonitor", {QString(), QVariantMap()}).value<QDBusObjectPath>().path();
  call(kInput, session_, kInput + ".Session", "Start", {});
}

MutterPointer::~MutterPointer() {
  failure_.clear();
  if (!session_.isEmpty()) call(kInput, session_, kInput + ".Session", "Stop", {});
}

bool MutterPointer::offered() { return QDBusConnection::sessionBus().interface()->isServiceRegistered(kInput).value(); }

bool MutterPointer::moveTo(double x, double y) {
  call(kInput, session_, kInput + ".Session", "NotifyPointerMotionAbsolute", {stream_, x, y});
  return failure_.isEmpty();
}

bool MutterPointer::button(std::uint32_t code, bool pressed) {
  call(kInput, session_, kInput + ".Session", "NotifyPointerButton", {int(code), pressed});
  return failure_.isEmpty();
}

bool MutterPointer::wheel(int clicks) {
  // Axis 0 is vertical; positive steps scroll down.
  call(kInput, session_, kInput + ".Session", "NotifyPointerAxisDiscrete", {0u, clicks});
  return failure_.isEmpty();
}

QVariant MutterPointer::call(const QString& service, const QString& path, const QString& interface,
                             const QString& method, const QVariantList& arguments) {
  if (!failure_.isEmpty()) return {};
  QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
  message.setArguments(arguments);
  const QDBusMessage reply = bus_.call(message, QDBus::Block, 5000);
  if (reply.type() != QDBusMessage::ReplyMessage) failure_ = method + ": " + reply.errorMessage();
  return reply.arguments().value(0);
}

}  // namespace vistrel::wlprobe
