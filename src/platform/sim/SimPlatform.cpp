#include "platform/sim/SimPlatform.h"

#include <QMenu>

namespace vistrel::sim {

std::optional<platform::UserDefaults::Value> MemoryDefaults::value(const std::string& key) const {
  const auto it = values.find(key);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

void MemoryDefaults::set(const std::string& key, Value value) {
  values[key] = std::move(value);
  ++writeCount;
}

void MemoryDefaults::remove(const std::string& key) {
  values.erase(key);
  ++writeCount;
}

StaticBundleInfo::StaticBundleInfo() : dictionary(platform::builtInInfoDictionary()) {}

std::optional<platform::BundleInfo::InfoValue> StaticBundleInfo::info(const std::string& key) const {
  const auto it = dictionary.find(key);
  if (it == dictionary.end()) return std::nullopt;
  return it->second;
}

void SimNotifications::requestAuthorization(platform::NotificationOptions options,
                                            std::function<void(bool)> completion) {
  authorizationRequests.push_back(options);
  if (!completion) return;
  const bool answer = grants;
  // The answer arrives later, like a system prompt's.
  if (clock) clock->after(0, [completion, answer] { completion(answer); });
}

void SimNotifications::add(const platform::NotificationRequest& request) { delivered.push_back(request); }

std::optional<std::string> SimLoginItems::registerItem() {
  if (failure) return failure;
  current = platform::LoginItemStatus::enabled;
  return std::nullopt;
}

std::optional<std::string> SimLoginItems::unregisterItem() {
  if (failure) return failure;
  current = platform::LoginItemStatus::notRegistered;
  return std::nullopt;
}

void SimStatusItem::popUpMenu(QMenu& menu) {
  poppedMenu = &menu;
  poppedTitles.clear();
  for (const QAction* action : menu.actions())
    poppedTitles.push_back(action->isSeparator() ? std::string() : action->text().toStdString());
  ++popUpCount;
}

SimPlatform::SimPlatform() { notifications_.clock = &clock_; }

std::unique_ptr<platform::StatusItem> SimPlatform::makeStatusItem() {
  auto item = std::make_unique<SimStatusItem>(trayAvailable);
  lastStatusItem_ = item.get();
  return item;
}

}  // namespace vistrel::sim
