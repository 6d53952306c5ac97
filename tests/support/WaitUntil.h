#pragma once
// Runs the event loop until `done` holds (checked at once, then every 20 ms)
// or `seconds` pass; true when it held. For tests and test tools that wait on
// the observable state of another process.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>

namespace vistrel::testing {

inline bool waitUntil(double seconds, const std::function<bool()>& done) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > seconds * 1000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(20);
  }
  return true;
}

}  // namespace vistrel::testing
