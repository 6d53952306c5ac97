#include "platform/linux/JsonUserDefaults.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <QFile>

#include <cerrno>
#include <ctime>

#include "base/AtomicFile.h"
#include "base/LayoutLog.h"
#include "platform/linux/DefaultsCoding.h"

namespace vistrel::desktop {

namespace {

// Renames unless `to` exists. Where the file system cannot refuse to replace
// (EINVAL), a look first is the best there is.
bool renameWithoutReplacing(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL) return false;
  if (::access(to.c_str(), F_OK) == 0) {
    errno = EEXIST;
    return false;
  }
  return ::rename(from.c_str(), to.c_str()) == 0;
}

// "20261208T101500Z": the moment an unreadable document was put aside.
std::string compactUtcTimestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y%m%dT%H%M%SZ", &utc);
  return buffer;
}

}  // namespace

JsonUserDefaults::JsonUserDefaults(std::string directory)
    : directory_(std::move(directory)), path_(directory_ + "/defaults.json") {
  load();
}

std::optional<platform::UserDefaults::Value> JsonUserDefaults::value(const std::string& key) const {
  std::lock_guard guard(mutex_);
  const auto it = document_.constFind(QString::fromStdString(key));
  if (it == document_.constEnd()) return std::nullopt;
  return decodeDefaultsValue(*it);
}

void JsonUserDefaults::set(const std::string& key, Value value) {
  std::lock_guard guard(mutex_);
  const QString name = QString::fromStdString(key);
  const QJsonValue encoded = encodeDefaultsValue(value);
  // Callers record the same facts again and again (a permission on every
  // capture); the file is rewritten, with its fsync, only for a change.
  if (document_.contains(name) && document_.value(name) == encoded) return;
  document_.insert(name, encoded);
  save();
}

void JsonUserDefaults::remove(const std::string& key) {
  std::lock_guard guard(mutex_);
  const QString name = QString::fromStdString(key);
  if (!document_.contains(name)) return;
  document_.remove(name);
  save();
}

void JsonUserDefaults::load() {
  QFile file(QString::fromStdString(path_));
  if (!file.exists()) return;
  if (!file.open(QIODevice::ReadOnly)) return moveAside(file.errorString().toStdString());
  if (file.size() > kMaxDefaultsDocumentBytes) return moveAside("too large");
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return moveAside(file.errorString().toStdString());
  if (auto document = parseDefaultsDocument(bytes)) {
    document_ = std::move(*document);
    return;
  }
  moveAside("not a JSON object");
}

// Keeps the user's old document for inspection instead of overwriting it with
// the next change; a second one in the same second gets a numbered name.
void JsonUserDefaults::moveAside(const std::string& reason) {
  const std::string base = path_ + ".unreadable-" + compactUtcTimestamp();
  int error = 0;
  for (int attempt = 1; attempt <= 100; ++attempt) {
    const std::string target = attempt == 1 ? base : base + "-" + std::to_string(attempt);
    if (renameWithoutReplacing(path_, target)) {
      LayoutLog::write("defaults-unreadable moved=" + target);
      return;
    }
    error = errno;
    if (error != EEXIST) break;
  }
  LayoutLog::write("defaults-unreadable move-failed path=" + path_ + " reason=" + reason + " error=" + errorText(error));
}

void JsonUserDefaults::save() {
  std::optional<std::string> failure = makeDirectories(directory_, 0700);
  if (!failure) failure = writeFileAtomically(path_, serializeDefaultsDocument(document_), 0600);
  if (failure) LayoutLog::write("defaults-write-failed path=" + path_ + " error=" + *failure);
}

}  // namespace vistrel::desktop
