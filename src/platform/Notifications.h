#pragma once
// User notifications (banners). Where no notification service exists a
// request is dropped quietly; the product never depends on one being shown.

#include <functional>
#include <string>

namespace vistrel::platform {

struct NotificationOptions {
  bool alert = false;
  bool sound = false;
  bool badge = false;
};

struct NotificationRequest {
  std::string identifier;
  std::string title;
  std::string body;
  bool sound = false;
};

// Decides how a notice shows while the program is in front (one of its
// windows is active). Without a delegate such notices are not shown.
class NotificationDelegate {
 public:
  virtual ~NotificationDelegate() = default;
  virtual NotificationOptions willPresent(const NotificationRequest& request) = 0;
};

class Notifications {
 public:
  virtual ~Notifications() = default;
  // Not owned; it must outlive the notifications. None removes it.
  virtual void setDelegate(NotificationDelegate* delegate) = 0;
  // Asks to be allowed to notify; `completion` runs on the main thread with
  // the answer (false when no service can be reached).
  virtual void requestAuthorization(NotificationOptions options, std::function<void(bool granted)> completion) = 0;
  virtual void add(const NotificationRequest& request) = 0;
};

}  // namespace vistrel::platform
