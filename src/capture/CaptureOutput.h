#pragma once
// The output stage every still capture passes through: reduction by the
// chosen quality, the clipboard, the file name and format, encoding, and the
// folder screenshots and recordings go to. Main thread; encoding and writing
// block the caller for their duration.

#include <QByteArray>
#include <QImage>

#include <optional>
#include <string>

namespace vistrel::CaptureOutput {

// The stored folder when it exists and is a folder, else defaultDirectory().
std::string saveDirectory();
// Pictures/Vistrel in the user's Pictures folder (the XDG user folder, else
// ~/Pictures), made on the way; returned even when it could not be made.
std::string defaultDirectory();
// Makes the folder (an error is ignored) and stores its path.
void setSaveDirectory(const std::string& path);

// The image reduced by the current quality: for best the same image; else
// each side times the quality's fraction, rounded half away from zero, at
// least 1, smoothly scaled, always with alpha (premultiplied ARGB). When the
// reduction cannot be made, the source unchanged.
QImage applyingQuality(const QImage& image);

// Clears the clipboard and offers the image on it; nothing is encoded until
// a program asks for a type.
void copyToClipboard(const QImage& image);

std::optional<QByteArray> pngData(const QImage& image);
// `quality` 0…1. An image with alpha is composited on white (JPEG has no alpha).
std::optional<QByteArray> jpegData(const QImage& image, double quality);

// Encodes by the path's extension in any case ("jpg"/"jpeg": JPEG at the
// current quality's JPEG quality; anything else PNG) and replaces the file
// atomically: a complete file or none, never a partial one or a leftover
// temporary. Throws CaptureException(encodeFailed) when the encoder yields
// nothing, std::filesystem::filesystem_error (with the errno) when the file
// cannot be written.
void write(const QImage& image, const std::string& path);

// The file-name rule, shared by captures and the editor's save.
// "jpg" when the save format is automatic and the image's format carries no
// alpha, else "png".
std::string fileExtension(const QImage& image);
// ISO 8601 in UTC with milliseconds, e.g. "2026-12-06T18:42:10.123Z";
// `now` in seconds since 1970.
std::string timestamp(double now);
// "Vistrel-" + timestamp + "." + extension.
std::string fileName(const QImage& image, double now);
// The path of a new screenshot: fileName at the platform clock's now, in
// saveDirectory().
std::string fileURL(const QImage& image);

}  // namespace vistrel::CaptureOutput
