#include "platform/linux/update/FeedUpdater.h"

#include <QFile>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <cstdio>
#include <cstdlib>

#include "platform/linux/update/Appcast.h"
#include "platform/linux/update/UpdateArchive.h"

namespace vistrel::desktop {

namespace {

namespace fs = std::filesystem;

constexpr int kTransferTimeoutMs = 30000;
// The new copy has started by then; this one goes.
constexpr int kTerminateAfterRelaunchMs = 400;
constexpr const char* kAutomaticChecksKey = "SUEnableAutomaticChecks";
constexpr const char* kSendProfileKey = "SUSendProfileInfo";
constexpr const char* kArchiveName = "update.archive";
constexpr const char* kUnpackedName = "unpacked";
// Set on a feed reply aborted for its size.
constexpr const char* kTooLarge = "vistrelTooLarge";

std::optional<bool> storedFlag(const platform::UserDefaults& defaults, const std::string& key) {
  const auto value = defaults.value(key);
  if (!value) return std::nullopt;
  if (const bool* flag = std::get_if<bool>(&*value)) return *flag;
  return std::nullopt;
}

QNetworkRequest request(const QUrl& url, const platform::BundleInfo& bundle) {
  QNetworkRequest request(url);
  request.setTransferTimeout(kTransferTimeoutMs);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  request.setHeader(QNetworkRequest::UserAgentHeader,
                    QString::fromStdString("Vistrel/" + bundle.infoString("CFBundleShortVersionString").value_or("0")));
  return request;
}

}  // namespace

FeedUpdater::FeedUpdater(platform::UpdateUserDriver& driver, Host host) : driver_(driver), host_(std::move(host)) {
  daily_.setInterval(kCheckIntervalMs);
  QObject::connect(&daily_, &QTimer::timeout, &context_, [this] { checkForUpdatesInBackground(); });
}

FeedUpdater::~FeedUpdater() {
  if (extraction_.joinable()) extraction_.join();
  if (reply_) reply_->abort();
}

std::optional<std::string> FeedUpdater::startUpdater() {
  if (started_) return std::nullopt;
  key_ = releasePublicKey(host_.bundle);
  if (!key_) return "This copy carries no release key to check updates with.";
  const char* override = std::getenv(kFeedOverride);
  const std::string address =
      override && *override ? std::string(override) : host_.bundle.infoString("SUFeedURL").value_or("");
  feed_ = QUrl(QString::fromStdString(address), QUrl::StrictMode);
  if (!feed_.isValid() || feed_.host().isEmpty() || (feed_.scheme() != u"https" && feed_.scheme() != u"http")) {
    return "The update feed's address is no http(s) address: \"" + address + "\".";
  }
  auto layout = Installation::locate(host_.bundle.bundlePath());
  if (const auto* why = std::get_if<std::string>(&layout)) return *why;
  layout_ = std::get<Installation::Layout>(std::move(layout));
  // The folder an update replaced is kept until the new copy has started: that is now.
  Installation::removeLeftovers(layout_);
  started_ = true;

  if (const auto automatic = storedFlag(host_.defaults, kAutomaticChecksKey)) {
    applyPermission(*automatic);
  } else {
    driver_.showUpdatePermissionRequest([this](platform::UpdatePermissionResponse response) {
      host_.defaults.set(kAutomaticChecksKey, response.automaticUpdateChecks);
      host_.defaults.set(kSendProfileKey, response.sendSystemProfile);
      applyPermission(response.automaticUpdateChecks);
    });
  }
  return std::nullopt;
}

void FeedUpdater::applyPermission(bool automaticChecks) {
  if (automaticChecks) {
    daily_.start();
  } else {
    daily_.stop();
  }
}

void FeedUpdater::checkForUpdatesInBackground() {
  if (!started_ || phase_ != Phase::idle) return;
  beginCheck(false);
}

void FeedUpdater::checkForUpdates() {
  if (!started_) return;
  if (phase_ != Phase::idle) {
    driver_.showUpdateInFocus();
    return;
  }
  const unsigned generation = generation_ + 1;
  driver_.showUserInitiatedUpdateCheck([this, generation] {
    if (generation == generation_ && phase_ == Phase::checking) cancel();
  });
  beginCheck(true);
}

void FeedUpdater::beginCheck(bool userInitiated) {
  ++generation_;
  phase_ = Phase::checking;
  userInitiated_ = userInitiated;
  const unsigned generation = generation_;
  reply_ = network_.get(request(feed_, host_.bundle));
  QNetworkReply* reply = reply_;
  QObject::connect(reply, &QNetworkReply::downloadProgress, &context_, [reply](qint64 received, qint64) {
    if (received <= Appcast::kMaxFeedBytes) return;
    reply->setProperty(kTooLarge, true);
    reply->abort();
  });
  QObject::connect(reply, &QNetworkReply::finished, &context_,
                   [this, reply, generation] { feedFinished(reply, generation); });
}

void FeedUpdater::feedFinished(QNetworkReply* reply, unsigned generation) {
  reply->deleteLater();
  if (generation != generation_ || phase_ != Phase::checking) return;
  reply_ = nullptr;
  if (reply->property(kTooLarge).toBool()) {
    fail("The update feed is malformed: it is larger than " + std::to_string(Appcast::kMaxFeedBytes) + " bytes.");
    return;
  }
  if (reply->error() != QNetworkReply::NoError) {
    fail("The update feed could not be read: " + reply->errorString().toStdString());
    return;
  }
  const auto parsed = Appcast::parse(reply->readAll());
  if (const auto* why = std::get_if<std::string>(&parsed)) {
    fail(*why);
    return;
  }
  const std::string current = host_.bundle.infoString("CFBundleVersion").value_or("0");
  const auto newest = Appcast::newestNewerThan(std::get<Appcast::Items>(parsed), current);
  if (!newest) {
    endSession();
    driver_.showUpdateNotFound({"Vistrel " + host_.bundle.infoString("CFBundleShortVersionString").value_or("") +
                                " is the newest version available."},
                               [] {});
    return;
  }
  item_ = *newest;
  phase_ = Phase::offering;
  driver_.showUpdateFound(item_, {.userInitiated = userInitiated_},
                          [this, generation](platform::UserUpdateChoice choice) {
                            if (generation != generation_ || phase_ != Phase::offering) return;
                            if (choice == platform::UserUpdateChoice::install) {
                              beginDownload();
                            } else {
                              endSession();
                            }
                          });
}

void FeedUpdater::beginDownload() {
  auto staging = Installation::makeStaging(layout_);
  if (const auto* why = std::get_if<std::string>(&staging)) {
    fail(*why);
    return;
  }
  staging_ = std::get<fs::path>(staging);
  phase_ = Phase::downloading;
  received_ = 0;
  download_ = std::make_unique<QFile>(QString::fromStdString((*staging_ / kArchiveName).string()));
  const unsigned generation = generation_;
  driver_.showDownloadInitiated([this, generation] {
    if (generation == generation_ && (phase_ == Phase::downloading || phase_ == Phase::extracting)) cancel();
  });
  if (generation != generation_) return;
  if (!download_->open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
    fail("The update cannot be saved: " + download_->errorString().toStdString());
    return;
  }
  driver_.showDownloadDidReceiveExpectedContentLength(item_.contentLength);
  reply_ = network_.get(request(QUrl(QString::fromStdString(item_.fileURL)), host_.bundle));
  QNetworkReply* reply = reply_;
  QObject::connect(reply, &QNetworkReply::readyRead, &context_, [this, generation] { downloadReadable(generation); });
  QObject::connect(reply, &QNetworkReply::finished, &context_, [this, reply, generation] {
    reply->deleteLater();
    downloadFinished(generation);
  });
}

void FeedUpdater::downloadReadable(unsigned generation) {
  if (generation != generation_ || phase_ != Phase::downloading || !reply_) return;
  const QByteArray bytes = reply_->readAll();
  if (bytes.isEmpty()) return;
  if (received_ + std::uint64_t(bytes.size()) > item_.contentLength) {
    fail("The download is larger than the update feed says (" + std::to_string(item_.contentLength) + " bytes).");
    return;
  }
  if (download_->write(bytes) != bytes.size()) {
    fail("The update cannot be saved: " + download_->errorString().toStdString());
    return;
  }
  received_ += std::uint64_t(bytes.size());
  driver_.showDownloadDidReceiveData(std::uint64_t(bytes.size()));
}

void FeedUpdater::downloadFinished(unsigned generation) {
  if (generation != generation_ || phase_ != Phase::downloading) return;
  downloadReadable(generation);
  if (generation != generation_) return;
  const auto error = reply_ ? reply_->error() : QNetworkReply::UnknownNetworkError;
  const QString errorText = reply_ ? reply_->errorString() : QString();
  reply_ = nullptr;
  if (error != QNetworkReply::NoError) {
    fail("The update could not be downloaded: " + errorText.toStdString());
    return;
  }
  if (!download_->flush()) {
    fail("The update cannot be saved: " + download_->errorString().toStdString());
    return;
  }
  download_->close();
  if (auto why = UpdateArchive::verify(download_->fileName().toStdString(), item_.contentLength, item_.edSignature,
                                       *key_)) {
    fail(*why);
    return;
  }
  beginExtraction();
}

void FeedUpdater::beginExtraction() {
  phase_ = Phase::extracting;
  const unsigned generation = generation_;
  driver_.showDownloadDidStartExtractingUpdate();
  if (generation != generation_) return;
  const fs::path unpacked = *staging_ / kUnpackedName;
  std::error_code error;
  if (!fs::create_directory(unpacked, error)) {
    fail("The update cannot be unpacked: " + error.message());
    return;
  }
  const std::string archive = download_->fileName().toStdString();
  QPointer<QObject> context(&context_);
  extraction_ = std::thread([this, archive, unpacked, generation, context] {
    const auto progress = [this, generation, context](double fraction) {
      QMetaObject::invokeMethod(context, [this, generation, fraction] {
        if (generation == generation_ && phase_ == Phase::extracting) driver_.showExtractionReceivedProgress(fraction);
      }, Qt::QueuedConnection);
    };
    const auto result = UpdateArchive::extract(archive, unpacked.string(), progress);
    QMetaObject::invokeMethod(context, [this, result, generation] { extractionFinished(result, generation); },
                              Qt::QueuedConnection);
  });
}

void FeedUpdater::extractionFinished(const std::optional<std::string>& error, unsigned generation) {
  if (extraction_.joinable()) extraction_.join();
  if (generation != generation_ || phase_ != Phase::extracting) return;
  if (error) {
    fail(*error);
    return;
  }
  const fs::path newRoot = *staging_ / kUnpackedName / UpdateArchive::kTopFolder;
  std::error_code ignored;
  if (!fs::is_regular_file(newRoot / layout_.executable, ignored) ||
      !fs::is_regular_file(newRoot / Installation::kMarker, ignored)) {
    fail("The update archive does not hold a Vistrel installation folder.");
    return;
  }
  if (!SodiumCodeSignature((newRoot / layout_.executable).string(), key_).isReleaseSigned()) {
    fail("The updated program is not signed with the release key.");
    return;
  }
  phase_ = Phase::readyToInstall;
  driver_.showReadyToInstallAndRelaunch([this, generation](platform::UserUpdateChoice choice) {
    if (generation != generation_ || phase_ != Phase::readyToInstall) return;
    if (choice == platform::UserUpdateChoice::install) {
      install();
    } else {
      cancel();
    }
  });
}

void FeedUpdater::install() {
  phase_ = Phase::installing;
  driver_.showInstallingUpdate(false, [] {});
  const fs::path newRoot = *staging_ / kUnpackedName / UpdateArchive::kTopFolder;
  if (auto why = Installation::exchange(newRoot, layout_.root)) {
    fail(*why);
    return;
  }
  const std::string program = host_.bundle.bundlePath();
  auto startError = host_.workspace.openNewInstance(program);
  if (startError) startError = host_.workspace.spawnNewInstance(program);
  if (startError) {
    // The old folder goes back, so the running copy stays as it was. Should that fail, the
    // staging folder holds the old installation and is kept.
    if (const auto undo = Installation::exchange(newRoot, layout_.root)) {
      staging_.reset();
      fail("The updated Vistrel could not be started: " + *startError + " " + *undo + " The previous version is in " +
           newRoot.string() + ".");
      return;
    }
    fail("The updated Vistrel could not be started: " + *startError);
    return;
  }
  // What is staged (now the replaced folder) stays until the new copy has started and removes it.
  staging_.reset();
  driver_.showUpdateInstalledAndRelaunched(true, [] {});
  QTimer::singleShot(kTerminateAfterRelaunchMs, &context_, [this] {
    if (host_.terminate) host_.terminate();
  });
}

void FeedUpdater::fail(const std::string& message) {
  const bool installing = phase_ == Phase::downloading || phase_ == Phase::extracting ||
                          phase_ == Phase::readyToInstall || phase_ == Phase::installing;
  std::fprintf(stderr, "vistrel: update %s: %s\n", installing ? "refused" : "check failed", message.c_str());
  endSession();
  driver_.showUpdaterError({message}, [] {});
  if (installing) driver_.dismissUpdateInstallation();
}

void FeedUpdater::cancel() {
  const bool installing = phase_ != Phase::idle && phase_ != Phase::checking && phase_ != Phase::offering;
  endSession();
  if (installing) driver_.dismissUpdateInstallation();
}

void FeedUpdater::endSession() {
  ++generation_;
  phase_ = Phase::idle;
  if (reply_) {
    QNetworkReply* reply = reply_;
    reply_ = nullptr;
    reply->abort();
  }
  if (download_) {
    download_->close();
    download_.reset();
  }
  // An unpacking still running finishes into the folder first; its result is ignored.
  if (extraction_.joinable()) extraction_.join();
  if (staging_) {
    std::error_code ignored;
    fs::remove_all(*staging_, ignored);
    staging_.reset();
  }
}

}  // namespace vistrel::desktop
