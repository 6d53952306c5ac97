#pragma once
// The updater of a self-updating copy: reads the update feed over HTTP(S),
// offers the newest newer item to the user driver, downloads its archive to a
// staging folder beside the installation with progress, checks its length and
// signature, unpacks it, swaps it in for the installation folder and starts
// the new copy, which ends this one.
//
// Any failure leaves the installation as it was, removes what was staged, and
// goes to the driver's error callback (and to stderr). Checks run at launch
// (the product asks) and once a day while automatic checks are on. Main thread
// only; unpacking runs on a thread of its own.

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "platform/BundleInfo.h"
#include "platform/Updater.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "platform/linux/update/Installation.h"
#include "platform/linux/update/SodiumCodeSignature.h"

class QFile;
class QNetworkReply;

namespace vistrel::desktop {

class FeedUpdater : public platform::Updater {
 public:
  struct Host {
    const platform::BundleInfo& bundle;
    platform::UserDefaults& defaults;
    platform::Workspace& workspace;
    // Ends this program; called shortly after the new copy has started.
    std::function<void()> terminate;
  };

  // The environment variable that replaces the bundle's feed address (mirrors, tests).
  static constexpr const char* kFeedOverride = "VISTREL_UPDATE_FEED";
  static constexpr int kCheckIntervalMs = 24 * 60 * 60 * 1000;

  FeedUpdater(platform::UpdateUserDriver& driver, Host host);
  ~FeedUpdater() override;

  std::optional<std::string> startUpdater() override;
  void checkForUpdatesInBackground() override;
  void checkForUpdates() override;

 private:
  enum class Phase { idle, checking, offering, downloading, extracting, readyToInstall, installing };

  void beginCheck(bool userInitiated);
  void feedFinished(QNetworkReply* reply, unsigned generation);
  void beginDownload();
  void downloadReadable(unsigned generation);
  void downloadFinished(unsigned generation);
  void beginExtraction();
  void extractionFinished(const std::optional<std::string>& error, unsigned generation);
  void install();
  void applyPermission(bool automaticChecks);
  // Ends the session, removes what was staged, and tells the driver why.
  void fail(const std::string& message);
  void cancel();
  void endSession();

  platform::UpdateUserDriver& driver_;
  Host host_;
  bool started_ = false;
  std::optional<ReleasePublicKey> key_;
  QUrl feed_;
  Installation::Layout layout_;

  Phase phase_ = Phase::idle;
  unsigned generation_ = 0;  // replies and results of an ended session carry an older one
  bool userInitiated_ = false;
  platform::AppcastItem item_;
  std::optional<std::filesystem::path> staging_;
  std::uint64_t received_ = 0;

  QObject context_;  // owns timers and replies; queued results land here
  QNetworkAccessManager network_;
  QPointer<QNetworkReply> reply_;
  std::unique_ptr<QFile> download_;
  std::thread extraction_;
  QTimer daily_;
};

}  // namespace vistrel::desktop
