#pragma once
// Warns, once at launch, when another copy of the program runs from a
// different file: permissions and shortcuts belong to one file, so two copies
// fight over them. It never quits either copy.

#include <memory>
#include <string>

namespace vistrel {

namespace SingleCopyGuard {

// An informational alert with one button, "OK", run modally.
struct InformationalAlert {
  std::string messageText;
  std::string informativeText;
  friend bool operator==(const InformationalAlert&, const InformationalAlert&) = default;
};

// Shows the alert and returns once it is dismissed. Tests answer it themselves.
class AlertPresenter {
 public:
  virtual ~AlertPresenter() = default;
  virtual void runModal(const InformationalAlert& alert) = 0;
};

// On the main thread: compares this program's bundle with the running copies
// of the workspace, logs and shows the alert for the first differing one.
void warnIfNeeded();

// `path` with "." and ".." components and duplicate separators removed, as
// text: links are not resolved, letter case is kept.
std::string standardizedPath(const std::string& path);

// Replaces the presenter (a Qt message box); none puts that one back.
void setAlertPresenterForTesting(std::shared_ptr<AlertPresenter> presenter);

}  // namespace SingleCopyGuard

}  // namespace vistrel
