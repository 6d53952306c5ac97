#include "SwaySession.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QThread>

#include <chrono>
#include <ostream>

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

Rect rectOf(const QJsonValue& value) {
  const QJsonObject r = value.toObject();
  return {r.value("x").toDouble(), r.value("y").toDouble(), r.value("width").toDouble(), r.value("height").toDouble()};
}

}  // namespace

bool waitUntil(double seconds, const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    QCoreApplication::processEvents();
    QThread::msleep(20);
  }
}

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
  const Rect rect = rectOf(view.value("rect"));
  const double titleBar = rectOf(view.value("deco_rect")).h;
  return {rect.x, rect.y - titleBar, rect.w, rect.h + titleBar};
}

bool swaymsg(const QString& commands) { return runTool("swaymsg", {commands}).has_value(); }

std::unique_ptr<Foot> Foot::start(const QStringList& arguments) {
  std::unique_ptr<Foot> foot(new Foot());
  foot->process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  foot->process_.start("foot", QStringList{"--log-level=error"} + arguments + QStringList{"cat"});
  if (!foot->process_.waitForStarted(5000)) return nullptr;
  std::optional<QJsonObject> view;
  if (!waitUntil(10, [&] { return (view = toolView(foot->pid())).has_value(); })) return nullptr;
  foot->conId_ = view->value("id").toInteger();
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

void Foot::kill() {
  const std::int32_t id = pid();
  process_.kill();
  process_.waitForFinished(3000);
  waitUntil(5, [id] { return !toolView(id).has_value(); });
}

}  // namespace vistrel::e2e
