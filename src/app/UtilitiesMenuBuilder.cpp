#include "app/UtilitiesMenuBuilder.h"

#include "app/MenuController.h"
#include "app/MenuIcons.h"
#include "hotkeys/GlobalHotkey.h"
#include "hotkeys/HotkeyStore.h"

namespace vistrel::UtilitiesMenuBuilder {

namespace {

MenuRow separator() { return {}; }

// A missing image leaves the row without one.
void setImage(MenuRow& row, const std::optional<MenuSymbol>& symbol) {
  if (!symbol) return;
  if (auto image = templateIcon(*symbol)) {
    row.image = image->icon;
    row.imageName = image->name;
  }
}

MenuRow header(const std::string& title, const std::optional<MenuSymbol>& symbol) {
  MenuRow row;
  row.kind = MenuRow::Kind::sectionHeader;
  row.title = title;
  row.enabled = false;
  setImage(row, symbol);
  return row;
}

MenuRow command(MenuRow::Kind kind, const std::string& title) {
  MenuRow row;
  row.kind = kind;
  row.title = title;
  return row;
}

void addSnaps(MenuModel& model, MenuController& controller, std::initializer_list<WindowSnap> snaps) {
  for (const WindowSnap snap : snaps) model.rows.push_back(item(UtilityAction::window(snap), controller));
}

}  // namespace

std::string menuTitle(const UtilityAction& action) { return action.settingsTitle(); }

std::optional<MenuSymbol> menuSymbol(const UtilityAction& action) {
  const auto names = action.symbolNames();
  if (names.empty()) return std::nullopt;
  MenuSymbol symbol;
  symbol.primary = names.front();
  symbol.fallbacks.assign(names.begin() + 1, names.end());
  symbol.snap = action.snap();
  return symbol;
}

std::optional<TemplateImage> templateIcon(const MenuSymbol& symbol) {
  std::vector<std::string> names{symbol.primary};
  names.insert(names.end(), symbol.fallbacks.begin(), symbol.fallbacks.end());
  for (const std::string& name : names) {
    QString themeName;
    if (auto icon = MenuIcons::themeIcon(name, &themeName)) return TemplateImage{*icon, themeName.toStdString()};
    // A snap's symbol name is shared with other snaps; its glyph is its own.
    if (symbol.snap && name == symbol.primary) {
      return TemplateImage{MenuIcons::snapGlyph(*symbol.snap), std::string(WindowSnaps::rawValue(*symbol.snap))};
    }
    if (auto icon = MenuIcons::drawnSymbol(name)) return TemplateImage{*icon, name};
  }
  return std::nullopt;
}

MenuRow timerMenu() {
  MenuRow timer = command(MenuRow::Kind::submenu, "Timer");
  setImage(timer, MenuSymbol{"timer", {}, std::nullopt});
  for (const CaptureMode mode : {CaptureMode::screen, CaptureMode::window}) {
    if (!timer.children.empty()) timer.children.push_back(separator());
    for (const int seconds : kTimerSeconds) {
      MenuRow row = command(MenuRow::Kind::timedCapture,
                            menuTitle(UtilityAction::capture(mode)) + " in " + std::to_string(seconds) + " s");
      row.captureMode = mode;
      row.delaySeconds = seconds;
      timer.children.push_back(row);
    }
  }
  return timer;
}

MenuRow item(const UtilityAction& action, MenuController& controller) {
  MenuRow row;
  row.kind = MenuRow::Kind::action;
  row.tag = controller.registerAction(action);
  row.title = menuTitle(action);
  setImage(row, menuSymbol(action));
  if (const auto binding = HotkeyStore::shared().binding(action)) {
    row.keyEquivalent = binding->menuKeyEquivalent();
    row.modifierMask = binding->menuModifierMask();
  }
  return row;
}

MenuModel makeMenu(MenuController& controller, const MenuState& state) {
  using Snap = WindowSnap;
  MenuModel model;
  auto& rows = model.rows;

  rows.push_back(header("Layout", std::nullopt));
  addSnaps(model, controller, {Snap::leftHalf, Snap::rightHalf, Snap::centerHalf, Snap::topHalf, Snap::bottomHalf});
  rows.push_back(separator());
  addSnaps(model, controller, {Snap::topLeft, Snap::topRight, Snap::bottomLeft, Snap::bottomRight});
  rows.push_back(separator());
  addSnaps(model, controller,
           {Snap::firstThird, Snap::centerThird, Snap::lastThird, Snap::firstTwoThirds, Snap::lastTwoThirds});
  rows.push_back(separator());
  addSnaps(model, controller,
           {Snap::maximize, Snap::almostMaximize, Snap::maximizeHeight, Snap::larger, Snap::smaller, Snap::center,
            Snap::restore});
  rows.push_back(separator());
  addSnaps(model, controller, {Snap::nextDisplay, Snap::previousDisplay});
  rows.push_back(separator());

  rows.push_back(header("Capture", MenuSymbol{"camera", {}, std::nullopt}));
  for (const CaptureMode mode : CaptureModes::allCases()) {
    rows.push_back(item(UtilityAction::capture(mode), controller));
  }
  rows.push_back(timerMenu());
  rows.push_back(separator());

  rows.push_back(header("Record", MenuSymbol{"video", {}, std::nullopt}));
  if (state.isRecording) {
    rows.push_back(item(UtilityAction::record(RecordMode::stop), controller));
  } else {
    rows.push_back(item(UtilityAction::record(RecordMode::screen), controller));
    rows.push_back(item(UtilityAction::record(RecordMode::area), controller));
    rows.push_back(item(UtilityAction::record(RecordMode::areaGif), controller));
  }
  rows.push_back(separator());

  MenuRow launch = command(MenuRow::Kind::launchAtLogin, "Launch at Startup");
  launch.checkable = true;
  launch.checked = state.launchesAtLogin;
  rows.push_back(launch);
  if (!state.isProcessTrusted) rows.push_back(command(MenuRow::Kind::fixSplitScreen, "Fix Split Screen\u2026"));

  // Command-comma is no global hotkey: it works only while the menu is open.
  MenuRow settings = item(UtilityAction::openSettings(), controller);
  settings.keyEquivalent.assign(1, ',');
  settings.modifierMask = HotkeyModifiers::menuMask(GlobalHotkey::Modifier::command);
  rows.push_back(settings);
  rows.push_back(command(MenuRow::Kind::checkForUpdates, state.updatesTitle));
  rows.push_back(item(UtilityAction::quit(), controller));
  return model;
}

}  // namespace vistrel::UtilitiesMenuBuilder
