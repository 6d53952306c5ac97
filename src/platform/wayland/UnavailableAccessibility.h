#pragma once
// Window access on a Wayland compositor that offers a client none: the
// protocol gives no program other programs' windows. The capability says so,
// and every element reads as a program that cannot answer.

#include "platform/Accessibility.h"

namespace vistrel::wayland {

class UnavailableAccessibility : public platform::Accessibility {
 public:
  bool isProcessTrusted() const override { return true; }
  bool isProcessTrustedWithOptions(bool) override { return true; }
  bool canMoveForeignWindows() const override { return false; }
  platform::AXElement applicationElement(std::int32_t pid) const override {
    return {platform::AXElement::Kind::application, pid, 0};
  }
  platform::AXElement systemWideElement() const override { return {}; }
  platform::AXResult copyAttributeValue(const platform::AXElement&, std::string_view) override {
    return {platform::kAXErrorCannotComplete, std::nullopt};
  }
  platform::AXError setAttributeValue(const platform::AXElement&, std::string_view, const platform::AXValue&) override {
    return platform::kAXErrorCannotComplete;
  }
  platform::AXError performAction(const platform::AXElement&, std::string_view) override {
    return platform::kAXErrorCannotComplete;
  }
  std::optional<std::int32_t> pid(const platform::AXElement& element) const override {
    if (element.kind == platform::AXElement::Kind::systemWide) return std::nullopt;
    return element.pid;
  }
  platform::AXError setMessagingTimeout(const platform::AXElement&, double) override {
    return platform::kAXErrorSuccess;
  }
};

}  // namespace vistrel::wayland
