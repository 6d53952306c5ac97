// Presses key combinations through XTest, for bench/soak.sh: xdotool spends
// about 30 ms on each key while a passive grab holds it, which would make
// ten thousand shortcuts take longer than the rest of the day together.
//
//   vistrel-key-burst <count> <ms between> <combo> [<combo>...]
//
// Presses <count> combinations, the given ones in turn (ctrl+alt+Left,
// super+shift+1: modifiers ctrl, alt, shift, super and a key name as
// XStringToKeysym knows it), each pressed and released whole, then waits
// until the server has processed them all.

#include <unistd.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The keycodes of a combination, modifiers first; empty when a name is unknown.
std::vector<KeyCode> parseCombo(Display* display, const std::string& combo) {
  std::vector<KeyCode> codes;
  std::stringstream parts(combo);
  std::string part;
  while (std::getline(parts, part, '+')) {
    KeySym sym = NoSymbol;
    if (part == "ctrl") sym = XK_Control_L;
    else if (part == "alt") sym = XK_Alt_L;
    else if (part == "shift") sym = XK_Shift_L;
    else if (part == "super") sym = XK_Super_L;
    else sym = XStringToKeysym(part.c_str());
    const KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(display, sym);
    if (code == 0) {
      std::fprintf(stderr, "vistrel-key-burst: no key for \"%s\" in \"%s\"\n", part.c_str(), combo.c_str());
      return {};
    }
    codes.push_back(code);
  }
  return codes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: vistrel-key-burst <count> <ms between> <combo> [<combo>...]\n");
    return 2;
  }
  const long count = std::strtol(argv[1], nullptr, 10);
  const long pauseMs = std::strtol(argv[2], nullptr, 10);
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "vistrel-key-burst: cannot open the display\n");
    return 1;
  }
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
    std::fprintf(stderr, "vistrel-key-burst: the X server has no XTest\n");
    return 1;
  }
  std::vector<std::vector<KeyCode>> combos;
  for (int i = 3; i < argc; ++i) {
    combos.push_back(parseCombo(display, argv[i]));
    if (combos.back().empty()) return 2;
  }
  for (long i = 0; i < count; ++i) {
    const auto& codes = combos[std::size_t(i) % combos.size()];
    for (KeyCode code : codes) XTestFakeKeyEvent(display, code, True, CurrentTime);
    for (auto it = codes.rbegin(); it != codes.rend(); ++it) XTestFakeKeyEvent(display, *it, False, CurrentTime);
    XSync(display, False);
    if (pauseMs > 0) usleep(useconds_t(pauseMs * 1000));
  }
  XCloseDisplay(display);
  return 0;
}
