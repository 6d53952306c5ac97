#include "app/TrayPresenter.h"

#include <string>

#include "app/BuildIdentity.h"
#include "recording/RecordingEngine.h"
#include "update/AppUpdate.h"
#include "update/BrandIcon.h"

namespace vistrel {

TrayPresenter& TrayPresenter::shared() {
  static TrayPresenter presenter;
  return presenter;
}

void TrayPresenter::applyIcon() {
  if (!statusItem || !statusItem->hasButton()) return;
  if (RecordingEngine::shared().isRecording()) {
    statusItem->setImage(BrandIcon::menuBarRecordingImage(), false);
    statusItem->setToolTip("Vistrel \u2014 recording (click to stop, right-click for menu)");
    return;
  }
  using Kind = AppUpdate::Presentation::Kind;
  const auto& presentation = AppUpdate::shared().presentation;
  const bool local = BuildIdentity::isLocalDevelopment();
  statusItem->setImage(BrandIcon::menuBarImage(AppUpdate::badge(presentation), local), true);
  const std::string& v = presentation.version;
  switch (presentation.kind) {
    case Kind::optionalOffer:
      statusItem->setToolTip("Vistrel " + v + " is available \u2014 your choice to install");
      return;
    case Kind::optionalInstalling: statusItem->setToolTip("Vistrel is installing " + v); return;
    case Kind::requiredInstalling: statusItem->setToolTip("Vistrel is applying required update " + v); return;
    case Kind::idle: statusItem->setToolTip(local ? "Vistrel \u2014 local build" : "Vistrel"); return;
  }
}

}  // namespace vistrel
