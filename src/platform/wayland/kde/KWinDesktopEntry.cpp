#include "platform/wayland/kde/KWinDesktopEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>
#include <qlogging.h>

#include <optional>

namespace vistrel::wayland::kde {

namespace {

// Reads the [Desktop Entry] group's keys that matter here.
struct Entry {
  QString exec;
  QStringList restricted;
  QStringList waylandInterfaces;
};

Entry readEntry(const QString& path) {
  Entry entry;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return entry;
  QTextStream in(&file);
  bool inGroup = false;
  while (!in.atEnd()) {
    const QString line = in.readLine().trimmed();
    if (line.startsWith(QLatin1Char('['))) {
      inGroup = line == QLatin1String("[Desktop Entry]");
      continue;
    }
    if (!inGroup) continue;
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals < 0) continue;
    const QString key = line.left(equals).trimmed();
    const QString value = line.mid(equals + 1).trimmed();
    if (key == QLatin1String("Exec")) entry.exec = value;
    if (key == QLatin1String("X-KDE-DBUS-Restricted-Interfaces")) {
      entry.restricted = value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    }
    if (key == QLatin1String("X-KDE-Wayland-Interfaces")) {
      entry.waylandInterfaces = value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    }
  }
  return entry;
}

QString canonical(const QString& path) { return QFileInfo(path).canonicalFilePath(); }

// An installed entry that authorises `executable` for ScreenShot2, one that
// grants fake input too where there is one; none when no entry authorises it.
std::optional<Entry> authorisingEntry(const QString& executable) {
  const QString wanted = canonical(executable);
  if (wanted.isEmpty()) return std::nullopt;
  std::optional<Entry> found;
  const QStringList folders = QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
  for (const QString& folder : folders) {
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("*.desktop")}, QDir::Files)) {
      const Entry entry = readEntry(dir.filePath(name));
      if (!entry.restricted.contains(QLatin1String(kScreenShotInterface))) continue;
      const QStringList command = QProcess::splitCommand(entry.exec);
      // KWin compares the canonical path of Exec's program with the caller's.
      if (command.isEmpty() || !QDir::isAbsolutePath(command.first()) || canonical(command.first()) != wanted) continue;
      if (entry.waylandInterfaces.contains(QLatin1String(kFakeInputInterface))) return entry;
      if (!found) found = entry;
    }
  }
  return found;
}

}  // namespace

bool desktopEntryAuthorises(const QString& executable) { return authorisingEntry(executable).has_value(); }

QString installDesktopEntry(const QString& executable) {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
  if (folder.isEmpty() || !QDir().mkpath(folder)) return {};
  const QString path = QDir(folder).filePath(QStringLiteral("vistrel.desktop"));
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return {};
  QString exec = canonical(executable);
  if (exec.contains(QLatin1Char(' '))) exec = QLatin1Char('"') + exec + QLatin1Char('"');
  const QString text = QStringLiteral(
                           "[Desktop Entry]\n"
                           "Type=Application\n"
                           "Name=Vistrel\n"
                           "Comment=Snap windows into place and capture the screen from the tray\n"
                           "Exec=%1\n"
                           "Icon=vistrel\n"
                           "Terminal=false\n"
                           "Categories=Utility;Graphics;\n"
                           "X-KDE-DBUS-Restricted-Interfaces=%2\n"
                           "X-KDE-Wayland-Interfaces=%3\n")
                           .arg(exec, QLatin1String(kScreenShotInterface), QLatin1String(kFakeInputInterface));
  file.write(text.toUtf8());
  if (!file.commit()) return {};
  // KWin finds desktop files through KDE's service cache, which sees a new
  // entry (in a folder that may have been made just now) once it is rebuilt.
  QProcess::startDetached(QStringLiteral("kbuildsycoca5"), {});
  return path;
}

QString authorisationHelp(const QString& executable) {
  return QStringLiteral(
             "KWin takes screenshots only for programs that an installed desktop file names. To authorise "
             "this copy, create ~/.local/share/applications/vistrel-dev.desktop containing the lines "
             "\"[Desktop Entry]\", \"Type=Application\", \"Name=Vistrel (development)\", \"Exec=%1\" and "
             "\"X-KDE-DBUS-Restricted-Interfaces=%2\", then capture again.")
      .arg(canonical(executable), QLatin1String(kScreenShotInterface));
}

bool authoriseScreenshots(const QString& executable, bool install) {
  // An entry an older copy wrote grants no fake input: a copy that installs its own rewrites it.
  const auto entry = authorisingEntry(executable);
  if (entry && (!install || entry->waylandInterfaces.contains(QLatin1String(kFakeInputInterface)))) return true;
  if (install) {
    const QString path = installDesktopEntry(executable);
    if (!path.isEmpty()) {
      qInfo("vistrel kde: installed %s so that KWin answers screenshots", qPrintable(path));
      return true;
    }
    qWarning("vistrel kde: could not write a desktop file under %s",
             qPrintable(QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation)));
  }
  qWarning("vistrel kde: %s", qPrintable(authorisationHelp(executable)));
  return false;
}

}  // namespace vistrel::wayland::kde
