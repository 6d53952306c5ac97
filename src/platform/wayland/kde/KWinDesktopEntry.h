#pragma once
// KWin answers org.kde.KWin.ScreenShot2 only to programs that an installed
// desktop file names: one in an applications folder (XDG data folders) whose
// Exec names the caller's executable by its absolute path and whose
// X-KDE-DBUS-Restricted-Interfaces lists the interface. KWin offers its fake
// input (the wheel for scrolling capture) likewise, to programs whose entry
// has X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input when they connect.
// The Debian package installs /usr/share/applications/vistrel.desktop so; a
// copy unpacked from the archive writes its own into
// $XDG_DATA_HOME/applications on first use (fake input from its next start
// on); a copy run from a build folder only explains how to authorise it.

#include <QString>

namespace vistrel::wayland::kde {

inline constexpr const char* kScreenShotInterface = "org.kde.KWin.ScreenShot2";
inline constexpr const char* kFakeInputInterface = "org_kde_kwin_fake_input";

// Whether an installed desktop file authorises `executable` for ScreenShot2.
bool desktopEntryAuthorises(const QString& executable);

// Writes $XDG_DATA_HOME/applications/vistrel.desktop for `executable`
// (atomically); its path, or empty when it could not be written.
QString installDesktopEntry(const QString& executable);

// What a user does to let KWin answer this copy, in words.
QString authorisationHelp(const QString& executable);

// Makes sure KWin will answer `executable`: nothing when a desktop file
// already authorises it (with `install` set, for fake input too), else the
// entry is installed when `install` is set and the help is logged otherwise.
// Whether it is authorised for screenshots afterwards.
bool authoriseScreenshots(const QString& executable, bool install);

}  // namespace vistrel::wayland::kde
