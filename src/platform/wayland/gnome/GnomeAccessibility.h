#pragma once
// Window access on GNOME, through Vistrel's GNOME Shell extension
// (ShellWindowControl): an application is the windows of one process, a
// window is one Meta.Window (its id), frames are the frames users see, in
// accessibility space. Reads ask the Shell every time, bounded by the
// element's messaging timeout.
//
// "Trusted" means the extension answers. The system's one prompt becomes
// the extension's: enable it where GNOME already knows it (installed by the
// package or earlier), else offer to copy the copy shipped with the program
// into the user's extensions folder (GNOME reads new extensions at the next
// login on Wayland, so the user is told to log out and in), else explain
// where to get it. Asked through `alerts`, at most once per run. The copy
// offered is the variant of the running Shell; it replaces a copy of the
// other variant left from before an upgrade of GNOME.
// Main thread only.

#include <QDBusConnection>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/AlertPresenter.h"
#include "platform/Accessibility.h"
#include "platform/MessagingTimeouts.h"
#include "platform/wayland/gnome/ShellWindowControl.h"

namespace vistrel::gnome {

// The variant of the extension a GNOME Shell of this version (its ShellVersion, "43.9") loads: "43" for
// GNOME 43 and 44, which load extensions as scripts, "45" for 45 and later (ES modules) and when unknown.
std::string_view extensionVariant(std::string_view shellVersion);
// The running GNOME Shell's version (org.gnome.Shell's ShellVersion), empty when it does not answer.
std::string shellVersion(const QDBusConnection& bus);
// The extension shipped with the program in the given variant:
// <executable's folder>/../share/vistrel/gnome-shell-extension/<variant>/<uuid> in the package and the
// archive, the build tree's copy for a build from a checkout; empty when none.
std::string bundledExtensionFolder(std::string_view variant);
// Copies the extension in `from` into `$XDG_DATA_HOME/gnome-shell/extensions/<uuid>`; false on any failure.
bool installExtensionForUser(const std::string& from);

class GnomeAccessibility : public platform::Accessibility {
 public:
  GnomeAccessibility(QDBusConnection bus, std::shared_ptr<AlertPresenter> alerts);

  bool isProcessTrusted() const override;
  bool isProcessTrustedWithOptions(bool prompt) override;
  // Through the extension, once it is enabled.
  bool canMoveForeignWindows() const override { return true; }

  platform::AXResult copyAttributeValue(const platform::AXElement& element, std::string_view attribute) override;
  platform::AXError setAttributeValue(const platform::AXElement& element, std::string_view attribute,
                                      const platform::AXValue& value) override;
  platform::AXError performAction(const platform::AXElement& element, std::string_view action) override;
  platform::AXError setMessagingTimeout(const platform::AXElement& element, double seconds) override {
    return timeouts_.set(element, seconds);
  }

 private:
  struct Desktop {
    std::vector<ShellWindow> windows;  // front-most first
    std::uint64_t focused = 0;
    const ShellWindow* find(std::uint64_t id) const;
  };
  std::optional<Desktop> readDesktop(double timeout) const;
  platform::AXResult readApplication(std::int32_t pid, std::string_view attribute, const Desktop& desktop) const;
  platform::AXResult readWindow(const ShellWindow& window, std::string_view attribute) const;
  double timeoutFor(const platform::AXElement& element) const;
  // Asks to enable or install the extension; whether it answers afterwards.
  bool offerExtension();
  bool enableKnownExtension();

  mutable ShellWindowControl shell_;
  QDBusConnection bus_;
  std::shared_ptr<AlertPresenter> alerts_;
  bool offered_ = false;
  platform::MessagingTimeouts timeouts_;
};

}  // namespace vistrel::gnome
