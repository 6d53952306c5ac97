#include "platform/x11/X11DisplayStream.h"

#include <pthread.h>

#include <QRectF>
#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "platform/x11/Monitors.h"
#include "platform/x11/ServerSync.h"

namespace vistrel::x11 {

namespace {

constexpr double kSetupSeconds = 2.0;
// A frame read that takes longer than this is given up; the next tick tries again.
constexpr double kReadSeconds = 1.0;
// Buffers made before the first frame: the last frame, one in the writer's queue, the one being read.
constexpr int kWarmBuffers = 3;

double secondsOf(std::chrono::steady_clock::time_point time) {
  return std::chrono::duration<double>(time.time_since_epoch()).count();
}

bool samePixels(const QImage& a, const QImage& b) {
  return a.size() == b.size() && a.format() == b.format() && a.sizeInBytes() == b.sizeInBytes() &&
         std::memcmp(a.constBits(), b.constBits(), std::size_t(a.sizeInBytes())) == 0;
}

}  // namespace

X11DisplayStream::~X11DisplayStream() { stop(); }

std::optional<std::string> X11DisplayStream::start(std::uint32_t displayID,
                                                   const platform::StreamConfiguration& configuration,
                                                   FrameHandler handler) {
  if (thread_.joinable()) return "The stream is already running.";
  std::string error;
  // A connection of the capture thread's own: the backend's one belongs to the main thread.
  auto connection = Connection::open(error, false);
  if (!connection) return "The X server cannot be reached for recording: " + error + ".";
  const Deadline deadline = deadlineAfter(kSetupSeconds);
  const auto monitors = readMonitors(*connection, deadline);
  if (!monitors.value) return std::string("The X server did not list its displays in time.");
  const auto monitor = std::find_if(monitors.value->begin(), monitors.value->end(),
                                    [displayID](const Monitor& m) { return m.id == displayID; });
  if (monitor == monitors.value->end()) return std::string("The display is not available.");
  const xcb_screen_t* screen = screenOf(*connection);
  if (!screen) return std::string("The X server describes no screen to record.");

  const Rect& frame = monitor->frame;
  const QRect display = QRectF(frame.x, frame.y, frame.w, frame.h).toAlignedRect();
  QRect wanted = display;
  if (configuration.capture.sourceRect) {
    const Rect& r = *configuration.capture.sourceRect;
    wanted = QRectF(frame.x + r.minX(), frame.y + r.minY(), r.width(), r.height()).toAlignedRect();
  }
  QRect area = wanted & display;
  if (area.isEmpty()) return std::string("The area to record lies outside the display.");
  // Output sizes are even: an odd column or row is left off rather than every frame scaled by a pixel.
  const QSize size(configuration.capture.width, configuration.capture.height);
  if (!size.isEmpty() && size.width() <= area.width() && size.height() <= area.height() &&
      area.width() - size.width() <= 1 && area.height() - size.height() <= 1) {
    area.setSize(size);
  }

  if (const auto* damage = extensionData(*connection, &xcb_damage_id, deadline); damage && damage->present) {
    // XDamage answers nothing to a client that has not told its version.
    auto version = connection->request<xcb_damage_query_version_reply_t>(
        xcb_damage_query_version(connection->raw(), 1, 1));
    if (version.get(deadline)) {
      damage_ = xcb_generate_id(connection->raw());
      damageEvent_ = damage->first_event;
      xcb_damage_create(connection->raw(), damage_, connection->root(), XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
    }
  }
  if (!damage_) qInfo("vistrel x11: no XDamage; the recording compares every frame with the last one");
  if (!connection->flush()) return std::string("The connection to the X server broke.");

  connection_ = std::move(connection);
  reader_ = std::make_unique<PixelReader>(*connection_);
  cursor_ = std::make_unique<CursorOverlay>(*connection_);
  configuration_ = configuration;
  handler_ = std::move(handler);
  area_ = area;
  depth_ = screen->root_depth;
  visual_ = screen->root_visual;
  pool_.clear();
  last_ = QImage();
  lastCursor_.reset();
  counts_ = {};
  stopping_ = false;
  thread_ = std::thread([this] { run(); });
  return std::nullopt;
}

void X11DisplayStream::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (!connection_) return;
  if (damage_) xcb_damage_destroy(connection_->raw(), damage_);
  damage_ = 0;
  connection_->flush();
  qInfo("vistrel x11: record stream %dx%d ticks=%ld read=%ld unchanged=%ld late=%ld no-buffer=%ld failed=%ld",
        area_.width(), area_.height(), counts_.ticks, counts_.read, counts_.unchanged, counts_.late, counts_.noBuffer,
        counts_.failed);
  handler_ = nullptr;
  pool_.clear();
  last_ = QImage();
  cursor_.reset();
  reader_.reset();
  connection_.reset();
}

bool X11DisplayStream::takeDamage() {
  bool damaged = false;
  while (XPtr<xcb_generic_event_t> event{xcb_poll_for_event(connection_->raw())}) {
    // Errors of the unchecked damage requests need no answer: a refused report reads every frame.
    if (damage_ && (event->response_type & 0x7f) == damageEvent_ + XCB_DAMAGE_NOTIFY) damaged = true;
  }
  // Emptied before the read: anything drawn from now on reports again, so
  // drawing that races the read is read once more at the next tick.
  if (damaged) xcb_damage_subtract(connection_->raw(), damage_, XCB_NONE, XCB_NONE);
  return damaged;
}

std::optional<std::size_t> X11DisplayStream::freeBuffer() {
  for (std::size_t i = 0; i < pool_.size(); ++i) {
    // A slot whose buffer went with a failed read gets a new one.
    if (pool_[i].isNull()) pool_[i] = newBuffer();
    // Only the pool holds it.
    if (pool_[i].isDetached()) return i;
  }
  if (int(pool_.size()) < std::max(configuration_.queueDepth, 2)) {
    pool_.push_back(newBuffer());
    return pool_.size() - 1;
  }
  return std::nullopt;
}

QImage X11DisplayStream::readFrame(std::size_t slot, const xcb_xfixes_get_cursor_image_reply_t* cursor) {
  Pixels pixels = reader_->read(connection_->root(), area_, depth_, visual_, deadlineAfter(kReadSeconds),
                                std::move(pool_[slot]));
  if (pixels.status != ReplyStatus::ok || pixels.image.isNull()) {
    if (!pixels.unsupported.empty() && counts_.failed == 0) {
      qWarning("vistrel x11: the display cannot be recorded: its %s", pixels.unsupported.c_str());
    }
    return {};
  }
  QImage image = std::move(pixels.image);
  if (cursor) CursorOverlay::paint(*cursor, image, area_.topLeft());
  const QSize size(configuration_.capture.width, configuration_.capture.height);
  if (!size.isEmpty() && size != image.size()) {
    image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
  }
  return image;
}

void X11DisplayStream::warmUp() {
  // What the first frames would otherwise spend beyond their interval: the
  // extensions' first answers, the shared memory segment, and fresh memory
  // for the first buffers (its pages are faulted in by the reads).
  const Deadline deadline = deadlineAfter(kReadSeconds);
  if (configuration_.capture.showsCursor) {
    if (auto pending = cursor_->request(deadline)) pending->get(deadline);
  }
  const int buffers = std::min(std::max(configuration_.queueDepth, 2), kWarmBuffers);
  for (int i = 0; i < buffers; ++i) {
    Pixels pixels = reader_->read(connection_->root(), area_, depth_, visual_, deadline, newBuffer());
    if (pixels.status != ReplyStatus::ok || pixels.image.isNull()) return;
    pool_.push_back(std::move(pixels.image));
  }
}

QImage X11DisplayStream::newBuffer() {
  // Memory the server writes into directly: a frame is read without a copy.
  return reader_->sharedImage(area_.size(), depth_ == 32 ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32,
                              deadlineAfter(kReadSeconds));
}

void X11DisplayStream::run() {
  pthread_setname_np(pthread_self(), "vistrel-record");
  using Clock = std::chrono::steady_clock;
  const auto interval = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(std::max(configuration_.minimumFrameInterval, 0.001)));
  warmUp();
  auto next = Clock::now();
  // The first frame is read whatever the damage says, and so is any frame
  // after one whose pixels were not handed out (no buffer, a failed read).
  bool owed = true;
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      if (wake_.wait_until(lock, next, [this] { return stopping_; })) break;
    }
    if (connection_->isBroken()) break;
    ++counts_.ticks;
    // The tick's own time, not the moment the thread woke: frames keep whole intervals apart.
    const double time = secondsOf(next);
    const Deadline deadline = deadlineAfter(kReadSeconds);
    auto pendingCursor = configuration_.capture.showsCursor ? cursor_->request(deadline) : std::nullopt;
    const bool damaged = takeDamage();
    Reply<xcb_xfixes_get_cursor_image_reply_t> cursorReply;
    if (pendingCursor) cursorReply = pendingCursor->get(deadline);
    std::optional<CursorState> cursorNow;
    if (cursorReply) cursorNow = CursorState{cursorReply.value->x, cursorReply.value->y, cursorReply.value->cursor_serial};

    platform::StreamFrame frame;
    frame.time = time;
    const bool mayHaveChanged = owed || damaged || !damage_ || cursorNow != lastCursor_;
    if (!mayHaveChanged) {
      frame.image = last_;
      frame.changed = false;
      ++counts_.unchanged;
    } else if (const auto slot = freeBuffer()) {
      QImage image = readFrame(*slot, cursorReply ? cursorReply.value.get() : nullptr);
      if (image.isNull()) {
        ++counts_.failed;
        owed = true;
      } else {
        ++counts_.read;
        owed = false;
        lastCursor_ = cursorNow;
        if (!damage_ && samePixels(image, last_)) {
          pool_[*slot] = std::move(image);
          frame.image = last_;
          frame.changed = false;
          ++counts_.unchanged;
        } else {
          pool_[*slot] = image;
          last_ = image;
          frame.image = std::move(image);
        }
      }
    } else {
      ++counts_.noBuffer;
      owed = true;
    }
    if (!frame.image.isNull()) handler_(frame);

    next += interval;
    const auto now = Clock::now();
    if (next < now) {
      // Behind by whole intervals: those ticks are gone; the next one is the next due on the grid.
      const auto behind = (now - next) / interval + 1;
      counts_.late += long(behind);
      next += behind * interval;
    }
  }
}

}  // namespace vistrel::x11
