// The program: hand over to a copy that runs already when there is one, else
// pick the backend, open its display, install the platform, run the launch
// sequence on the first turn of the event loop, stay resident.

#include <unistd.h>

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "app/AppDelegate.h"
#include "app/Backends.h"
#include "app/InstanceHandOver.h"
#include "app/MenuController.h"
#include "app/VistrelBus.h"
#include "base/LayoutLog.h"
#include "platform/Platform.h"
#include "platform/linux/InstanceRecords.h"
#include "platform/linux/ProcessBundleInfo.h"
#include "platform/linux/ProcessMemory.h"
#include "update/BrandIcon.h"

using namespace vistrel;

namespace {

struct Options {
  bool newInstance = false;
  std::optional<std::string> action;    // a storage id, as given
  std::optional<std::string> delay;     // seconds before a capture, as given
  std::optional<std::string> platform;  // a backend's name, as given
};

std::string versionText(const platform::BundleInfo& bundle) {
  return bundle.infoString("CFBundleShortVersionString").value_or("?") + " (build " +
         bundle.infoString("CFBundleVersion").value_or("?") + ", " +
         bundle.infoString("VistrelBuildChannel").value_or("release") + ")";
}

int usage(FILE* out, int code) {
  std::fprintf(out,
               "usage: vistrel [--help] [--version] [--platform <backend>]\n"
               "               [--new-instance | --action <id> [--delay <s>]]\n"
               "Window layout and screen capture. Runs in the tray of the X display named by $DISPLAY.\n"
               "\n"
               "A second start of the same file hands over to the copy that runs and exits.\n"
               "  --new-instance  start another copy even when one runs\n"
               "  --action <id>   have the running copy perform one action, named by its storage id\n"
               "                  (window.leftHalf, window.rightHalf, capture.area, settings, quit, ...)\n"
               "  --delay <s>     with a capture action: count that many seconds (0 to 60) down first\n"
               "  --platform <backend>  %s; by default the session's (Wayland when it says so, else X11)\n",
               Backends::names().c_str());
  return code;
}

// Writes a hand-over failure on stderr; `what` says what was being handed over.
void reportFailure(const char* what, const InstanceHandOver::Outcome& outcome) {
  std::fprintf(stderr, "vistrel: the running Vistrel did not take the %s: %s\n", what, outcome.detail.c_str());
}

// --action: hands the action to the running copy, whichever file it runs from. No display needed.
int handAction(const std::optional<std::string>& folder, const std::string& folderError,
               const std::string& bundleIdentifier, const UtilityAction& action, double delay) {
  if (!folder) {
    std::fprintf(stderr, "vistrel: no running Vistrel to hand the action to (%s)\n", folderError.c_str());
    return 1;
  }
  const auto outcome = InstanceHandOver::send(InstanceHandOver::socketPath(*folder, bundleIdentifier),
                                              InstanceHandOver::actionRequest(action, delay));
  switch (outcome.status) {
    case InstanceHandOver::Outcome::Status::ok:
      return 0;
    case InstanceHandOver::Outcome::Status::noInstance:
    case InstanceHandOver::Outcome::Status::otherInstance:
      std::fprintf(stderr, "vistrel: no running Vistrel to hand the action to\n");
      return 1;
    case InstanceHandOver::Outcome::Status::failed:
      reportFailure("action", outcome);
      return 1;
  }
  return 1;
}

// A plain start: true when a copy of this same file runs and took the activation.
bool handedOverToSameFile(const std::string& folder, const platform::BundleInfo& bundle) {
  const auto running = desktop::InstanceRecords::runningApplications(folder);
  const auto pid = InstanceHandOver::sameFileInstance(running, bundle.bundleIdentifier(), bundle.bundlePath(),
                                                      std::int32_t(::getpid()));
  if (!pid) return false;
  // Only that copy is asked: the socket may belong to a copy of another file.
  const auto outcome =
      InstanceHandOver::send(InstanceHandOver::socketPath(folder, bundle.bundleIdentifier()), "activate", *pid);
  switch (outcome.status) {
    case InstanceHandOver::Outcome::Status::ok:
      std::fprintf(stderr, "vistrel: Vistrel runs from this file already (pid %d); handed over to it\n", int(*pid));
      return true;
    case InstanceHandOver::Outcome::Status::noInstance:
    case InstanceHandOver::Outcome::Status::otherInstance:
      return false;
    case InstanceHandOver::Outcome::Status::failed:
      reportFailure("start", outcome);
      std::fprintf(stderr, "vistrel: starting another copy\n");
      return false;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  desktop::ProcessMemory::limitArenas();
  Options options;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (!std::strcmp(arg, "--help") || !std::strcmp(arg, "-h")) return usage(stdout, 0);
    if (!std::strcmp(arg, "--version")) {
      std::printf("vistrel %s\n", versionText(desktop::ProcessBundleInfo()).c_str());
      return 0;
    }
    if (!std::strcmp(arg, "--new-instance")) {
      options.newInstance = true;
    } else if (!std::strcmp(arg, "--action")) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "vistrel: --action wants a storage id, for example window.leftHalf\n");
        return usage(stderr, 2);
      }
      options.action = argv[++i];
    } else if (!std::strncmp(arg, "--action=", 9)) {
      options.action = arg + 9;
    } else if (!std::strcmp(arg, "--delay")) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "vistrel: --delay wants a number of seconds from 0 to 60\n");
        return usage(stderr, 2);
      }
      options.delay = argv[++i];
    } else if (!std::strncmp(arg, "--delay=", 8)) {
      options.delay = arg + 8;
    } else if (!std::strcmp(arg, "--platform")) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "vistrel: --platform wants a backend: %s\n", Backends::names().c_str());
        return usage(stderr, 2);
      }
      options.platform = argv[++i];
    } else if (!std::strncmp(arg, "--platform=", 11)) {
      options.platform = arg + 11;
    } else {
      std::fprintf(stderr, "vistrel: unknown option \"%s\"\n", arg);
      return usage(stderr, 2);
    }
  }
  if (options.action && options.newInstance) {
    std::fprintf(stderr, "vistrel: --action goes to the running copy; it does not go with --new-instance\n");
    return usage(stderr, 2);
  }
  if (options.platform && !Backends::named(*options.platform)) {
    std::fprintf(stderr, "vistrel: unknown platform \"%s\" (backends: %s)\n", options.platform->c_str(),
                 Backends::names().c_str());
    return usage(stderr, 2);
  }
  const auto action = options.action ? UtilityAction::fromStorageID(*options.action) : std::nullopt;
  if (options.action && !action) {
    std::fprintf(stderr,
                 "vistrel: unknown action \"%s\" (actions are named by storage id, for example "
                 "window.leftHalf or capture.area; see --help)\n",
                 options.action->c_str());
    return 2;
  }
  double delay = 0;
  if (options.delay) {
    const auto seconds = InstanceHandOver::parseDelay(*options.delay);
    if (!seconds) {
      std::fprintf(stderr, "vistrel: --delay wants a number of seconds from 0 to 60, not \"%s\"\n",
                   options.delay->c_str());
      return 2;
    }
    if (!action || action->kind() != UtilityAction::Kind::capture) {
      std::fprintf(stderr, "vistrel: --delay goes with a capture action, for example --action capture.screen\n");
      return 2;
    }
    delay = *seconds;
  }

  // Where the instance records and the hand-over socket live; read before any toolkit object exists.
  const desktop::ProcessBundleInfo bundle;
  std::string folderError;
  const auto folder = desktop::instanceFolder(folderError);
  if (!folder) LayoutLog::write("instance-folder-refused reason=" + folderError);

  if (action) return handAction(folder, folderError, bundle.bundleIdentifier(), *action, delay);

  const Backends::Backend& backend = options.platform ? *Backends::named(*options.platform)
                                                      : Backends::forSession(Backends::sessionFromEnvironment());
  if (backend.unavailable) {
    std::fprintf(stderr, "vistrel: %s\n", backend.unavailable);
    return Backends::kUnavailableExitStatus;
  }
  if (const auto error = backend.checkDisplay()) {
    std::fprintf(stderr, "%s\n", error->c_str());
    return 1;
  }
  if (!options.newInstance && folder && handedOverToSameFile(*folder, bundle)) return 0;

  qputenv("QT_QPA_PLATFORM", backend.qtPlatform);
  QApplication app(argc, argv);
  QApplication::setApplicationName("Vistrel");
  QApplication::setDesktopFileName("vistrel");
  // Alerts and cards come and go; closing the last one must not end the program.
  QApplication::setQuitOnLastWindowClosed(false);
  // What a tray icon shows until the product draws its own.
  QApplication::setWindowIcon(QIcon(QPixmap::fromImage(BrandIcon::menuBarImage(UpdateBadge::none, false))));

  std::string error;
  const auto system = backend.make(error);
  if (!system) {
    std::fprintf(stderr, "vistrel: %s\n", error.c_str());
    return 1;
  }
  platform::install(system.get());
  system->setTerminationRequestHandler([] { QCoreApplication::quit(); });

  AppDelegate delegate;
  QObject::connect(&app, &QCoreApplication::aboutToQuit, [&delegate] { delegate.applicationWillTerminate(); });
  QTimer::singleShot(0, [&delegate] { delegate.applicationDidFinishLaunching(); });

  // Later starts reach this copy from now on: the socket first, then the record that makes it findable.
  // A second start of this file opens the menu at the tray, the way activating a running program shows it.
  InstanceHandOver::Server handOver;
  handOver.onActivate = [] {
    MenuController::shared().showMenu({.button = platform::StatusClick::Button::right, .control = false});
  };
  handOver.onAction = [&delegate](const UtilityAction& action, double delay) {
    delegate.actions().handle(action, delay);
  };
  const std::string socketPath = folder ? InstanceHandOver::socketPath(*folder, bundle.bundleIdentifier()) : "";
  if (folder) handOver.listen(socketPath);
  auto published =
      folder ? desktop::PublishedInstance::publish(*folder, bundle.bundleIdentifier(), bundle.bundlePath(), error)
             : std::optional<desktop::PublishedInstance>();
  if (folder && !published) LayoutLog::write("instance-record-failed reason=" + error);
  // Scripts reach this copy on the session bus too.
  VistrelBus bus(delegate.actions());
  bus.publish();
  // The display server going away ends the program without these objects' destructors: remove their files first.
  if (backend.watchDisplayLoss) {
    backend.watchDisplayLoss([&] {
      if (published) published->withdraw();
      if (handOver.isListening()) std::remove(socketPath.c_str());
    });
  }

  std::fprintf(stderr, "vistrel %s on display %s\n", versionText(system->bundle()).c_str(),
               std::getenv(backend.displayVariable));
  const int status = QApplication::exec();
  platform::install(nullptr);
  return status;
}
