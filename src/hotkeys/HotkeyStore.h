#pragma once
// The effective shortcut of every action: the defaults with the user's
// changes on top, persisted under "vistrel.hotkeys" as a JSON document.
// Main thread only.

#include <QByteArray>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/UtilityAction.h"
#include "hotkeys/DefaultHotkeys.h"
#include "hotkeys/GlobalHotkey.h"

namespace vistrel {

class HotkeyStore {
 public:
  // The persisted user changes, keyed by action storage id. Ids that name no
  // action are kept and written back unchanged; they have no effect.
  struct Saved {
    std::map<std::string, GlobalHotkey> overrides;
    std::set<std::string> disabled;

    // {"overrides":{id:binding,…},"disabled":[id,…]}, compact.
    QByteArray encoded() const;
    // Both keys are required and every binding must decode; anything else
    // gives none. Any byte string is safe to pass (the JSON parser bounds
    // nesting depth), so stored data is read without checks of its own.
    static std::optional<Saved> decoded(const QByteArray& data);

    friend bool operator==(const Saved&, const Saved&) = default;
  };

  struct Group {
    std::string title;
    std::vector<UtilityAction> actions;
  };

  static inline const std::string defaultsKey = "vistrel.hotkeys";

  // Created on first use, loading the saved state from the installed platform's defaults.
  static HotkeyStore& shared();
  // Test-only: drops the shared store so the next shared() loads afresh.
  static void resetSharedForTesting();

  // Layout (the 23 snaps), Capture, Record.
  static const std::vector<Group>& groups();
  // The actions of all groups in order (30); only these have shortcuts.
  static const std::vector<UtilityAction>& customizable();

  std::optional<GlobalHotkey> binding(const UtilityAction& action) const;
  // The effective binding of every customizable action that has one.
  HotkeyBindings bindings() const;

  // Gives `action` the shortcut `hotkey`, taking it from every other action
  // that has the same key and modifiers; with none, removes its shortcut.
  // Saves, then runs onChange.
  void set(const std::optional<GlobalHotkey>& hotkey, const UtilityAction& action);
  // Every action back to its default; the stored key is removed. Runs onChange.
  void reset();

  // Run after every change, once the change is saved.
  std::function<void()> onChange;

 private:
  HotkeyStore();
  void load();
  void save();

  Saved state_;
};

}  // namespace vistrel
