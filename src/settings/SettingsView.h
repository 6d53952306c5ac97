#pragma once
// The settings window's content: the tabs General, Hotkeys and Files. Every
// control writes its setting at once; the values are read when the view is
// built, except the permission status (on show and on "Refresh status") and
// the Hotkeys list (on every rebuild). Main thread only.

#include <QWidget>

#include <functional>
#include <optional>
#include <string>

#include "base/UtilityAction.h"
#include "capture/CaptureSettings.h"
#include "platform/KeyEvent.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QVBoxLayout;

namespace vistrel {

class ShortcutCatcher;

enum class SettingsTab { general, hotkeys, files };

class SettingsView : public QWidget {
  Q_OBJECT
 public:
  // `setLaunchAtLogin` registers or unregisters the login item and tells
  // whether that worked.
  explicit SettingsView(std::function<bool(bool)> setLaunchAtLogin, QWidget* parent = nullptr);

  void refreshPermissionStatus();
  void chooseFolder();
  void useDefaultFolder();

  // Starts recording the shortcut of `action`: the global grabs are let go so
  // that even one of this program's own keys reaches the catcher.
  void startRecording(const UtilityAction& action);
  // The catcher's three outcomes.
  void cancelRecording();
  void clearRecorded();
  void recordKey(const platform::KeyEvent& event);

  SettingsTab tab() const;
  void setTab(SettingsTab tab);
  const std::optional<UtilityAction>& recording() const { return recording_; }
  const std::optional<std::string>& notice() const { return notice_; }
  const std::string& savePath() const { return savePath_; }
  ShortcutCatcher* catcher() const { return catcher_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QWidget* buildGeneral();
  QWidget* buildHotkeys();
  QWidget* buildFiles();
  void rebuildHotkeyList();
  void endRecording();
  void updateFilesTab();

  std::function<bool(bool)> setLaunchAtLogin_;
  std::optional<UtilityAction> recording_;
  std::optional<std::string> notice_;
  std::string query_;
  std::string savePath_;

  QTabWidget* tabs_ = nullptr;
  QLabel* accessibilityStatus_ = nullptr;
  QLabel* screenRecordingStatus_ = nullptr;
  QCheckBox* launchAtLogin_ = nullptr;
  QLabel* hotkeysHeader_ = nullptr;
  QLabel* noticeLabel_ = nullptr;
  // The desktop's configuration lines for the shortcuts, where it takes keys only that way.
  QLabel* desktopBindingsLabel_ = nullptr;
  QVBoxLayout* hotkeyList_ = nullptr;
  QLabel* folderPath_ = nullptr;
  QLabel* folderNote_ = nullptr;
  QPushButton* useDefault_ = nullptr;
  ShortcutCatcher* catcher_ = nullptr;
};

}  // namespace vistrel
