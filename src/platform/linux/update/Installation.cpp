#include "platform/linux/update/Installation.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vistrel::desktop::Installation {

namespace {

namespace fs = std::filesystem;

std::string stagingPrefix(const Layout& layout) {
  std::string prefix = ".";
  prefix += layout.root.filename().string();
  prefix += ".update-";
  return prefix;
}

}  // namespace

std::variant<Layout, std::string> locate(const std::string& bundlePath) {
  const fs::path program(bundlePath);
  if (!program.is_absolute() || program.parent_path().filename() != "bin") {
    return bundlePath + " is not in the bin folder of an installation folder.";
  }
  Layout layout{program.parent_path().parent_path(), fs::path("bin") / program.filename()};
  std::error_code error;
  if (!fs::is_regular_file(layout.root / kMarker, error)) {
    return layout.root.string() + " is not a self-updating installation folder (it has no " + kMarker + ").";
  }
  const fs::path parent = layout.root.parent_path();
  if (::access(parent.c_str(), W_OK | X_OK) != 0) {
    return "The folder " + parent.string() + " that holds the installation cannot be written.";
  }
  return layout;
}

std::variant<fs::path, std::string> makeStaging(const Layout& layout) {
  std::string pattern = (layout.root.parent_path() / (stagingPrefix(layout) + "XXXXXX")).string();
  if (!::mkdtemp(pattern.data())) {
    return "No folder for the update can be made beside " + layout.root.string() + ": " + std::strerror(errno);
  }
  return fs::path(pattern);
}

void removeLeftovers(const Layout& layout) {
  const std::string prefix = stagingPrefix(layout);
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(layout.root.parent_path(), error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) != 0) continue;
    std::error_code ignored;
    // remove_all removes a link itself, not what it points to.
    fs::remove_all(entry.path(), ignored);
  }
}

std::optional<std::string> exchange(const fs::path& a, const fs::path& b) {
  if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0) return std::nullopt;
  if (errno != EINVAL && errno != ENOSYS) {
    return "The installation cannot be replaced: " + std::string(std::strerror(errno));
  }
  const fs::path aside = a.string() + ".aside";
  if (::rename(b.c_str(), aside.c_str()) != 0) {
    return "The installation cannot be replaced: " + std::string(std::strerror(errno));
  }
  if (::rename(a.c_str(), b.c_str()) != 0) {
    const std::string why = std::strerror(errno);
    ::rename(aside.c_str(), b.c_str());
    return "The installation cannot be replaced: " + why;
  }
  if (::rename(aside.c_str(), a.c_str()) != 0) {
    const std::string why = std::strerror(errno);
    ::rename(b.c_str(), a.c_str());
    ::rename(aside.c_str(), b.c_str());
    return "The installation cannot be replaced: " + why;
  }
  return std::nullopt;
}

}  // namespace vistrel::desktop::Installation
