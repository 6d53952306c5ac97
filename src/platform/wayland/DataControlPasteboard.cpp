#include "platform/wayland/DataControlPasteboard.h"

#include <QBuffer>
#include <QImageWriter>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "base/ImageEncoding.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace vistrel::wayland {

namespace {

// What a paste may take: other programs answer at once, but an image is
// encoded first (a second for the largest screens).
constexpr double kReceiveSeconds = 3.0;
// A reader that takes nothing for this long has gone away.
constexpr int kStalledWriteMs = 10'000;

const std::vector<const char*> kTextTypes = {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING", "STRING",
                                             "TEXT"};
const std::vector<const char*> kImageTypes = {"image/png", "image/bmp"};

QByteArray encoded(const QImage& image, const std::string& type) {
  if (type == "image/png") return ImageEncoding::png(image).value_or(QByteArray());
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  return QImageWriter(&buffer, "bmp").write(image) ? bytes : QByteArray();
}

// Writes the content to `fd` and closes it, on a thread of its own. SIGPIPE
// (the reader closed its end) is blocked there and discarded with the thread.
void serve(int fd, std::variant<std::monostate, std::string, QImage> content, std::string type) {
  std::thread([fd, content = std::move(content), type = std::move(type)] {
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    QByteArray bytes;
    if (const auto* text = std::get_if<std::string>(&content)) bytes = QByteArray::fromStdString(*text);
    if (const auto* image = std::get_if<QImage>(&content)) bytes = encoded(*image, type);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    qsizetype done = 0;
    while (done < bytes.size()) {
      const ssize_t written = ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
      if (written > 0) {
        done += written;
        continue;
      }
      if (written < 0 && errno == EINTR) continue;
      pollfd out{fd, POLLOUT, 0};
      if (written < 0 && errno == EAGAIN && ::poll(&out, 1, kStalledWriteMs) > 0) continue;
      break;
    }
    ::close(fd);
  }).detach();
}

bool waitReadable(int fd, Deadline deadline) {
  pollfd in{fd, POLLIN, 0};
  for (;;) {
    const int ready = ::poll(&in, 1, millisecondsLeft(deadline));
    if (ready >= 0 || errno != EINTR) return ready > 0;
  }
}

}  // namespace

DataControlPasteboard::DataControlPasteboard(WaylandConnection& connection) : connection_(connection) {
  if (!connection_.dataControl() || !connection_.seat()) return;
  device_ = zwlr_data_control_manager_v1_get_data_device(connection_.dataControl(), connection_.seat());
  static const zwlr_data_control_device_v1_listener listener = {
      .data_offer = &DataControlPasteboard::onDataOffer,
      .selection = &DataControlPasteboard::onSelection,
      .finished = &DataControlPasteboard::onFinished,
      .primary_selection = &DataControlPasteboard::onPrimarySelection,
  };
  zwlr_data_control_device_v1_add_listener(device_, &listener, this);
  connection_.sync(deadlineAfter(kReceiveSeconds));
}

DataControlPasteboard::~DataControlPasteboard() {
  dropSource();
  for (auto& [offer, types] : offers_) zwlr_data_control_offer_v1_destroy(offer);
  if (device_) zwlr_data_control_device_v1_destroy(device_);
  wl_display_flush(connection_.display());
}

void DataControlPasteboard::onDataOffer(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
  auto* self = static_cast<DataControlPasteboard*>(data);
  self->offers_[offer];
  static const zwlr_data_control_offer_v1_listener listener = {.offer = &DataControlPasteboard::onOffer};
  zwlr_data_control_offer_v1_add_listener(offer, &listener, self);
}

void DataControlPasteboard::onOffer(void* data, zwlr_data_control_offer_v1* offer, const char* type) {
  static_cast<DataControlPasteboard*>(data)->offers_[offer].emplace_back(type);
}

void DataControlPasteboard::onSelection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
  auto* self = static_cast<DataControlPasteboard*>(data);
  if (self->selection_ && self->selection_ != offer) {
    zwlr_data_control_offer_v1_destroy(self->selection_);
    self->offers_.erase(self->selection_);
  }
  self->selection_ = offer;
}

void DataControlPasteboard::onPrimarySelection(void* data, zwlr_data_control_device_v1*,
                                               zwlr_data_control_offer_v1* offer) {
  // The primary selection (middle-click paste) is not the clipboard.
  auto* self = static_cast<DataControlPasteboard*>(data);
  if (!offer || offer == self->selection_) return;
  zwlr_data_control_offer_v1_destroy(offer);
  self->offers_.erase(offer);
}

void DataControlPasteboard::onFinished(void* data, zwlr_data_control_device_v1* device) {
  auto* self = static_cast<DataControlPasteboard*>(data);
  zwlr_data_control_device_v1_destroy(device);
  self->device_ = nullptr;
}

void DataControlPasteboard::onSend(void* data, zwlr_data_control_source_v1* source, const char* type,
                                   std::int32_t fd) {
  auto* self = static_cast<DataControlPasteboard*>(data);
  if (source != self->source_) {
    ::close(fd);
    return;
  }
  serve(fd, self->owned_, type);
}

void DataControlPasteboard::onCancelled(void* data, zwlr_data_control_source_v1* source) {
  auto* self = static_cast<DataControlPasteboard*>(data);
  if (source == self->source_) {
    self->source_ = nullptr;
    self->owned_ = std::monostate();
  }
  zwlr_data_control_source_v1_destroy(source);
}

void DataControlPasteboard::dropSource() {
  if (source_) zwlr_data_control_source_v1_destroy(source_);
  source_ = nullptr;
  owned_ = std::monostate();
}

void DataControlPasteboard::own(Content content, const std::vector<const char*>& types) {
  if (!device_) return;
  zwlr_data_control_source_v1* source = zwlr_data_control_manager_v1_create_data_source(connection_.dataControl());
  static const zwlr_data_control_source_v1_listener listener = {
      .send = &DataControlPasteboard::onSend,
      .cancelled = &DataControlPasteboard::onCancelled,
  };
  zwlr_data_control_source_v1_add_listener(source, &listener, this);
  for (const char* type : types) zwlr_data_control_source_v1_offer(source, type);
  zwlr_data_control_device_v1_set_selection(device_, source);
  // The previous source is replaced: no longer ours to serve.
  if (source_) zwlr_data_control_source_v1_destroy(source_);
  source_ = source;
  owned_ = std::move(content);
  connection_.sync(deadlineAfter(kReceiveSeconds));
}

void DataControlPasteboard::clear() {
  if (!device_) return;
  zwlr_data_control_device_v1_set_selection(device_, nullptr);
  dropSource();
  connection_.sync(deadlineAfter(kReceiveSeconds));
}

void DataControlPasteboard::setString(const std::string& text) { own(text, kTextTypes); }

void DataControlPasteboard::setImage(const QImage& image) { own(image, kImageTypes); }

std::vector<std::string> DataControlPasteboard::offeredTypes() const {
  connection_.sync(deadlineAfter(kReceiveSeconds));
  if (!selection_) return {};
  const auto it = offers_.find(selection_);
  return it == offers_.end() ? std::vector<std::string>{} : it->second;
}

std::optional<QByteArray> DataControlPasteboard::receive(const std::string& type) const {
  const Deadline deadline = deadlineAfter(kReceiveSeconds);
  const auto types = offeredTypes();
  if (std::find(types.begin(), types.end(), type) == types.end()) return std::nullopt;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return std::nullopt;
  zwlr_data_control_offer_v1_receive(selection_, type.c_str(), fds[1]);
  wl_display_flush(connection_.display());
  ::close(fds[1]);
  QByteArray bytes;
  char chunk[65536];
  for (;;) {
    const ssize_t got = ::read(fds[0], chunk, sizeof chunk);
    if (got > 0) {
      bytes.append(chunk, got);
      continue;
    }
    if (got == 0) break;  // the writer closed its end: all there is
    if (errno == EINTR) continue;
    if (errno != EAGAIN || !waitReadable(fds[0], deadline)) {
      ::close(fds[0]);
      return std::nullopt;
    }
  }
  ::close(fds[0]);
  return bytes;
}

std::optional<std::string> DataControlPasteboard::string() const {
  connection_.sync(deadlineAfter(kReceiveSeconds));  // a cancelled source is no longer ours
  if (source_) {
    if (const auto* text = std::get_if<std::string>(&owned_)) return *text;
    return std::nullopt;
  }
  for (const char* type : {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain"}) {
    if (auto bytes = receive(type)) return bytes->toStdString();
  }
  return std::nullopt;
}

std::optional<QImage> DataControlPasteboard::image() const {
  connection_.sync(deadlineAfter(kReceiveSeconds));
  if (source_) {
    if (const auto* image = std::get_if<QImage>(&owned_)) return *image;
    return std::nullopt;
  }
  for (const char* type : kImageTypes) {
    if (auto bytes = receive(type)) {
      QImage image = QImage::fromData(*bytes);
      if (!image.isNull()) return image;
    }
  }
  return std::nullopt;
}

}  // namespace vistrel::wayland
