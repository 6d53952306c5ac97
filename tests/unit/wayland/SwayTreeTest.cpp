// Decoding sway's IPC replies: windows in front-to-back order with their
// frames and states, outputs and workspaces, and malformed replies.

#include <gtest/gtest.h>

#include "platform/wayland/SwayTree.h"

namespace vistrel::wayland {
namespace {

// A workspace with a tiled window beside a split holding a full-screen one,
// two floating windows (listed bottom to top), and one in the scratchpad.
constexpr char kTree[] = R"({"id": 1, "type": "root", "nodes": [
  {"id": 2, "type": "output", "name": "__i3", "nodes": [
    {"id": 3, "type": "workspace", "name": "__i3_scratch", "nodes": [], "floating_nodes": [
      {"id": 20, "type": "floating_con", "shell": "xdg_shell", "pid": 400, "app_id": "hidden", "name": "h",
       "rect": {"x": 0, "y": 0, "width": 100, "height": 100}, "deco_rect": {"height": 25}, "visible": false}]}]},
  {"id": 4, "type": "output", "name": "DP-1", "nodes": [
    {"id": 5, "type": "workspace", "name": "1", "nodes": [
      {"id": 10, "type": "con", "shell": "xdg_shell", "pid": 100, "app_id": "tiled", "name": "T",
       "rect": {"x": 0, "y": 25, "width": 960, "height": 1055}, "deco_rect": {"x": 0, "y": 0, "width": 960, "height": 25},
       "focused": true, "visible": true, "fullscreen_mode": 0},
      {"id": 11, "type": "con", "nodes": [
        {"id": 12, "type": "con", "shell": "xwayland", "pid": 200, "app_id": null, "name": "X",
         "window_properties": {"class": "XTerm", "window_type": "dialog"},
         "rect": {"x": 0, "y": 0, "width": 1920, "height": 1080}, "deco_rect": {"height": 0},
         "visible": true, "fullscreen_mode": 1}]}],
     "floating_nodes": [
      {"id": 13, "type": "floating_con", "shell": "xdg_shell", "pid": 300, "app_id": "below", "name": "B",
       "rect": {"x": 100, "y": 125, "width": 400, "height": 275}, "deco_rect": {"height": 25}, "visible": true},
      {"id": 14, "type": "floating_con", "shell": "xdg_shell", "pid": 300, "app_id": "above", "name": "A",
       "rect": {"x": 300, "y": 325, "width": 400, "height": 275}, "deco_rect": {"height": 25}, "visible": true}]}]}]})";

std::vector<std::int64_t> ids(const SwayTree& tree) {
  std::vector<std::int64_t> result;
  for (const SwayView& view : tree.views) result.push_back(view.id);
  return result;
}

// Windows come front-most first, with their title bars in their frames and their states as sway reports them.
TEST(SwayTree, DecodesWindowsFrontToBack) {
  const auto tree = parseTree(kTree);
  ASSERT_TRUE(tree);
  EXPECT_EQ(ids(*tree), (std::vector<std::int64_t>{12, 14, 13, 10, 20}));

  const SwayView* tiled = tree->find(10);
  ASSERT_TRUE(tiled);
  EXPECT_EQ(tiled->frame, Rect(0, 0, 960, 1080));
  EXPECT_EQ(tree->focused(), tiled);
  EXPECT_FALSE(tiled->floating);
  EXPECT_EQ(tiled->workspace, "1");

  const SwayView* x = tree->find(12);
  EXPECT_EQ(x->appId, "XTerm");
  EXPECT_EQ(x->windowType, "dialog");
  EXPECT_TRUE(x->fullScreen);
  EXPECT_EQ(x->frame, Rect(0, 0, 1920, 1080));

  EXPECT_TRUE(tree->find(14)->floating);
  EXPECT_EQ(tree->find(14)->frame, Rect(300, 300, 400, 300));
  EXPECT_TRUE(tree->find(20)->scratchpad);
  EXPECT_FALSE(tree->find(13)->scratchpad);
  EXPECT_EQ(tree->find(99), nullptr);
}

// Outputs and workspaces carry their names, areas and states.
TEST(SwayTree, DecodesOutputsAndWorkspaces) {
  const auto outputs = parseOutputs(R"([{"name": "DP-1", "active": true, "focused": true, "scale": 2.0,
      "current_workspace": "1", "rect": {"x": 0, "y": 0, "width": 1280, "height": 720}},
      {"name": "HDMI-A-1", "active": false, "rect": {}}])");
  ASSERT_TRUE(outputs);
  ASSERT_EQ(outputs->size(), 2u);
  EXPECT_EQ((*outputs)[0], (SwayOutput{"DP-1", Rect(0, 0, 1280, 720), 2.0, true, true, "1"}));
  EXPECT_FALSE((*outputs)[1].active);
  EXPECT_EQ((*outputs)[1].scale, 1.0);

  const auto workspaces = parseWorkspaces(R"([{"name": "1", "output": "DP-1", "visible": true, "focused": true,
      "rect": {"x": 0, "y": 30, "width": 1280, "height": 690}}])");
  ASSERT_TRUE(workspaces);
  EXPECT_EQ(*workspaces, (std::vector<SwayWorkspace>{{"1", "DP-1", Rect(0, 30, 1280, 690), true, true}}));
}

// Replies of the wrong shape are rejected; missing fields read as absent; nesting is bounded.
TEST(SwayTree, RejectsMalformedReplies) {
  EXPECT_FALSE(parseTree("not json"));
  EXPECT_FALSE(parseTree("[]"));
  EXPECT_FALSE(parseOutputs("{}"));
  EXPECT_FALSE(parseWorkspaces("{\"a\": 1}"));
  const auto bare = parseTree(R"({"nodes": [{"shell": "xdg_shell"}, 5, "x", {"nodes": 7}]})");
  ASSERT_TRUE(bare);
  ASSERT_EQ(bare->views.size(), 1u);
  SwayView expected;
  expected.shell = "xdg_shell";
  EXPECT_EQ(bare->views[0], expected);

  std::string deep = R"({"shell": "xdg_shell", "id": 1})";
  for (int i = 0; i < 200; ++i) deep = R"({"nodes": [)" + deep + "]}";
  const auto tree = parseTree(QByteArray::fromStdString(deep));
  ASSERT_TRUE(tree);
  EXPECT_TRUE(tree->views.empty());
}

}  // namespace
}  // namespace vistrel::wayland
