#include "platform/linux/portal/PermissionStore.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QMap>
#include <QStringList>

namespace vistrel::portal {

namespace {

constexpr int kCallTimeoutMs = 3000;

}  // namespace

bool permissionGranted(const QDBusConnection& bus, const QString& table, const QString& id) {
  if (!bus.isConnected()) return false;
  QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.impl.portal.PermissionStore"),
                                                     QStringLiteral("/org/freedesktop/impl/portal/PermissionStore"),
                                                     QStringLiteral("org.freedesktop.impl.portal.PermissionStore"),
                                                     QStringLiteral("Lookup"));
  call.setArguments({table, id});
  const QDBusMessage reply = QDBusConnection(bus).call(call, QDBus::Block, kCallTimeoutMs);
  // A missing entry is an error reply (NotFound), like a missing store.
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
  QMap<QString, QStringList> permissions;
  reply.arguments().first().value<QDBusArgument>() >> permissions;
  return permissions.value(QString()).contains(QStringLiteral("yes"));
}

}  // namespace vistrel::portal
