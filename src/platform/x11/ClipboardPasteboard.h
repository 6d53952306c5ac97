#pragma once
// The general pasteboard on the X clipboard (the CLIPBOARD selection, not the
// primary selection), through Qt.

#include "platform/Pasteboard.h"

namespace vistrel::x11 {

// Needs the QGuiApplication; main thread only. What is put on the clipboard
// stays there while the program runs (or a clipboard manager takes it over).
class ClipboardPasteboard : public platform::Pasteboard {
 public:
  void clear() override;
  void setString(const std::string& text) override;
  std::optional<std::string> string() const override;
};

}  // namespace vistrel::x11
