#pragma once
// How the window engine shows an alert: a standard modal alert with the title
// as message, the text as informative text and the one default button. It
// returns when the user has dismissed it. Tests answer it themselves.

#include <string>

namespace vistrel {

struct Alert {
  std::string title;
  std::string text;
};

class AlertPresenter {
 public:
  virtual ~AlertPresenter() = default;
  virtual void runModal(const Alert& alert) = 0;
};

}  // namespace vistrel
