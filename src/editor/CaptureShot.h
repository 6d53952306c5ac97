#pragma once
// The shot an editor window shows. Its payload is replaced, with a new id,
// when the window is reused for the next capture and when a crop is applied;
// observers hear of every replacement.

#include <QImage>
#include <QUuid>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/ScreenSpace.h"

namespace vistrel {

class CaptureShot {
 public:
  struct Payload {
    QUuid id = QUuid::createUuid();
    QImage image;
    std::optional<std::string> savedURL;  // a file path
    EditorDisplayMath::PixelScale pixelScale;
  };

  explicit CaptureShot(Payload payload) : payload_(std::move(payload)) {}

  const Payload& payload() const { return payload_; }
  void setPayload(Payload payload);

  // Called after every replacement, in the order observers were added.
  void observe(std::function<void(const Payload&)> observer) { observers_.push_back(std::move(observer)); }

 private:
  Payload payload_;
  std::vector<std::function<void(const Payload&)>> observers_;
};

}  // namespace vistrel
