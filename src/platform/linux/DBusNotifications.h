#pragma once
// Notifications through the desktop's notification service
// (org.freedesktop.Notifications) on the session bus. Every call is
// asynchronous; with no bus or no service, requests are dropped quietly.

#include <QObject>
#include <QString>

#include <string>

#include "platform/Notifications.h"

namespace vistrel::desktop {

class DBusNotifications : public platform::Notifications {
 public:
  // `busAddress` is the session bus to use ($DBUS_SESSION_BUS_ADDRESS); empty
  // means there is none. No bus is ever started on demand. Main thread only.
  explicit DBusNotifications(const std::string& busAddress);
  ~DBusNotifications() override;

  // Whether a bus was reached; the service itself may still be missing.
  bool hasBus() const { return connected_; }

  // The service answering GetServerInformation grants; anything else refuses.
  // `completion` runs once, later, on the main thread (never if this object
  // is destroyed first).
  void requestAuthorization(platform::NotificationOptions options, std::function<void(bool)> completion) override;
  // While one of our windows is active, the delegate decides whether a notice
  // shows and with which sound; otherwise every notice goes to the service.
  void add(const platform::NotificationRequest& request) override;
  void setDelegate(platform::NotificationDelegate* delegate) override { delegate_ = delegate; }

 private:
  void noteUnreachable(const QString& reason);

  QString connectionName_;
  bool connected_ = false;
  bool reportedUnreachable_ = false;
  platform::NotificationDelegate* delegate_ = nullptr;
  QObject context_;  // owns the replies still awaited
};

}  // namespace vistrel::desktop
