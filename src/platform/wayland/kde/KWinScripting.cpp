#include "platform/wayland/kde/KWinScripting.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QTemporaryFile>
#include <QThread>
#include <qlogging.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace vistrel::wayland::kde {

namespace {

const QString kKWinService = QStringLiteral("org.kde.KWin");
const QString kReplyPath = QStringLiteral("/app/vistrel/KWinScript");
const QString kReplyInterface = QStringLiteral("app.vistrel.KWinScriptReply");

// Whatever the caller's deadline leaves, a script is always unloaded again.
constexpr int kUnloadMilliseconds = 500;

// The script around every action. ACTION runs with `win` (the window named
// by UUID, or null) and `report` in scope.
constexpr const char* kScript = R"JS((function () {
  var report = { error: "", windows: [], outputs: [], workAreas: [] };
  function kind(c) {
    if (c.normalWindow) return "normal";
    if (c.dialog) return "dialog";
    if (c.utility) return "utility";
    if (c.splash) return "splash";
    return "other";
  }
  function rect(g) { return { x: g.x, y: g.y, width: g.width, height: g.height }; }
  try {
    var list = workspace.clientList();
    var active = workspace.activeClient;
    var win = null;
    for (var i = list.length - 1; i >= 0; --i) {
      var c = list[i];
      if (String(c.internalId) === UUID) win = c;
      var entry = { uuid: String(c.internalId), pid: c.pid, caption: String(c.caption),
                    resourceClass: String(c.resourceClass), type: kind(c), frame: rect(c.frameGeometry),
                    active: c === active, minimized: c.minimized, fullScreen: c.fullScreen,
                    onCurrentDesktop: c.onAllDesktops || c.desktop === workspace.currentDesktop };
      if (entry.active) report.windows.unshift(entry); else report.windows.push(entry);
    }
    for (var s = 0; s < workspace.numScreens; ++s) {
      report.outputs.push(rect(workspace.clientArea(KWin.ScreenArea, s, workspace.currentDesktop)));
      report.workAreas.push(rect(workspace.clientArea(KWin.MaximizeArea, s, workspace.currentDesktop)));
    }
    report.cursor = { x: workspace.cursorPos.x, y: workspace.cursorPos.y };
    (function (win) { ACTION })(win);
  } catch (e) {
    report.error = String(e);
  }
  callDBus(SERVICE, PATH, INTERFACE, "reply", TOKEN, JSON.stringify(report));
})();
)JS";

// `text` as a JavaScript string literal.
QString literal(const QString& text) {
  const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
  return QString::fromUtf8(array.mid(1, array.size() - 2));
}

ScriptFault faultOf(const QDBusMessage& reply) {
  const QString name = reply.errorName();
  if (name == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
      name == QLatin1String("org.freedesktop.DBus.Error.Timeout")) {
    return ScriptFault::timedOut;
  }
  if (name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
      name == QLatin1String("org.freedesktop.DBus.Error.Disconnected")) {
    return ScriptFault::unavailable;
  }
  return ScriptFault::refused;
}

ScriptResult failed(ScriptFault fault, std::string error) { return {std::nullopt, fault, std::move(error)}; }

std::optional<Rect> rectOf(const QJsonValue& value) {
  if (!value.isObject()) return std::nullopt;
  const QJsonObject o = value.toObject();
  for (const char* key : {"x", "y", "width", "height"}) {
    if (!o.value(QLatin1String(key)).isDouble()) return std::nullopt;
  }
  return Rect(o["x"].toDouble(), o["y"].toDouble(), o["width"].toDouble(), o["height"].toDouble());
}

std::optional<KWinWindow> windowOf(const QJsonValue& value) {
  if (!value.isObject()) return std::nullopt;
  const QJsonObject o = value.toObject();
  const auto frame = rectOf(o["frame"]);
  if (!frame || !o["uuid"].isString() || o["uuid"].toString().isEmpty()) return std::nullopt;
  KWinWindow window;
  window.uuid = o["uuid"].toString().toStdString();
  window.pid = std::int32_t(o["pid"].toDouble());
  window.caption = o["caption"].toString().toStdString();
  window.resourceClass = o["resourceClass"].toString().toStdString();
  window.type = o["type"].toString(QStringLiteral("other")).toStdString();
  window.frame = *frame;
  window.active = o["active"].toBool();
  window.minimized = o["minimized"].toBool();
  window.fullScreen = o["fullScreen"].toBool();
  window.onCurrentDesktop = o["onCurrentDesktop"].toBool(true);
  return window;
}

}  // namespace

// Takes the scripts' answers on its own thread; the main thread waits in take().
class ScriptReceiver : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "app.vistrel.KWinScriptReply")

 public:
  // The answer of run `token`, or none when it has not come by the deadline.
  // Answers of earlier runs, which came too late, are dropped.
  std::optional<QByteArray> take(std::uint64_t token, Deadline deadline) {
    std::unique_lock lock(mutex_);
    const bool came = arrived_.wait_until(lock, deadline, [&] { return answers_.count(token) > 0; });
    std::optional<QByteArray> answer;
    if (came) answer = answers_[token];
    answers_.erase(answers_.begin(), answers_.upper_bound(token));
    return answer;
  }

 public Q_SLOTS:
  Q_SCRIPTABLE void reply(const QString& token, const QString& json) {
    bool ok = false;
    const std::uint64_t number = token.toULongLong(&ok);
    if (!ok) return;
    {
      std::lock_guard lock(mutex_);
      answers_[number] = json.toUtf8();
    }
    arrived_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::map<std::uint64_t, QByteArray> answers_;
};

const KWinWindow* KWinDesktop::find(const std::string& uuid) const {
  const auto it = std::find_if(windows.begin(), windows.end(), [&](const KWinWindow& w) { return w.uuid == uuid; });
  return it == windows.end() ? nullptr : &*it;
}

const KWinWindow* KWinDesktop::active() const {
  const auto it = std::find_if(windows.begin(), windows.end(), [](const KWinWindow& w) { return w.active; });
  return it == windows.end() ? nullptr : &*it;
}

std::optional<KWinReport> parseKWinReport(const QByteArray& json) {
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(json, &error);
  if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
  const QJsonObject root = document.object();
  if (!root["windows"].isArray() || !root["outputs"].isArray()) return std::nullopt;
  KWinReport report;
  report.error = root["error"].toString().toStdString();
  for (const QJsonValue& value : root["windows"].toArray()) {
    auto window = windowOf(value);
    if (!window) return std::nullopt;
    report.desktop.windows.push_back(std::move(*window));
  }
  for (const QJsonValue& value : root["outputs"].toArray()) {
    const auto area = rectOf(value);
    if (!area) return std::nullopt;
    report.desktop.outputs.push_back(*area);
  }
  for (const QJsonValue& value : root["workAreas"].toArray()) {
    const auto area = rectOf(value);
    if (!area) return std::nullopt;
    report.desktop.workAreas.push_back(*area);
  }
  if (report.desktop.workAreas.size() != report.desktop.outputs.size()) report.desktop.workAreas.clear();
  const QJsonObject cursor = root["cursor"].toObject();
  if (cursor["x"].isDouble() && cursor["y"].isDouble()) {
    report.desktop.cursor = Point{cursor["x"].toDouble(), cursor["y"].toDouble()};
  }
  return report;
}

KWinScripting::KWinScripting()
    : bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                         QStringLiteral("vistrel-kwin-scripting-%1").arg(quintptr(this)))),
      thread_(std::make_unique<QThread>()),
      receiver_(new ScriptReceiver) {
  thread_->setObjectName(QStringLiteral("KWin script answers"));
  receiver_->moveToThread(thread_.get());
  thread_->start();
  if (bus_.isConnected() && !bus_.registerObject(kReplyPath, receiver_, QDBusConnection::ExportScriptableSlots)) {
    qWarning("vistrel kde: cannot take KWin script answers at %s", qPrintable(kReplyPath));
  }
}

KWinScripting::~KWinScripting() {
  bus_.unregisterObject(kReplyPath);
  QDBusConnection::disconnectFromBus(bus_.name());
  thread_->quit();
  thread_->wait();
  delete receiver_;
}

bool KWinScripting::kwinRunning() {
  const QDBusConnection bus = QDBusConnection::sessionBus();
  return bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(kKWinService).value();
}

std::uint32_t KWinScripting::number(const std::string& uuid) {
  const auto [it, added] = numbers_.try_emplace(uuid, std::uint32_t(numbers_.size() + 1));
  if (added) uuids_[it->second] = uuid;
  return it->second;
}

std::optional<std::string> KWinScripting::uuid(std::uint64_t number) const {
  const auto it = uuids_.find(std::uint32_t(number));
  if (number > UINT32_MAX || it == uuids_.end()) return std::nullopt;
  return it->second;
}

ScriptResult KWinScripting::run(const std::string& action, const std::string& uuid, Deadline deadline) {
  if (!bus_.isConnected()) return failed(ScriptFault::unavailable, "no session bus");
  const std::uint64_t token = nextToken_++;
  QString script = QString::fromUtf8(kScript);
  // The action last, so that no placeholder is looked for inside it.
  script.replace(QLatin1String("UUID"), literal(QString::fromStdString(uuid)))
      .replace(QLatin1String("SERVICE"), literal(bus_.baseService()))
      .replace(QLatin1String("PATH"), literal(kReplyPath))
      .replace(QLatin1String("INTERFACE"), literal(kReplyInterface))
      .replace(QLatin1String("TOKEN"), literal(QString::number(token)))
      .replace(QLatin1String("ACTION"), QString::fromStdString(action));

  // KWin reads the file after loadScript has answered: it stays until the script is unloaded.
  QTemporaryFile file(QDir::tempPath() + QStringLiteral("/vistrel-kwin-XXXXXX.js"));
  if (!file.open() || file.write(script.toUtf8()) < 0 || !file.flush()) {
    return failed(ScriptFault::refused, "cannot write the script file");
  }
  const QString name = QStringLiteral("vistrel-%1-%2").arg(QCoreApplication::applicationPid()).arg(token);

  auto call = [&](const QString& path, const QString& interface, const QString& method, const QVariantList& args,
                  int milliseconds) {
    QDBusMessage message = QDBusMessage::createMethodCall(kKWinService, path, interface, method);
    message.setArguments(args);
    return bus_.call(message, QDBus::Block, std::max(milliseconds, 1));
  };
  const QDBusMessage loaded = call(QStringLiteral("/Scripting"), QStringLiteral("org.kde.kwin.Scripting"),
                                   QStringLiteral("loadScript"), {file.fileName(), name}, millisecondsLeft(deadline));
  if (loaded.type() != QDBusMessage::ReplyMessage) {
    return failed(faultOf(loaded), "loadScript: " + loaded.errorMessage().toStdString());
  }
  const int id = loaded.arguments().value(0).toInt();
  auto unload = [&] {
    call(QStringLiteral("/Scripting"), QStringLiteral("org.kde.kwin.Scripting"), QStringLiteral("unloadScript"),
         {name}, kUnloadMilliseconds);
  };
  if (id < 0) {
    unload();
    return failed(ScriptFault::refused, "KWin did not load the script");
  }

  const QString script527 = QStringLiteral("/%1").arg(id);
  QDBusMessage started = call(script527, QStringLiteral("org.kde.kwin.Script"), QStringLiteral("run"), {},
                              millisecondsLeft(deadline));
  if (started.errorName() == QLatin1String("org.freedesktop.DBus.Error.UnknownObject")) {
    started = call(QStringLiteral("/Scripting/Script%1").arg(id), QStringLiteral("org.kde.kwin.Script"),
                   QStringLiteral("run"), {}, millisecondsLeft(deadline));
  }
  if (started.type() != QDBusMessage::ReplyMessage) {
    unload();
    return failed(faultOf(started), "run: " + started.errorMessage().toStdString());
  }
  const auto answer = receiver_->take(token, deadline);
  unload();
  if (!answer) return failed(ScriptFault::timedOut, "the script did not answer in time");
  auto report = parseKWinReport(*answer);
  if (!report) return failed(ScriptFault::refused, "the script's answer is not a report");
  // A read that threw (a KWin whose scripts lack what this one uses) has no trustworthy desktop.
  if (action.empty() && !report->error.empty()) return failed(ScriptFault::refused, "the script failed: " + report->error);
  return {std::move(report), ScriptFault::none, {}};
}

}  // namespace vistrel::wayland::kde

#include "KWinScripting.moc"
