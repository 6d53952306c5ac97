#pragma once
// The text-window program of the layout self-test, scripted: whether it
// launches, what error text its scripting reports, the document window it
// opens (with size rules), and what the test did to it afterwards.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/ReviewApp.h"
#include "platform/sim/SimAccessibility.h"
#include "platform/sim/SimWorkspace.h"

namespace vistrel::sim {

class SimReviewApp : public platform::ReviewApp {
 public:
  SimReviewApp(SimWorkspace& workspace, SimAccessibility& accessibility)
      : workspace_(workspace), accessibility_(accessibility) {}

  std::optional<std::int32_t> runningProcess() const override;
  Task<std::optional<std::string>> openDocument() override;
  std::optional<std::int32_t> processID() const override { return runningProcess(); }
  void closeDocument() override;
  void terminate() override;

  // Script.
  std::int32_t pid = 7100;
  std::string name = "Text Window";
  bool launches = true;                  // false: opening fails and the program never runs
  std::optional<std::string> errorText;  // what opening a document reports, also when it works
  Rect documentFrame{220, 140, 640, 480};  // accessibility space
  SizeRules documentRules;

  // Test controls and observations.
  // The program runs before the test, with no document open.
  void startRunning();
  std::optional<platform::AXElement> document;
  int documentsOpened = 0;
  bool documentClosed = false;
  bool terminated = false;

 private:
  SimWorkspace& workspace_;
  SimAccessibility& accessibility_;
};

}  // namespace vistrel::sim
