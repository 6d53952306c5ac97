#pragma once
// Runs the main event loop until `done` holds or a generous deadline passes;
// returns whether `done` held. The deadline only stops a broken test from
// hanging; nothing is asserted about how long the wait took.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace vistrel::desktop {

inline bool runEventsUntil(const std::function<bool()>& done, int deadlineMs = 10000) {
  const QDeadlineTimer deadline(deadlineMs);
  QTimer wake;  // ends each wait below now and then, so the deadline is seen
  wake.start(20);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

}  // namespace vistrel::desktop
