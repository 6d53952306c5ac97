#include "layout/LayoutReview.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <random>

#include "base/LayoutLog.h"
#include "base/RectText.h"
#include "layout/AccessibilityWindow.h"
#include "layout/WindowEngine.h"
#include "layout/WindowSnapGeometry.h"
#include "layout/WindowTargetStore.h"
#include "platform/Desktop.h"
#include "platform/Platform.h"

namespace vistrel::LayoutReview {

namespace AW = AccessibilityWindow;

namespace {

struct Paths {
  std::string marker = kMarkerPath;
  std::string report = kReportPath;
};

Paths& paths() {
  static Paths p;
  return p;
}

// The target window's frame in AppKit space, if it can be found and read.
std::optional<Rect> targetFrame() {
  const auto window = AW::targetWindow();
  if (!window) return std::nullopt;
  const auto frame = AW::rawFrame(*window);
  if (!frame) return std::nullopt;
  return AW::toAppKit(*frame);
}

bool writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// The report lives in a world-writable folder: write a fresh file of our own
// (never through a planted link or over a planted file) and rename it over
// the report, which replaces a link there instead of following it.
void replaceAtomically(const std::string& path, const std::string& text) {
  std::random_device random;
  std::string temp;
  int fd = -1;
  for (int tries = 0; tries < 16 && fd < 0; ++tries) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x", static_cast<unsigned>(random()));
    temp = path + suffix;
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0 && errno != EEXIST) return;
  }
  if (fd < 0) return;
  const bool written = writeAll(fd, text) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(temp.c_str(), path.c_str()) != 0) ::unlink(temp.c_str());
}

}  // namespace

void setPathsForTesting(std::string marker, std::string report) {
  paths().marker = std::move(marker);
  paths().report = std::move(report);
}

std::string reportPath() { return paths().report; }

void startIfRequested() {
  struct stat st {};
  if (::lstat(paths().marker.c_str(), &st) != 0) return;
  ::unlink(paths().marker.c_str());
  spawn(run());
}

bool close(const Rect& a, const Rect& b) {
  return std::abs(a.minX() - b.minX()) < 24 && std::abs(a.minY() - b.minY()) < 24 &&
         std::abs(a.width() - b.width()) < 36 && std::abs(a.height() - b.height()) < 36;
}

std::string rect(const Rect& r) { return RectText::frame(r); }

void write(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  replaceAtomically(paths().report, text);
  LayoutLog::write("review-done");
}

std::optional<Rect> expectedFrame(WindowSnap snap, const Rect& before, const std::optional<Rect>& restore) {
  switch (snap) {
    case WindowSnap::restore: return restore;
    case WindowSnap::nextDisplay: return AW::frameMovingDisplaysBy(before, +1);
    case WindowSnap::previousDisplay: return AW::frameMovingDisplaysBy(before, -1);
    default: break;
  }
  auto screen = AW::screenContaining(before);
  if (!screen) screen = platform::screens().mainScreen();
  return WindowSnapGeometry::rect(snap, before, screen ? screen->visibleFrame : Rect());
}

Task<std::optional<Rect>> wait(std::optional<Rect> expected, double timeout) {
  auto& clock = platform::current().clock();
  const double deadline = clock.uptime() + timeout;
  for (;;) {
    const auto frame = targetFrame();
    if (expected && frame && close(*frame, *expected)) co_return frame;
    if (clock.uptime() + 1e-9 >= deadline) co_return frame;
    co_await sleep(0.1);
  }
}

Task<> run() {
  auto& program = platform::reviewApp();
  const bool suppressedBefore = WindowEngine::shared().suppressAlerts;
  const auto pinnedBefore = WindowTargetStore::shared().pinnedPID;
  WindowEngine::shared().suppressAlerts = true;
  const bool wasRunning = program.runningProcess().has_value();

  const std::optional<std::string> error = co_await program.openDocument();
  co_await sleep(0.7);

  const auto pid = program.processID();
  if (!pid) {
    write({"FAIL setup: the review program did not launch " + error.value_or("")});
    WindowEngine::shared().suppressAlerts = suppressedBefore;
    co_return;
  }

  WindowTargetStore::shared().pinnedPID = *pid;
  std::vector<std::string> lines;
  const auto window = AW::targetWindow();
  if (!window) {
    lines.push_back(std::string("FAIL setup: no window to resize denied=") +
                    (AW::state().accessDenied ? "true" : "false") + " " + error.value_or(""));
  } else {
    lines.push_back("layout review");
    const auto first = AW::rawFrame(*window);
    std::optional<Rect> previous = first ? std::optional<Rect>(AW::toAppKit(*first)) : std::nullopt;

    for (const WindowSnap snap : steps) {
      const std::string title(WindowSnaps::title(snap));
      const auto before = targetFrame();
      if (!before) {
        lines.push_back("FAIL " + title + ": could not read window");
        continue;
      }
      const auto expected = expectedFrame(snap, *before, previous);
      WindowEngine::shared().perform(snap, true);
      const auto actual = co_await wait(expected, 1.6);

      if (!expected && actual && close(*actual, *before)) {
        lines.push_back("PASS " + title + " unchanged");
      } else if (expected && actual && close(*actual, *expected)) {
        lines.push_back("PASS " + title + " " + rect(*actual));
      } else {
        lines.push_back("FAIL " + title + " expected " + (expected ? rect(*expected) : "nil") + " actual " +
                        (actual ? rect(*actual) : "nil"));
      }
      previous = before;
      co_await sleep(0.2);
    }
  }

  write(lines);
  WindowTargetStore::shared().pinnedPID = pinnedBefore;
  if (wasRunning) {
    program.closeDocument();
  } else {
    program.terminate();
  }
  WindowEngine::shared().suppressAlerts = suppressedBefore;
}

}  // namespace vistrel::LayoutReview
