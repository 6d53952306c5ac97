#include "platform/linux/portal/PortalRequest.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QEventLoop>
#include <QTimer>

#include <atomic>

#include "platform/linux/portal/PortalResponseReceiver.h"

namespace vistrel::portal {

namespace {

constexpr int kCallTimeoutMs = 5000;
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");

}  // namespace

QString newToken() {
  static std::atomic<int> counter{0};
  return QStringLiteral("vistrel%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
}

QString handlePath(const QDBusConnection& bus, const QString& kind, const QString& token) {
  QString sender = bus.baseService();
  sender.remove(0, 1).replace(QLatin1Char('.'), QLatin1Char('_'));  // ":1.42" -> "1_42"
  return QStringLiteral("/org/freedesktop/portal/desktop/%1/%2/%3").arg(kind, sender, token);
}

PortalResponse request(const QDBusConnection& bus, const QString& interface, const QString& method,
                       QVariantList arguments, QVariantMap options, double timeoutSeconds) {
  PortalResponse response;
  if (!bus.isConnected()) {
    response.outcome = PortalResponse::Outcome::failed;
    response.error = "there is no session bus";
    return response;
  }
  const QString token = newToken();
  options.insert(QStringLiteral("handle_token"), token);
  arguments.append(options);
  QString path = handlePath(bus, QStringLiteral("request"), token);

  QEventLoop loop;
  PortalResponseReceiver receiver;
  QObject::connect(&receiver, &PortalResponseReceiver::answered, &loop, &QEventLoop::quit);
  QDBusConnection connection(bus);
  auto subscribe = [&](const QString& at) {
    return connection.connect(kPortalService, at, kRequestInterface, QStringLiteral("Response"), &receiver,
                              SLOT(onResponse(uint, QVariantMap)));
  };
  auto unsubscribe = [&](const QString& at) {
    connection.disconnect(kPortalService, at, kRequestInterface, QStringLiteral("Response"), &receiver,
                          SLOT(onResponse(uint, QVariantMap)));
  };
  subscribe(path);

  QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, interface, method);
  call.setArguments(arguments);
  const QDBusMessage reply = connection.call(call, QDBus::Block, kCallTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage) {
    unsubscribe(path);
    response.outcome = PortalResponse::Outcome::failed;
    response.error = (interface + "." + method + ": " + reply.errorMessage()).toStdString();
    return response;
  }
  // Portals older than 0.9 chose the path themselves.
  const QString given = reply.arguments().value(0).value<QDBusObjectPath>().path();
  if (!given.isEmpty() && given != path) {
    unsubscribe(path);
    path = given;
    subscribe(path);
  }

  if (!receiver.hasAnswer()) {
    QTimer::singleShot(int(timeoutSeconds * 1000), &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  unsubscribe(path);
  if (!receiver.hasAnswer()) {
    connection.call(QDBusMessage::createMethodCall(kPortalService, path, kRequestInterface, QStringLiteral("Close")),
                    QDBus::NoBlock);
    response.error = (interface + "." + method + ": no answer").toStdString();
    return response;
  }
  response.results = receiver.results();
  switch (receiver.code()) {
    case 0:
      response.outcome = PortalResponse::Outcome::success;
      break;
    case 1:
      response.outcome = PortalResponse::Outcome::cancelled;
      response.error = (interface + "." + method + ": the user cancelled").toStdString();
      break;
    default:
      response.outcome = PortalResponse::Outcome::failed;
      response.error = (interface + "." + method + ": the portal refused").toStdString();
      break;
  }
  return response;
}

QVariant portalProperty(const QDBusConnection& bus, const QString& interface, const QString& name) {
  QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath,
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("Get"));
  call.setArguments({interface, name});
  const QDBusReply<QDBusVariant> reply = QDBusConnection(bus).call(call, QDBus::Block, kCallTimeoutMs);
  return reply.isValid() ? reply.value().variant() : QVariant();
}

}  // namespace vistrel::portal
