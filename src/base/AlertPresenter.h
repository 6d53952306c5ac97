#pragma once
// How the product shows an alert: a standard modal alert with the title as
// message, the text as informative text and its buttons, the first one the
// default. It returns when the user has dismissed it. Tests answer it themselves.

#include <string>
#include <vector>

namespace vistrel {

struct Alert {
  std::string title;
  std::string text;
  // Button titles, the default first; none means one "OK".
  std::vector<std::string> buttons = {};
};

class AlertPresenter {
 public:
  virtual ~AlertPresenter() = default;
  // The index of the button chosen, or -1 when the alert ended without one
  // (the program quitting under it).
  virtual int runModal(const Alert& alert) = 0;
};

}  // namespace vistrel
