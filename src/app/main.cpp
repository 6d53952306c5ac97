// The program: open the X display, install the real platform, run the
// launch sequence on the first turn of the event loop, stay resident.

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstring>

#include "app/AppDelegate.h"
#include "platform/Platform.h"
#include "platform/x11/X11Platform.h"

using namespace vistrel;

namespace {

std::string versionText(const platform::BundleInfo& bundle) {
  return bundle.infoString("CFBundleShortVersionString").value_or("?") + " (build " +
         bundle.infoString("CFBundleVersion").value_or("?") + ", " +
         bundle.infoString("VistrelBuildChannel").value_or("release") + ")";
}

int usage(FILE* out, int code) {
  std::fprintf(out,
               "usage: vistrel [--help] [--version]\n"
               "Window layout and screen capture. Runs in the tray of the X display named by $DISPLAY.\n");
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) return usage(stdout, 0);
    if (!std::strcmp(argv[i], "--version")) {
      const auto info = platform::builtInInfoDictionary();
      std::printf("vistrel %s (build %s, %s)\n", std::get<std::string>(info.at("CFBundleShortVersionString")).c_str(),
                  std::get<std::string>(info.at("CFBundleVersion")).c_str(),
                  std::get<std::string>(info.at("VistrelBuildChannel")).c_str());
      return 0;
    }
    std::fprintf(stderr, "vistrel: unknown option \"%s\"\n", argv[i]);
    return usage(stderr, 2);
  }

  if (const auto error = x11::checkDisplay()) {
    std::fprintf(stderr, "%s\n", error->c_str());
    return 1;
  }
  qputenv("QT_QPA_PLATFORM", "xcb");

  QApplication app(argc, argv);
  QApplication::setApplicationName("Vistrel");
  QApplication::setDesktopFileName("vistrel");
  // Alerts and cards come and go; closing the last one must not end the program.
  QApplication::setQuitOnLastWindowClosed(false);
  // A tray that appears after launch embeds the item with the application's icon.
  QApplication::setWindowIcon(QIcon(QPixmap::fromImage(placeholderStatusImage())));

  std::string error;
  const auto system = x11::makePlatform(error);
  if (!system) {
    std::fprintf(stderr, "vistrel: %s\n", error.c_str());
    return 1;
  }
  platform::install(system.get());
  system->setTerminationRequestHandler([] { QCoreApplication::quit(); });

  AppDelegate delegate;
  QObject::connect(&app, &QCoreApplication::aboutToQuit, [&delegate] { delegate.applicationWillTerminate(); });
  QTimer::singleShot(0, [&delegate] { delegate.applicationDidFinishLaunching(); });

  std::fprintf(stderr, "vistrel %s on display %s\n", versionText(system->bundle()).c_str(), std::getenv("DISPLAY"));
  const int status = QApplication::exec();
  platform::install(nullptr);
  return status;
}
