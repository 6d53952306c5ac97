#include "platform/wayland/SwayTree.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace vistrel::wayland {

namespace {

// sway's name of the workspace holding the scratchpad.
constexpr auto kScratchpad = "__i3_scratch";
// Nesting deeper than this is no tree sway builds; it ends the walk.
constexpr int kMaxDepth = 64;

Rect rectOf(const QJsonValue& value) {
  const QJsonObject r = value.toObject();
  return {r.value("x").toDouble(), r.value("y").toDouble(), r.value("width").toDouble(), r.value("height").toDouble()};
}

std::string text(const QJsonObject& object, const char* key) { return object.value(key).toString().toStdString(); }

struct Walk {
  std::vector<SwayView> front;  // fullscreen, then floating (top first), of the current workspace
  std::vector<SwayView> tiled;
  std::vector<SwayView> views;
  std::string workspace;

  void view(const QJsonObject& node, bool floating) {
    SwayView v;
    v.id = node.value("id").toInteger();
    v.pid = std::int32_t(node.value("pid").toInteger());
    v.shell = text(node, "shell");
    const QJsonObject properties = node.value("window_properties").toObject();
    v.appId = node.value("app_id").isString() ? text(node, "app_id") : text(properties, "class");
    v.windowType = text(properties, "window_type");
    v.title = text(node, "name");
    const Rect rect = rectOf(node.value("rect"));
    const double titleBar = std::max(0.0, rectOf(node.value("deco_rect")).h);
    v.frame = Rect(rect.x, rect.y - titleBar, rect.w, rect.h + titleBar);
    v.focused = node.value("focused").toBool();
    v.floating = floating;
    v.fullScreen = node.value("fullscreen_mode").toInt() != 0;
    v.visible = node.value("visible").toBool();
    v.scratchpad = workspace == kScratchpad;
    v.workspace = workspace;
    (v.fullScreen || floating ? front : tiled).push_back(std::move(v));
  }

  void children(const QJsonObject& node, bool floating, int depth) {
    if (depth > kMaxDepth) return;
    // A view carries its shell; containers and workspaces do not.
    if (node.contains("shell")) {
      view(node, floating);
      return;
    }
    const bool isWorkspace = node.value("type").toString() == "workspace";
    if (isWorkspace) workspace = text(node, "name");
    for (const QJsonValue& child : node.value("nodes").toArray()) children(child.toObject(), floating, depth + 1);
    // Floating windows are listed bottom to top.
    const QJsonArray floatingNodes = node.value("floating_nodes").toArray();
    for (auto it = floatingNodes.end(); it != floatingNodes.begin();) {
      --it;
      children(it->toObject(), true, depth + 1);
    }
    if (isWorkspace) endWorkspace();
  }

  void endWorkspace() {
    std::stable_partition(front.begin(), front.end(), [](const SwayView& v) { return v.fullScreen; });
    for (auto* part : {&front, &tiled}) {
      views.insert(views.end(), std::make_move_iterator(part->begin()), std::make_move_iterator(part->end()));
      part->clear();
    }
  }
};

}  // namespace

const SwayView* SwayTree::find(std::int64_t id) const {
  const auto it = std::find_if(views.begin(), views.end(), [id](const SwayView& v) { return v.id == id; });
  return it == views.end() ? nullptr : &*it;
}

const SwayView* SwayTree::focused() const {
  const auto it = std::find_if(views.begin(), views.end(), [](const SwayView& v) { return v.focused; });
  return it == views.end() ? nullptr : &*it;
}

std::optional<SwayTree> parseTree(const QByteArray& json) {
  const QJsonDocument document = QJsonDocument::fromJson(json);
  if (!document.isObject()) return std::nullopt;
  Walk walk;
  walk.children(document.object(), false, 0);
  walk.endWorkspace();  // windows outside any workspace, which sway does not make
  // The scratchpad's windows last: they are not on screen.
  std::stable_partition(walk.views.begin(), walk.views.end(), [](const SwayView& v) { return !v.scratchpad; });
  return SwayTree{std::move(walk.views)};
}

std::optional<std::vector<SwayOutput>> parseOutputs(const QByteArray& json) {
  const QJsonDocument document = QJsonDocument::fromJson(json);
  if (!document.isArray()) return std::nullopt;
  std::vector<SwayOutput> outputs;
  for (const QJsonValue& value : document.array()) {
    const QJsonObject o = value.toObject();
    outputs.push_back({text(o, "name"), rectOf(o.value("rect")), o.value("scale").toDouble(1.0),
                       o.value("active").toBool(), o.value("focused").toBool(), text(o, "current_workspace")});
  }
  return outputs;
}

std::optional<std::vector<SwayWorkspace>> parseWorkspaces(const QByteArray& json) {
  const QJsonDocument document = QJsonDocument::fromJson(json);
  if (!document.isArray()) return std::nullopt;
  std::vector<SwayWorkspace> workspaces;
  for (const QJsonValue& value : document.array()) {
    const QJsonObject w = value.toObject();
    workspaces.push_back({text(w, "name"), text(w, "output"), rectOf(w.value("rect")), w.value("visible").toBool(),
                          w.value("focused").toBool()});
  }
  return workspaces;
}

}  // namespace vistrel::wayland
