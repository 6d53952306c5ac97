#include "hotkeys/HotkeyStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

#include "hotkeys/JsonText.h"
#include "platform/Platform.h"

namespace vistrel {

namespace {

std::unique_ptr<HotkeyStore>& sharedSlot() {
  static std::unique_ptr<HotkeyStore> store;
  return store;
}

}  // namespace

QByteArray HotkeyStore::Saved::encoded() const {
  std::vector<std::pair<QString, QByteArray>> members;
  for (const auto& [id, hotkey] : overrides) members.emplace_back(QString::fromStdString(id), hotkey.jsonText());
  QJsonArray ids;
  for (const std::string& id : disabled) ids.append(QString::fromStdString(id));
  return JsonText::object({{"overrides", JsonText::object(members)}, {"disabled", JsonText::value(ids)}});
}

std::optional<HotkeyStore::Saved> HotkeyStore::Saved::decoded(const QByteArray& data) {
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(data, &error);
  if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
  const QJsonObject root = document.object();

  const QJsonValue overrides = root.value("overrides");
  const QJsonValue disabled = root.value("disabled");
  if (!overrides.isObject() || !disabled.isArray()) return std::nullopt;

  Saved saved;
  const QJsonObject members = overrides.toObject();
  for (auto it = members.begin(); it != members.end(); ++it) {
    auto hotkey = GlobalHotkey::fromJson(it.value());
    if (!hotkey) return std::nullopt;
    saved.overrides.insert_or_assign(it.key().toStdString(), std::move(*hotkey));
  }
  for (const QJsonValue& id : disabled.toArray()) {
    if (!id.isString()) return std::nullopt;
    saved.disabled.insert(id.toString().toStdString());
  }
  return saved;
}

HotkeyStore& HotkeyStore::shared() {
  auto& slot = sharedSlot();
  if (!slot) slot.reset(new HotkeyStore());
  return *slot;
}

void HotkeyStore::resetSharedForTesting() { sharedSlot().reset(); }

const std::vector<HotkeyStore::Group>& HotkeyStore::groups() {
  static const std::vector<Group> all = [] {
    std::vector<Group> result;
    for (ActionGroup g : ActionGroups::allCases())
      result.push_back({std::string(ActionGroups::title(g)), ActionGroups::actions(g)});
    return result;
  }();
  return all;
}

const std::vector<UtilityAction>& HotkeyStore::customizable() {
  static const std::vector<UtilityAction> all = [] {
    std::vector<UtilityAction> result;
    for (const Group& g : groups()) result.insert(result.end(), g.actions.begin(), g.actions.end());
    return result;
  }();
  return all;
}

HotkeyStore::HotkeyStore() { load(); }

std::optional<GlobalHotkey> HotkeyStore::binding(const UtilityAction& action) const {
  // An edited document may name Quit or Stop Recording; they still get no key.
  const auto& actions = customizable();
  if (std::find(actions.begin(), actions.end(), action) == actions.end()) return std::nullopt;

  const std::string id = action.storageID();
  if (state_.disabled.count(id)) return std::nullopt;
  if (const auto it = state_.overrides.find(id); it != state_.overrides.end()) return it->second;
  const auto& defaults = DefaultHotkeys::bindings();
  if (const auto it = defaults.find(action); it != defaults.end()) return it->second;
  return std::nullopt;
}

HotkeyBindings HotkeyStore::bindings() const {
  HotkeyBindings result;
  for (const UtilityAction& action : customizable())
    if (auto hotkey = binding(action)) result.emplace(action, std::move(*hotkey));
  return result;
}

void HotkeyStore::set(const std::optional<GlobalHotkey>& hotkey, const UtilityAction& action) {
  const std::string id = action.storageID();
  if (hotkey) {
    // Only key code and modifiers make a key the same; the character is display text.
    for (const UtilityAction& other : customizable()) {
      if (other == action) continue;
      const auto current = binding(other);
      if (!current || current->keyCode != hotkey->keyCode || current->modifiers != hotkey->modifiers) continue;
      const std::string otherID = other.storageID();
      state_.disabled.insert(otherID);
      state_.overrides.erase(otherID);
    }
    state_.overrides.insert_or_assign(id, *hotkey);
    state_.disabled.erase(id);
  } else {
    state_.overrides.erase(id);
    state_.disabled.insert(id);
  }
  save();
  if (onChange) onChange();
}

void HotkeyStore::reset() {
  state_ = Saved{};
  platform::current().defaults().remove(defaultsKey);
  if (onChange) onChange();
}

void HotkeyStore::load() {
  // Unreadable data stays where it is until the next save replaces it.
  const auto data = platform::current().defaults().data(defaultsKey);
  if (!data) return;
  if (auto saved = Saved::decoded(*data)) state_ = std::move(*saved);
}

void HotkeyStore::save() { platform::current().defaults().setData(defaultsKey, state_.encoded()); }

}  // namespace vistrel
