// The self-test's text window program: started, found by its pid, closed and ended on a real desktop.

#include <gtest/gtest.h>

#include <signal.h>

#include <QCoreApplication>
#include <QTimer>

#include <cerrno>
#include <cstdlib>

#include "Desktop.h"
#include "platform/linux/QtClock.h"
#include "platform/x11/X11Accessibility.h"
#include "platform/x11/X11ReviewApp.h"
#include "platform/x11/X11Workspace.h"

namespace vistrel::e2e {
namespace {

namespace ax = platform::ax;

bool processGone(std::int32_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

Task<> into(Task<std::optional<std::string>> task, std::optional<std::optional<std::string>>* result) {
  *result = co_await std::move(task);
}

// Runs openDocument on the event loop to its end (10 s at most). Counts the
// turns of a 20 ms timer meanwhile: the wait leaves the main thread free.
std::optional<std::string> open(x11::X11ReviewApp& app, int* ticks = nullptr) {
  std::optional<std::optional<std::string>> result;
  auto run = into(app.openDocument(), &result).release();
  QTimer timer;
  int turns = 0;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++turns; });
  timer.start(20);
  run.resume();
  waitUntil(10, [&] { return result.has_value(); });
  if (ticks) *ticks = turns;
  const bool finished = run.done();
  if (finished) run.destroy();
  EXPECT_TRUE(finished) << "openDocument did not finish within 10 s";
  return result.value_or("openDocument did not finish");
}

class ReviewApp : public ::testing::Test {
 protected:
  ReviewApp() : accessibility(requests.connection()), workspace(requests.connection()) {}
  ~ReviewApp() override { unsetenv("VISTREL_REVIEW_APP"); }

  std::size_t windowCount(std::int32_t pid) {
    const auto result = accessibility.copyAttributeValue(accessibility.applicationElement(pid), ax::windows);
    if (result.error != platform::kAXErrorSuccess) return 0;
    return std::get<std::vector<platform::AXElement>>(*result.value).size();
  }

  Requests requests;
  desktop::QtClock clock;
  x11::X11Accessibility accessibility;
  x11::X11Workspace workspace;
};

// openDocument starts xterm with its title and finishes once its window is active, the event loop turning
// meanwhile; closing it ends xterm.
TEST_F(ReviewApp, StartsXtermActiveAndClosesIt) {
  x11::X11ReviewApp app(requests.connection(), clock);
  EXPECT_EQ(app.runningProcess(), std::nullopt);
  EXPECT_EQ(app.processID(), std::nullopt);

  int ticks = 0;
  ASSERT_EQ(open(app, &ticks), std::nullopt);
  EXPECT_GT(ticks, 0) << "the window wait held the main thread";
  const auto pid = app.processID();
  ASSERT_TRUE(pid);
  const auto front = workspace.frontmostApplication();
  ASSERT_TRUE(front);
  EXPECT_EQ(front->pid, *pid);
  EXPECT_EQ(front->bundleIdentifier, "XTerm");

  const auto focused = accessibility.copyAttributeValue(accessibility.applicationElement(*pid), ax::focusedWindow);
  ASSERT_EQ(focused.error, platform::kAXErrorSuccess);
  const auto title = accessibility.copyAttributeValue(std::get<platform::AXElement>(*focused.value), ax::title);
  EXPECT_EQ(title.value, platform::AXValue(std::string("Vistrel layout review")));

  app.closeDocument();
  EXPECT_TRUE(waitUntil(5, [&] { return processGone(*pid); }));
  EXPECT_EQ(windowCount(*pid), 0u);
  app.terminate();
  EXPECT_EQ(app.processID(), std::nullopt);
}

// terminate ends a running program and its window; the next openDocument starts a fresh one.
TEST_F(ReviewApp, TerminateEndsTheProgramAndANewRunStartsAnother) {
  x11::X11ReviewApp app(requests.connection(), clock);
  ASSERT_EQ(open(app), std::nullopt);
  const auto first = app.processID();
  ASSERT_TRUE(first);
  ASSERT_EQ(windowCount(*first), 1u);

  app.terminate();
  EXPECT_EQ(app.processID(), std::nullopt);
  EXPECT_TRUE(processGone(*first));
  EXPECT_TRUE(waitUntil(5, [&] { return windowCount(*first) == 0; }));

  ASSERT_EQ(open(app), std::nullopt);
  ASSERT_TRUE(app.processID());
  EXPECT_NE(app.processID(), first);
  app.terminate();
}

// VISTREL_REVIEW_APP replaces xterm; a program that cannot start or exits at once is an error text.
TEST_F(ReviewApp, OverridesAndFailuresAreReported) {
  setenv("VISTREL_REVIEW_APP", "xlogo -geometry \"200x200+10+10\"", 1);
  {
    x11::X11ReviewApp app(requests.connection(), clock);
    ASSERT_EQ(open(app), std::nullopt);
    const auto pid = app.processID();
    ASSERT_TRUE(pid);
    EXPECT_EQ(workspace.frontmostApplication()->localizedName, "XLogo");
  }

  setenv("VISTREL_REVIEW_APP", "/nonexistent/editor --new", 1);
  x11::X11ReviewApp missing(requests.connection(), clock);
  const auto notFound = open(missing);
  ASSERT_TRUE(notFound);
  EXPECT_TRUE(notFound->starts_with("editor did not start: ")) << *notFound;

  setenv("VISTREL_REVIEW_APP", "sh -c \"echo no display for me >&2; exit 3\"", 1);
  x11::X11ReviewApp exits(requests.connection(), clock);
  const auto exited = open(exits);
  ASSERT_TRUE(exited);
  EXPECT_EQ(*exited, "sh did not start: it exited with status 3: no display for me");
}

}  // namespace
}  // namespace vistrel::e2e
