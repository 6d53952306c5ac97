#include "recording/RecordingEngine.h"

namespace vistrel {

RecordingEngine& RecordingEngine::shared() {
  static RecordingEngine engine;
  return engine;
}

}  // namespace vistrel
