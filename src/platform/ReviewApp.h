#pragma once
// The ordinary text-window program the layout self-test exercises.

#include <cstdint>
#include <optional>
#include <string>

#include "base/Task.h"

namespace vistrel::platform {

class ReviewApp {
 public:
  virtual ~ReviewApp() = default;
  // The program's process when it already runs, before the test opens anything.
  virtual std::optional<std::int32_t> runningProcess() const = 0;
  // Opens a new document window and brings it to the front, starting the
  // program when needed; finishes once the window is in front, or with an
  // error text when that fails. The wait runs on the main clock.
  virtual Task<std::optional<std::string>> openDocument() = 0;
  // The process that shows the document, once it is running.
  virtual std::optional<std::int32_t> processID() const = 0;
  // Closes the opened document without saving (when the program ran before).
  virtual void closeDocument() = 0;
  // Ends the program (when the test started it).
  virtual void terminate() = 0;
};

}  // namespace vistrel::platform
