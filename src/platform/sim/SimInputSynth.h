#pragma once
// Wheel clicks on the simulated desktop: each click scrolls the simulated
// page (SimScreenCapture::page) under the point by a set number of pixels,
// as programs scroll by their own amount per click.

#include <vector>

#include "platform/InputSynth.h"
#include "platform/sim/SimScreenCapture.h"

namespace vistrel::sim {

class SimInputSynth : public platform::InputSynth {
 public:
  explicit SimInputSynth(SimScreenCapture& capture) : capture_(capture) {}
  bool scrollWheel(Point point, int clicks) override;

  // Test controls.
  struct Scroll {
    Point point;
    int clicks = 0;
    friend bool operator==(const Scroll&, const Scroll&) = default;
  };
  std::vector<Scroll> scrolls;  // every call, refused ones included
  int pixelsPerClick = 40;
  bool refuse = false;  // when set, nothing is posted

 private:
  SimScreenCapture& capture_;
};

}  // namespace vistrel::sim
