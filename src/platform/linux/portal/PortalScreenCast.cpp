#include "platform/linux/portal/PortalScreenCast.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>

#include <fcntl.h>

#include "platform/linux/portal/PortalRequest.h"

namespace vistrel::portal {

namespace {

const QString kScreenCast = QStringLiteral("org.freedesktop.portal.ScreenCast");
constexpr double kSessionSeconds = 10;
// Start shows the chooser unless a restore token spares it.
constexpr double kChooserSeconds = 120;
constexpr int kCallTimeoutMs = 5000;

constexpr uint kMonitorSource = 1;
constexpr uint kCursorEmbedded = 2;
constexpr uint kCursorHidden = 1;
constexpr uint kPersistUntilRevoked = 2;

// The first stream's node of Start's `streams` (a(ua{sv})).
std::optional<std::uint32_t> firstNode(const QVariant& streams) {
  if (!streams.canConvert<QDBusArgument>()) return std::nullopt;
  const QDBusArgument argument = streams.value<QDBusArgument>();
  std::optional<std::uint32_t> node;
  argument.beginArray();
  while (!argument.atEnd()) {
    uint id = 0;
    QVariantMap properties;
    argument.beginStructure();
    argument >> id >> properties;
    argument.endStructure();
    if (!node) node = id;
  }
  argument.endArray();
  return node;
}

}  // namespace

PortalScreenCast::PortalScreenCast(QDBusConnection bus, platform::UserDefaults& defaults)
    : bus_(std::move(bus)), defaults_(defaults) {}

PortalScreenCast::~PortalScreenCast() { close(); }

std::variant<ScreenCastNode, std::string> PortalScreenCast::open(std::uint32_t, bool showsCursor) {
  close();
  const uint version = portalProperty(bus_, kScreenCast, QStringLiteral("version")).toUInt();
  if (version == 0) return std::string("The desktop offers no ScreenCast portal.");

  const PortalResponse created =
      request(bus_, kScreenCast, QStringLiteral("CreateSession"), {},
              {{QStringLiteral("session_handle_token"), newToken()}}, kSessionSeconds);
  if (!created.ok()) return created.error;
  session_ = created.results.value(QStringLiteral("session_handle")).toString();
  if (session_.isEmpty()) return std::string("The ScreenCast portal opened no session.");
  const QDBusObjectPath session(session_);

  const uint cursorModes = portalProperty(bus_, kScreenCast, QStringLiteral("AvailableCursorModes")).toUInt();
  QVariantMap selection{{QStringLiteral("types"), kMonitorSource}, {QStringLiteral("multiple"), false}};
  const uint cursor = showsCursor ? kCursorEmbedded : kCursorHidden;
  if (cursorModes & cursor) selection.insert(QStringLiteral("cursor_mode"), cursor);
  if (version >= 4) {
    selection.insert(QStringLiteral("persist_mode"), kPersistUntilRevoked);
    if (const auto token = defaults_.string(kScreenCastRestoreTokenKey); token && !token->empty()) {
      selection.insert(QStringLiteral("restore_token"), QString::fromStdString(*token));
    }
  }
  const PortalResponse selected =
      request(bus_, kScreenCast, QStringLiteral("SelectSources"), {QVariant::fromValue(session)}, selection,
              kSessionSeconds);
  if (!selected.ok()) return selected.error;

  const PortalResponse started = request(bus_, kScreenCast, QStringLiteral("Start"),
                                         {QVariant::fromValue(session), QString()}, {}, kChooserSeconds);
  if (!started.ok()) return started.error;
  const QString next = started.results.value(QStringLiteral("restore_token")).toString();
  if (!next.isEmpty()) defaults_.setString(kScreenCastRestoreTokenKey, next.toStdString());
  const auto node = firstNode(started.results.value(QStringLiteral("streams")));
  if (!node) return std::string("The ScreenCast portal started no stream.");

  QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kScreenCast,
                                                     QStringLiteral("OpenPipeWireRemote"));
  call.setArguments({QVariant::fromValue(session), QVariantMap()});
  const QDBusMessage reply = QDBusConnection(bus_).call(call, QDBus::Block, kCallTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
    return "OpenPipeWireRemote: " + reply.errorMessage().toStdString();
  }
  const auto remote = reply.arguments().first().value<QDBusUnixFileDescriptor>();
  // The message owns its descriptor; PipeWire gets a copy of its own.
  const int fd = remote.isValid() ? fcntl(remote.fileDescriptor(), F_DUPFD_CLOEXEC, 3) : -1;
  if (fd < 0) return std::string("The ScreenCast portal gave no PipeWire connection.");
  return ScreenCastNode{fd, *node};
}

void PortalScreenCast::close() {
  if (session_.isEmpty()) return;
  QDBusConnection(bus_).call(QDBusMessage::createMethodCall(kPortalService, session_,
                                                            QStringLiteral("org.freedesktop.portal.Session"),
                                                            QStringLiteral("Close")),
                             QDBus::NoBlock);
  session_.clear();
}

}  // namespace vistrel::portal
