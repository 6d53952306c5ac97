#include "platform/linux/portal/PortalGlobalShortcuts.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <qlogging.h>

#include <algorithm>
#include <array>
#include <utility>

#include "base/KeyCodeLabels.h"
#include "base/KeyCodes.h"

namespace vistrel::portal {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
// Plasma's portal names the kglobalaccel component of a session after its token.
const QString kSessionToken = QStringLiteral("vistrel");
const QString kKGlobalAccel = QStringLiteral("org.kde.kglobalaccel");

// One entry of the portal's a(sa{sv}) shortcut lists.
struct Shortcut {
  QString id;
  QVariantMap properties;
};
using Shortcuts = QList<Shortcut>;

QDBusArgument& operator<<(QDBusArgument& argument, const Shortcut& shortcut) {
  argument.beginStructure();
  argument << shortcut.id << shortcut.properties;
  argument.endStructure();
  return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, Shortcut& shortcut) {
  argument.beginStructure();
  argument >> shortcut.id >> shortcut.properties;
  argument.endStructure();
  return argument;
}

}  // namespace

}  // namespace vistrel::portal

Q_DECLARE_METATYPE(vistrel::portal::Shortcut)
Q_DECLARE_METATYPE(vistrel::portal::Shortcuts)

namespace vistrel::portal {

namespace {

// Keys by their xkb keysym names, as the shortcuts of the portal's
// preferred_trigger are written ("CTRL+ALT+Left", "LOGO+a").
QString namedKey(std::uint32_t keyCode) {
  static const std::map<std::uint32_t, const char*> names{
      {KeyCode::returnKey, "Return"},  {KeyCode::tab, "Tab"},           {KeyCode::space, "space"},
      {KeyCode::deleteKey, "BackSpace"}, {KeyCode::escape, "Escape"},   {KeyCode::keypadEnter, "KP_Enter"},
      {KeyCode::forwardDelete, "Delete"}, {KeyCode::home, "Home"},       {KeyCode::end, "End"},
      {KeyCode::pageUp, "Page_Up"},    {KeyCode::pageDown, "Page_Down"}, {KeyCode::leftArrow, "Left"},
      {KeyCode::rightArrow, "Right"},  {KeyCode::downArrow, "Down"},     {KeyCode::upArrow, "Up"},
      {KeyCode::f1, "F1"},             {KeyCode::f2, "F2"},              {KeyCode::f3, "F3"},
      {KeyCode::f4, "F4"},             {KeyCode::f5, "F5"},              {KeyCode::f6, "F6"},
      {KeyCode::f7, "F7"},             {KeyCode::f8, "F8"},              {KeyCode::f9, "F9"},
      {KeyCode::f10, "F10"},           {KeyCode::f11, "F11"},            {KeyCode::f12, "F12"}};
  const auto it = names.find(keyCode);
  return it == names.end() ? QString() : QString::fromLatin1(it->second);
}

// A character key's keysym name: letters and digits are their own names.
QString characterKey(const std::string& character) {
  static const std::map<std::string, const char*> names{
      {"=", "equal"},     {"-", "minus"},         {"]", "bracketright"}, {"[", "bracketleft"},
      {"'", "apostrophe"}, {";", "semicolon"},    {"\\", "backslash"},   {",", "comma"},
      {"/", "slash"},     {".", "period"},        {"`", "grave"}};
  const auto it = names.find(character);
  return it == names.end() ? QString::fromStdString(character) : QString::fromLatin1(it->second);
}

// The object path of the request a call with `token` makes (the portal's documented rule).
QString requestPath(const QString& token) {
  QString sender = QDBusConnection::sessionBus().baseService().mid(1);
  sender.replace(QLatin1Char('.'), QLatin1Char('_'));
  return kPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

}  // namespace

std::optional<QString> triggerText(std::uint32_t keyCode, std::uint32_t carbonModifiers) {
  QString key = namedKey(keyCode);
  if (key.isEmpty()) {
    const auto character = KeyCodeLabels::baseCharacter(std::uint16_t(keyCode));
    if (!character || keyCode > 0xFFFF) return std::nullopt;
    key = characterKey(*character);
  }
  static const std::array<std::pair<std::uint32_t, const char*>, 4> modifiers{
      {{platform::carbon::controlKey, "CTRL+"},
       {platform::carbon::optionKey, "ALT+"},
       {platform::carbon::shiftKey, "SHIFT+"},
       {platform::carbon::cmdKey, "LOGO+"}}};  // Super
  QString text;
  for (const auto& [mask, name] : modifiers) {
    if (carbonModifiers & mask) text += QLatin1String(name);
  }
  return text + key;
}

namespace {

// Whether a portal backend meant for this desktop (its .portal file's UseIn
// names one of XDG_CURRENT_DESKTOP's entries) implements `interface`. The
// portal offers an interface whenever any installed backend has it, also one
// for another desktop that then refuses every session (KDE's on GNOME).
bool desktopBackendImplements(const QString& interface) {
  const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").toLower().split(':', Qt::SkipEmptyParts);
  QStringList dataDirs = qEnvironmentVariable("XDG_DATA_DIRS").split(':', Qt::SkipEmptyParts);
  if (dataDirs.isEmpty()) dataDirs = {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};
  for (const QString& dir : dataDirs) {
    const QDir portals(dir + QStringLiteral("/xdg-desktop-portal/portals"));
    for (const QString& name : portals.entryList({QStringLiteral("*.portal")}, QDir::Files)) {
      QFile file(portals.filePath(name));
      if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) continue;
      QStringList interfaces, useIn;
      for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
        if (line.startsWith(QLatin1String("Interfaces=")))
          interfaces = line.mid(11).trimmed().split(';', Qt::SkipEmptyParts);
        else if (line.startsWith(QLatin1String("UseIn=")))
          useIn = line.mid(6).trimmed().toLower().split(';', Qt::SkipEmptyParts);
      }
      const bool forThisDesktop =
          std::any_of(useIn.begin(), useIn.end(), [&](const QString& d) { return desktops.contains(d); });
      if (forThisDesktop && interfaces.contains(interface)) return true;
    }
  }
  return false;
}

}  // namespace

bool PortalGlobalShortcuts::available() {
  const QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  if (!desktopBackendImplements(QStringLiteral("org.freedesktop.impl.portal.GlobalShortcuts"))) return false;
  QDBusMessage get = QDBusMessage::createMethodCall(kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                    QStringLiteral("Get"));
  get.setArguments({kInterface, QStringLiteral("version")});
  const QDBusMessage reply = bus.call(get, QDBus::Block, 3000);
  return reply.type() == QDBusMessage::ReplyMessage &&
         reply.arguments().value(0).value<QDBusVariant>().variant().toUInt() >= 1;
}

PortalGlobalShortcuts::PortalGlobalShortcuts() {
  qDBusRegisterMetaType<Shortcut>();
  qDBusRegisterMetaType<Shortcuts>();
  QDBusConnection::sessionBus().connect(kService, kPath, kInterface, QStringLiteral("Activated"), this,
                                        SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
}

PortalGlobalShortcuts::~PortalGlobalShortcuts() { closeSession(); }

int PortalGlobalShortcuts::registerHotKey(std::uint32_t keyCode, std::uint32_t carbonModifiers,
                                          platform::HotKeyID id, platform::HotKeyRef* out) {
  if (!out) return platform::kParamErr;
  const auto trigger = triggerText(keyCode, carbonModifiers);
  if (!trigger) return platform::kEventHotKeyInvalidErr;
  const platform::HotKeyRef ref = nextRef_++;
  const QString shortcutId = QStringLiteral("hotkey-%1-%2").arg(id.id).arg(*trigger);
  bindings_[ref] = {id, *trigger, shortcutId};
  *out = ref;
  scheduleSession();
  return platform::kHotKeyNoErr;
}

int PortalGlobalShortcuts::unregisterHotKey(platform::HotKeyRef ref) {
  if (bindings_.erase(ref) == 0) return platform::kParamErr;
  scheduleSession();
  return platform::kHotKeyNoErr;
}

int PortalGlobalShortcuts::installEventHandler(std::function<void(platform::HotKeyID)> handler) {
  handler_ = std::move(handler);
  return platform::kHotKeyNoErr;
}

void PortalGlobalShortcuts::scheduleSession() {
  if (scheduled_) return;
  scheduled_ = true;
  QTimer::singleShot(0, this, [this] {
    scheduled_ = false;
    openSession();
  });
}

void PortalGlobalShortcuts::closeSession() {
  if (session_.isEmpty()) return;
  const QDBusMessage close = QDBusMessage::createMethodCall(kService, session_, QStringLiteral("org.freedesktop.portal.Session"),
                                                           QStringLiteral("Close"));
  // Answered before a session of the same name is asked for.
  QDBusConnection::sessionBus().call(close, QDBus::Block, 2000);
  session_.clear();
}

void PortalGlobalShortcuts::dropStaleShortcuts() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  const QString component = QStringLiteral("/component/") + kSessionToken;
  const QDBusMessage names = bus.call(
      QDBusMessage::createMethodCall(kKGlobalAccel, component, QStringLiteral("org.kde.kglobalaccel.Component"),
                                     QStringLiteral("shortcutNames")),
      QDBus::Block, 1000);
  // No kglobalaccel (another desktop), or no component yet: nothing is held.
  if (names.type() != QDBusMessage::ReplyMessage) return;
  QStringList kept;
  for (const auto& [ref, binding] : bindings_) kept << binding.shortcutId;
  for (const QString& name : names.arguments().value(0).toStringList()) {
    if (kept.contains(name)) continue;
    QDBusMessage drop = QDBusMessage::createMethodCall(kKGlobalAccel, QStringLiteral("/kglobalaccel"),
                                                       QStringLiteral("org.kde.KGlobalAccel"), QStringLiteral("unregister"));
    drop.setArguments({kSessionToken, name});
    const QDBusMessage reply = bus.call(drop, QDBus::Block, 1000);
    if (reply.type() != QDBusMessage::ReplyMessage || !reply.arguments().value(0).toBool()) {
      qWarning("vistrel portal: kglobalaccel kept the old shortcut %s", qPrintable(name));
    }
  }
}

void PortalGlobalShortcuts::openSession() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  closeSession();
  if (!request_.isEmpty()) {
    bus.disconnect(kService, request_, kRequestInterface, QStringLiteral("Response"), this,
                   SLOT(onResponse(uint, QVariantMap)));
    request_.clear();
  }
  dropStaleShortcuts();
  if (bindings_.empty()) return;

  Shortcuts shortcuts;
  for (const auto& [ref, binding] : bindings_) {
    shortcuts.append({binding.shortcutId,
                      {{QStringLiteral("description"), QStringLiteral("Vistrel: %1").arg(binding.trigger)},
                       {QStringLiteral("preferred_trigger"), binding.trigger}}});
  }
  const QString token = QStringLiteral("vistrel%1").arg(nextToken_++);
  request_ = requestPath(token);
  // Subscribed before the call, so that an answer that comes at once is not missed.
  bus.connect(kService, request_, kRequestInterface, QStringLiteral("Response"), this,
              SLOT(onResponse(uint, QVariantMap)));
  const QVariantMap options{{QStringLiteral("handle_token"), token},
                            {QStringLiteral("session_handle_token"), kSessionToken},
                            {QStringLiteral("shortcuts"), QVariant::fromValue(shortcuts)}};
  QDBusMessage create = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("CreateSession"));
  create.setArguments({options});
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(create), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
    call->deleteLater();
    if (!call->isError()) return;
    qWarning("vistrel portal: CreateSession failed: %s", qPrintable(call->error().message()));
    Q_EMIT sessionChanged(false);
  });
  qInfo("vistrel portal: asking for %zu global shortcuts", bindings_.size());
}

void PortalGlobalShortcuts::onResponse(uint response, const QVariantMap& results) {
  QDBusConnection::sessionBus().disconnect(kService, request_, kRequestInterface, QStringLiteral("Response"), this,
                                           SLOT(onResponse(uint, QVariantMap)));
  request_.clear();
  if (response != 0) {
    qWarning("vistrel portal: the desktop refused the global shortcuts (response %u)", response);
    Q_EMIT sessionChanged(false);
    return;
  }
  session_ = results.value(QStringLiteral("session_handle")).toString();
  if (session_.isEmpty()) session_ = results.value(QStringLiteral("session_handle")).value<QDBusObjectPath>().path();
  qInfo("vistrel portal: global shortcuts bound in %s", qPrintable(session_));
  Q_EMIT sessionChanged(!session_.isEmpty());
}

void PortalGlobalShortcuts::onActivated(const QDBusObjectPath& session, const QString& shortcutId, qulonglong,
                                        const QVariantMap&) {
  if (session.path() != session_ || !handler_) return;
  for (const auto& [ref, binding] : bindings_) {
    if (binding.shortcutId == shortcutId) {
      handler_(binding.id);
      return;
    }
  }
}

}  // namespace vistrel::portal
