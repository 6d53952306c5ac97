#include "platform/wayland/gnome/ShellWindowControl.h"

#include <QDBusArgument>
#include <QDBusMessage>

#include <cmath>

namespace vistrel::gnome {

namespace {

const QString kService = QStringLiteral("org.gnome.Shell");
const QString kPath = QStringLiteral("/app/vistrel/Shell");
const QString kInterface = QStringLiteral("app.vistrel.WindowControl");
constexpr double kProbeSeconds = 1.0;

std::optional<QList<QVariant>> call(const QDBusConnection& bus, const QString& method, const QVariantList& arguments,
                                    double timeoutSeconds) {
  if (!bus.isConnected()) return std::nullopt;
  QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
  message.setArguments(arguments);
  const QDBusMessage reply = QDBusConnection(bus).call(message, QDBus::Block, int(timeoutSeconds * 1000));
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return std::nullopt;
  return reply.arguments();
}

}  // namespace

std::vector<platform::CaptureWindow> captureWindows(const std::vector<ShellWindow>& windows) {
  std::vector<platform::CaptureWindow> listed;
  for (const ShellWindow& window : windows) {
    // Meta.Window ids count up from 1 in a Shell's run and stay far below 2^32.
    if (window.minimized) continue;
    listed.push_back({std::uint32_t(window.id), window.frame, window.pid, window.wmClass, window.title, 0});
  }
  return listed;
}

ShellWindowControl::ShellWindowControl(QDBusConnection bus) : bus_(std::move(bus)) {}

bool ShellWindowControl::available() const { return focusedWindow(kProbeSeconds).has_value(); }

std::optional<std::uint64_t> ShellWindowControl::focusedWindow(double timeoutSeconds) const {
  const auto reply = call(bus_, QStringLiteral("FocusedWindow"), {}, timeoutSeconds);
  if (!reply) return std::nullopt;
  return reply->first().toULongLong();
}

std::optional<std::vector<ShellWindow>> ShellWindowControl::windows(double timeoutSeconds) const {
  const auto reply = call(bus_, QStringLiteral("Windows"), {}, timeoutSeconds);
  if (!reply || !reply->first().canConvert<QDBusArgument>()) return std::nullopt;
  const QDBusArgument argument = reply->first().value<QDBusArgument>();
  std::vector<ShellWindow> windows;
  argument.beginArray();
  while (!argument.atEnd()) {
    qulonglong id = 0;
    uint pid = 0;
    QString wmClass, title;
    int x = 0, y = 0, width = 0, height = 0;
    bool minimized = false, fullScreen = false;
    argument.beginStructure();
    argument >> id >> pid >> wmClass >> title >> x >> y >> width >> height >> minimized >> fullScreen;
    argument.endStructure();
    windows.push_back({id, std::int32_t(pid), wmClass.toStdString(), title.toStdString(),
                       Rect(x, y, width, height), minimized, fullScreen});
  }
  argument.endArray();
  return windows;
}

std::optional<bool> ShellWindowControl::move(std::uint64_t id, Point topLeft, double timeoutSeconds) {
  const auto reply = call(bus_, QStringLiteral("Move"),
                          {qulonglong(id), int(std::lround(topLeft.x)), int(std::lround(topLeft.y))}, timeoutSeconds);
  if (!reply) return std::nullopt;
  return reply->first().toBool();
}

std::optional<bool> ShellWindowControl::resize(std::uint64_t id, Size size, double timeoutSeconds) {
  const auto reply = call(bus_, QStringLiteral("Resize"),
                          {qulonglong(id), int(std::lround(size.width)), int(std::lround(size.height))},
                          timeoutSeconds);
  if (!reply) return std::nullopt;
  return reply->first().toBool();
}

std::optional<bool> ShellWindowControl::activate(std::uint64_t id, double timeoutSeconds) {
  const auto reply = call(bus_, QStringLiteral("Activate"), {qulonglong(id)}, timeoutSeconds);
  if (!reply) return std::nullopt;
  return reply->first().toBool();
}

}  // namespace vistrel::gnome
