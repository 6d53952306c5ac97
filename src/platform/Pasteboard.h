#pragma once
// The general clipboard.

#include <QImage>

#include <optional>
#include <string>

namespace vistrel::platform {

class Pasteboard {
 public:
  virtual ~Pasteboard() = default;
  virtual void clear() = 0;
  virtual void setString(const std::string& text) = 0;
  // The plain text on the clipboard, if any.
  virtual std::optional<std::string> string() const = 0;
  // Offers an image, PNG first and then the other image types the backend
  // can serve. Nothing is encoded until a program asks for a type.
  virtual void setImage(const QImage& image) = 0;
  // The image on the clipboard, if any.
  virtual std::optional<QImage> image() const = 0;
};

}  // namespace vistrel::platform
