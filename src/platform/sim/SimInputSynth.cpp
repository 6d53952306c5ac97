#include "platform/sim/SimInputSynth.h"

namespace vistrel::sim {

bool SimInputSynth::scrollWheel(Point point, int clicks) {
  scrolls.push_back({point, clicks});
  if (refuse) return false;
  capture_.scrollPage(point, clicks * pixelsPerClick);
  return true;
}

}  // namespace vistrel::sim
