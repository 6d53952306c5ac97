#include "platform/linux/InstanceRecords.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "base/AtomicFile.h"

namespace vistrel::desktop {

namespace {

constexpr std::string_view kSuffix = ".instance";
// A record is a few hundred bytes; anything far larger is not one.
constexpr off_t kMaxRecordBytes = 64 * 1024;
// Whole numbers up to 2^53 survive the trip through a JSON number exactly.
constexpr double kMaxExactWhole = 9007199254740992.0;

std::string recordName(const InstanceRecord& record) {
  return std::to_string(record.pid) + "-" + std::to_string(record.startTime) + std::string(kSuffix);
}

bool isRecordName(const std::string& name) { return !name.starts_with('.') && name.ends_with(kSuffix); }

// The folder is private, yet a file in it is still outside data: never follow
// a link, never block on a FIFO, never read more than a record can be.
std::optional<QByteArray> readRecordFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxRecordBytes) {
    ::close(fd);
    return std::nullopt;
  }
  QByteArray data(qsizetype(st.st_size), '\0');
  qsizetype done = 0;
  while (done < data.size()) {
    const ssize_t n = ::read(fd, data.data() + done, std::size_t(data.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  ::close(fd);
  data.truncate(done);
  return data;
}

// Every readable record in the folder, live or not, with its file.
std::vector<std::pair<std::string, InstanceRecord>> readFolder(const std::string& folder) {
  std::vector<std::pair<std::string, InstanceRecord>> records;
  std::error_code error;
  const std::filesystem::directory_iterator end;
  for (auto it = std::filesystem::directory_iterator(folder, error); !error && it != end; it.increment(error)) {
    if (!isRecordName(it->path().filename().string())) continue;
    const std::string path = it->path().string();
    const auto data = readRecordFile(path);
    if (!data) continue;
    if (auto record = InstanceRecords::decode(*data)) records.emplace_back(path, std::move(*record));
  }
  return records;
}

}  // namespace

std::optional<std::string> instanceFolder(std::string& error) {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
    struct stat st {};
    if (::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) {
      return QDir::cleanPath(QString::fromLocal8Bit(runtime)).toStdString();
    }
  }
  return privateFolder("/tmp/vistrel-" + std::to_string(::geteuid()), error);
}

std::optional<std::string> privateFolder(const std::string& path, std::string& error) {
  if (::mkdir(path.c_str(), 0700) == 0) {
    // The umask may have taken bits away; the checks below want exactly 0700.
    if (::chmod(path.c_str(), 0700) != 0) {
      error = "cannot set the mode of " + path + ": " + errorText(errno);
      return std::nullopt;
    }
  } else if (errno != EEXIST) {
    error = "cannot make " + path + ": " + errorText(errno);
    return std::nullopt;
  }
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    error = "cannot examine " + path + ": " + errorText(errno);
    return std::nullopt;
  }
  if (S_ISLNK(st.st_mode)) {
    error = path + " is a symbolic link";
  } else if (!S_ISDIR(st.st_mode)) {
    error = path + " is not a directory";
  } else if (st.st_uid != ::geteuid()) {
    error = path + " belongs to uid " + std::to_string(st.st_uid);
  } else if ((st.st_mode & 07777) != 0700) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", unsigned(st.st_mode & 07777));
    error = path + " has mode " + mode + ", not 0700";
  } else {
    return path;
  }
  return std::nullopt;
}

namespace InstanceRecords {

QByteArray encode(const InstanceRecord& record) {
  QJsonObject object;
  object["pid"] = record.pid;
  object["bundleIdentifier"] = QString::fromStdString(record.bundleIdentifier);
  object["bundlePath"] = QString::fromStdString(record.bundlePath);
  object["startTime"] = double(record.startTime);
  return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<InstanceRecord> decode(const QByteArray& data) {
  QJsonParseError parseError{};
  const auto document = QJsonDocument::fromJson(data, &parseError);
  if (parseError.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
  const QJsonObject object = document.object();
  const auto pid = object["pid"], identifier = object["bundleIdentifier"], path = object["bundlePath"],
             start = object["startTime"];
  if (!pid.isDouble() || !identifier.isString() || !path.isString() || !start.isDouble()) return std::nullopt;
  const double pidValue = pid.toDouble(), startValue = start.toDouble();
  if (pidValue < 1 || pidValue > 2147483647.0 || std::trunc(pidValue) != pidValue) return std::nullopt;
  if (startValue < 0 || startValue > kMaxExactWhole || std::trunc(startValue) != startValue) return std::nullopt;
  InstanceRecord record;
  record.pid = std::int32_t(pidValue);
  record.bundleIdentifier = identifier.toString().toStdString();
  record.bundlePath = path.toString().toStdString();
  record.startTime = std::uint64_t(startValue);
  if (record.bundleIdentifier.empty() || record.bundlePath.empty()) return std::nullopt;
  return record;
}

std::optional<std::uint64_t> parseStartTime(std::string_view statLine) {
  // "pid (comm) state ppid ...": the name ends at the last ')'; field 3 follows it.
  const auto close = statLine.rfind(')');
  if (close == std::string_view::npos) return std::nullopt;
  std::string_view rest = statLine.substr(close + 1);
  for (int field = 3;; ++field) {
    const auto begin = rest.find_first_not_of(' ');
    if (begin == std::string_view::npos) return std::nullopt;
    rest = rest.substr(begin);
    const auto end = std::min(rest.find(' '), rest.size());
    if (field == 22) {
      std::uint64_t value = 0;
      const auto token = rest.substr(0, end);
      const auto [last, status] = std::from_chars(token.data(), token.data() + token.size(), value);
      if (status != std::errc() || last != token.data() + token.size()) return std::nullopt;
      return value;
    }
    rest = rest.substr(end);
  }
}

std::optional<std::uint64_t> processStartTime(std::int32_t pid) {
  if (pid <= 0) return std::nullopt;
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(file, line)) return std::nullopt;
  return parseStartTime(line);
}

bool isLive(const InstanceRecord& record) { return processStartTime(record.pid) == record.startTime; }

std::vector<InstanceRecord> live(const std::string& folder) {
  std::vector<InstanceRecord> records;
  for (auto& [path, record] : readFolder(folder)) {
    if (isLive(record)) records.push_back(std::move(record));
  }
  std::sort(records.begin(), records.end(), [](const InstanceRecord& a, const InstanceRecord& b) {
    return a.startTime != b.startTime ? a.startTime < b.startTime : a.pid < b.pid;
  });
  return records;
}

std::vector<platform::RunningApplication> runningApplications(const std::string& folder) {
  std::vector<platform::RunningApplication> running;
  for (const auto& record : live(folder)) {
    platform::RunningApplication application;
    application.pid = record.pid;
    application.bundleIdentifier = record.bundleIdentifier;
    application.localizedName = "Vistrel";
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/" + std::to_string(record.pid) + "/exe", error);
    if (!error) application.executablePath = executable.string();
    application.bundlePath = record.bundlePath;
    running.push_back(std::move(application));
  }
  return running;
}

}  // namespace InstanceRecords

std::optional<PublishedInstance> PublishedInstance::publish(const std::string& folder,
                                                            const std::string& bundleIdentifier,
                                                            const std::string& bundlePath, std::string& error) {
  InstanceRecord record;
  record.pid = std::int32_t(::getpid());
  const auto start = InstanceRecords::processStartTime(record.pid);
  if (!start) {
    error = "cannot read this process's start time from /proc";
    return std::nullopt;
  }
  record.startTime = *start;
  record.bundleIdentifier = bundleIdentifier;
  record.bundlePath = bundlePath;

  // Named by pid and start time, so a stale file is never one a new process of the same pid just wrote.
  for (const auto& [path, old] : readFolder(folder)) {
    if (!InstanceRecords::isLive(old)) ::unlink(path.c_str());
  }
  const std::string path = folder + "/" + recordName(record);
  if (const auto failure = writeFileAtomically(path, InstanceRecords::encode(record), 0600)) {
    error = "cannot write " + path + ": " + *failure;
    return std::nullopt;
  }
  return PublishedInstance(path, std::move(record));
}

PublishedInstance::PublishedInstance(PublishedInstance&& other) noexcept
    : path_(std::move(other.path_)), record_(std::move(other.record_)) {
  other.path_.clear();
}

PublishedInstance::~PublishedInstance() { withdraw(); }

void PublishedInstance::withdraw() {
  if (!path_.empty()) ::unlink(path_.c_str());
  path_.clear();
}

}  // namespace vistrel::desktop
