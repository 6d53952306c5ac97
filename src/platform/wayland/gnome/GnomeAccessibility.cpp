#include "platform/wayland/gnome/GnomeAccessibility.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <charconv>

#include "platform/linux/ApplicationAttributes.h"

namespace vistrel::gnome {

using platform::AXElement;
using platform::AXError;
using platform::AXResult;
using platform::AXValue;
using platform::axFailure;
using platform::axSuccess;
namespace ax = platform::ax;
using desktop::isOneOf;

namespace {

// The Shell answers in a few milliseconds; the bound matters when it is busy.
constexpr double kDefaultTimeoutSeconds = 1.2;
constexpr int kShellCallMs = 3000;

AXElement windowElement(const ShellWindow& window) { return {AXElement::Kind::window, window.pid, window.id}; }

constexpr const char* kLoginText =
    "GNOME reads new extensions when you log in: log out and back in, then turn on \u201cVistrel window control\u201d "
    "in the Extensions app. Window layout works from then on.";

}  // namespace

std::string_view extensionVariant(std::string_view shellVersion) {
  int major = 0;
  const auto end = std::from_chars(shellVersion.data(), shellVersion.data() + shellVersion.size(), major).ptr;
  return end != shellVersion.data() && major < 45 ? "43" : "45";
}

std::string shellVersion(const QDBusConnection& bus) {
  QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/Shell"),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("Get"));
  call.setArguments({QStringLiteral("org.gnome.Shell"), QStringLiteral("ShellVersion")});
  const QDBusMessage reply = QDBusConnection(bus).call(call, QDBus::Block, kShellCallMs);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
  return reply.arguments().first().value<QDBusVariant>().variant().toString().toStdString();
}

std::string bundledExtensionFolder(std::string_view variant) {
  const QString tail = QString::fromUtf8(variant.data(), qsizetype(variant.size())) + "/" + kExtensionUUID;
  const QStringList candidates = {
      QCoreApplication::applicationDirPath() + "/../share/vistrel/gnome-shell-extension/" + tail,
#ifdef VISTREL_BUILT_EXTENSIONS_DIR
      QStringLiteral(VISTREL_BUILT_EXTENSIONS_DIR "/") + tail,
#endif
  };
  for (const QString& candidate : candidates) {
    if (QFileInfo::exists(candidate + "/metadata.json")) return QDir(candidate).canonicalPath().toStdString();
  }
  return {};
}

bool installExtensionForUser(const std::string& from) {
  const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (dataHome.isEmpty()) return false;
  const QDir source(QString::fromStdString(from));
  const QString target = dataHome + "/gnome-shell/extensions/" + kExtensionUUID;
  if (!QDir().mkpath(target)) return false;
  QDirIterator it(source.path(), QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString file = it.next();
    const QString to = target + "/" + source.relativeFilePath(file);
    if (!QDir().mkpath(QFileInfo(to).path())) return false;
    QFile::remove(to);
    if (!QFile::copy(file, to)) return false;
  }
  return true;
}

GnomeAccessibility::GnomeAccessibility(QDBusConnection bus, std::shared_ptr<AlertPresenter> alerts)
    : shell_(bus), bus_(bus), alerts_(std::move(alerts)), timeouts_(kDefaultTimeoutSeconds) {}

bool GnomeAccessibility::isProcessTrusted() const { return shell_.available(); }

bool GnomeAccessibility::isProcessTrustedWithOptions(bool prompt) {
  if (isProcessTrusted()) return true;
  if (!prompt || offered_) return false;
  offered_ = true;
  return offerExtension();
}

bool GnomeAccessibility::enableKnownExtension() {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.gnome.Shell.Extensions"), QStringLiteral("/org/gnome/Shell/Extensions"),
      QStringLiteral("org.gnome.Shell.Extensions"), QStringLiteral("EnableExtension"));
  call.setArguments({QString::fromLatin1(kExtensionUUID)});
  const QDBusMessage reply = bus_.call(call, QDBus::Block, kShellCallMs);
  const bool enabled = reply.type() == QDBusMessage::ReplyMessage && reply.arguments().value(0).toBool();
  qInfo("vistrel gnome: enabling the extension %s: %s", kExtensionUUID, enabled ? "done" : "GNOME does not know it");
  return enabled && isProcessTrusted();
}

bool GnomeAccessibility::offerExtension() {
  const Alert ask{.title = "Let Vistrel arrange windows on GNOME",
                  .text = "GNOME lets no program move other programs\u2019 windows. Vistrel does it through its small "
                          "GNOME Shell extension, \u201cVistrel window control\u201d, which only moves and resizes the "
                          "window you are using when you press a Vistrel shortcut.",
                  .buttons = {"Turn On Extension", "Not Now"}};
  if (alerts_->runModal(ask) != 0) return false;
  if (enableKnownExtension()) return true;

  const std::string version = shellVersion(bus_);
  const std::string bundled = bundledExtensionFolder(extensionVariant(version));
  if (bundled.empty()) {
    alerts_->runModal({.title = "The Vistrel GNOME Shell extension is missing",
                       .text = "This copy of Vistrel came without its GNOME Shell extension. Install Vistrel\u2019s "
                               "package or archive, which carry it, then log out and back in."});
    return false;
  }
  if (!installExtensionForUser(bundled)) {
    alerts_->runModal({.title = "The extension could not be installed",
                       .text = "Vistrel could not copy its extension into ~/.local/share/gnome-shell/extensions/" +
                               std::string(kExtensionUUID) + ". Copy the folder " + bundled + " there yourself.\n\n" +
                               kLoginText});
    return false;
  }
  qInfo("vistrel gnome: installed the extension from %s for GNOME Shell %s", bundled.c_str(),
        version.empty() ? "(version unknown)" : version.c_str());
  if (enableKnownExtension()) return true;
  alerts_->runModal({.title = "Log out to finish", .text = kLoginText});
  return false;
}

double GnomeAccessibility::timeoutFor(const AXElement& element) const {
  return timeouts_.seconds(element);
}

const ShellWindow* GnomeAccessibility::Desktop::find(std::uint64_t id) const {
  const auto it = std::find_if(windows.begin(), windows.end(), [id](const ShellWindow& w) { return w.id == id; });
  return it == windows.end() ? nullptr : &*it;
}

std::optional<GnomeAccessibility::Desktop> GnomeAccessibility::readDesktop(double timeout) const {
  auto windows = shell_.windows(timeout);
  if (!windows) return std::nullopt;
  const auto focused = shell_.focusedWindow(timeout);
  if (!focused) return std::nullopt;
  return Desktop{std::move(*windows), *focused};
}

AXResult GnomeAccessibility::copyAttributeValue(const AXElement& element, std::string_view attribute) {
  if (element.kind == AXElement::Kind::uiElement) return axFailure(platform::kAXErrorInvalidUIElement);
  if (element.kind == AXElement::Kind::systemWide &&
      !isOneOf(attribute, {ax::focusedApplication, ax::focusedUIElement})) {
    return axFailure(platform::kAXErrorAttributeUnsupported);
  }
  const auto desktop = readDesktop(timeoutFor(element));
  if (!desktop) return axFailure(isProcessTrusted() ? platform::kAXErrorCannotComplete : platform::kAXErrorAPIDisabled);

  switch (element.kind) {
    case AXElement::Kind::systemWide: {
      const ShellWindow* focused = desktop->find(desktop->focused);
      if (!focused) return axFailure(platform::kAXErrorNoValue);
      if (attribute == ax::focusedApplication) return axSuccess(applicationElement(focused->pid));
      return axSuccess(windowElement(*focused));
    }
    case AXElement::Kind::application: return readApplication(element.pid, attribute, *desktop);
    case AXElement::Kind::window: {
      const ShellWindow* window = desktop->find(element.id);
      if (!window || (element.pid != 0 && window->pid != element.pid)) {
        return axFailure(platform::kAXErrorInvalidUIElement);
      }
      return readWindow(*window, attribute);
    }
    case AXElement::Kind::uiElement: break;
  }
  return axFailure(platform::kAXErrorInvalidUIElement);
}

AXResult GnomeAccessibility::readApplication(std::int32_t pid, std::string_view attribute,
                                             const Desktop& desktop) const {
  std::vector<const ShellWindow*> own;
  for (const ShellWindow& window : desktop.windows) {
    if (window.pid == pid) own.push_back(&window);
  }
  // Else its front-most window that is not minimized.
  return desktop::readApplicationAttribute(
      pid, attribute, own, desktop.find(desktop.focused), [](const ShellWindow& window) { return !window.minimized; },
      [](const ShellWindow& window) { return windowElement(window); });
}

AXResult GnomeAccessibility::readWindow(const ShellWindow& window, std::string_view attribute) const {
  if (attribute == ax::role) return axSuccess(std::string(ax::roleWindow));
  // The extension lists normal windows and dialogs alike; GNOME attaches dialogs to their parents.
  if (attribute == ax::subrole) return axSuccess(std::string(ax::subroleStandardWindow));
  if (attribute == ax::title) return axSuccess(window.title);
  if (attribute == ax::minimized) return axSuccess(window.minimized);
  if (attribute == ax::fullScreen) return axSuccess(window.fullScreen);
  if (attribute == ax::parent) return axSuccess(applicationElement(window.pid));
  if (attribute == ax::position) return axSuccess(window.frame.origin());
  if (attribute == ax::size) return axSuccess(window.frame.size());
  return axFailure(platform::kAXErrorAttributeUnsupported);
}

AXError GnomeAccessibility::setAttributeValue(const AXElement& element, std::string_view attribute,
                                              const AXValue& value) {
  if (element.kind == AXElement::Kind::uiElement) return platform::kAXErrorInvalidUIElement;
  if (attribute == ax::manualAccessibility || attribute == ax::enhancedUserInterface) {
    return std::holds_alternative<bool>(value) ? platform::kAXErrorSuccess : platform::kAXErrorIllegalArgument;
  }
  if (element.kind != AXElement::Kind::window || !isOneOf(attribute, {ax::position, ax::size})) {
    return platform::kAXErrorAttributeUnsupported;
  }
  const bool fits = (attribute == ax::position && std::holds_alternative<Point>(value)) ||
                    (attribute == ax::size && std::holds_alternative<Size>(value));
  if (!fits) return platform::kAXErrorIllegalArgument;
  const double timeout = timeoutFor(element);
  const auto written = std::holds_alternative<Point>(value)
                           ? shell_.move(element.id, std::get<Point>(value), timeout)
                           : shell_.resize(element.id, std::get<Size>(value), timeout);
  if (!written) return isProcessTrusted() ? platform::kAXErrorCannotComplete : platform::kAXErrorAPIDisabled;
  return *written ? platform::kAXErrorSuccess : platform::kAXErrorInvalidUIElement;
}

AXError GnomeAccessibility::performAction(const AXElement& element, std::string_view action) {
  if (element.kind != AXElement::Kind::window || action != ax::raise) return platform::kAXErrorActionUnsupported;
  const auto activated = shell_.activate(element.id, timeoutFor(element));
  if (!activated) return platform::kAXErrorCannotComplete;
  return *activated ? platform::kAXErrorSuccess : platform::kAXErrorInvalidUIElement;
}

}  // namespace vistrel::gnome
