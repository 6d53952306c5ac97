#pragma once
// A simulated desktop with one user program in front, default shortcuts, a
// log in a temporary folder and a fresh menu controller attached to a
// simulated status item.

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/AppActions.h"
#include "app/MenuController.h"
#include "base/LayoutLog.h"
#include "hotkeys/HotkeyStore.h"
#include "layout/WindowTargetStore.h"
#include "platform/sim/SimPlatform.h"
#include "support/TempLog.h"

namespace vistrel::testing {

class MenuTest : public ::testing::Test {
 protected:
  static constexpr std::int32_t kApp = 300;

  void SetUp() override {
    HotkeyStore::resetSharedForTesting();
    MenuController::resetSharedForTesting();
    WindowTargetStore::resetForTesting();
    sim->workspace().addApplication(kApp, "Editor", std::string("org.example.Editor"));
    sim->workspace().setFrontmost(kApp);
  }
  void TearDown() override {
    MenuController::resetSharedForTesting();
    HotkeyStore::resetSharedForTesting();
    WindowTargetStore::resetForTesting();
  }

  MenuController& attached() {
    auto& controller = MenuController::shared();
    controller.attach(&item, &actions);
    return controller;
  }

  // The model's rows as titles, separators as "-".
  static std::vector<std::string> titles(const MenuModel& model) {
    std::vector<std::string> out;
    for (const MenuRow& row : model.rows) out.push_back(row.kind == MenuRow::Kind::separator ? "-" : row.title);
    return out;
  }
  static const MenuRow& row(const MenuModel& model, const std::string& title) {
    for (const MenuRow& r : model.rows)
      if (r.title == title) return r;
    ADD_FAILURE() << "no row " << title;
    static const MenuRow none;
    return none;
  }
  // The rendered item with this title in the menu popped up last.
  QAction* popped(const std::string& title) {
    if (!item.poppedMenu) return nullptr;
    for (QAction* action : item.poppedMenu->actions())
      if (action->text().toStdString() == title) return action;
    return nullptr;
  }
  std::string log() const { return tempLog.text(); }

  sim::ScopedSimPlatform sim;
  sim::SimStatusItem item{true};
  AppActions actions;
  TempLog tempLog;
};

}  // namespace vistrel::testing
