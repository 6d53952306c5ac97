#include "editor/CaptureShot.h"

namespace vistrel {

void CaptureShot::setPayload(Payload payload) {
  payload_ = std::move(payload);
  // By index and by copy: an observer may add another while it is told,
  // which can move the vector's elements.
  for (std::size_t i = 0; i < observers_.size(); ++i) {
    const auto observer = observers_[i];
    observer(payload_);
  }
}

}  // namespace vistrel
