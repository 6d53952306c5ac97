#pragma once
// How long an accessibility backend waits for a program's answer: one timeout
// for every program, set on the system-wide element, and one a program may
// have of its own. A value type each backend keeps.

#include <cstdint>
#include <map>

#include "platform/Accessibility.h"

namespace vistrel::platform {

class MessagingTimeouts {
 public:
  explicit MessagingTimeouts(double defaultSeconds) : fallback_(defaultSeconds), default_(defaultSeconds) {}

  // 0 on a program drops its own timeout; 0 on the system-wide element restores the fallback.
  AXError set(const AXElement& element, double seconds) {
    if (!(seconds >= 0)) return kAXErrorIllegalArgument;
    if (element.kind == AXElement::Kind::systemWide) {
      default_ = seconds > 0 ? seconds : fallback_;
    } else if (seconds > 0) {
      perProgram_[element.pid] = seconds;
    } else {
      perProgram_.erase(element.pid);
    }
    return kAXErrorSuccess;
  }

  double seconds(const AXElement& element) const {
    const auto it = perProgram_.find(element.pid);
    const bool own = element.kind != AXElement::Kind::systemWide && it != perProgram_.end();
    return own ? it->second : default_;
  }

 private:
  double fallback_;
  double default_;
  std::map<std::int32_t, double> perProgram_;
};

}  // namespace vistrel::platform
