// Stands in for a copy of Vistrel whose snap was blocked by the missing
// Accessibility permission and which then saw the grant: it stores the
// pending snap for the program in front, as the window engine does, and
// relaunches through the permission flow. Its bundle is the file named by
// $APPIMAGE, so the copy it starts is the real program, which must perform
// the snap, while this one ends 0.4 s later.
//
//   APPIMAGE=/path/to/vistrel vistrel-relaunch-probe <snap raw value>

#include <QApplication>

#include <cstdio>
#include <string>

#include "base/WindowSnap.h"
#include "layout/WindowEngine.h"
#include "permissions/AccessibilityAccess.h"
#include "platform/Platform.h"
#include "platform/x11/X11Platform.h"

using namespace vistrel;

int main(int argc, char** argv) {
  const auto snap = argc == 2 ? WindowSnaps::fromRaw(argv[1]) : std::nullopt;
  if (!snap) {
    std::fprintf(stderr, "usage: APPIMAGE=<vistrel> vistrel-relaunch-probe <snap raw value>\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  std::string error;
  const auto system = x11::makePlatform(error);
  if (!system) {
    std::fprintf(stderr, "vistrel-relaunch-probe: %s\n", error.c_str());
    return 1;
  }
  platform::install(system.get());

  WindowEngine::shared().requestAccessibility(*snap);
  AccessibilityAccess::performRelaunch("user");
  const int status = QApplication::exec();
  platform::install(nullptr);
  return status;
}
