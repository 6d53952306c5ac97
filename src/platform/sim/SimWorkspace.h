#pragma once
// Running programs of the simulated desktop. The program under test is one of
// them (ownPID), so a test can put its own menu in front; it is listed without
// a bundle path until a test gives it one.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Workspace.h"

namespace vistrel::sim {

class SimWorkspace : public platform::Workspace {
 public:
  static constexpr std::int32_t kOwnPID = 4242;

  SimWorkspace();

  std::optional<platform::RunningApplication> frontmostApplication() const override;
  std::optional<platform::RunningApplication> menuBarOwningApplication() const override;
  std::optional<platform::RunningApplication> runningApplication(std::int32_t pid) const override;
  // In the order the programs were added.
  std::vector<platform::RunningApplication> runningApplications() const override;
  std::int32_t currentProcessID() const override { return ownPID; }
  // Records the link; true when its scheme is one of handledSchemes.
  bool openURL(const std::string& url) override;
  // Records the paths.
  void activateFileViewerSelecting(const std::vector<std::string>& paths) override { revealed.push_back(paths); }
  // Record the path and answer with the scripted failure, if any.
  std::optional<std::string> openNewInstance(const std::string& bundlePath) override;
  std::optional<std::string> spawnNewInstance(const std::string& bundlePath) override;

  // Test controls.
  // Adding a pid that runs already replaces its description and keeps its place.
  void addApplication(std::int32_t pid, std::string name, std::optional<std::string> bundleId = std::nullopt,
                      std::optional<std::string> bundlePath = std::nullopt);
  // The program quits: it is no longer running, front or menu owner.
  void removeApplication(std::int32_t pid);
  bool isRunning(std::int32_t pid) const { return apps_.count(pid) != 0; }
  void setFrontmost(std::optional<std::int32_t> pid) { frontmost_ = pid; }
  // Until set, the menus belong to the frontmost program.
  void setMenuBarOwner(std::optional<std::int32_t> pid) { menuBarOwner_ = pid; menuBarOwnerSet_ = true; }

  std::int32_t ownPID = kOwnPID;
  // Like a Linux desktop: web and file links open, a system settings pane does not.
  std::set<std::string> handledSchemes{"http", "https", "file"};
  std::vector<std::string> openedURLs;  // every link asked for, in order
  std::vector<std::vector<std::string>> revealed;  // every reveal asked for, in order
  std::vector<std::string> newInstanceOpens;
  std::vector<std::string> newInstanceSpawns;
  std::optional<std::string> openNewInstanceFailure;
  std::optional<std::string> spawnNewInstanceFailure;

 private:
  std::optional<platform::RunningApplication> lookup(std::optional<std::int32_t> pid) const;

  std::map<std::int32_t, platform::RunningApplication> apps_;
  std::vector<std::int32_t> order_;  // pids in the order they were added
  std::optional<std::int32_t> frontmost_;
  std::optional<std::int32_t> menuBarOwner_;
  bool menuBarOwnerSet_ = false;
};

}  // namespace vistrel::sim
