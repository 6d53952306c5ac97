#pragma once
// The request and response shape every xdg-desktop-portal method with a user
// interaction shares: the call names a token (handle_token), the portal
// answers at once with the path of a Request object built from our unique
// bus name and that token, and later emits Response(code, results) on it.
// We subscribe to the path before calling, so an answer that comes before
// the reply is not lost.
//
// The wait runs a local event loop on the calling thread (the main thread in
// the program) with a deadline; on the deadline the request is closed.

#include <QDBusConnection>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <string>

namespace vistrel::portal {

inline const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
inline const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");

struct PortalResponse {
  enum class Outcome { success, cancelled, failed, noAnswer };
  Outcome outcome = Outcome::noAnswer;
  QVariantMap results;
  std::string error;  // the call's D-Bus error, or what the outcome means, for logs and faults

  bool ok() const { return outcome == Outcome::success; }
};

// A token unique in this process, usable as handle_token or session_handle_token.
QString newToken();

// The object path the portal gives the Request (or Session) for `token` of our connection.
QString handlePath(const QDBusConnection& bus, const QString& kind, const QString& token);

// Calls `interface.method(arguments..., options)` on the portal, `options`
// gaining a fresh handle_token, and waits up to `timeoutSeconds` for the Response.
PortalResponse request(const QDBusConnection& bus, const QString& interface, const QString& method,
                       QVariantList arguments, QVariantMap options, double timeoutSeconds);

// A property of a portal interface ("version", "AvailableCursorModes"...); invalid when it cannot be read.
QVariant portalProperty(const QDBusConnection& bus, const QString& interface, const QString& name);

}  // namespace vistrel::portal
