#pragma once
// The general clipboard.

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
};

}  // namespace vistrel::platform
