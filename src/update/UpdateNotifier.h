#pragma once
// Tells the user once that the program was updated: the version being
// installed is noted just before the relaunch, and the next start posts
// "Update complete" for it (or for any start on a newer version than the last
// one that ran). Also the notification delegate the launch installs. Main
// thread only.

#include <string>

#include "platform/Notifications.h"

namespace vistrel::UpdateNotifier {

inline constexpr const char* kPendingSuccessVersionKey = "vistrel.pendingUpdateSuccessVersion";
inline constexpr const char* kLastRunVersionKey = "vistrel.lastRunVersion";

// Stores `version` as the one being installed; an empty version is ignored.
void markPendingSuccess(const std::string& version);
// Posts the notice when this start follows an update; then notes this version as the last that ran.
void deliverSuccessIfNeeded();

// Notices show while the program is in front, with banner and sound.
class Delegate : public platform::NotificationDelegate {
 public:
  static Delegate& shared();
  platform::NotificationOptions willPresent(const platform::NotificationRequest& request) override;
};

}  // namespace vistrel::UpdateNotifier
