// Window access on headless sway: frames, writes, focus and vanished windows
// of foot terminals, checked against what swaymsg reports.

#include <gtest/gtest.h>

#include "SwaySession.h"
#include "platform/wayland/SwayAccessibility.h"

namespace vistrel::e2e {
namespace {

using platform::AXElement;
using platform::AXResult;
namespace ax = platform::ax;

class WindowAccess : public ::testing::Test {
 protected:
  WindowAccess()
      : sway(wayland::SwayIpc::socketFromEnvironment().value_or("")),
        accessibility(sway),
        connection(wayland::WaylandConnection::connect(wayland::deadlineAfter(5))) {}

  std::unique_ptr<Foot> foot(const QStringList& arguments = {}) {
    return connection ? Foot::start(*connection, arguments) : nullptr;
  }

  AXElement windowOf(const Foot& foot) { return {AXElement::Kind::window, foot.pid(), std::uint64_t(foot.conId())}; }

  std::optional<Rect> frame(const AXElement& window) {
    const AXResult position = accessibility.copyAttributeValue(window, ax::position);
    const AXResult size = accessibility.copyAttributeValue(window, ax::size);
    if (position.error != platform::kAXErrorSuccess || size.error != platform::kAXErrorSuccess) return std::nullopt;
    return Rect(std::get<Point>(*position.value), std::get<Size>(*size.value));
  }

  static std::optional<Rect> swayFrame(const Foot& foot) {
    const auto view = toolView(foot.pid());
    return view ? std::optional(toolFrame(*view)) : std::nullopt;
  }

  template <class T>
  std::optional<T> read(const AXElement& element, std::string_view attribute) {
    const AXResult result = accessibility.copyAttributeValue(element, attribute);
    if (result.error != platform::kAXErrorSuccess) return std::nullopt;
    return std::get<T>(*result.value);
  }

  wayland::SwayIpc sway;
  wayland::SwayAccessibility accessibility;
  std::unique_ptr<wayland::WaylandConnection> connection;
};

// A tiled foot reads as sway's frame with its title bar, is the focused
// standard window of its program, and frames written to it land to the pixel.
TEST_F(WindowAccess, ReadsAndWritesAFootFrame) {
  auto foot = this->foot({"--title", "backend foot"});
  ASSERT_TRUE(foot);
  const AXElement window = windowOf(*foot);
  const AXElement application = accessibility.applicationElement(foot->pid());

  EXPECT_EQ(frame(window), Rect(0, 0, 1920, 1080));
  EXPECT_EQ(frame(window), swayFrame(*foot));
  EXPECT_EQ(read<std::string>(window, ax::role), "AXWindow");
  EXPECT_EQ(read<std::string>(window, ax::subrole), "AXStandardWindow");
  EXPECT_EQ(read<std::string>(window, ax::title), "backend foot");
  EXPECT_EQ(read<bool>(window, ax::minimized), false);
  EXPECT_EQ(read<AXElement>(window, ax::parent), application);
  EXPECT_EQ(read<std::vector<AXElement>>(application, ax::windows), std::vector<AXElement>{window});
  EXPECT_EQ(read<AXElement>(application, ax::focusedWindow), window);
  EXPECT_EQ(read<AXElement>(accessibility.systemWideElement(), ax::focusedApplication), application);

  // Position then size, as a snap starts: the tiled window floats and both land.
  const Rect first(100, 50, 800, 600);
  ASSERT_EQ(accessibility.setAttributeValue(window, ax::position, first.origin()), platform::kAXErrorSuccess);
  ASSERT_EQ(accessibility.setAttributeValue(window, ax::size, first.size()), platform::kAXErrorSuccess);
  EXPECT_EQ(frame(window), first);
  EXPECT_EQ(swayFrame(*foot), first);
  EXPECT_TRUE(waitUntil(5, [&] { return foot->drawnAt(first); })) << ::testing::PrintToString(swayFrame(*foot));
  EXPECT_EQ(toolView(foot->pid())->value("type").toString(), "floating_con");

  // Size then position, as the settle sequence ends: the size keeps the top-left corner.
  const Rect half(960, 0, 960, 1080);
  ASSERT_EQ(accessibility.setAttributeValue(window, ax::size, half.size()), platform::kAXErrorSuccess);
  EXPECT_EQ(frame(window), Rect(first.origin(), half.size()));
  ASSERT_EQ(accessibility.setAttributeValue(window, ax::position, half.origin()), platform::kAXErrorSuccess);
  EXPECT_EQ(frame(window), half);
  EXPECT_TRUE(waitUntil(5, [&] { return foot->drawnAt(half); })) << ::testing::PrintToString(swayFrame(*foot));
  EXPECT_EQ(frame(window), half);
}

// AXRaise focuses a window, and full screen is written and read through sway.
TEST_F(WindowAccess, RaisesAndTogglesFullScreen) {
  auto first = foot();
  auto second = foot();
  ASSERT_TRUE(first && second);
  ASSERT_TRUE(waitUntil(5, [&] { return toolView(second->pid())->value("focused").toBool(); }));

  const AXElement window = windowOf(*first);
  ASSERT_EQ(accessibility.performAction(window, ax::raise), platform::kAXErrorSuccess);
  EXPECT_TRUE(waitUntil(5, [&] { return toolView(first->pid())->value("focused").toBool(); }));
  EXPECT_EQ(read<AXElement>(accessibility.systemWideElement(), ax::focusedUIElement), window);

  ASSERT_EQ(accessibility.setAttributeValue(window, ax::fullScreen, true), platform::kAXErrorSuccess);
  EXPECT_TRUE(waitUntil(5, [&] { return toolView(first->pid())->value("fullscreen_mode").toInt() == 1; }));
  EXPECT_EQ(read<bool>(window, ax::fullScreen), true);
  EXPECT_EQ(frame(window), Rect(0, 0, 1920, 1080));
  EXPECT_TRUE(waitUntil(5, [&] { return first->drawnAt(Rect(0, 0, 1920, 1080)); }));
  ASSERT_EQ(accessibility.setAttributeValue(window, ax::fullScreen, false), platform::kAXErrorSuccess);
  EXPECT_EQ(read<bool>(window, ax::fullScreen), false);
}

// A window that closed is an error on every read, write and action, never a crash;
// so is a window named with another program's pid.
TEST_F(WindowAccess, AClosedWindowIsAnInvalidElement) {
  auto foot = this->foot();
  auto other = this->foot();
  ASSERT_TRUE(foot && other);
  const AXElement window = windowOf(*foot);
  const AXElement mislabelled{AXElement::Kind::window, other->pid(), std::uint64_t(foot->conId())};
  EXPECT_EQ(accessibility.copyAttributeValue(mislabelled, ax::position).error, platform::kAXErrorInvalidUIElement);

  foot->kill();
  EXPECT_EQ(accessibility.copyAttributeValue(window, ax::position).error, platform::kAXErrorInvalidUIElement);
  EXPECT_EQ(accessibility.setAttributeValue(window, ax::size, Size{400, 300}), platform::kAXErrorInvalidUIElement);
  EXPECT_EQ(accessibility.performAction(window, ax::raise), platform::kAXErrorInvalidUIElement);
  EXPECT_EQ(accessibility.copyAttributeValue(accessibility.applicationElement(foot->pid()), ax::windows).error,
            platform::kAXErrorInvalidUIElement);
}

// Without sway's socket every call is an error that says sway cannot answer.
TEST(WindowAccessWithoutSway, EveryCallCannotComplete) {
  wayland::SwayIpc nowhere("/nonexistent/sway-ipc.sock");
  wayland::SwayAccessibility accessibility(nowhere);
  const AXElement window{AXElement::Kind::window, 1, 1};
  EXPECT_EQ(accessibility.copyAttributeValue(accessibility.systemWideElement(), ax::focusedApplication).error,
            platform::kAXErrorCannotComplete);
  EXPECT_EQ(accessibility.setAttributeValue(window, ax::position, Point{0, 0}), platform::kAXErrorCannotComplete);
}

}  // namespace
}  // namespace vistrel::e2e
