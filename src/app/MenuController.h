#pragma once
// The status item's click handling and its menu. A click opens the menu,
// rebuilt at every opening so shortcuts, recording, login-item and
// Accessibility state are current; while a recording runs a plain click
// stops it instead. Menu choices go to the dispatcher as actions; the few
// entries that are not actions call their owners through hooks.
//
// One shared instance, kept for the run; main thread only.

#include <QMenu>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/MenuModel.h"
#include "app/UtilitiesMenuBuilder.h"
#include "base/UtilityAction.h"
#include "platform/StatusItem.h"

class QAction;

namespace vistrel {

class AppActions;

class MenuController {
 public:
  static MenuController& shared();
  // Test-only: drops the shared controller (and its menu); the next shared() is fresh.
  static void resetSharedForTesting();

  // Not owned: the item and the dispatcher live for the whole run (the
  // delegate owns both). Installs the click handler and builds the menu.
  void attach(platform::StatusItem* item, AppActions* dispatcher);

  // The next tag, now naming `action` in the menu being built.
  int registerAction(const UtilityAction& action);

  // The status item's click: with the state the facilities report, or `state`.
  void showMenu(platform::StatusClick click);
  void showMenu(platform::StatusClick click, const MenuState& state);

  // The choices: an action item's tag, and the entries that are not actions.
  // A tag the last menu did not give out, or no dispatcher, does nothing.
  void menuItemSelected(int tag);
  void checkForUpdates();
  // The Accessibility repair guide, asked for by the user: never throttled.
  void fixSplitScreen();
  // `item`, the chosen item, gets the check mark of the state that now holds:
  // the new one when the change succeeded, else the old one.
  void toggleLaunchAtLogin(QAction* item);

  // What the menu should show now: recording, Accessibility trust, the
  // login item and the update entry's title.
  MenuState currentState() const;

  // The update controller's entry: its title (default "Check for Updates…")
  // and what choosing it does.
  std::function<std::string()> updatesTitleProvider;
  std::function<void()> checkForUpdatesAction;

  AppActions* actions = nullptr;
  platform::StatusItem* statusItem = nullptr;
  std::unique_ptr<QMenu> menu;
  MenuModel model;  // the rows of `menu`
  std::map<int, UtilityAction> tagToAction;
  int nextTag = 1;

 private:
  MenuController() = default;
  void rebuild(const MenuState& state);
  void choose(const MenuRow& row, QAction* item);
};

}  // namespace vistrel
