#pragma once
// Alerts as Qt message boxes, run modally on the main thread.

#include "base/AlertPresenter.h"

namespace vistrel {

class MessageBoxAlertPresenter : public AlertPresenter {
 public:
  int runModal(const Alert& alert) override;
};

}  // namespace vistrel
