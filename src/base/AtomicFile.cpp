#include "base/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace vistrel {

namespace {

std::string folderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::error_code errorCode(int error) { return {error, std::system_category()}; }

bool writeAll(int fd, const QByteArray& contents) {
  qsizetype done = 0;
  while (done < contents.size()) {
    const ssize_t n = ::write(fd, contents.constData() + done, std::size_t(contents.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    done += n;
  }
  return true;
}

// Makes the rename itself durable. Some file systems cannot sync a folder
// (EINVAL); the file is in place then, which is all they offer.
std::error_code syncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errorCode(errno);
  const int result = ::fsync(fd);
  const int error = errno;
  ::close(fd);
  if (result != 0 && error != EINVAL) return errorCode(error);
  return {};
}

}  // namespace

std::string errorText(int error) { return std::system_category().message(error); }

std::error_code replaceFile(const std::string& path, const QByteArray& contents, mode_t mode) {
  const std::string folder = folderOf(path);
  std::string temporary = folder + "/." + nameOf(path) + ".tmp-XXXXXX";
  int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return errorCode(errno);

  const auto fail = [&](int error) {
    if (fd >= 0) ::close(fd);
    ::unlink(temporary.c_str());
    return errorCode(error);
  };
  if (::fchmod(fd, mode) != 0) return fail(errno);
  if (!writeAll(fd, contents)) return fail(errno);
  if (::fsync(fd) != 0) return fail(errno);
  const int closed = ::close(fd);
  fd = -1;
  if (closed != 0) return fail(errno);
  if (::rename(temporary.c_str(), path.c_str()) != 0) return fail(errno);
  return syncFolder(folder);
}

std::optional<std::string> writeFileAtomically(const std::string& path, const QByteArray& contents, mode_t mode) {
  const std::error_code error = replaceFile(path, contents, mode);
  if (!error) return std::nullopt;
  return error.message();
}

std::optional<std::string> makeDirectories(const std::string& path, mode_t mode) {
  if (path.empty()) return errorText(ENOENT);
  std::size_t end = 0;
  while (end != std::string::npos) {
    end = path.find('/', end + 1);
    const std::string prefix = path.substr(0, end);
    if (prefix.empty() || prefix.back() == '/') continue;
    if (::mkdir(prefix.c_str(), mode) == 0) continue;
    const int error = errno;
    if (error != EEXIST) return errorText(error);
    struct stat st {};
    if (::stat(prefix.c_str(), &st) != 0) return errorText(errno);
    if (!S_ISDIR(st.st_mode)) return errorText(ENOTDIR);
  }
  return std::nullopt;
}

}  // namespace vistrel
