#include "platform/x11/DisplayLoss.h"

#include <unistd.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QtGlobal>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace vistrel::x11::DisplayLoss {

namespace {

// Qt's connection while watching; read from any thread.
std::atomic<xcb_connection_t*> watched{nullptr};
std::mutex withdrawalMutex;
std::function<void()> withdrawal;  // guarded by withdrawalMutex; set while watching
QtMessageHandler previousHandler = nullptr;

bool connectionBroken() {
  xcb_connection_t* connection = watched.load();
  return connection && xcb_connection_has_error(connection);
}

// Qt warns that the connection broke just before it exits: leave first, our way.
void onMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (connectionBroken()) leave();
  if (previousHandler) previousHandler(type, context, message);
}

// An exit from somewhere that said nothing first.
void onExit() {
  if (connectionBroken()) leave();
}

}  // namespace

void watch(std::function<void()> withdraw) {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  {
    const std::lock_guard lock(withdrawalMutex);
    withdrawal = std::move(withdraw);
  }
  watched = x11 ? x11->connection() : nullptr;
  previousHandler = qInstallMessageHandler(onMessage);
  static const bool registered = std::atexit(onExit) == 0;
  (void)registered;
  // Qt's connection, and what the withdrawal refers to, end with the application.
  QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] {
    qInstallMessageHandler(previousHandler);
    watched = nullptr;
    const std::lock_guard lock(withdrawalMutex);
    withdrawal = nullptr;
  });
}

void leave() {
  static std::atomic<bool> leaving{false};
  if (leaving.exchange(true)) {
    // Another thread is ending the process.
    for (;;) ::pause();
  }
  {
    const std::lock_guard lock(withdrawalMutex);
    if (withdrawal) withdrawal();
  }
  const char* display = std::getenv("DISPLAY");
  std::fprintf(stderr, "vistrel: lost the connection to the X display \"%s\" (the X server went away); quitting\n",
               display ? display : "");
  ::_exit(1);
}

}  // namespace vistrel::x11::DisplayLoss
