#pragma once
// A screen-cast session through the ScreenCast portal
// (org.freedesktop.portal.ScreenCast): CreateSession, SelectSources (one
// monitor, the pointer embedded), Start, OpenPipeWireRemote.
//
// The portal's chooser lets the user pick the monitor; the session asks to
// be remembered (persist mode 2, portal version 4 and later) and keeps the
// restore token the portal returns in the user defaults, so later sessions
// start without the chooser. Each Start answers with the token to use next
// (GNOME 43 gives the same one again), which replaces the stored one.

#include <QDBusConnection>
#include <QString>

#include "platform/UserDefaults.h"
#include "platform/linux/portal/ScreenCastSource.h"

namespace vistrel::portal {

inline constexpr const char* kScreenCastRestoreTokenKey = "vistrel.screenCastRestoreToken";

class PortalScreenCast : public ScreenCastSource {
 public:
  // `defaults` must outlive this object.
  PortalScreenCast(QDBusConnection bus, platform::UserDefaults& defaults);
  ~PortalScreenCast() override;

  // The portal's monitor is the one the user chose (or the restored one);
  // `displayID` is not passed on.
  std::variant<ScreenCastNode, std::string> open(std::uint32_t displayID, bool showsCursor) override;
  void close() override;

 private:
  QDBusConnection bus_;
  platform::UserDefaults& defaults_;
  QString session_;  // the portal's Session object, empty when none is open
};

}  // namespace vistrel::portal
