#pragma once
// The count before a timed capture: a small window near the pointer shows the
// whole seconds left (… 3, 2, 1) and Escape cancels. When the count returns
// its window is off the screen and the screen shows again what lay under it,
// so the picture taken next never has it. The pointer and the keyboard stay
// free for the menus a timed shot is for: Escape is watched as a system-wide
// key where the program can, else the keyboard is held while it counts.
// Main thread only.

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

#include "base/Continuation.h"
#include "base/Task.h"
#include "platform/KeyEvent.h"

namespace vistrel {

class CountdownSession;

// Watches the cancel key system-wide: calls `cancel` at each press and returns
// what stops watching; an empty function when the key cannot be watched.
using CancelKeyWatch = std::function<std::function<void()>(std::function<void()> cancel)>;

// The count's own window: a dark rounded square with the number.
class CountdownWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kSide = 72;
  CountdownWindow(std::weak_ptr<CountdownSession> session, bool translucent);
  void setNumber(int number);
  int number() const { return number_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::weak_ptr<CountdownSession> session_;
  bool translucent_;
  int number_ = 0;
};

// One count, from its window going up to the flow resuming.
class CountdownSession : public std::enable_shared_from_this<CountdownSession> {
 public:
  CountdownSession(double seconds, Resume<bool> continuation);

  // Makes a count the running one (cancelling one still running) and begins it.
  static void start(double seconds, Resume<bool> continuation, const CancelKeyWatch& watch);
  // The running count, if any.
  static CountdownSession* active();

  // Escape and Command/Control + "." cancel; false for any other key.
  bool handleKey(const platform::KeyEvent& event);
  // Ends the count once: the window goes, the keyboard is let go, and the
  // awaiting flow resumes (with CaptureError::cancelled when cancelled).
  void finish(bool cancelled);

  CountdownWindow* window() const { return window_.data(); }
  bool finished() const { return finished_; }

 private:
  void begin(const CancelKeyWatch& watch);
  static Task<> tick(std::shared_ptr<CountdownSession> session);
  void grabKeyboard(int attempt);

  double seconds_;
  std::optional<Resume<bool>> continuation_;
  QPointer<CountdownWindow> window_;
  bool keyboardHeld_ = false;
  std::function<void()> stopWatching_;
  bool finished_ = false;
};

namespace CaptureCountdown {

// Seconds the window stays away before the count returns: time for the
// windows it covered, or the compositing manager, to draw that place again.
inline constexpr double kRepaintSeconds = 0.12;

// Counts `seconds` down on the platform clock, watching the cancel key with
// `watch` when it is set. Throws CaptureException(CaptureError::cancelled)
// when the user cancels.
Task<> run(double seconds, CancelKeyWatch watch = {});

// Where the window's top-left corner goes for the pointer at `pointer`: below
// and right of it, kept inside `screen` (both in Qt's global coordinates).
QPoint placement(QPoint pointer, QSize size, QRect screen);

}  // namespace CaptureCountdown

}  // namespace vistrel
