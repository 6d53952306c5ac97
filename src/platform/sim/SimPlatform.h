#pragma once
// The simulated desktop: every facility in memory, with test controls beyond
// the interfaces (advance the clock, script failures, press the status item).

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/sim/SimAccessibility.h"
#include "platform/sim/SimFloatingWindows.h"
#include "platform/sim/SimHotKeys.h"
#include "platform/sim/SimInputSynth.h"
#include "platform/sim/SimRecording.h"
#include "platform/sim/SimReviewApp.h"
#include "platform/sim/SimScreenCapture.h"
#include "platform/sim/SimScreens.h"
#include "platform/sim/SimTextRecognizer.h"
#include "platform/sim/SimUpdater.h"
#include "platform/sim/SimWorkspace.h"
#include "platform/sim/VirtualClock.h"

namespace vistrel::sim {

class MemoryDefaults : public platform::UserDefaults {
 public:
  std::optional<Value> value(const std::string& key) const override;
  void set(const std::string& key, Value value) override;
  void remove(const std::string& key) override;
  std::map<std::string, Value> values;
  int writeCount = 0;
};

class StaticBundleInfo : public platform::BundleInfo {
 public:
  StaticBundleInfo();
  std::optional<InfoValue> info(const std::string& key) const override;
  std::string bundlePath() const override { return path; }
  std::string bundleIdentifier() const override { return identifier; }
  Dictionary dictionary;
  std::string path = "/opt/vistrel/bin/vistrel";
  std::string identifier = platform::kBundleIdentifier;
};

class MemoryPasteboard : public platform::Pasteboard {
 public:
  void clear() override { text.reset(); picture.reset(); ++changeCount; }
  void setString(const std::string& t) override { text = t; ++changeCount; }
  std::optional<std::string> string() const override { return text; }
  void setImage(const QImage& i) override { picture = i; ++changeCount; }
  std::optional<QImage> image() const override { return picture; }
  std::optional<std::string> text;
  std::optional<QImage> picture;
  int changeCount = 0;
};

class SimNotifications : public platform::Notifications {
 public:
  void requestAuthorization(platform::NotificationOptions options,
                            std::function<void(bool)> completion) override;
  void add(const platform::NotificationRequest& request) override;
  void setDelegate(platform::NotificationDelegate* d) override { delegate = d; }
  bool grants = true;  // the answer the user gives
  platform::NotificationDelegate* delegate = nullptr;
  std::vector<platform::NotificationOptions> authorizationRequests;
  std::vector<platform::NotificationRequest> delivered;
  VirtualClock* clock = nullptr;
};

class SimLoginItems : public platform::LoginItems {
 public:
  platform::LoginItemStatus status() const override { return current; }
  std::optional<std::string> registerItem() override;
  std::optional<std::string> unregisterItem() override;
  platform::LoginItemStatus current = platform::LoginItemStatus::notRegistered;
  std::optional<std::string> failure;  // when set, every change fails with it
};

class SimStatusItem : public platform::StatusItem {
 public:
  explicit SimStatusItem(bool hasButton) : button(hasButton) {}
  bool hasButton() const override { return button; }
  void setButtonAppearedHandler(std::function<void()> h) override { appeared = std::move(h); }
  void setImage(const QImage& i, bool t) override { image = i; isTemplate = t; ++imageChanges; }
  void setToolTip(const std::string& text) override { toolTip = text; }
  void setClickHandler(std::function<void(platform::StatusClick)> h) override { handler = std::move(h); }
  // Records the menu instead of showing it.
  void popUpMenu(QMenu& menu) override;
  void click(platform::StatusClick c = {}) { if (handler) handler(c); }
  // A tray starts after the item was made.
  void appear() { button = true; if (appeared) appeared(); }

  bool button;
  QImage image;
  bool isTemplate = false;
  int imageChanges = 0;
  std::optional<std::string> toolTip;
  std::function<void(platform::StatusClick)> handler;
  std::function<void()> appeared;
  // The menu popped up last (the caller's, valid while it keeps it), and its
  // item titles at that moment in order, separators as empty titles.
  QMenu* poppedMenu = nullptr;
  std::vector<std::string> poppedTitles;
  int popUpCount = 0;
};

// A sim copy is unsigned, like a build from a checkout, until a test says otherwise.
class SimCodeSignature : public platform::CodeSignature {
 public:
  bool isReleaseSigned() const override { return releaseSigned; }
  bool releaseSigned = false;
};

class SimPlatform : public platform::Platform {
 public:
  SimPlatform();

  VirtualClock& clock() override { return clock_; }
  MemoryDefaults& defaults() override { return defaults_; }
  const StaticBundleInfo& bundle() const override { return bundle_; }
  StaticBundleInfo& bundle() { return bundle_; }
  MemoryPasteboard& pasteboard() override { return pasteboard_; }
  SimNotifications& notifications() override { return notifications_; }
  SimLoginItems& loginItems() override { return loginItems_; }
  SimAccessibility& accessibility() override { return accessibility_; }
  SimScreens& screens() override { return screens_; }
  SimWorkspace& workspace() override { return workspace_; }
  SimHotKeys& hotKeys() override { return hotKeys_; }
  SimReviewApp& reviewApp() override { return reviewApp_; }
  SimCodeSignature& codeSignature() override { return codeSignature_; }
  SimScreenCapture& screenCapture() override { return screenCapture_; }
  SimEventMonitors& eventMonitors() override { return eventMonitors_; }
  SimTextRecognizer& textRecognizer() override { return textRecognizer_; }
  SimInputSynth& inputSynth() override { return inputSynth_; }
  SimFloatingWindows& floatingWindows() override { return floatingWindows_; }
  std::unique_ptr<platform::DisplayStream> makeDisplayStream() override { return recording_.makeStream(); }
  platform::CaptureResult<std::unique_ptr<platform::MovieWriter>> makeMovieWriter(const std::string& path) override {
    return recording_.makeWriter(path);
  }
  // The streams and writers made, and their test controls.
  SimRecording& recording() { return recording_; }
  std::unique_ptr<platform::StatusItem> makeStatusItem() override;
  std::unique_ptr<platform::Updater> makeUpdater(platform::UpdateUserDriver& d) override { return updaters_.make(d); }
  SimUpdaters& updaters() { return updaters_; }
  void setTerminationRequestHandler(std::function<void()> handler) override { onTerminate_ = std::move(handler); }

  // Test controls.
  void requestTermination() { if (onTerminate_) onTerminate_(); }
  // The last status item made (owned by whoever asked for it).
  SimStatusItem* statusItem() const { return lastStatusItem_; }

  // A desktop with no status area: status items made from now on have no button until they appear().
  bool trayAvailable = true;

 private:
  VirtualClock clock_;
  MemoryDefaults defaults_;
  StaticBundleInfo bundle_;
  MemoryPasteboard pasteboard_;
  SimNotifications notifications_;
  SimLoginItems loginItems_;
  SimWorkspace workspace_;
  SimAccessibility accessibility_{clock_, workspace_};
  SimScreens screens_;
  SimHotKeys hotKeys_;
  SimReviewApp reviewApp_{workspace_, accessibility_};
  SimCodeSignature codeSignature_;
  SimScreenCapture screenCapture_{screens_};
  SimEventMonitors eventMonitors_;
  SimTextRecognizer textRecognizer_;
  SimInputSynth inputSynth_{screenCapture_};
  SimFloatingWindows floatingWindows_;
  SimRecording recording_{clock_, screenCapture_};
  SimStatusItem* lastStatusItem_ = nullptr;
  SimUpdaters updaters_;
  std::function<void()> onTerminate_;
};

// Installs a fresh simulated desktop for the lifetime of the object.
class ScopedSimPlatform {
 public:
  ScopedSimPlatform() { platform::install(&sim); }
  ~ScopedSimPlatform() { platform::install(nullptr); }
  SimPlatform* operator->() { return &sim; }
  SimPlatform& operator*() { return sim; }
  SimPlatform sim;
};

}  // namespace vistrel::sim
