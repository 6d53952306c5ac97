#pragma once
// The errors of the capture subsystem. Capture operations throw
// CaptureException for these, CaptureSystemError when the system's capture
// facility refuses (with its own words), and file-system errors unchanged.

#include <stdexcept>
#include <string>

namespace vistrel {

enum class CaptureError {
  noDisplay,      // no display could be found for the capture
  captureFailed,  // the system capture produced no image
  encodeFailed,   // the image could not be encoded for a file
  cancelled,      // the user cancelled a selection
};

class CaptureException : public std::exception {
 public:
  explicit CaptureException(CaptureError error);
  CaptureError error() const { return error_; }
  // The generic wording the system gives errors that carry no text of their own.
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  CaptureError error_;
  std::string description_;
};

class CaptureSystemError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace vistrel
