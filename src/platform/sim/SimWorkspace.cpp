#include "platform/sim/SimWorkspace.h"

#include "platform/BundleInfo.h"

namespace vistrel::sim {

SimWorkspace::SimWorkspace() {
  addApplication(kOwnPID, "Vistrel", std::string(platform::kBundleIdentifier));
}

void SimWorkspace::addApplication(std::int32_t pid, std::string name, std::optional<std::string> bundleId,
                                  std::optional<std::string> bundlePath) {
  platform::RunningApplication app;
  app.pid = pid;
  app.bundleIdentifier = std::move(bundleId);
  app.localizedName = std::move(name);
  app.executablePath = "/usr/bin/" + app.localizedName;
  app.bundlePath = std::move(bundlePath);
  if (!apps_.count(pid)) order_.push_back(pid);
  apps_[pid] = std::move(app);
}

void SimWorkspace::removeApplication(std::int32_t pid) {
  apps_.erase(pid);
  std::erase(order_, pid);
  if (frontmost_ == pid) frontmost_.reset();
  if (menuBarOwner_ == pid) menuBarOwner_.reset();
}

std::optional<platform::RunningApplication> SimWorkspace::lookup(std::optional<std::int32_t> pid) const {
  if (!pid) return std::nullopt;
  const auto it = apps_.find(*pid);
  if (it == apps_.end()) return std::nullopt;
  return it->second;
}

std::optional<platform::RunningApplication> SimWorkspace::frontmostApplication() const { return lookup(frontmost_); }

std::optional<platform::RunningApplication> SimWorkspace::menuBarOwningApplication() const {
  return lookup(menuBarOwnerSet_ ? menuBarOwner_ : frontmost_);
}

std::optional<platform::RunningApplication> SimWorkspace::runningApplication(std::int32_t pid) const {
  return lookup(pid);
}

std::vector<platform::RunningApplication> SimWorkspace::runningApplications() const {
  std::vector<platform::RunningApplication> running;
  for (const auto pid : order_) running.push_back(apps_.at(pid));
  return running;
}

bool SimWorkspace::openURL(const std::string& url) {
  openedURLs.push_back(url);
  const auto colon = url.find(':');
  return colon != std::string::npos && handledSchemes.count(url.substr(0, colon)) != 0;
}

std::optional<std::string> SimWorkspace::openNewInstance(const std::string& bundlePath) {
  newInstanceOpens.push_back(bundlePath);
  return openNewInstanceFailure;
}

std::optional<std::string> SimWorkspace::spawnNewInstance(const std::string& bundlePath) {
  newInstanceSpawns.push_back(bundlePath);
  return spawnNewInstanceFailure;
}

}  // namespace vistrel::sim
