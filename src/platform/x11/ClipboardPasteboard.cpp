#include "platform/x11/ClipboardPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace vistrel::x11 {

void ClipboardPasteboard::clear() { QGuiApplication::clipboard()->clear(QClipboard::Clipboard); }

void ClipboardPasteboard::setString(const std::string& text) {
  QGuiApplication::clipboard()->setText(QString::fromStdString(text), QClipboard::Clipboard);
}

std::optional<std::string> ClipboardPasteboard::string() const {
  const QMimeData* contents = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
  if (!contents || !contents->hasText()) return std::nullopt;
  return contents->text().toStdString();
}

}  // namespace vistrel::x11
