#include "platform/linux/DesktopWorkspace.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "platform/linux/InstanceRecords.h"
#include "platform/linux/SessionBus.h"

namespace vistrel::desktop {

namespace {

constexpr int kHandlerQueryMs = 2000;
constexpr const char* kNewInstanceOption = "--new-instance";

std::string procPath(std::int32_t pid, const char* entry) { return "/proc/" + std::to_string(pid) + "/" + entry; }

// Whether a desktop file is registered for links of `scheme`. An answer that
// cannot be had (no xdg-mime, too slow) counts as yes: xdg-open decides then.
bool schemeHasHandler(const QString& scheme) {
  QProcess query;
  query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                           QStringLiteral("x-scheme-handler/") + scheme});
  if (!query.waitForStarted(kHandlerQueryMs)) return true;
  if (!query.waitForFinished(kHandlerQueryMs)) {
    query.kill();
    query.waitForFinished(kHandlerQueryMs);
    return true;
  }
  return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
         !query.readAllStandardOutput().trimmed().isEmpty();
}

}  // namespace

std::string DesktopWorkspace::commandName(std::int32_t pid) {
  std::ifstream file(procPath(pid, "comm"));
  std::string name;
  std::getline(file, name);
  return name;
}

std::string DesktopWorkspace::executablePath(std::int32_t pid) {
  std::error_code error;
  const auto path = std::filesystem::read_symlink(procPath(pid, "exe"), error);
  return error ? std::string() : path.string();
}

std::int32_t DesktopWorkspace::currentProcessID() const { return std::int32_t(::getpid()); }

std::vector<platform::RunningApplication> DesktopWorkspace::runningApplications() const {
  std::string error;
  const auto folder = instanceFolder(error);
  // A refused folder was logged once at start, where the program first looked for it.
  if (!folder) return {};
  return InstanceRecords::runningApplications(*folder);
}

bool DesktopWorkspace::openURL(const std::string& text) {
  const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
  if (!url.isValid() || url.scheme().isEmpty()) return false;
  if (!url.isLocalFile() && !schemeHasHandler(url.scheme())) return false;
  return QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)});
}

void DesktopWorkspace::activateFileViewerSelecting(const std::vector<std::string>& paths) {
  if (paths.empty()) return;
  const QString folder = QFileInfo(QString::fromStdString(paths.front())).absolutePath();
  const auto openFolder = [folder] { QProcess::startDetached(QStringLiteral("xdg-open"), {folder}); };
  const std::string address = sessionBusAddressWithoutAutolaunch();
  if (address.empty()) {
    openFolder();
    return;
  }
  // A connection of our own to exactly this address, kept for later reveals:
  // the shared session bus of libdbus would launch a bus when there is none.
  const QString name = QStringLiteral("vistrel-file-manager");
  QDBusConnection bus = QDBusConnection(name).isConnected()
                            ? QDBusConnection(name)
                            : QDBusConnection::connectToBus(QString::fromStdString(address), name);
  if (!bus.isConnected()) {
    openFolder();
    return;
  }
  QStringList uris;
  for (const auto& path : paths) uris << QUrl::fromLocalFile(QString::fromStdString(path)).toString(QUrl::FullyEncoded);
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
      QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
  call << uris << QString();
  // A file manager that is activatable but never starts must not hold the reveal for D-Bus's 25 seconds.
  constexpr int kCallTimeoutMs = 5000;
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kCallTimeoutMs), &context_);
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &context_,
                   [openFolder](QDBusPendingCallWatcher* finished) {
                     finished->deleteLater();
                     if (finished->isError()) openFolder();
                   });
}

std::optional<std::string> DesktopWorkspace::openNewInstance(const std::string& bundlePath) {
  QProcess process;
  process.setProgram(QString::fromStdString(bundlePath));
  process.setArguments({QString::fromLatin1(kNewInstanceOption)});
  process.setStandardInputFile(QProcess::nullDevice());
  if (process.startDetached()) return std::nullopt;
  return process.errorString().toStdString();
}

std::optional<std::string> DesktopWorkspace::spawnNewInstance(const std::string& bundlePath) {
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_t actions;
  if (const int error = ::posix_spawnattr_init(&attributes)) return std::string(std::strerror(error));
  if (const int error = ::posix_spawn_file_actions_init(&actions)) {
    ::posix_spawnattr_destroy(&attributes);
    return std::string(std::strerror(error));
  }
  // Its own session: the new copy outlives us and our terminal's hang-up.
  int error = ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  if (!error) error = ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (!error) error = ::posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  pid_t pid = 0;
  std::string path = bundlePath;
  std::string option = kNewInstanceOption;
  char* const arguments[] = {path.data(), option.data(), nullptr};
  // glibc reports a failed exec (missing file, no execute permission) here, not in the child.
  if (!error) error = ::posix_spawn(&pid, path.c_str(), &actions, &attributes, arguments, environ);
  ::posix_spawn_file_actions_destroy(&actions);
  ::posix_spawnattr_destroy(&attributes);
  if (error) return bundlePath + ": " + std::strerror(error);
  return std::nullopt;
}

}  // namespace vistrel::desktop
