#pragma once
// Reads the grants xdg-desktop-portal keeps in its permission store
// (org.freedesktop.impl.portal.PermissionStore). Programs that run outside
// a sandbox are stored under the empty application id.

#include <QDBusConnection>
#include <QString>

namespace vistrel::portal {

// Whether `table`/`id` grants "yes" to programs outside a sandbox; false when
// there is no such entry or no store answers.
bool permissionGranted(const QDBusConnection& bus, const QString& table, const QString& id);

}  // namespace vistrel::portal
