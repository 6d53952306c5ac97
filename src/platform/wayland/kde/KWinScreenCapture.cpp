#include "platform/wayland/kde/KWinScreenCapture.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusUnixFileDescriptor>
#include <QFile>
#include <QPainter>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "platform/linux/ProcessName.h"
#include "platform/wayland/LayoutSpace.h"
#include "platform/wayland/WaylandScreenCapture.h"
#include "platform/wayland/kde/KWinDesktopEntry.h"

namespace vistrel::wayland::kde {

namespace {

// KWin takes 35-80 ms for a 1080p screen; lists come at once.
constexpr double kReadSeconds = 1.0;
constexpr double kImageSeconds = 3.0;

// A pipe whose ends close with the object.
struct Pipe {
  int read = -1;
  int write = -1;
  Pipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) == 0) {
      read = fds[0];
      write = fds[1];
    }
  }
  ~Pipe() {
    if (read >= 0) ::close(read);
    closeWrite();
  }
  void closeWrite() {
    if (write >= 0) ::close(write);
    write = -1;
  }
};

// Everything until end of file, or none when the deadline passes first.
std::optional<QByteArray> readAll(int fd, qsizetype expected, Deadline deadline) {
  QByteArray data;
  data.reserve(expected);
  char chunk[1 << 16];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, millisecondsLeft(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return std::nullopt;
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) return data;
    data.append(chunk, n);
  }
}

bool offered(const KWinWindow& window) {
  return window.type != "other" && !window.minimized && window.onCurrentDesktop;
}

}  // namespace

platform::CaptureResult<QImage> screenShot2(const QString& method, const QVariantList& arguments,
                                            const QVariantMap& options, double seconds) {
  const Deadline deadline = deadlineAfter(seconds);
  Pipe pipe;
  if (pipe.read < 0) return platform::CaptureFault{"No pipe for the screenshot could be made."};
  QDBusMessage message = QDBusMessage::createMethodCall(
      QStringLiteral("org.kde.KWin"), QStringLiteral("/org/kde/KWin/ScreenShot2"),
      QString::fromLatin1(kScreenShotInterface), method);
  QVariantList all = arguments;
  all << options << QVariant::fromValue(QDBusUnixFileDescriptor(pipe.write));
  message.setArguments(all);
  // Sent (the bus holds its own copy of the write end), then our end closes so that KWin's closing ends the data.
  QDBusPendingCall pending = QDBusConnection::sessionBus().asyncCall(message, millisecondsLeft(deadline));
  message.setArguments({});
  all.clear();
  pipe.closeWrite();
  pending.waitForFinished();
  const QDBusMessage reply = pending.reply();
  if (reply.type() != QDBusMessage::ReplyMessage) {
    const QString error = reply.errorName();
    if (error.endsWith(QLatin1String(".NoAuthorized"))) {
      const QString executable = QCoreApplication::applicationFilePath();
      qWarning("vistrel kde: KWin refused a screenshot to %s: %s", qPrintable(executable),
               qPrintable(reply.errorMessage()));
      return platform::CaptureFault{authorisationHelp(executable).toStdString()};
    }
    return platform::CaptureFault{"KWin did not take the screenshot (" + reply.errorMessage().toStdString() + ")."};
  }
  const QVariantMap results = qdbus_cast<QVariantMap>(reply.arguments().value(0));
  const int width = results.value(QStringLiteral("width")).toInt();
  const int height = results.value(QStringLiteral("height")).toInt();
  const int stride = results.value(QStringLiteral("stride")).toInt();
  const auto format = QImage::Format(results.value(QStringLiteral("format")).toInt());
  if (width <= 0 || height <= 0 || stride < width * 4 || format <= QImage::Format_Invalid ||
      format >= QImage::NImageFormats) {
    return platform::CaptureFault{"KWin's screenshot has no usable size or format."};
  }
  const auto data = readAll(pipe.read, qsizetype(stride) * height, deadline);
  if (!data) return platform::CaptureFault{"KWin did not send the screenshot's pixels in time."};
  if (data->size() < qsizetype(stride) * height) return platform::CaptureFault{"KWin sent a short screenshot."};
  // The image owns a copy: the bytes go with `data`.
  return QImage(reinterpret_cast<const uchar*>(data->constData()), width, height, stride, format).copy();
}

KWinScreenCapture::KWinScreenCapture(WaylandConnection& connection, KWinScripting& kwin)
    : connection_(connection), kwin_(kwin) {}

bool KWinScreenCapture::preflightAccess() const {
  if (authorised_) return true;
  const auto probe = screenShot2(QStringLiteral("CaptureArea"), {0, 0, 1u, 1u}, {}, kReadSeconds);
  authorised_ = std::holds_alternative<QImage>(probe);
  return authorised_;
}

platform::CaptureResult<platform::ShareableContent> KWinScreenCapture::shareableContent() {
  const Deadline deadline = deadlineAfter(kReadSeconds);
  Rect primaryArea;
  auto listed = outputDisplays(connection_, deadline, primaryArea);
  auto* displays = std::get_if<platform::ShareableContent>(&listed);
  if (!displays) return listed;
  platform::ShareableContent content = std::move(*displays);
  const ScriptResult read = kwin_.desktop(deadline);
  if (!read.report) return platform::CaptureFault{"KWin did not list its windows (" + read.error + ")."};
  for (const KWinWindow& w : read.report->desktop.windows) {
    if (!offered(w)) continue;
    platform::CaptureWindow window;
    window.windowID = kwin_.number(w.uuid);
    window.bounds = layoutToAccessibility(w.frame, primaryArea);
    window.ownerPID = std::max(w.pid, 0);
    window.ownerName = w.resourceClass.empty() ? desktop::processName(w.pid) : w.resourceClass;
    window.title = w.caption;
    content.windows.push_back(std::move(window));
  }
  return content;
}

platform::CaptureResult<QImage> KWinScreenCapture::captureDisplay(
    std::uint32_t displayID, const platform::CaptureConfiguration& configuration) {
  if (!connection_.sync(deadlineAfter(kReadSeconds))) {
    return platform::CaptureFault{"The compositor did not answer in time."};
  }
  const Output* output = connection_.output(displayID);
  if (!output) return platform::CaptureFault{"The display is not available."};
  const Rect layout = output->layoutRect();
  const Rect wanted = configuration.sourceRect.value_or(Rect(0, 0, layout.w, layout.h));
  const QRect whole(0, 0, int(std::lround(layout.w)), int(std::lround(layout.h)));
  const QRect aligned = QRectF(wanted.minX(), wanted.minY(), wanted.width(), wanted.height()).toAlignedRect();
  const QRect area = aligned & whole;
  if (area.isEmpty()) return platform::CaptureFault{"The area to capture lies outside the display."};

  const QVariantMap options{{QStringLiteral("include-cursor"), configuration.showsCursor},
                            {QStringLiteral("native-resolution"), true}};
  auto result = screenShot2(QStringLiteral("CaptureArea"),
                            {int(std::lround(layout.x)) + area.x(), int(std::lround(layout.y)) + area.y(),
                             uint(area.width()), uint(area.height())},
                            options, kImageSeconds);
  auto* image = std::get_if<QImage>(&result);
  if (!image) return result;
  QImage pixels = image->convertToFormat(QImage::Format_RGB32);
  if (area != aligned) {
    // What lies off the display is black, as on a screen.
    const double scale = double(pixels.width()) / area.width();
    QImage framed(QSize(int(std::lround(aligned.width() * scale)), int(std::lround(aligned.height() * scale))),
                  QImage::Format_RGB32);
    framed.fill(Qt::black);
    QPainter(&framed).drawImage(QPointF(area.topLeft() - aligned.topLeft()) * scale, pixels);
    pixels = framed;
  }
  const QSize size(configuration.width, configuration.height);
  if (!size.isEmpty() && size != pixels.size()) {
    return pixels.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  return pixels;
}

platform::CaptureResult<QImage> KWinScreenCapture::captureWindow(std::uint32_t windowID,
                                                                 const platform::CaptureConfiguration&) {
  const auto uuid = kwin_.uuid(windowID);
  if (!uuid) return platform::CaptureFault{"The window is no longer on screen."};
  const QVariantMap options{{QStringLiteral("include-decoration"), true},
                            {QStringLiteral("include-cursor"), false},
                            {QStringLiteral("native-resolution"), true}};
  auto result = screenShot2(QStringLiteral("CaptureWindow"), {QString::fromStdString(*uuid)}, options, kImageSeconds);
  if (auto* image = std::get_if<QImage>(&result)) {
    if (image->format() != QImage::Format_ARGB32_Premultiplied && image->hasAlphaChannel()) {
      return image->convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
  }
  return result;
}

}  // namespace vistrel::wayland::kde
