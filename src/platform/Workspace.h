#pragma once
// Running programs as the user sees them.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vistrel::platform {

struct RunningApplication {
  std::int32_t pid = 0;
  std::optional<std::string> bundleIdentifier;  // none for programs that carry no identity
  std::string localizedName;
  std::string executablePath;  // empty when unknown
  // The file the program was started from, as that program names it; none when unknown.
  std::optional<std::string> bundlePath;
  friend bool operator==(const RunningApplication&, const RunningApplication&) = default;
};

class Workspace {
 public:
  virtual ~Workspace() = default;
  // The program whose window is active.
  virtual std::optional<RunningApplication> frontmostApplication() const = 0;
  // The program that owns the menus on screen; where menus belong to windows,
  // the same as the frontmost one.
  virtual std::optional<RunningApplication> menuBarOwningApplication() const = 0;
  virtual std::optional<RunningApplication> runningApplication(std::int32_t pid) const = 0;
  // Every running application the backend can name with its bundle identifier,
  // pid and bundle path, in a stable order (the order they started in where known).
  virtual std::vector<RunningApplication> runningApplications() const = 0;
  virtual std::int32_t currentProcessID() const = 0;

  // Hands `url` to the program the desktop opens such links with. False when
  // no program takes links of its scheme or none could be started.
  virtual bool openURL(const std::string& url) = 0;
  // Shows the files (absolute paths) selected in the file manager; where no
  // file manager answers, their folder is opened instead. Returns at once.
  virtual void activateFileViewerSelecting(const std::vector<std::string>& paths) = 0;

  // Starts another copy of the program at `bundlePath` although this one
  // runs (it must not hand over to us), detached from this process. None once
  // it started, else why it could not.
  virtual std::optional<std::string> openNewInstance(const std::string& bundlePath) = 0;
  // The same by a second, plainer route, for when the first one is refused.
  virtual std::optional<std::string> spawnNewInstance(const std::string& bundlePath) = 0;
};

}  // namespace vistrel::platform
