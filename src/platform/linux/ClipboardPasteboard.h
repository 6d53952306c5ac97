#pragma once
// The general pasteboard on the X clipboard (the CLIPBOARD selection, not the
// primary selection), through Qt.

#include "platform/Pasteboard.h"

namespace vistrel::desktop {

// Needs the QGuiApplication; main thread only. What is put on the clipboard
// stays there while the program runs. When the program ends while it owns the
// clipboard, Qt hands every offered type to a running clipboard manager
// (CLIPBOARD_MANAGER, SAVE_TARGETS) before the connection closes.
class ClipboardPasteboard : public platform::Pasteboard {
 public:
  void clear() override;
  void setString(const std::string& text) override;
  std::optional<std::string> string() const override;
  void setImage(const QImage& image) override;
  std::optional<QImage> image() const override;
};

}  // namespace vistrel::desktop
