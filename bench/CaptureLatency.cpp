// Capture latency seen from outside, for bench/capture_latency.sh: from the
// XTest key press until the file is complete in the screenshots folder (the
// product renames a finished file into place, so a file that appears is whole).
// For bench/ocr_vs_cli.sh: from the end of the drag of "Recognize Text/QR"
// until the program takes the clipboard with the text.
//
//   vistrel-capture-latency key <dir> <runs>                 Super+Shift+1
//   vistrel-capture-latency area <dir> <runs> X Y W H        Super+Shift+2, then a drag
//   vistrel-capture-latency text - <runs> X Y W H            Ctrl+Alt+Super+O, a drag, then Return on the alert
//   vistrel-capture-latency command <file> <runs> -- cmd...  a tool that writes <file>
//
// Prints one line: "<median ms> <min ms> <max ms> <bytes of the last file>"
// (for text, 0 bytes: read the clipboard).

#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <poll.h>
#include <unistd.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void pressCombo(Display* display, std::vector<KeySym> keys) {
  for (KeySym key : keys) XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), True, CurrentTime);
  std::reverse(keys.begin(), keys.end());
  for (KeySym key : keys) XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), False, CurrentTime);
  XFlush(display);
}

// Waits up to `seconds` for a file to be moved or written into the watched folder; its path or "".
std::string waitForFile(int watch, const std::string& dir, double seconds) {
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  alignas(inotify_event) char buffer[4096];
  while (Clock::now() < deadline) {
    pollfd fd{watch, POLLIN, 0};
    const int left = int(std::chrono::duration<double, std::milli>(deadline - Clock::now()).count());
    if (poll(&fd, 1, std::max(left, 1)) <= 0) continue;
    const ssize_t n = read(watch, buffer, sizeof buffer);
    for (ssize_t i = 0; i < n;) {
      auto* event = reinterpret_cast<inotify_event*>(buffer + i);
      const std::string name = event->len ? event->name : "";
      if (name.rfind("Vistrel-", 0) == 0 && (event->mask & (IN_MOVED_TO | IN_CLOSE_WRITE))) return dir + "/" + name;
      i += ssize_t(sizeof(inotify_event) + event->len);
    }
  }
  return {};
}

// Waits for an override-redirect window to be mapped (the selection overlay).
bool waitForOverlay(Display* display, double seconds) {
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  while (Clock::now() < deadline) {
    while (XPending(display)) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == MapNotify && event.xmap.override_redirect) return true;
    }
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    poll(&fd, 1, 5);
  }
  return false;
}

// Waits for a new owner of the clipboard (the program takes it with the
// text; giving it up first is no text yet).
bool waitForClipboard(Display* display, int fixesEvents, double seconds) {
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  while (Clock::now() < deadline) {
    while (XPending(display)) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == fixesEvents + XFixesSelectionNotify &&
          reinterpret_cast<XFixesSelectionNotifyEvent*>(&event)->owner != None)
        return true;
    }
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    poll(&fd, 1, 5);
  }
  return false;
}

// Waits for a managed window to be mapped or unmapped (the alert's frame).
bool waitForFrame(Display* display, int type, double seconds) {
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  while (Clock::now() < deadline) {
    while (XPending(display)) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == type && (type != MapNotify || !event.xmap.override_redirect)) return true;
    }
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    poll(&fd, 1, 5);
  }
  return false;
}

void report(std::vector<double> times, const std::string& file) {
  if (times.empty()) {
    std::printf("- - - 0\n");
    return;
  }
  std::sort(times.begin(), times.end());
  struct stat st {};
  const long bytes = stat(file.c_str(), &st) == 0 ? long(st.st_size) : 0;
  std::printf("%.1f %.1f %.1f %ld\n", times[times.size() / 2], times.front(), times.back(), bytes);
}

int runCommand(const std::string& file, int runs, char** argv) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    std::filesystem::remove(file);
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
      execvp(argv[0], argv);
      _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) times.push_back(msSince(start));
    usleep(300000);
  }
  report(times, file);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: see the top of bench/CaptureLatency.cpp\n");
    return 2;
  }
  const std::string mode = argv[1];
  const std::string target = argv[2];
  const int runs = std::atoi(argv[3]);
  if (mode == "command" && argc > 5) return runCommand(target, runs, argv + 5);

  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "capture-latency: cannot open the display\n");
    return 1;
  }
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
  int fixesEvents = 0, fixesErrors = 0;
  if (mode == "text") {
    if (!XFixesQueryExtension(display, &fixesEvents, &fixesErrors)) {
      std::fprintf(stderr, "capture-latency: no XFIXES\n");
      return 1;
    }
    XFixesSelectSelectionInput(display, DefaultRootWindow(display), XInternAtom(display, "CLIPBOARD", False),
                               XFixesSetSelectionOwnerNotifyMask);
  }
  const int watch = inotify_init1(IN_NONBLOCK);
  inotify_add_watch(watch, target.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE);

  std::vector<double> times;
  std::string last;
  for (int i = 0; i < runs; ++i) {
    XSync(display, True);
    const auto start = Clock::now();
    if (mode == "key") {
      pressCombo(display, {XK_Super_L, XK_Shift_L, XK_1});
    } else if (mode == "text") {
      const int x = std::atoi(argv[4]), y = std::atoi(argv[5]), w = std::atoi(argv[6]), h = std::atoi(argv[7]);
      XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
      pressCombo(display, {XK_Control_L, XK_Alt_L, XK_Super_L, XK_o});
      if (!waitForOverlay(display, 5)) {
        std::fprintf(stderr, "capture-latency: no overlay appeared\n");
        break;
      }
      XTestFakeButtonEvent(display, 1, True, CurrentTime);
      XTestFakeMotionEvent(display, -1, x + w / 2, y + h / 2, CurrentTime);
      XTestFakeMotionEvent(display, -1, x + w, y + h, CurrentTime);
      XSync(display, False);
      const auto released = Clock::now();
      XTestFakeButtonEvent(display, 1, False, CurrentTime);
      XFlush(display);
      if (!waitForClipboard(display, fixesEvents, 20)) {
        std::fprintf(stderr, "capture-latency: the clipboard did not change within 20 s\n");
        break;
      }
      times.push_back(msSince(released));
      // The "Copied text" alert: Return closes it.
      if (!waitForFrame(display, MapNotify, 10)) {
        std::fprintf(stderr, "capture-latency: no alert appeared\n");
        break;
      }
      usleep(300000);
      pressCombo(display, {XK_Return});
      waitForFrame(display, UnmapNotify, 5);
      usleep(900000);
      continue;
    } else {
      const int x = std::atoi(argv[4]), y = std::atoi(argv[5]), w = std::atoi(argv[6]), h = std::atoi(argv[7]);
      XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
      pressCombo(display, {XK_Super_L, XK_Shift_L, XK_2});
      if (!waitForOverlay(display, 5)) {
        std::fprintf(stderr, "capture-latency: no overlay appeared\n");
        break;
      }
      XTestFakeButtonEvent(display, 1, True, CurrentTime);
      XTestFakeMotionEvent(display, -1, x + w / 2, y + h / 2, CurrentTime);
      XTestFakeMotionEvent(display, -1, x + w, y + h, CurrentTime);
      XTestFakeButtonEvent(display, 1, False, CurrentTime);
      XFlush(display);
    }
    const std::string file = waitForFile(watch, target, 10);
    if (file.empty()) {
      std::fprintf(stderr, "capture-latency: no file within 10 s\n");
      break;
    }
    times.push_back(msSince(start));
    if (!last.empty()) std::filesystem::remove(last);
    last = file;
    usleep(900000);  // the shortcut ignores a second press within 0.75 s
  }
  report(times, last);
  XCloseDisplay(display);
  return 0;
}
