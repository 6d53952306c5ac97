#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QSlider>

#include <string>
#include <vector>

#include "capture/CapturePreferences.h"
#include "hotkeys/GlobalHotkeyRegistry.h"
#include "hotkeys/HotkeyStore.h"
#include "hotkeys/ShortcutCatcher.h"
#include "platform/sim/SimPlatform.h"
#include "settings/SettingsModel.h"
#include "settings/SettingsView.h"
#include "settings/SettingsWindowController.h"
#include "support/TempLog.h"

using namespace vistrel;

namespace {

constexpr std::uint32_t kLeftArrow = 123;
constexpr std::uint32_t kKeyL = 37;
constexpr std::uint32_t kControlOption = platform::carbon::controlKey | platform::carbon::optionKey;
const UtilityAction kLeftHalf = UtilityAction::window(WindowSnap::leftHalf);
const UtilityAction kRightHalf = UtilityAction::window(WindowSnap::rightHalf);

void press(QWidget* target, int key, Qt::KeyboardModifiers modifiers, const QString& text = {}) {
  QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
  QApplication::sendEvent(target, &event);
}

// The program as far as settings see it: the store's changes re-register the
// hot keys, and each fired action is noted.
class SettingsFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    GlobalHotkeyRegistry::resetSharedForTesting();
    HotkeyStore::resetSharedForTesting();
    HotkeyStore::shared().onChange = [this] { registerAll(); };
    registerAll();
  }
  void TearDown() override {
    SettingsWindowController::resetForTesting();
    GlobalHotkeyRegistry::resetSharedForTesting();
    HotkeyStore::resetSharedForTesting();
  }
  void registerAll() {
    GlobalHotkeyRegistry::shared().registerDefaults(HotkeyStore::shared().bindings(),
                                                    [this](const UtilityAction& action) { fired.push_back(action); });
  }
  bool fires(std::uint32_t keyCode, std::uint32_t modifiers) {
    const auto before = fired.size();
    sim->hotKeys().pressHotKey(keyCode, modifiers);
    sim->clock().advance(2);
    return fired.size() > before;
  }
  SettingsView& openSettings() {
    auto& controller = SettingsWindowController::shared();
    controller.show();
    return *controller.view();
  }
  template <class T>
  T* control(const char* name) {
    return SettingsWindowController::shared().window()->findChild<T*>(QString::fromLatin1(name));
  }
  QPushButton* row(const UtilityAction& action) {
    return control<QPushButton>(("hotkey-" + action.storageID()).c_str());
  }
  QString shortcutOf(const UtilityAction& action) {
    auto* button = row(action);
    return button ? button->findChild<QLabel*>("shortcut")->text() : QString();
  }

  sim::ScopedSimPlatform sim;
  vistrel::testing::TempLog log;
  std::vector<UtilityAction> fired;
};

}  // namespace

// Escape cancels even with a modifier, Backspace or Delete alone clears, a bare
// key is swallowed, and any key with one modifier or more records its physical key.
TEST_F(SettingsFlow, CatcherSortsKeys) {
  ShortcutCatcher catcher;
  int cancels = 0, clears = 0;
  std::vector<platform::KeyEvent> recorded;
  catcher.onCancel = [&] { ++cancels; };
  catcher.onClear = [&] { ++clears; };
  catcher.onRecord = [&](const platform::KeyEvent& event) { recorded.push_back(event); };

  press(&catcher, Qt::Key_Escape, Qt::MetaModifier);
  press(&catcher, Qt::Key_Backspace, Qt::NoModifier);
  press(&catcher, Qt::Key_Delete, Qt::NoModifier);
  press(&catcher, Qt::Key_A, Qt::NoModifier, "a");
  press(&catcher, Qt::Key_Control, Qt::ControlModifier);
  press(&catcher, Qt::Key_Backspace, Qt::ControlModifier | Qt::AltModifier);
  press(&catcher, Qt::Key_A, Qt::ShiftModifier, "A");
  press(&catcher, Qt::Key_Exclam, Qt::ShiftModifier | Qt::ControlModifier, "!");

  EXPECT_EQ(cancels, 1);
  EXPECT_EQ(clears, 2);
  ASSERT_EQ(recorded.size(), 3u);
  EXPECT_EQ(GlobalHotkey(recorded[0]), GlobalHotkey(51, {GlobalHotkey::Modifier::control, GlobalHotkey::Modifier::option}));
  EXPECT_EQ(GlobalHotkey(recorded[1]), GlobalHotkey(0, {GlobalHotkey::Modifier::shift}, "a"));
  EXPECT_EQ(GlobalHotkey(recorded[2]),
            GlobalHotkey(18, {GlobalHotkey::Modifier::control, GlobalHotkey::Modifier::shift}, "1"));
}

// Recording lets go of the grabs, a new key works at once and the old one no
// longer does, a taken key moves with a notice, Backspace clears, Escape restores.
TEST_F(SettingsFlow, RecordedShortcutsTakeEffectAtOnce) {
  auto& view = openSettings();
  EXPECT_EQ(shortcutOf(kLeftHalf), "Ctrl+Alt+\u2190");

  row(kLeftHalf)->click();
  EXPECT_EQ(view.recording(), kLeftHalf);
  EXPECT_EQ(shortcutOf(kLeftHalf), "Press keys\u2026");
  EXPECT_TRUE(sim->hotKeys().registrations().empty());
  press(view.catcher(), Qt::Key_L, Qt::ControlModifier | Qt::AltModifier, "l");
  EXPECT_FALSE(view.recording());
  EXPECT_FALSE(view.notice());
  EXPECT_EQ(shortcutOf(kLeftHalf), "Ctrl+Alt+L");
  EXPECT_TRUE(fires(kKeyL, kControlOption));
  EXPECT_EQ(fired.back(), kLeftHalf);
  EXPECT_FALSE(fires(kLeftArrow, kControlOption));

  row(kRightHalf)->click();
  press(view.catcher(), Qt::Key_L, Qt::ControlModifier | Qt::AltModifier, "l");
  EXPECT_EQ(view.notice(), "Left Half no longer uses Ctrl+Alt+L.");
  EXPECT_EQ(control<QLabel>("notice")->text(), "Left Half no longer uses Ctrl+Alt+L.");
  EXPECT_FALSE(HotkeyStore::shared().binding(kLeftHalf));
  EXPECT_EQ(shortcutOf(kLeftHalf), "None");
  EXPECT_TRUE(fires(kKeyL, kControlOption));
  EXPECT_EQ(fired.back(), kRightHalf);

  row(kRightHalf)->click();
  press(view.catcher(), Qt::Key_Backspace, Qt::NoModifier);
  EXPECT_EQ(view.notice(), "Right Half has no shortcut.");
  EXPECT_FALSE(fires(kKeyL, kControlOption));

  const auto registered = sim->hotKeys().registrations().size();
  row(UtilityAction::window(WindowSnap::centerHalf))->click();
  press(view.catcher(), Qt::Key_Q, Qt::NoModifier, "q");
  EXPECT_EQ(view.recording(), UtilityAction::window(WindowSnap::centerHalf));
  press(view.catcher(), Qt::Key_Escape, Qt::NoModifier);
  EXPECT_FALSE(view.recording());
  EXPECT_EQ(sim->hotKeys().registrations().size(), registered);

  control<QPushButton>("resetHotkeys")->click();
  EXPECT_FALSE(view.notice());
  EXPECT_TRUE(fires(kLeftArrow, kControlOption));
  EXPECT_EQ(fired.back(), kLeftHalf);
}

// Closing the window while recording cancels it and brings the grabs back; show() reuses the window.
TEST_F(SettingsFlow, ClosingCancelsRecordingAndShowReuses) {
  auto& view = openSettings();
  auto* window = SettingsWindowController::shared().window();
  EXPECT_EQ(window->windowTitle(), "Settings");
  EXPECT_EQ(window->minimumSize(), QSize(560, 480));
  row(kLeftHalf)->click();
  window->close();
  EXPECT_FALSE(view.recording());
  EXPECT_TRUE(fires(kLeftArrow, kControlOption));
  EXPECT_EQ(&openSettings(), &view);
}

// Each control writes its setting at once, by the storage rules.
TEST_F(SettingsFlow, ControlsWriteSettings) {
  auto& defaults = sim->defaults();
  defaults.setInteger(SettingsModel::kScrollMaxHeightKey, 250000);
  bool loginAnswer = false;
  SettingsWindowController::shared().setLaunchAtLogin = [&](bool) { return loginAnswer; };
  openSettings();

  auto* height = control<QLineEdit>("scrollHeight");
  EXPECT_EQ(height->text(), "200000");
  height->setText("500");
  EXPECT_EQ(defaults.integer(SettingsModel::kScrollMaxHeightKey), 1000);
  height->setText("300000");
  EXPECT_EQ(defaults.integer(SettingsModel::kScrollMaxHeightKey), 300000);
  control<QSlider>("scrollSpeed")->setValue(1000);
  EXPECT_EQ(defaults.real("vistrel.capture.scrollSpeed"), 1.0);
  control<QComboBox>("quality")->setCurrentIndex(static_cast<int>(CaptureQuality::low));
  EXPECT_EQ(CapturePreferences::quality(), CaptureQuality::low);
  control<QComboBox>("format")->setCurrentIndex(static_cast<int>(SaveFormat::automatic));
  EXPECT_EQ(defaults.string(CapturePreferences::kSaveFormatKey), "auto");
  control<QCheckBox>(CapturePreferences::kCopyKey)->click();
  EXPECT_EQ(defaults.boolean(CapturePreferences::kCopyKey), false);

  auto* login = control<QCheckBox>("launchAtLogin");
  login->click();
  EXPECT_FALSE(login->isChecked());
  loginAnswer = true;
  login->click();
  EXPECT_TRUE(login->isChecked());

  control<QPushButton>("revealLog")->click();
  EXPECT_EQ(log.messages().back(), "settings-reveal-log");
  ASSERT_EQ(sim->workspace().revealed.size(), 1u);
  EXPECT_EQ(sim->workspace().revealed[0], std::vector<std::string>{log.path()});
  control<QPushButton>("copyLogPath")->click();
  EXPECT_EQ(log.messages().back(), "settings-copy-log-path");
  EXPECT_EQ(sim->pasteboard().string(), log.path());

  control<QLineEdit>("searchShortcuts")->setText("  CAPTURE ");
  EXPECT_TRUE(row(UtilityAction::capture(CaptureMode::window)));
  EXPECT_FALSE(row(kLeftHalf));
}

// The search keeps matching titles only, and the version line stands in for missing values.
TEST_F(SettingsFlow, SearchAndVersionLine) {
  const auto groups = SettingsModel::filteredGroups("third");
  ASSERT_EQ(groups.size(), 1u);
  std::vector<std::string> titles;
  for (const auto& action : groups[0].actions) titles.push_back(action.settingsTitle());
  EXPECT_EQ(titles, (std::vector<std::string>{"First Third", "Center Third", "Last Third", "First Two Thirds",
                                              "Last Two Thirds"}));
  EXPECT_EQ(SettingsModel::filteredGroups(" \n").size(), HotkeyStore::groups().size());

  sim->bundle().dictionary.erase("CFBundleShortVersionString");
  sim->bundle().dictionary.erase("CFBundleVersion");
  sim->bundle().dictionary["VistrelBuildChannel"] = std::string("release");
  EXPECT_EQ(SettingsModel::versionLine(), "Version \u2014 (\u2014)");
  sim->bundle().dictionary["CFBundleShortVersionString"] = std::string("2.4.1");
  sim->bundle().dictionary["CFBundleVersion"] = std::string("241");
  sim->bundle().dictionary["VistrelBuildChannel"] = std::string("local");
  EXPECT_EQ(SettingsModel::versionLine(), "Version 2.4.1 (241) \u00B7 Local");
}

// Where the desktop binds keys by file, the Hotkeys tab lists its lines for the shortcuts in effect (a changed
// one included); where keys can be grabbed it shows none.
TEST_F(SettingsFlow, HotkeysTabShowsDesktopConfigurationLines) {
  sim->hotKeys().grabsGlobalKeys = false;
  sim->hotKeys().bindsKeysByFile = true;
  HotkeyStore::shared().set(GlobalHotkey(0, {GlobalHotkey::Modifier::control, GlobalHotkey::Modifier::option}, "a"),
                            UtilityAction::window(WindowSnap::leftHalf));
  openSettings();
  auto* lines = control<QLabel>("desktopBindings");
  ASSERT_NE(lines, nullptr);
  const std::string program = sim->bundle().bundlePath();
  EXPECT_TRUE(lines->text().contains(QString::fromStdString("\nbind 0/6144 " + program + " --action window.leftHalf\n")))
      << lines->text().toStdString();
  EXPECT_TRUE(lines->text().contains(QString::fromStdString("bind 124/6144 " + program + " --action window.rightHalf")));
  SettingsWindowController::resetForTesting();

  sim->hotKeys().grabsGlobalKeys = true;
  openSettings();
  EXPECT_TRUE(control<QLabel>("desktopBindings")->isHidden());
}
