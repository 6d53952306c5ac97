#include "settings/SettingsView.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <cmath>

#include "base/LayoutLog.h"
#include "capture/CaptureOutput.h"
#include "capture/CapturePreferences.h"
#include "hotkeys/DesktopBindings.h"
#include "hotkeys/GlobalHotkeyRegistry.h"
#include "hotkeys/HotkeyStore.h"
#include "hotkeys/ShortcutCatcher.h"
#include "permissions/AccessibilityAccess.h"
#include "permissions/AppRelaunch.h"
#include "permissions/ScreenRecordingAccess.h"
#include "recording/ClickRings.h"
#include "recording/SoundSetting.h"
#include "platform/Platform.h"
#include "settings/SettingsModel.h"
#include "update/AppUpdate.h"

namespace vistrel {

namespace {

QString q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// Secondary text in the palette's own muted colour, light or dark.
QLabel* detailLabel(const QString& text) {
  auto* label = new QLabel(text);
  label->setWordWrap(true);
  label->setForegroundRole(QPalette::PlaceholderText);
  return label;
}

// A title with a detail line beneath it.
QWidget* labeled(const QString& title, QLabel* detail) {
  auto* box = new QWidget;
  auto* column = new QVBoxLayout(box);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(2);
  column->addWidget(new QLabel(title));
  column->addWidget(detail);
  return box;
}

QGroupBox* section(const QString& title, QVBoxLayout*& body) {
  auto* box = new QGroupBox(title);
  body = new QVBoxLayout(box);
  return box;
}

QHBoxLayout* buttonRow(std::initializer_list<QPushButton*> buttons) {
  auto* row = new QHBoxLayout;
  for (auto* button : buttons) row->addWidget(button);
  row->addStretch();
  return row;
}

QPushButton* button(const QString& title, const char* name) {
  auto* b = new QPushButton(title);
  b->setObjectName(QString::fromLatin1(name));
  return b;
}

QString statusText(bool allowed) { return allowed ? QStringLiteral("Allowed") : QStringLiteral("Needs allow (this path)"); }

bool folderStored() { return platform::current().defaults().contains(CapturePreferences::kSaveDirectoryKey); }

// Re-registers every shortcut through the store's change hook (the program's hot-key registration).
void restoreGlobalHotkeys() {
  if (const auto& onChange = HotkeyStore::shared().onChange) onChange();
}

}  // namespace

SettingsView::SettingsView(std::function<bool(bool)> setLaunchAtLogin, QWidget* parent)
    : QWidget(parent), setLaunchAtLogin_(std::move(setLaunchAtLogin)), savePath_(CaptureOutput::saveDirectory()) {
  setBackgroundRole(QPalette::Window);
  setAutoFillBackground(true);
  auto* layout = new QVBoxLayout(this);
  tabs_ = new QTabWidget;
  tabs_->setObjectName("tabs");
  tabs_->setDocumentMode(true);
  tabs_->addTab(buildGeneral(), QIcon::fromTheme("preferences-system"), "General");
  tabs_->addTab(buildHotkeys(), QIcon::fromTheme("preferences-desktop-keyboard"), "Hotkeys");
  tabs_->addTab(buildFiles(), QIcon::fromTheme("folder"), "Files");
  layout->addWidget(tabs_);

  catcher_ = new ShortcutCatcher(this);
  catcher_->setObjectName("shortcutCatcher");
  catcher_->hide();
  catcher_->onCancel = [this] { cancelRecording(); };
  catcher_->onClear = [this] { clearRecorded(); };
  catcher_->onRecord = [this](const platform::KeyEvent& event) { recordKey(event); };
}

SettingsTab SettingsView::tab() const { return static_cast<SettingsTab>(tabs_->currentIndex()); }
void SettingsView::setTab(SettingsTab tab) { tabs_->setCurrentIndex(static_cast<int>(tab)); }

void SettingsView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  refreshPermissionStatus();
}

void SettingsView::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (recording_) cancelRecording();
}

// ---- General

void SettingsView::refreshPermissionStatus() {
  auto& platform = platform::current();
  accessibilityStatus_->setText(statusText(platform.accessibility().isProcessTrusted()));
  screenRecordingStatus_->setText(statusText(platform.screenCapture().preflightAccess()));
}

QWidget* SettingsView::buildGeneral() {
  auto* content = new QWidget;
  auto* page = new QVBoxLayout(content);
  QVBoxLayout* body = nullptr;

  // Privacy & Startup
  page->addWidget(section("Privacy && Startup", body));
  const QString installFolder = QFileInfo(q(platform::current().bundle().bundlePath())).absolutePath();
  body->addWidget(detailLabel("Permissions apply to this file path only. Keep one Vistrel (usually the one in " +
                              installFolder + ", or the package) for OTA, split screen, and capture together."));
  const auto permissionRow = [&](const QString& title, QLabel*& status, const char* name, void (*open)()) {
    auto* row = new QHBoxLayout;
    status = detailLabel("Checking\u2026");
    status->setObjectName(QString::fromLatin1(name) + "Status");
    row->addWidget(labeled(title, status), 1);
    auto* openButton = button("Open", name);
    connect(openButton, &QPushButton::clicked, this, [open] { open(); });
    row->addWidget(openButton);
    body->addLayout(row);
  };
  permissionRow("Accessibility", accessibilityStatus_, "accessibility", &AccessibilityAccess::openSettings);
  permissionRow("Screen Recording", screenRecordingStatus_, "screenRecording", &ScreenRecordingAccess::openSettings);
  auto* refresh = button("Refresh status", "refreshStatus");
  auto* fixSplit = button("Fix split screen\u2026", "fixSplitScreen");
  auto* relaunch = button("Relaunch Vistrel", "relaunch");
  connect(refresh, &QPushButton::clicked, this, [this] { refreshPermissionStatus(); });
  connect(fixSplit, &QPushButton::clicked, this,
          [] { AccessibilityAccess::presentAccessibilityRepairGuide("settings", true, false); });
  connect(relaunch, &QPushButton::clicked, this, [] {
    LayoutLog::write("post-update-heal user-relaunch");
    AppRelaunch::replaceRunningInstance();
  });
  body->addLayout(buttonRow({refresh, fixSplit, relaunch}));
  launchAtLogin_ = new QCheckBox("Open at login");
  launchAtLogin_->setObjectName("launchAtLogin");
  launchAtLogin_->setChecked(platform::current().loginItems().status() == platform::LoginItemStatus::enabled);
  connect(launchAtLogin_, &QCheckBox::clicked, this, [this](bool on) {
    const bool done = setLaunchAtLogin_ && setLaunchAtLogin_(on);
    // Only the login-item service's answer counts: on failure the switch springs back.
    if (!done) launchAtLogin_->setChecked(!on);
  });
  body->addWidget(launchAtLogin_);
  body->addWidget(detailLabel("Start Vistrel when you sign in"));

  // Diagnostic log
  page->addWidget(section("Diagnostic log", body));
  auto* logPath = new QLabel(q(LayoutLog::kPath));
  logPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
  logPath->setObjectName("logPath");
  body->addWidget(logPath);
  body->addWidget(detailLabel("Open or attach this file when reporting split screen, capture, or update issues."));
  auto* revealLog = button("Show in Files", "revealLog");
  auto* openLog = button("Open log", "openLog");
  auto* copyPath = button("Copy path", "copyLogPath");
  connect(revealLog, &QPushButton::clicked, this, [] {
    LayoutLog::write("settings-reveal-log");
    platform::current().workspace().activateFileViewerSelecting({LayoutLog::path()});
  });
  connect(openLog, &QPushButton::clicked, this, [] {
    LayoutLog::write("settings-open-log");
    platform::current().workspace().openURL(QUrl::fromLocalFile(q(LayoutLog::path())).toString().toStdString());
  });
  connect(copyPath, &QPushButton::clicked, this, [] { SettingsModel::copyLogPath(); });
  body->addLayout(buttonRow({revealLog, openLog, copyPath}));

  // After a screenshot
  page->addWidget(section("After a screenshot", body));
  const auto captureSwitch = [&](const QString& title, const QString& detail, const char* key) {
    auto* box = new QCheckBox(title);
    box->setObjectName(QString::fromLatin1(key));
    box->setChecked(CapturePreferences::boolValue(key, true));
    connect(box, &QCheckBox::toggled, this, [key](bool on) { platform::current().defaults().setBool(key, on); });
    body->addWidget(box);
    body->addWidget(detailLabel(detail));
  };
  captureSwitch("Open the editor", "Annotate before you keep the shot", CapturePreferences::kShowKey);
  captureSwitch("Copy", "Place the image on the clipboard", CapturePreferences::kCopyKey);
  captureSwitch("Save", "Write a file into your screenshots folder", CapturePreferences::kSaveKey);

  // Window capture
  page->addWidget(section("Window capture", body));
  body->addWidget(new QLabel("Around the window"));
  auto* backgrounds = new QButtonGroup(content);
  auto* backgroundRow = new QHBoxLayout;
  auto* backgroundDetail = detailLabel("");
  const WindowBackground currentBackground = CapturePreferences::windowBackground();
  for (const WindowBackground background : WindowBackgrounds::allCases()) {
    auto* choice = new QRadioButton(q(WindowBackgrounds::settingsLabel(background)));
    choice->setObjectName("background-" + q(WindowBackgrounds::rawValue(background)));
    choice->setChecked(background == currentBackground);
    backgrounds->addButton(choice, static_cast<int>(background));
    backgroundRow->addWidget(choice);
  }
  backgroundRow->addStretch();
  backgroundDetail->setText(q(WindowBackgrounds::description(currentBackground)));
  connect(backgrounds, &QButtonGroup::idClicked, this, [backgroundDetail](int id) {
    const auto background = static_cast<WindowBackground>(id);
    CapturePreferences::setWindowBackground(background);
    backgroundDetail->setText(q(WindowBackgrounds::description(background)));
  });
  body->addLayout(backgroundRow);
  body->addWidget(backgroundDetail);

  // Saved images
  page->addWidget(section("Saved images", body));
  auto* quality = new QComboBox;
  quality->setObjectName("quality");
  for (const CaptureQuality level : CaptureQualities::allCases())
    quality->addItem(q(CaptureQualities::settingsLabel(level)), static_cast<int>(level));
  quality->setCurrentIndex(static_cast<int>(CapturePreferences::quality()));
  auto* format = new QComboBox;
  format->setObjectName("format");
  for (const SaveFormat kind : SaveFormats::allCases())
    format->addItem(q(SaveFormats::settingsLabel(kind)), static_cast<int>(kind));
  format->setCurrentIndex(static_cast<int>(CapturePreferences::saveFormat()));
  auto* pickers = new QGridLayout;
  pickers->addWidget(new QLabel("Quality"), 0, 0);
  pickers->addWidget(quality, 0, 1);
  pickers->addWidget(new QLabel("Format"), 1, 0);
  pickers->addWidget(format, 1, 1);
  pickers->setColumnStretch(2, 1);
  body->addLayout(pickers);
  auto* imageDetail = detailLabel("");
  imageDetail->setObjectName("imageDetail");
  const auto describe = [quality, format, imageDetail] {
    const auto level = static_cast<CaptureQuality>(quality->currentData().toInt());
    const auto kind = static_cast<SaveFormat>(format->currentData().toInt());
    imageDetail->setText(q(CaptureQualities::description(level)) + q(SaveFormats::description(kind)));
  };
  describe();
  connect(quality, &QComboBox::currentIndexChanged, this, [quality, describe] {
    CapturePreferences::setQuality(static_cast<CaptureQuality>(quality->currentData().toInt()));
    describe();
  });
  connect(format, &QComboBox::currentIndexChanged, this, [format, describe] {
    const auto kind = static_cast<SaveFormat>(format->currentData().toInt());
    platform::current().defaults().setString(CapturePreferences::kSaveFormatKey, std::string(SaveFormats::rawValue(kind)));
    describe();
  });
  body->addWidget(imageDetail);

  // Recordings
  page->addWidget(section("Recordings", body));
  auto* showClicks = new QCheckBox("Show clicks");
  showClicks->setObjectName(QString::fromLatin1(ClickRings::kShowClicksKey));
  showClicks->setChecked(platform::current().defaults().boolean(ClickRings::kShowClicksKey).value_or(false));
  connect(showClicks, &QCheckBox::toggled, this,
          [](bool on) { platform::current().defaults().setBool(ClickRings::kShowClicksKey, on); });
  body->addWidget(showClicks);
  body->addWidget(detailLabel("A ring where you click: amber for the left button, blue for the right"));
  auto* soundRow = new QHBoxLayout;
  soundRow->addWidget(new QLabel("Record sound"));
  auto* sound = new QComboBox;
  sound->setObjectName(QString::fromLatin1(SoundSetting::kKey));
  for (const SoundSetting::Choice choice : SoundSetting::allCases())
    sound->addItem(q(SoundSetting::title(choice)), static_cast<int>(choice));
  sound->setCurrentIndex(static_cast<int>(SoundSetting::current()));
  connect(sound, &QComboBox::currentIndexChanged, this, [sound] {
    SoundSetting::store(static_cast<SoundSetting::Choice>(sound->currentData().toInt()));
  });
  soundRow->addWidget(sound);
  soundRow->addStretch();
  body->addLayout(soundRow);

  // Scrolling capture
  page->addWidget(section("Scrolling capture", body));
  auto* heightRow = new QHBoxLayout;
  heightRow->addWidget(new QLabel("Tallest capture"));
  auto* height = new QLineEdit(QString::number(SettingsModel::scrollHeight()));
  height->setObjectName("scrollHeight");
  height->setPlaceholderText("20000");
  height->setFixedWidth(88);
  connect(height, &QLineEdit::textChanged, this, [](const QString& text) {
    bool ok = false;
    const qlonglong typed = text.trimmed().toLongLong(&ok);
    if (ok) SettingsModel::storeScrollHeight(typed);
  });
  heightRow->addWidget(height);
  heightRow->addWidget(new QLabel("px"));
  heightRow->addStretch();
  body->addLayout(heightRow);
  auto* speedRow = new QHBoxLayout;
  speedRow->addWidget(new QLabel("Speed"));
  speedRow->addWidget(detailLabel("Slower"));
  auto* speed = new QSlider(Qt::Horizontal);
  speed->setObjectName("scrollSpeed");
  speed->setRange(0, 1000);
  speed->setValue(static_cast<int>(std::lround(CapturePreferences::scrollingSpeed() * 1000)));
  connect(speed, &QSlider::valueChanged, this, [](int value) { SettingsModel::storeScrollSpeed(value / 1000.0); });
  speedRow->addWidget(speed, 1);
  speedRow->addWidget(detailLabel("Faster"));
  body->addLayout(speedRow);
  body->addWidget(detailLabel("Stops at the bottom of the page, or when you press Esc."));

  // About
  page->addWidget(section("", body));
  auto* name = new QLabel("Vistrel");
  QFont bold = name->font();
  bold.setBold(true);
  name->setFont(bold);
  body->addWidget(name);
  body->addWidget(new QLabel("Window layout and screen capture for Linux."));
  auto* version = detailLabel(q(SettingsModel::versionLine()));
  version->setObjectName("versionLine");
  body->addWidget(version);
  auto* check = button("Check for Updates\u2026", "checkForUpdates");
  connect(check, &QPushButton::clicked, this, [] { AppUpdate::shared().checkForUpdates(); });
  body->addLayout(buttonRow({check}));
  body->addWidget(detailLabel("A new version marks the tray icon. Check for Updates shows the notes and asks "
                              "before installing. A forced version installs by itself."));
  page->addStretch();

  auto* scroll = new QScrollArea;
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidget(content);
  return scroll;
}

// ---- Hotkeys

QWidget* SettingsView::buildHotkeys() {
  auto* page = new QWidget;
  auto* column = new QVBoxLayout(page);
  auto* header = new QHBoxLayout;
  hotkeysHeader_ = new QLabel;
  hotkeysHeader_->setObjectName("hotkeysHeader");
  header->addWidget(hotkeysHeader_, 1);
  auto* reset = button("Reset", "resetHotkeys");
  connect(reset, &QPushButton::clicked, this, [this] {
    // The store's change hook registers the hot keys again, ending a release for recording.
    HotkeyStore::shared().reset();
    notice_.reset();
    endRecording();
  });
  header->addWidget(reset);
  column->addLayout(header);
  auto* search = new QLineEdit;
  search->setObjectName("searchShortcuts");
  search->setPlaceholderText("Search shortcuts");
  search->setClearButtonEnabled(true);
  connect(search, &QLineEdit::textChanged, this, [this](const QString& text) {
    query_ = text.toStdString();
    rebuildHotkeyList();
  });
  column->addWidget(search);
  noticeLabel_ = detailLabel("");
  noticeLabel_->setObjectName("notice");
  column->addWidget(noticeLabel_);
  desktopBindingsLabel_ = new QLabel;
  desktopBindingsLabel_->setObjectName("desktopBindings");
  desktopBindingsLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  column->addWidget(desktopBindingsLabel_);

  auto* list = new QWidget;
  hotkeyList_ = new QVBoxLayout(list);
  auto* scroll = new QScrollArea;
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidget(list);
  column->addWidget(scroll, 1);
  rebuildHotkeyList();
  return page;
}

void SettingsView::rebuildHotkeyList() {
  hotkeysHeader_->setText(recording_ ? "Press the new shortcut. Escape cancels. Delete clears it."
                                     : "Click a row, then press the new keys. Delete clears it.");
  noticeLabel_->setVisible(notice_.has_value());
  noticeLabel_->setText(q(notice_.value_or("")));
  // Shortcuts changed here take effect once the desktop's configuration has the new lines.
  const auto lines = DesktopBindings::configurationLines(platform::current().bundle().bundlePath());
  std::string bindings = "This desktop runs shortcuts from its configuration file. Add these lines to it and reload it:";
  for (const auto& line : lines) bindings += "\n" + line;
  desktopBindingsLabel_->setVisible(!lines.empty());
  desktopBindingsLabel_->setText(q(lines.empty() ? "" : bindings));

  while (QLayoutItem* item = hotkeyList_->takeAt(0)) {
    if (QWidget* widget = item->widget()) {
      // The clicked row may still be running its signal: detach now, delete later.
      widget->hide();
      widget->setParent(nullptr);
      widget->deleteLater();
    }
    delete item;
  }
  const auto& store = HotkeyStore::shared();
  for (const auto& group : SettingsModel::filteredGroups(query_)) {
    auto* title = new QLabel(q(group.title));
    QFont caption = title->font();
    caption.setBold(true);
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    title->setFont(caption);
    hotkeyList_->addWidget(title);
    auto* gridBox = new QWidget;
    auto* grid = new QGridLayout(gridBox);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    int index = 0;
    for (const auto& action : group.actions) {
      const bool recordingThis = recording_ == action;
      const auto binding = store.binding(action);
      const QString shortcut = recordingThis ? QStringLiteral("Press keys\u2026")
                               : binding     ? q(SettingsModel::shortcutText(*binding))
                                             : QStringLiteral("None");
      auto* row = new QPushButton;
      row->setObjectName("hotkey-" + q(action.storageID()));
      row->setToolTip("Click, then press the new shortcut");
      row->setFocusPolicy(Qt::NoFocus);
      row->setCheckable(true);
      row->setChecked(recordingThis);
      row->setMinimumHeight(30);
      auto* inside = new QHBoxLayout(row);
      inside->setContentsMargins(10, 0, 10, 0);
      auto* name = new QLabel(q(action.settingsTitle()));
      auto* keys = new QLabel(shortcut);
      keys->setObjectName("shortcut");
      if (recordingThis) keys->setForegroundRole(QPalette::Highlight);
      for (auto* label : {name, keys}) label->setAttribute(Qt::WA_TransparentForMouseEvents);
      inside->addWidget(name, 1);
      inside->addWidget(keys);
      connect(row, &QPushButton::clicked, this, [this, action] { startRecording(action); });
      grid->addWidget(row, index / 2, index % 2);
      ++index;
    }
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    hotkeyList_->addWidget(gridBox);
  }
  hotkeyList_->addStretch();
  if (recording_) catcher_->claimFocus();
}

void SettingsView::startRecording(const UtilityAction& action) {
  const bool wasRecording = recording_.has_value();
  notice_.reset();
  recording_ = action;
  // Let go of the system-wide grabs so the new key reaches the window, even one of ours.
  if (!wasRecording) GlobalHotkeyRegistry::shared().uninstallHotKeys();
  catcher_->show();
  rebuildHotkeyList();
}

void SettingsView::endRecording() {
  recording_.reset();
  catcher_->hide();
  rebuildHotkeyList();
}

void SettingsView::cancelRecording() {
  if (!recording_) return;
  endRecording();
  restoreGlobalHotkeys();
}

void SettingsView::clearRecorded() {
  if (!recording_) return;
  const UtilityAction action = *recording_;
  notice_ = action.settingsTitle() + " has no shortcut.";
  recording_.reset();
  // Saving runs the change hook, which registers the hot keys again.
  HotkeyStore::shared().set(std::nullopt, action);
  endRecording();
}

void SettingsView::recordKey(const platform::KeyEvent& event) {
  if (!recording_) return;
  const UtilityAction action = *recording_;
  const GlobalHotkey hotkey(event);
  auto& store = HotkeyStore::shared();
  std::optional<UtilityAction> previous;
  for (const auto& other : HotkeyStore::customizable()) {
    if (other == action) continue;
    const auto binding = store.binding(other);
    if (binding && binding->keyCode == hotkey.keyCode && binding->modifiers == hotkey.modifiers) {
      previous = other;
      break;
    }
  }
  recording_.reset();
  store.set(hotkey, action);
  if (previous)
    notice_ = previous->settingsTitle() + " no longer uses " + SettingsModel::shortcutText(hotkey) + ".";
  else
    notice_.reset();
  endRecording();
}

// ---- Files

QWidget* SettingsView::buildFiles() {
  auto* page = new QWidget;
  auto* column = new QVBoxLayout(page);
  QVBoxLayout* body = nullptr;
  column->addWidget(section("Screenshots folder", body));
  folderPath_ = new QLabel;
  folderPath_->setObjectName("savePath");
  folderPath_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  folderPath_->setWordWrap(true);
  body->addWidget(folderPath_);
  auto* choose = button("Choose\u2026", "chooseFolder");
  auto* reveal = button("Show in Files", "revealFolder");
  useDefault_ = button("Use Default", "useDefaultFolder");
  connect(choose, &QPushButton::clicked, this, [this] { chooseFolder(); });
  connect(reveal, &QPushButton::clicked, this,
          [] { platform::current().workspace().activateFileViewerSelecting({CaptureOutput::saveDirectory()}); });
  connect(useDefault_, &QPushButton::clicked, this, [this] { useDefaultFolder(); });
  body->addLayout(buttonRow({choose, reveal, useDefault_}));
  folderNote_ = detailLabel("");
  folderNote_->setObjectName("folderNote");
  body->addWidget(folderNote_);
  column->addStretch();
  updateFilesTab();
  return page;
}

void SettingsView::updateFilesTab() {
  folderPath_->setText(q(savePath_));
  const bool stored = folderStored();
  useDefault_->setVisible(stored);
  folderNote_->setText(stored ? "You chose this folder. Default is Pictures/Vistrel."
                              : "New screenshots and recordings go to Pictures/Vistrel.");
}

void SettingsView::chooseFolder() {
  const QString chosen = QFileDialog::getExistingDirectory(this, "Choose", q(CaptureOutput::saveDirectory()),
                                                           QFileDialog::ShowDirsOnly);
  if (chosen.isEmpty()) return;
  CaptureOutput::setSaveDirectory(QDir(chosen).absolutePath().toStdString());
  savePath_ = CaptureOutput::saveDirectory();
  updateFilesTab();
}

void SettingsView::useDefaultFolder() {
  platform::current().defaults().remove(CapturePreferences::kSaveDirectoryKey);
  CaptureOutput::defaultDirectory();  // makes the folder on the way
  savePath_ = CaptureOutput::saveDirectory();
  updateFilesTab();
}

}  // namespace vistrel
