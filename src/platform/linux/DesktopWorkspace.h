#pragma once
// What running programs mean on every Linux desktop, whatever shows their
// windows: this process, the copies of Vistrel (from their instance records,
// InstanceRecords.h: a desktop knows no bundle identity for other programs,
// and the only user of the list looks for copies of itself), links and files
// handed to the desktop's own programs, and new copies of ourselves. A
// backend adds which program is in front.

#include <QObject>

#include <optional>
#include <string>
#include <vector>

#include "platform/Workspace.h"

namespace vistrel::desktop {

class DesktopWorkspace : public platform::Workspace {
 public:
  // The live instance records, oldest first; empty when the instance folder cannot be used.
  std::vector<platform::RunningApplication> runningApplications() const override;
  std::int32_t currentProcessID() const override;
  // Through xdg-open, after xdg-mime names a program for the link's scheme:
  // xdg-open itself would hand an unknown scheme to a web browser.
  bool openURL(const std::string& url) override;
  // org.freedesktop.FileManager1.ShowItems on the session bus; with no bus,
  // or no file manager answering, xdg-open of the first file's folder.
  void activateFileViewerSelecting(const std::vector<std::string>& paths) override;
  // The program with "--new-instance", started detached by Qt.
  std::optional<std::string> openNewInstance(const std::string& bundlePath) override;
  // The program with "--new-instance" by posix_spawn in a session of its own,
  // with none of our descriptors; it is reaped by init once we have quit.
  std::optional<std::string> spawnNewInstance(const std::string& bundlePath) override;

 protected:
  // What /proc says of a process: its command name and executable file
  // (empty when it cannot be read).
  static std::string commandName(std::int32_t pid);
  static std::string executablePath(std::int32_t pid);

 private:
  QObject context_;  // owns the file manager's replies still awaited
};

}  // namespace vistrel::desktop
