#pragma once
// Wheel clicks through XTest: for each click a press and a release of button
// 5 (towards the end of the document) or 4 (towards its start), sent as if
// from the core pointer, with the pointer moved over the point for them and
// back afterwards. The server delivers them to the window under the pointer
// like a real wheel. Main thread only.

#include "platform/InputSynth.h"
#include "platform/x11/Connection.h"

namespace vistrel::x11 {

class XTestInputSynth : public platform::InputSynth {
 public:
  // Bounds one call: more clicks than this are cut to it.
  static constexpr int kMaxClicks = 100;

  explicit XTestInputSynth(Connection& connection) : connection_(connection) {}
  bool scrollWheel(Point point, int clicks) override;

 private:
  // Whether the server has XTest; asked once, an info line when it has not.
  bool ready(Deadline deadline);

  Connection& connection_;
  enum class State { unknown, ready, missing } state_ = State::unknown;
};

}  // namespace vistrel::x11
