#include "platform/x11/ProcessMemory.h"

#include <malloc.h>

#include <QObject>
#include <QTimer>

namespace vistrel::x11::ProcessMemory {

namespace {
constexpr int kQuietMs = 5000;
}  // namespace

void limitArenas() { mallopt(M_ARENA_MAX, 2); }

void releaseFree() { malloc_trim(0); }

void releaseFreeWhenQuiet() {
  // Never destroyed: a timer must not outlive the application object, which a static's destructor would.
  static QTimer* const quiet = [] {
    auto* timer = new QTimer;
    timer->setSingleShot(true);
    timer->setInterval(kQuietMs);
    QObject::connect(timer, &QTimer::timeout, [] { releaseFree(); });
    return timer;
  }();
  quiet->start();
}

}  // namespace vistrel::x11::ProcessMemory
