#include "platform/linux/DBusNotifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QGuiApplication>
#include <QMetaObject>
#include <QVariantMap>

#include <atomic>
#include <cstdio>

namespace vistrel::desktop {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

// A service that is activatable but never starts must not hold a request for
// D-Bus's default 25 seconds.
constexpr int kCallTimeoutMs = 5000;

QString uniqueConnectionName() {
  static std::atomic<int> counter{0};
  return QStringLiteral("vistrel-notifications-%1").arg(++counter);
}

}  // namespace

DBusNotifications::DBusNotifications(const std::string& busAddress) : connectionName_(uniqueConnectionName()) {
  if (busAddress.empty()) {
    noteUnreachable(QStringLiteral("DBUS_SESSION_BUS_ADDRESS is not set"));
    return;
  }
  // A private connection to exactly this address: the shared session bus of
  // libdbus would try to launch a bus of its own when the address is missing.
  const QDBusConnection connection = QDBusConnection::connectToBus(QString::fromStdString(busAddress), connectionName_);
  connected_ = connection.isConnected();
  if (!connected_) noteUnreachable(connection.lastError().message());
}

DBusNotifications::~DBusNotifications() { QDBusConnection::disconnectFromBus(connectionName_); }

void DBusNotifications::requestAuthorization(platform::NotificationOptions, std::function<void(bool)> completion) {
  if (!connected_) {
    QMetaObject::invokeMethod(&context_, [completion = std::move(completion)] {
      if (completion) completion(false);
    }, Qt::QueuedConnection);
    return;
  }
  const QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                              QStringLiteral("GetServerInformation"));
  auto* watcher = new QDBusPendingCallWatcher(
      QDBusConnection(connectionName_).asyncCall(message, kCallTimeoutMs), &context_);
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &context_,
                   [this, completion = std::move(completion)](QDBusPendingCallWatcher* finished) {
                     finished->deleteLater();
                     const bool granted = !finished->isError();
                     if (!granted) noteUnreachable(finished->error().message());
                     if (completion) completion(granted);
                   });
}

void DBusNotifications::add(const platform::NotificationRequest& request) {
  if (!connected_) return;
  bool sound = request.sound;
  if (QGuiApplication::applicationState() == Qt::ApplicationActive) {
    if (!delegate_) return;
    const auto options = delegate_->willPresent(request);
    if (!options.alert) return;
    sound = sound && options.sound;
  }
  QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("vistrel")}};
  if (sound) hints.insert(QStringLiteral("sound-name"), QStringLiteral("message-new-instant"));
  QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
  message << QStringLiteral("Vistrel") << uint(0) << QString() << QString::fromStdString(request.title)
          << QString::fromStdString(request.body) << QStringList() << hints << int(-1);
  auto* watcher = new QDBusPendingCallWatcher(
      QDBusConnection(connectionName_).asyncCall(message, kCallTimeoutMs), &context_);
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &context_, [this](QDBusPendingCallWatcher* finished) {
    finished->deleteLater();
    if (finished->isError()) noteUnreachable(finished->error().message());
  });
}

// One line per run is enough to explain why no banners appear.
void DBusNotifications::noteUnreachable(const QString& reason) {
  if (reportedUnreachable_) return;
  reportedUnreachable_ = true;
  std::fprintf(stderr, "vistrel: notifications unavailable (%s); they are dropped\n", qPrintable(reason));
}

}  // namespace vistrel::desktop
