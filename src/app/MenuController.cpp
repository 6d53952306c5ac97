#include "app/MenuController.h"

#include <QAction>
#include <QPointer>

#include "app/AppActions.h"
#include "app/LaunchAtLogin.h"
#include "app/MenuRendering.h"
#include "layout/WindowTargetStore.h"
#include "permissions/AccessibilityAccess.h"
#include "platform/Platform.h"
#include "recording/RecordingEngine.h"

namespace vistrel {

namespace {

// Never destroyed: the menu is a widget and must not outlive the application object.
MenuController*& sharedSlot() {
  static MenuController* controller = nullptr;
  return controller;
}

}  // namespace

MenuController& MenuController::shared() {
  auto& slot = sharedSlot();
  if (!slot) slot = new MenuController();
  return *slot;
}

void MenuController::resetSharedForTesting() {
  auto& slot = sharedSlot();
  delete slot;
  slot = nullptr;
}

void MenuController::attach(platform::StatusItem* item, AppActions* dispatcher) {
  statusItem = item;
  actions = dispatcher;
  MenuRendering::nameMetaKeySuper();
  rebuild(currentState());
  if (statusItem) statusItem->setClickHandler([this](platform::StatusClick click) { showMenu(click); });
}

int MenuController::registerAction(const UtilityAction& action) {
  const int tag = nextTag++;
  tagToAction.insert_or_assign(tag, action);
  return tag;
}

void MenuController::showMenu(platform::StatusClick click) { showMenu(click, currentState()); }

void MenuController::showMenu(platform::StatusClick click, const MenuState& state) {
  const bool asksForMenu = click.button == platform::StatusClick::Button::right || click.control;
  if (state.isRecording && !asksForMenu) {
    if (actions) actions->handle(UtilityAction::record(RecordMode::stop));
    return;
  }
  // Once the menu has the focus, the program in front is this one; a snap
  // chosen from the menu goes to the one that was in front before.
  auto& targets = WindowTargetStore::shared();
  if (const auto app = targets.userFacingApplication()) targets.rememberedPID = app->pid;
  rebuild(state);
  if (statusItem) statusItem->popUpMenu(*menu);
}

void MenuController::menuItemSelected(int tag) {
  const auto it = tagToAction.find(tag);
  if (it == tagToAction.end() || !actions) return;
  actions->handle(it->second);
}

void MenuController::checkForUpdates() {
  if (checkForUpdatesAction) checkForUpdatesAction();
}

void MenuController::fixSplitScreen() {
  AccessibilityAccess::presentAccessibilityRepairGuide("menu", true, false);
}

void MenuController::toggleLaunchAtLogin(QAction* item) {
  const bool wanted = platform::current().loginItems().status() != platform::LoginItemStatus::enabled;
  const bool changed = LaunchAtLogin::setEnabled(wanted);
  for (MenuRow& row : model.rows) {
    if (row.kind != MenuRow::Kind::launchAtLogin) continue;
    if (changed) row.checked = wanted;
    // Qt has already flipped the item's mark on the click; it shows what holds.
    if (item) item->setChecked(row.checked);
  }
}

MenuState MenuController::currentState() const {
  auto& system = platform::current();
  MenuState state;
  state.isRecording = RecordingEngine::shared().isRecording();
  state.isProcessTrusted = system.accessibility().isProcessTrusted();
  state.launchesAtLogin = system.loginItems().status() == platform::LoginItemStatus::enabled;
  if (updatesTitleProvider) state.updatesTitle = updatesTitleProvider();
  return state;
}

void MenuController::rebuild(const MenuState& state) {
  tagToAction.clear();
  nextTag = 1;
  model = UtilitiesMenuBuilder::makeMenu(*this, state);
  if (!menu) menu = std::make_unique<QMenu>();
  MenuRendering::render(model, *menu, [this](const MenuRow& row, QAction& item) {
    // Qt emits the choice from inside the menu's own mouse or key handler,
    // before the menu's pointer and keyboard grabs are gone. Handled later,
    // from the event loop, a snap finds the focus back with the program that
    // was in front, and an alert or window it opens is not nested in the menu.
    QMetaObject::invokeMethod(
        menu.get(), [this, row, choice = QPointer<QAction>(&item)] { choose(row, choice.data()); },
        Qt::QueuedConnection);
  });
}

void MenuController::choose(const MenuRow& row, QAction* item) {
  switch (row.kind) {
    case MenuRow::Kind::action: menuItemSelected(row.tag); break;
    case MenuRow::Kind::launchAtLogin: toggleLaunchAtLogin(item); break;
    case MenuRow::Kind::fixSplitScreen: fixSplitScreen(); break;
    case MenuRow::Kind::checkForUpdates: checkForUpdates(); break;
    case MenuRow::Kind::timedCapture:
      if (actions) actions->handle(UtilityAction::capture(row.captureMode), row.delaySeconds);
      break;
    case MenuRow::Kind::sectionHeader:
    case MenuRow::Kind::separator:
    case MenuRow::Kind::submenu: break;
  }
}

}  // namespace vistrel
