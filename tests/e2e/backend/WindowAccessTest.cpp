// Window access on a real desktop: frames, writes, states, owners and
// vanished windows of foreign programs under openbox.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "Desktop.h"
#include "platform/BundleInfo.h"
#include "platform/x11/Clients.h"
#include "platform/x11/X11Accessibility.h"
#include "platform/x11/X11Workspace.h"

namespace vistrel::e2e {
namespace {

using platform::AXElement;
using platform::AXResult;
namespace ax = platform::ax;

class WindowAccess : public ::testing::Test {
 protected:
  WindowAccess() : accessibility(requests.connection()), workspace(requests.connection()) {}

  AXElement windowOf(const Program& program) {
    return {AXElement::Kind::window, program.pid(), program.window()};
  }

  std::optional<Rect> frame(const AXElement& window) {
    const AXResult position = accessibility.copyAttributeValue(window, ax::position);
    const AXResult size = accessibility.copyAttributeValue(window, ax::size);
    if (position.error != platform::kAXErrorSuccess || size.error != platform::kAXErrorSuccess) return std::nullopt;
    return Rect(std::get<Point>(*position.value), std::get<Size>(*size.value));
  }

  std::optional<bool> flag(const AXElement& window, std::string_view attribute) {
    const AXResult result = accessibility.copyAttributeValue(window, attribute);
    if (result.error != platform::kAXErrorSuccess) return std::nullopt;
    return std::get<bool>(*result.value);
  }

  static bool near(const std::optional<Rect>& a, const Rect& b, double tolerance) {
    return a && std::abs(a->x - b.x) <= tolerance && std::abs(a->y - b.y) <= tolerance &&
           std::abs(a->w - b.w) <= tolerance && std::abs(a->h - b.h) <= tolerance;
  }

  static std::unique_ptr<Program> testWindow(const QString& geometry = "640x480+200+150") {
    return Program::start(VISTREL_TESTWINDOW, {"--title", "backend test window", "--geometry", geometry});
  }

  Requests requests;
  x11::X11Accessibility accessibility;
  x11::X11Workspace workspace;
};

// Without _NET_FRAME_EXTENTS (a manager that announces none) the frame is measured from the window tree: openbox's
// frame window gives the same outer frame as the extents it announced.
TEST_F(WindowAccess, FrameWithoutExtentsIsMeasuredFromTheTree) {
  const auto program = testWindow();
  ASSERT_TRUE(program);
  const AXElement window = windowOf(*program);
  const auto announced = frame(window);
  ASSERT_TRUE(announced);
  ASSERT_NE(propertyText(program->window(), "_NET_FRAME_EXTENTS").value_or("0, 0, 0, 0"), "0, 0, 0, 0");
  requests.deleteProperty(program->window(), "_NET_FRAME_EXTENTS");
  ASSERT_TRUE(waitUntil(5, [&] { return !propertyText(program->window(), "_NET_FRAME_EXTENTS"); }));
  EXPECT_EQ(frame(window), announced);
}

// An xterm's frame reads as xwininfo's geometry plus the frame extents, and it is a standard window of its program.
TEST_F(WindowAccess, ReadsAnXtermAsItsOuterFrame) {
  auto xterm = Program::start("xterm", {"-T", "backend xterm", "-geometry", "80x24+300+200"});
  ASSERT_TRUE(xterm);
  const AXElement window = windowOf(*xterm);

  const auto expected = toolFrame(xterm->window());
  ASSERT_TRUE(expected);
  EXPECT_EQ(frame(window), *expected);
  EXPECT_EQ(propertyText(xterm->window(), "_NET_FRAME_EXTENTS"), "1, 1, 20, 5");

  const auto text = [&](std::string_view attribute) {
    const AXResult result = accessibility.copyAttributeValue(window, attribute);
    return result.error == platform::kAXErrorSuccess ? std::get<std::string>(*result.value) : std::string("?");
  };
  EXPECT_EQ(text(ax::role), "AXWindow");
  EXPECT_EQ(text(ax::subrole), "AXStandardWindow");
  EXPECT_EQ(text(ax::title), "backend xterm");
  EXPECT_EQ(flag(window, ax::minimized), false);
  EXPECT_EQ(flag(window, ax::fullScreen), false);

  const AXResult parent = accessibility.copyAttributeValue(window, ax::parent);
  ASSERT_EQ(parent.error, platform::kAXErrorSuccess);
  const AXElement application = std::get<AXElement>(*parent.value);
  EXPECT_EQ(application, accessibility.applicationElement(xterm->pid()));
  const AXResult windows = accessibility.copyAttributeValue(application, ax::windows);
  ASSERT_EQ(windows.error, platform::kAXErrorSuccess);
  EXPECT_EQ(std::get<std::vector<AXElement>>(*windows.value), std::vector<AXElement>{window});
  EXPECT_EQ(accessibility.copyAttributeValue(application, ax::role).value, platform::AXValue(std::string("AXApplication")));
}

// A position and size written to a window without size increments land within a pixel, as xwininfo sees it.
TEST_F(WindowAccess, WritesLandOnAWindowWithoutIncrements) {
  auto program = testWindow();
  ASSERT_TRUE(program);
  const AXElement window = windowOf(*program);
  const Rect target(0, 0, 960, 1080);

  ASSERT_EQ(accessibility.setAttributeValue(window, ax::position, target.origin()), platform::kAXErrorSuccess);
  ASSERT_EQ(accessibility.setAttributeValue(window, ax::size, target.size()), platform::kAXErrorSuccess);
  EXPECT_TRUE(waitUntil(5, [&] { return near(frame(window), target, 1); })) << ::testing::PrintToString(frame(window));
  EXPECT_TRUE(near(toolFrame(program->window()), target, 1));

  // A second place and size, the other way round, lands too.
  const Rect right(960, 100, 700, 500);
  ASSERT_EQ(accessibility.setAttributeValue(window, ax::size, right.size()), platform::kAXErrorSuccess);
  ASSERT_EQ(accessibility.setAttributeValue(window, ax::position, right.origin()), platform::kAXErrorSuccess);
  EXPECT_TRUE(waitUntil(5, [&] { return near(frame(window), right, 1); }));
  EXPECT_TRUE(near(toolFrame(program->window()), right, 1));
}

// Windows drawing their own shadows are framed without them, so two halves meet without a gap.
TEST_F(WindowAccess, ClientSideShadowsAreLeftOutOfFrames) {
  const std::uint32_t shadow = 20;
  const xcb_window_t left = requests.createShadowedWindow(shadow);
  const xcb_window_t right = requests.createShadowedWindow(shadow);
  ASSERT_TRUE(waitUntil(5, [&] { return propertyText(left, "_NET_FRAME_EXTENTS") && propertyText(right, "_NET_FRAME_EXTENTS"); }));
  // Our own windows carry no _NET_WM_PID: X-Resource names this process.
  const AXElement leftWindow{AXElement::Kind::window, std::int32_t(getpid()), left};
  const AXElement rightWindow{AXElement::Kind::window, std::int32_t(getpid()), right};
  const xcb_window_t both[] = {left, right};
  EXPECT_EQ(x11::ownerPids(requests.connection(), both, x11::deadlineAfter(1)),
            (std::vector<std::int32_t>{std::int32_t(getpid()), std::int32_t(getpid())}));

  // The frame read is the tools' frame with the shadow taken off.
  const auto tool = toolFrame(left);
  ASSERT_TRUE(tool);
  EXPECT_EQ(frame(leftWindow), tool->insetBy(shadow, shadow));

  const Rect leftHalf(0, 0, 960, 1080), rightHalf(960, 0, 960, 1080);
  // Size first, then position, as the settle sequence ends: openbox knows no
  // shadows and pushes a window that grows from a fixed corner back on screen
  // shadow and all; a move is not pushed.
  for (const auto& [window, target] : {std::pair{leftWindow, leftHalf}, std::pair{rightWindow, rightHalf}}) {
    ASSERT_EQ(accessibility.setAttributeValue(window, ax::size, target.size()), platform::kAXErrorSuccess);
    ASSERT_EQ(accessibility.setAttributeValue(window, ax::position, target.origin()), platform::kAXErrorSuccess);
  }
  EXPECT_TRUE(waitUntil(5, [&] { return near(frame(leftWindow), leftHalf, 0) && near(frame(rightWindow), rightHalf, 0); }))
      << ::testing::PrintToString(frame(leftWindow)) << " " << ::testing::PrintToString(frame(rightWindow));
  // The client windows overlap by both shadows; their visible parts touch at x = 960.
  EXPECT_EQ(toolFrame(left), leftHalf.insetBy(-double(shadow), -double(shadow)));
  EXPECT_EQ(toolFrame(right), rightHalf.insetBy(-double(shadow), -double(shadow)));
  requests.destroy(left);
  requests.destroy(right);
}

// A maximized window leaves its maximized state when moved, and the move lands.
TEST_F(WindowAccess, MovesAMaximizedWindowOutOfMaximizedState) {
  auto program = testWindow();
  ASSERT_TRUE(program);
  const AXElement window = windowOf(*program);
  requests.changeState(program->window(), 1, "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ");
  ASSERT_TRUE(waitUntil(5, [&] { return near(frame(window), Rect(0, 0, 1920, 1080), 0); }));
  ASSERT_NE(propertyText(program->window(), "_NET_WM_STATE")->find("_NET_WM_STATE_MAXIMIZED_HORZ"), std::string::npos);

  const Rect target(200, 100, 800, 600);
  ASSERT_EQ(accessibility.setAttributeValue(window, ax::position, target.origin()), platform::kAXErrorSuccess);
  ASSERT_EQ(accessibility.setAttributeValue(window, ax::size, target.size()), platform::kAXErrorSuccess);
  EXPECT_TRUE(waitUntil(5, [&] { return near(frame(window), target, 1); })) << ::testing::PrintToString(frame(window));
  const auto state = propertyText(program->window(), "_NET_WM_STATE").value_or("");
  EXPECT_EQ(state.find("MAXIMIZED"), std::string::npos) << state;
}

// Full screen is read from and written through _NET_WM_STATE; a minimized window reads as minimized.
TEST_F(WindowAccess, FullScreenAndMinimizedFollowTheWindowState) {
  auto program = testWindow();
  ASSERT_TRUE(program);
  const AXElement window = windowOf(*program);

  ASSERT_EQ(accessibility.setAttributeValue(window, ax::fullScreen, true), platform::kAXErrorSuccess);
  EXPECT_TRUE(waitUntil(5, [&] { return flag(window, ax::fullScreen) == true; }));
  EXPECT_TRUE(waitUntil(5, [&] { return near(frame(window), Rect(0, 0, 1920, 1080), 0); }));
  ASSERT_EQ(accessibility.setAttributeValue(window, ax::fullScreen, false), platform::kAXErrorSuccess);
  EXPECT_TRUE(waitUntil(5, [&] { return flag(window, ax::fullScreen) == false; }));

  ASSERT_TRUE(runTool("xdotool", {"windowminimize", QString::number(program->window())}));
  EXPECT_TRUE(waitUntil(5, [&] { return flag(window, ax::minimized) == true; }));
}

// AXRaise makes a window the active one, and the program's focused window and the focused application follow.
TEST_F(WindowAccess, RaiseActivatesAndFocusFollows) {
  auto first = testWindow("400x300+100+100");
  auto second = testWindow("400x300+200+200");
  ASSERT_TRUE(first && second);
  ASSERT_TRUE(waitUntil(5, [&] { return activeWindowByTool() == second->window(); }));

  const AXElement window = windowOf(*first);
  ASSERT_EQ(accessibility.performAction(window, ax::raise), platform::kAXErrorSuccess);
  EXPECT_TRUE(waitUntil(5, [&] { return activeWindowByTool() == first->window(); }));

  const AXResult focused =
      accessibility.copyAttributeValue(accessibility.applicationElement(first->pid()), ax::focusedWindow);
  ASSERT_EQ(focused.error, platform::kAXErrorSuccess);
  EXPECT_EQ(std::get<AXElement>(*focused.value), window);
  const AXResult application =
      accessibility.copyAttributeValue(accessibility.systemWideElement(), ax::focusedApplication);
  ASSERT_EQ(application.error, platform::kAXErrorSuccess);
  EXPECT_EQ(std::get<AXElement>(*application.value), accessibility.applicationElement(first->pid()));

  // The stacking order has the raised window on top of the other.
  const auto stacking = x11::stackingClients(requests.connection(), x11::deadlineAfter(1));
  ASSERT_TRUE(stacking.value);
  const auto position = [&](xcb_window_t w) { return std::find(stacking.value->begin(), stacking.value->end(), w); };
  EXPECT_GT(position(first->window()), position(second->window()));
}

// A window that was just destroyed reads and writes as an invalid element, and never crashes the program.
TEST_F(WindowAccess, DestroyedWindowsAreInvalidElements) {
  auto xterm = Program::start("xterm", {"-T", "doomed"});
  ASSERT_TRUE(xterm);
  const AXElement window = windowOf(*xterm);
  const xcb_window_t id = xterm->window();
  ASSERT_TRUE(frame(window));

  // Reads racing the close may still succeed; none may crash or hang.
  xterm->kill();
  for (int i = 0; i < 20; ++i) {
    const AXResult read = accessibility.copyAttributeValue(window, ax::position);
    EXPECT_TRUE(read.error == platform::kAXErrorSuccess || read.error == platform::kAXErrorInvalidUIElement)
        << read.error;
  }
  ASSERT_TRUE(waitUntil(5, [&] {
    const auto managed = managedWindows();
    return std::find(managed.begin(), managed.end(), id) == managed.end();
  }));
  for (const std::string_view attribute : {ax::position, ax::size, ax::title, ax::role, ax::subrole, ax::minimized}) {
    EXPECT_EQ(accessibility.copyAttributeValue(window, attribute).error, platform::kAXErrorInvalidUIElement)
        << attribute;
  }
  EXPECT_EQ(accessibility.setAttributeValue(window, ax::position, Point{10, 10}), platform::kAXErrorInvalidUIElement);
  EXPECT_EQ(accessibility.performAction(window, ax::raise), platform::kAXErrorInvalidUIElement);
  EXPECT_EQ(accessibility.copyAttributeValue(accessibility.applicationElement(xterm->pid()), ax::windows).error,
            platform::kAXErrorInvalidUIElement);

  // A window the window manager never managed is no element either, though it exists.
  const xcb_window_t unmanaged = requests.createUnmanagedWindow();
  EXPECT_EQ(accessibility.copyAttributeValue({AXElement::Kind::window, 1, unmanaged}, ax::size).error,
            platform::kAXErrorInvalidUIElement);
  requests.destroy(unmanaged);
}

// xlogo sets no _NET_WM_PID: its process is found through X-Resource, and the workspace names it from WM_CLASS.
TEST_F(WindowAccess, FindsTheOwnerOfAWindowWithoutPid) {
  auto xlogo = Program::start("xlogo", {"-geometry", "300x300+500+300"});
  ASSERT_TRUE(xlogo);
  ASSERT_EQ(propertyText(xlogo->window(), "_NET_WM_PID"), std::nullopt);

  const xcb_window_t windows[] = {xlogo->window()};
  EXPECT_EQ(x11::ownerPids(requests.connection(), windows, x11::deadlineAfter(1)).front(), xlogo->pid());

  const AXResult listed = accessibility.copyAttributeValue(accessibility.applicationElement(xlogo->pid()), ax::windows);
  ASSERT_EQ(listed.error, platform::kAXErrorSuccess);
  EXPECT_EQ(std::get<std::vector<AXElement>>(*listed.value), std::vector<AXElement>{windowOf(*xlogo)});

  requests.activate(xlogo->window());
  ASSERT_TRUE(waitUntil(5, [&] {
    const auto front = workspace.frontmostApplication();
    return front && front->pid == xlogo->pid();
  }));
  const auto front = workspace.frontmostApplication();
  EXPECT_EQ(front->localizedName, "XLogo");
  EXPECT_EQ(front->bundleIdentifier, "XLogo");
  EXPECT_EQ(front->executablePath, "/usr/bin/xlogo");
  EXPECT_EQ(workspace.menuBarOwningApplication(), front);
  EXPECT_EQ(workspace.runningApplication(xlogo->pid()), front);
}

// The workspace tells our own process by its identifier, and a process that ended is no running application.
TEST_F(WindowAccess, WorkspaceKnowsItsOwnProcessAndForgetsEndedOnes) {
  EXPECT_EQ(workspace.currentProcessID(), std::int32_t(getpid()));
  const auto self = workspace.runningApplication(workspace.currentProcessID());
  ASSERT_TRUE(self);
  EXPECT_EQ(self->bundleIdentifier, std::string(platform::kBundleIdentifier));
  EXPECT_EQ(self->localizedName, "e2e_backend");

  auto xterm = Program::start("xterm", {"-T", "short-lived"});
  ASSERT_TRUE(xterm);
  const std::int32_t pid = xterm->pid();
  const auto running = workspace.runningApplication(pid);
  ASSERT_TRUE(running);
  EXPECT_EQ(running->bundleIdentifier, "XTerm");
  xterm->kill();
  EXPECT_EQ(workspace.runningApplication(pid), std::nullopt);
}

}  // namespace
}  // namespace vistrel::e2e
