#include "SwaySession.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QThread>

#include <chrono>
#include <ostream>

#include "platform/wayland/Screencopy.h"

namespace vistrel {
void PrintTo(const Rect& rect, std::ostream* out) {
  *out << "(" << rect.x << "," << rect.y << " " << rect.w << "x" << rect.h << ")";
}
}  // namespace vistrel

namespace vistrel::e2e {

namespace {

std::optional<QJsonObject> findByPid(const QJsonObject& node, std::int64_t pid) {
  if (node.value("pid").toInteger() == pid && node.contains("shell")) return node;
  for (const char* list : {"nodes", "floating_nodes"}) {
    for (const QJsonValue& child : node.value(list).toArray()) {
      if (auto found = findByPid(child.toObject(), pid)) return found;
    }
  }
  return std::nullopt;
}

QRect rectOf(const QJsonValue& value) {
  const QJsonObject r = value.toObject();
  return {r.value("x").toInt(), r.value("y").toInt(), r.value("width").toInt(), r.value("height").toInt()};
}

}  // namespace

std::optional<std::string> runTool(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(10'000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
    process.kill();
    process.waitForFinished(1000);
    return std::nullopt;
  }
  return process.readAllStandardOutput().toStdString();
}

std::optional<QJsonObject> toolView(std::int64_t pid) {
  const auto tree = runTool("swaymsg", {"-r", "-t", "get_tree"});
  if (!tree) return std::nullopt;
  return findByPid(QJsonDocument::fromJson(QByteArray::fromStdString(*tree)).object(), pid);
}

Rect toolFrame(const QJsonObject& view) {
  const QRect rect = rectOf(view.value("rect"));
  const int titleBar = rectOf(view.value("deco_rect")).height();
  return Rect(rect.x(), rect.y() - titleBar, rect.width(), rect.height() + titleBar);
}

QRect toolContent(const QJsonObject& view) {
  const QRect rect = rectOf(view.value("rect")), inner = rectOf(view.value("window_rect"));
  return inner.translated(rect.topLeft());
}

bool swaymsg(const QString& commands) { return runTool("swaymsg", {commands}).has_value(); }

QImage screenPixels(wayland::WaylandConnection& connection) {
  const auto deadline = wayland::deadlineAfter(3);
  if (!connection.sync(deadline) || connection.outputs().empty()) return {};
  auto copied = wayland::copyOutput(connection, *connection.outputs().front(), std::nullopt, false, deadline);
  return std::holds_alternative<QImage>(copied) ? std::get<QImage>(copied) : QImage();
}

std::unique_ptr<Foot> Foot::start(wayland::WaylandConnection& connection, const QStringList& arguments) {
  std::unique_ptr<Foot> foot(new Foot(connection));
  foot->process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  foot->process_.start("foot", QStringList{"--log-level=error", "-o", "colors.background=ff0000"} + arguments +
                                   QStringList{"cat"});
  if (!foot->process_.waitForStarted(5000)) return nullptr;
  std::optional<QJsonObject> view;
  if (!waitUntil(10, [&] { return (view = toolView(foot->pid())).has_value(); })) return nullptr;
  foot->conId_ = view->value("id").toInteger();
  if (!waitUntil(10, [&] { return foot->drawn(); })) return nullptr;
  return foot;
}

Foot::~Foot() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.terminate();
  if (!process_.waitForFinished(3000)) {
    process_.kill();
    process_.waitForFinished(3000);
  }
}

bool Foot::drawn() {
  const auto view = toolView(pid());
  return view && drawnAt(toolFrame(*view));
}

bool Foot::drawnAt(const Rect& frame) {
  const auto view = toolView(pid());
  if (!view || toolFrame(*view) != frame) return false;
  const QRect content = toolContent(*view);
  const QImage screen = screenPixels(connection_);
  if (screen.isNull() || !screen.rect().contains(content)) return false;
  const auto red = [&screen](int x, int y) { return screen.pixel(x, y) == kFootRed; };
  const auto notRed = [&screen](int x, int y) { return !screen.rect().contains(x, y) || screen.pixel(x, y) != kFootRed; };
  return red(content.right(), content.top()) && red(content.left(), content.bottom()) &&
         red(content.right(), content.bottom()) && notRed(content.right() + 1, content.center().y()) &&
         notRed(content.center().x(), content.bottom() + 1) && notRed(content.left() - 1, content.center().y());
}

void Foot::kill() {
  const std::int32_t id = pid();
  process_.kill();
  process_.waitForFinished(3000);
  waitUntil(5, [id] { return !toolView(id).has_value(); });
}

}  // namespace vistrel::e2e
