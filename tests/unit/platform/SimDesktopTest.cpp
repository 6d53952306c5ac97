#include <gtest/gtest.h>

#include <vector>

#include "platform/sim/SimPlatform.h"

using namespace vistrel;
using namespace vistrel::platform;

namespace {

constexpr std::uint32_t kSignature = 0x5653544C;  // VSTL

Rect frameOf(sim::SimAccessibility& ax, const AXElement& w) {
  const auto p = ax.copyAttributeValue(w, ax::position);
  const auto s = ax.copyAttributeValue(w, ax::size);
  return Rect(std::get<Point>(*p.value), std::get<Size>(*s.value));
}

}  // namespace

// Size writes obey minimum, maximum and increments; partial writes move a bounded step; a confined window stays in.
TEST(SimAccessibility, SizeRules) {
  sim::SimPlatform sim;
  auto& ax = sim.accessibility();
  sim::SizeRules cells;
  cells.minSize = {100, 50};
  cells.maxSize = {1000, 690};
  cells.resizeIncrements = {6, 13};
  auto w = ax.addWindow(10, "term", Rect(0, 0, 400, 300), cells);
  EXPECT_EQ(ax.setAttributeValue(w, ax::size, Size{720, 875}), kAXErrorSuccess);
  EXPECT_EQ(frameOf(ax, w), Rect(0, 0, 718, 687));  // 100 + 103*6; the height capped at 690, then down onto 50 + 49*13
  ax.setAttributeValue(w, ax::size, Size{10, 10});
  EXPECT_EQ(frameOf(ax, w), Rect(0, 0, 100, 50));

  sim::SizeRules stepwise;
  stepwise.maxChangePerWrite = Size{100, 100};
  stepwise.confinedTo = Rect(0, 0, 800, 600);
  auto s = ax.addWindow(10, "slow", Rect(500, 100, 200, 200), stepwise);
  ax.setAttributeValue(s, ax::size, Size{600, 250});
  EXPECT_EQ(frameOf(ax, s), Rect(500, 100, 300, 250));
  ax.setAttributeValue(s, ax::position, Point{700, 500});
  EXPECT_EQ(frameOf(ax, s), Rect(500, 350, 300, 250));

  sim::SizeRules refusing;
  refusing.refusesSize = true;
  auto r = ax.addWindow(10, "fixed", Rect(0, 0, 300, 200), refusing);
  EXPECT_EQ(ax.setAttributeValue(r, ax::size, Size{500, 500}), kAXErrorCannotComplete);
  EXPECT_EQ(ax.setAttributeValue(r, ax::size, Point{500, 500}), kAXErrorIllegalArgument);
  EXPECT_EQ(frameOf(ax, r), Rect(0, 0, 300, 200));
}

// A delayed write is accepted at once but shows only when the virtual clock reaches it.
TEST(SimAccessibility, DelayedWritesLandOnTheClock) {
  sim::SimPlatform sim;
  auto& ax = sim.accessibility();
  sim::SizeRules late;
  late.writeDelay = 0.05;
  auto w = ax.addWindow(10, "late", Rect(0, 0, 300, 200), late);
  EXPECT_EQ(ax.setAttributeValue(w, ax::position, Point{40, 30}), kAXErrorSuccess);
  EXPECT_EQ(frameOf(ax, w).origin(), (Point{0, 0}));
  sim.clock().advance(0.049);
  EXPECT_EQ(frameOf(ax, w).origin(), (Point{0, 0}));
  sim.clock().advance(0.002);
  EXPECT_EQ(frameOf(ax, w).origin(), (Point{40, 30}));
}

// Untrusted, every read and write is refused with -25211; the prompt is counted and may grant trust.
TEST(SimAccessibility, Untrusted) {
  sim::SimPlatform sim;
  auto& ax = sim.accessibility();
  auto w = ax.addWindow(10, "doc", Rect(0, 0, 300, 200));
  ax.setTrusted(false);
  EXPECT_FALSE(ax.isProcessTrusted());
  EXPECT_EQ(ax.copyAttributeValue(w, ax::title).error, kAXErrorAPIDisabled);
  EXPECT_EQ(ax.copyAttributeValue(ax.systemWideElement(), ax::focusedApplication).error, kAXErrorAPIDisabled);
  EXPECT_EQ(ax.setAttributeValue(w, ax::position, Point{1, 1}), kAXErrorAPIDisabled);
  EXPECT_EQ(ax.performAction(w, ax::raise), kAXErrorAPIDisabled);
  EXPECT_FALSE(ax.isProcessTrustedWithOptions(false));
  EXPECT_EQ(ax.promptCount, 0);
  ax.promptGrants = true;
  EXPECT_TRUE(ax.isProcessTrustedWithOptions(true));
  EXPECT_EQ(ax.promptCount, 1);
  EXPECT_EQ(ax.copyAttributeValue(w, ax::title).value, AXValue(std::string("doc")));
}

// A closed window and the elements inside it read as vanished, and it leaves the program's window list.
TEST(SimAccessibility, ClosedWindowVanishes) {
  sim::SimPlatform sim;
  auto& ax = sim.accessibility();
  auto keep = ax.addWindow(10, "keep", Rect(0, 0, 300, 200));
  auto w = ax.addWindow(10, "doc", Rect(0, 0, 300, 200));
  auto field = ax.addElement(ax.addElement(w, "AXSheet"), "AXTextField");
  ax.setFocusedWindow(w);
  const auto app = ax.applicationElement(10);
  EXPECT_EQ(ax.copyAttributeValue(app, ax::windows).value, AXValue(std::vector<AXElement>{keep, w}));
  EXPECT_EQ(ax.copyAttributeValue(field, ax::role).value, AXValue(std::string("AXTextField")));

  ax.closeWindow(w);
  EXPECT_EQ(ax.copyAttributeValue(w, ax::position).error, kAXErrorInvalidUIElement);
  EXPECT_EQ(ax.copyAttributeValue(field, ax::role).error, kAXErrorInvalidUIElement);
  EXPECT_EQ(ax.setAttributeValue(w, ax::size, Size{1, 1}), kAXErrorInvalidUIElement);
  EXPECT_EQ(ax.copyAttributeValue(app, ax::focusedWindow).error, kAXErrorNoValue);
  EXPECT_EQ(ax.copyAttributeValue(app, ax::windows).value, AXValue(std::vector<AXElement>{keep}));
  ax.closeWindow(keep);
  EXPECT_EQ(ax.copyAttributeValue(app, ax::role).error, kAXErrorInvalidUIElement);  // no such program any more
}

// Every write and action is logged with its value and result, after the hook has seen it.
TEST(SimAccessibility, WriteLog) {
  sim::SimPlatform sim;
  auto& ax = sim.accessibility();
  auto w = ax.addWindow(10, "doc", Rect(0, 0, 300, 200));
  std::vector<std::string> seen;
  ax.beforeWrite = [&](const sim::AXWriteRecord& r) { seen.push_back(r.attribute); };
  sim.clock().advance(2);
  ax.performAction(w, ax::raise);
  ax.setAttributeValue(w, ax::position, Point{5, 6});
  ax.setAttributeValue(ax.applicationElement(10), ax::manualAccessibility, true);
  ax.setAttributeValue(w, ax::title, std::string("x"));

  ASSERT_EQ(ax.writes.size(), 4u);
  EXPECT_EQ(seen, (std::vector<std::string>{"AXRaise", "AXPosition", "AXManualAccessibility", "AXTitle"}));
  EXPECT_EQ(ax.writes[0].value, std::nullopt);
  EXPECT_EQ(ax.writes[1].value, AXValue(Point{5, 6}));
  EXPECT_EQ(ax.writes[1].uptime, 1002);
  EXPECT_EQ(ax.writes[3].result, kAXErrorAttributeUnsupported);
  EXPECT_EQ(ax.applicationFlags[10], std::set<std::string>{"AXManualAccessibility"});
}

// A registered key's press reaches the handler with its id; taken and duplicate keys are refused.
TEST(SimHotKeys, RegisterPressRefuse) {
  sim::SimPlatform sim;
  auto& keys = sim.hotKeys();
  std::vector<std::uint32_t> fired;
  keys.installEventHandler([&](HotKeyID id) { fired.push_back(id.id); });
  keys.markTaken(123, carbon::controlKey | carbon::optionKey);

  HotKeyRef left = 0, again = 0, taken = 0;
  EXPECT_EQ(keys.registerHotKey(123, carbon::controlKey, {kSignature, 1}, &left), kHotKeyNoErr);
  EXPECT_NE(left, 0u);
  EXPECT_EQ(keys.registerHotKey(123, carbon::controlKey, {kSignature, 2}, &again), kEventHotKeyExistsErr);
  EXPECT_EQ(keys.registerHotKey(123, carbon::controlKey | carbon::optionKey, {kSignature, 3}, &taken),
            kEventHotKeyExistsErr);
  EXPECT_EQ(taken, 0u);

  EXPECT_TRUE(keys.pressHotKey(123, carbon::controlKey));
  EXPECT_FALSE(keys.pressHotKey(123, carbon::controlKey | carbon::optionKey));
  EXPECT_EQ(fired, std::vector<std::uint32_t>{1});

  EXPECT_EQ(keys.unregisterHotKey(left), kHotKeyNoErr);
  EXPECT_EQ(keys.unregisterHotKey(left), kEventHotKeyInvalidErr);
  EXPECT_FALSE(keys.pressHotKey(123, carbon::controlKey));
  keys.installEventHandler(nullptr);
  EXPECT_FALSE(keys.hasHandler());
}
