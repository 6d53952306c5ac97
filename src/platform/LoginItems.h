#pragma once
// Starting the program when the user logs in.

#include <optional>
#include <string>

namespace vistrel::platform {

enum class LoginItemStatus { notRegistered, enabled, requiresApproval, notFound };

class LoginItems {
 public:
  virtual ~LoginItems() = default;
  virtual LoginItemStatus status() const = 0;
  // Each returns the error's description on failure, nothing on success.
  virtual std::optional<std::string> registerItem() = 0;
  virtual std::optional<std::string> unregisterItem() = 0;
};

}  // namespace vistrel::platform
