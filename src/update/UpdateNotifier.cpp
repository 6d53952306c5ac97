#include "update/UpdateNotifier.h"

#include "platform/Platform.h"
#include "update/UpdateNotice.h"

namespace vistrel::UpdateNotifier {

namespace {

std::optional<std::string> storedText(const char* key) {
  const auto value = platform::current().defaults().value(key);
  if (!value) return std::nullopt;
  if (const auto* text = std::get_if<std::string>(&*value)) return *text;
  return std::nullopt;
}

void postSuccess(const std::string& version) {
  platform::current().notifications().add({.identifier = "vistrel.update.success." + version,
                                           .title = "Update complete",
                                           .body = "Vistrel is now on version " + version + ".",
                                           .sound = true});
}

}  // namespace

void markPendingSuccess(const std::string& version) {
  if (version.empty()) return;
  platform::current().defaults().set(kPendingSuccessVersionKey, version);
}

void deliverSuccessIfNeeded() {
  auto& system = platform::current();
  auto& defaults = system.defaults();
  const std::string current = system.bundle().infoString("CFBundleShortVersionString").value_or("");
  bool posted = false;
  if (const auto pending = storedText(kPendingSuccessVersionKey)) {
    // Removed when read, so a failed install never announces itself on a later start.
    defaults.remove(kPendingSuccessVersionKey);
    if (*pending == current) {
      postSuccess(current);
      posted = true;
    }
  }
  if (!posted) {
    const auto last = storedText(kLastRunVersionKey);
    if (last && *last != current && UpdateNotice::isOlder(*last, current)) postSuccess(current);
  }
  defaults.set(kLastRunVersionKey, current);
}

Delegate& Delegate::shared() {
  static Delegate delegate;
  return delegate;
}

platform::NotificationOptions Delegate::willPresent(const platform::NotificationRequest&) {
  return {.alert = true, .sound = true, .badge = false};
}

}  // namespace vistrel::UpdateNotifier
