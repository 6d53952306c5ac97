#pragma once
// Window access on KDE Plasma, through KWin scripts (KWinScripting): an
// application is the managed windows of one process, a window is one of
// them (its id a number KWinScripting gives KWin's internalId), and frames
// are KWin's frameGeometry (title bar included), in accessibility space.
//
// Every read is a script run of its own, bounded by the element's messaging
// timeout; a window that closed reads as kAXErrorInvalidUIElement, KWin not
// answering in time as kAXErrorCannotComplete. A write is a script that sets
// frameGeometry (a maximized window takes it too); KWin applies it once the
// script has ended, so the product's read-back (a later run) confirms it.
// Docks, panels, the desktop and notifications are never listed.
//
// Subroles: normal windows are standard windows, dialogs dialogs, utility
// windows floating windows, the rest unknown. Main thread only.

#include <cstdint>
#include <map>
#include <optional>
#include <string_view>

#include "platform/Accessibility.h"
#include "platform/MessagingTimeouts.h"
#include "platform/wayland/kde/KWinScripting.h"

namespace vistrel::wayland::kde {

class KWinAccessibility : public platform::Accessibility {
 public:
  // `kwin` must outlive this object.
  explicit KWinAccessibility(KWinScripting& kwin);

  // KWin asks no permission of scripts loaded by the user's own programs.
  bool isProcessTrusted() const override { return true; }
  bool isProcessTrustedWithOptions(bool) override { return true; }
  bool canMoveForeignWindows() const override { return true; }


  platform::AXResult copyAttributeValue(const platform::AXElement& element, std::string_view attribute) override;
  platform::AXError setAttributeValue(const platform::AXElement& element, std::string_view attribute,
                                      const platform::AXValue& value) override;
  platform::AXError performAction(const platform::AXElement& element, std::string_view action) override;
  platform::AXError setMessagingTimeout(const platform::AXElement& element, double seconds) override {
    return timeouts_.set(element, seconds);
  }

 private:
  platform::AXError findWindow(const platform::AXElement& element, const KWinDesktop& desktop,
                               const KWinWindow*& window) const;
  platform::AXResult readApplication(std::int32_t pid, std::string_view attribute, const KWinDesktop& desktop);
  platform::AXResult readWindow(const KWinWindow& window, std::string_view attribute, const KWinDesktop& desktop);
  // Runs `action` on the element's window; the read before it finds the window.
  platform::AXError act(const platform::AXElement& element, const std::string& action);
  Deadline deadlineFor(const platform::AXElement& element) const;
  platform::AXElement windowElement(const KWinWindow& window);

  KWinScripting& kwin_;
  platform::MessagingTimeouts timeouts_;
};

}  // namespace vistrel::wayland::kde
