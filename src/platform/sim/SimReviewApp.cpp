#include "platform/sim/SimReviewApp.h"

namespace vistrel::sim {

std::optional<std::int32_t> SimReviewApp::runningProcess() const {
  if (!workspace_.isRunning(pid)) return std::nullopt;
  return pid;
}

void SimReviewApp::startRunning() { workspace_.addApplication(pid, name); }

Task<std::optional<std::string>> SimReviewApp::openDocument() {
  if (!launches) co_return errorText ? errorText : std::optional<std::string>("the program could not be started");
  if (!workspace_.isRunning(pid)) startRunning();
  ++documentsOpened;
  const std::string title = documentsOpened == 1 ? "Untitled" : "Untitled " + std::to_string(documentsOpened);
  document = accessibility_.addWindow(pid, title, documentFrame, documentRules);
  accessibility_.setFocusedWindow(*document);
  accessibility_.setMainWindow(*document);
  workspace_.setFrontmost(pid);
  co_return errorText;
}

void SimReviewApp::closeDocument() {
  if (document) accessibility_.closeWindow(*document);
  documentClosed = true;
}

void SimReviewApp::terminate() {
  accessibility_.closeAllWindows(pid);
  workspace_.removeApplication(pid);
  terminated = true;
}

}  // namespace vistrel::sim
