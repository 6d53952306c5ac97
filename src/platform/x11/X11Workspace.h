#pragma once
// Running programs as processes: the frontmost one owns the active window.
// Names come from the program's windows (WM_CLASS) or from /proc.
// The list of running applications holds the copies of Vistrel only, from
// their instance records (InstanceRecords.h): X11 knows no bundle identity
// for other programs, and the only user of the list looks for copies of itself.

#include <xcb/xcb.h>

#include <QObject>

#include <optional>
#include <string>
#include <vector>

#include "platform/Workspace.h"
#include "platform/x11/Connection.h"

namespace vistrel::x11 {

class X11Workspace : public platform::Workspace {
 public:
  explicit X11Workspace(Connection& connection);

  std::optional<platform::RunningApplication> frontmostApplication() const override;
  // Menus belong to windows on X11: the frontmost program.
  std::optional<platform::RunningApplication> menuBarOwningApplication() const override;
  std::optional<platform::RunningApplication> runningApplication(std::int32_t pid) const override;
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

 private:
  // `window`, when known, is one of the program's windows.
  std::optional<platform::RunningApplication> describe(std::int32_t pid, std::optional<xcb_window_t> window,
                                                       Deadline deadline) const;

  Connection& connection_;
  QObject context_;  // owns the file manager's replies still awaited
};

}  // namespace vistrel::x11
