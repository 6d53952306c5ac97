#pragma once
// The X server going away ends the program at once, and cleanly. Left alone,
// Qt's xcb platform (or Xlib's I/O error handler under it) calls exit(1) from
// inside the event loop: past every destructor that removes what this
// process published for others (its instance record, its hand-over socket),
// into static destructors that race the threads still running, with a
// message that names no display. Instead, the first sign of a broken
// connection (Qt's warning about it, our own connection's socket, or an exit
// while Qt's connection is broken) withdraws what was published, writes one
// line on stderr naming the display and ends the process with status 1.

#include <functional>

namespace vistrel::x11::DisplayLoss {

// Watches Qt's connection until the application is about to quit. Call on the
// main thread once the QApplication exists. `withdraw` may run on any thread,
// from a message handler or an exit handler: it should remove files and do
// nothing else; what it refers to must live until the application quits.
void watch(std::function<void()> withdraw);

// Ends the program for a lost display: the withdrawal (while watching), the
// line on stderr, _exit(1). Runs once; a second caller on another thread
// waits for the first to end the process.
[[noreturn]] void leave();

}  // namespace vistrel::x11::DisplayLoss
