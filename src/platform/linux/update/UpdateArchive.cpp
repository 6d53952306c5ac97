#include "platform/linux/update/UpdateArchive.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>

namespace vistrel::desktop::UpdateArchive {

namespace {

namespace fs = std::filesystem;

struct ArchiveCloser {
  void operator()(archive* a) const { archive_read_free(a); }
};

// Closes the descriptor it holds.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  // The result of close(2), which reports late write errors.
  int close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

std::string systemError(const std::string& what) { return what + ": " + std::strerror(errno); }

// Creates each missing folder of `components` below `root` (never through a link; we create no links).
std::optional<std::string> makeFolders(const fs::path& root, const std::vector<std::string>& components,
                                       std::size_t count) {
  fs::path path = root;
  for (std::size_t i = 0; i < count; ++i) {
    path /= components[i];
    if (::mkdir(path.c_str(), 0755) == 0) continue;
    if (errno != EEXIST) return systemError("cannot make " + path.string());
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return path.string() + " is not a folder";
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> verify(const std::string& path, std::uint64_t length, const std::string& signature,
                                  const ReleasePublicKey& key) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return "The downloaded update cannot be read.";
  const auto size = std::uint64_t(file.size());
  if (size < length) {
    return "The download ended early: " + std::to_string(size) + " of " + std::to_string(length) + " bytes.";
  }
  if (size > length) {
    return "The download is larger than the update feed says: " + std::to_string(size) + " instead of " +
           std::to_string(length) + " bytes.";
  }
  const auto bytes = decodeBase64(signature, crypto_sign_BYTES);
  if (!bytes) return "The update has no valid signature.";
  Signature parsed{};
  std::copy(bytes->begin(), bytes->end(), parsed.begin());
  const QByteArray contents = file.readAll();
  if (std::uint64_t(contents.size()) != length) return "The downloaded update cannot be read.";
  if (!verifySignature(parsed, std::string_view(contents.constData(), std::size_t(contents.size())), key)) {
    return "The update's signature does not match the release key.";
  }
  return std::nullopt;
}

std::optional<std::vector<std::string>> entryComponents(std::string_view pathname) {
  if (pathname.empty() || pathname.front() == '/') return std::nullopt;
  std::vector<std::string> components;
  std::size_t start = 0;
  while (start <= pathname.size()) {
    const std::size_t slash = std::min(pathname.find('/', start), pathname.size());
    const std::string_view piece = pathname.substr(start, slash - start);
    start = slash + 1;
    if (piece.empty() || piece == ".") continue;
    if (piece == "..") return std::nullopt;
    components.emplace_back(piece);
  }
  if (components.empty() || components.front() != kTopFolder) return std::nullopt;
  return components;
}

std::optional<std::string> extract(const std::string& path, const std::string& destination,
                                   const std::function<void(double)>& progress) {
  std::error_code sizeError;
  const auto archiveSize = fs::file_size(path, sizeError);
  std::unique_ptr<archive, ArchiveCloser> reader(archive_read_new());
  archive_read_support_filter_all(reader.get());
  archive_read_support_format_tar(reader.get());
  if (archive_read_open_filename(reader.get(), path.c_str(), 64 << 10) != ARCHIVE_OK) {
    return std::string("The update archive cannot be opened: ") + archive_error_string(reader.get());
  }
  const fs::path root(destination);
  std::uint64_t unpacked = 0;
  std::size_t entries = 0;
  archive_entry* entry = nullptr;
  for (;;) {
    const int status = archive_read_next_header(reader.get(), &entry);
    if (status == ARCHIVE_EOF) break;
    if (status != ARCHIVE_OK) {
      return std::string("The update archive is damaged: ") + archive_error_string(reader.get());
    }
    if (++entries > kMaxEntries) return "The update archive has too many entries.";
    const char* name = archive_entry_pathname(entry);
    const std::string shown = name ? name : "";
    const auto components = entryComponents(shown);
    if (!components) return "The update archive has a path outside its folder: \"" + shown + "\".";
    if (archive_entry_hardlink(entry) || archive_entry_symlink(entry)) {
      return "The update archive has a link: \"" + shown + "\".";
    }
    const auto type = archive_entry_filetype(entry);
    if (type == AE_IFDIR) {
      if (auto error = makeFolders(root, *components, components->size())) return error;
      continue;
    }
    if (type != AE_IFREG) return "The update archive has an entry that is no file or folder: \"" + shown + "\".";
    if (auto error = makeFolders(root, *components, components->size() - 1)) return error;

    fs::path target = root;
    for (const auto& component : *components) target /= component;
    const mode_t mode = (archive_entry_perm(entry) & 0111) ? 0755 : 0644;
    FileDescriptor file(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (file.get() < 0) return systemError("cannot write " + target.string());
    const void* block = nullptr;
    std::size_t size = 0;
    la_int64_t offset = 0;
    std::uint64_t written = 0;
    for (;;) {
      const int read = archive_read_data_block(reader.get(), &block, &size, &offset);
      if (read == ARCHIVE_EOF) break;
      if (read != ARCHIVE_OK) {
        return std::string("The update archive is damaged: ") + archive_error_string(reader.get());
      }
      // Sparse files are not ours: data arrives in order.
      if (offset < 0 || std::uint64_t(offset) != written) return "The update archive is damaged: a file has holes.";
      unpacked += size;
      if (unpacked > kMaxUnpackedBytes) return "The update archive unpacks to more than 1 GiB.";
      const char* bytes = static_cast<const char*>(block);
      std::size_t left = size;
      while (left > 0) {
        const ssize_t n = ::write(file.get(), bytes, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return systemError("cannot write " + target.string());
        bytes += n;
        left -= std::size_t(n);
      }
      written += size;
    }
    if (file.close() != 0) return systemError("cannot write " + target.string());
    if (progress && !sizeError && archiveSize > 0) {
      progress(std::min(1.0, double(archive_filter_bytes(reader.get(), -1)) / double(archiveSize)));
    }
  }
  if (progress) progress(1.0);
  return std::nullopt;
}

}  // namespace vistrel::desktop::UpdateArchive
