#include "update/UpdateInstallPanel.h"

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

#include "update/FloatingPanel.h"

namespace vistrel {

InstallPanelModel::InstallPanelModel(Kind kind, std::string version, std::string phase)
    : kind_(kind), version_(std::move(version)), phase_(std::move(phase)) {}

std::string InstallPanelModel::headline() const {
  return (kind_ == Kind::required ? "Updating to Vistrel " : "Installing Vistrel ") + version_;
}

void InstallPanelModel::setPhase(std::string phase) {
  phase_ = std::move(phase);
  emit changed();
}

void InstallPanelModel::setProgress(std::optional<double> fraction) {
  progress_ = fraction ? std::optional(std::clamp(*fraction, 0.0, 1.0)) : std::nullopt;
  emit changed();
}

namespace UpdateInstallPanel {

namespace {

// Steps of the determinate bar.
constexpr int kBarSteps = 1000;
const QColor kRequiredColor = QColor::fromRgbF(0.95, 0.55, 0.12);
const QColor kOptionalColor = QColor::fromRgbF(0.12, 0.52, 0.98);

// The panel owns its model, so the two come and go together.
class InstallPanelWidget : public FloatingPanel {
 public:
  explicit InstallPanelWidget(std::unique_ptr<InstallPanelModel> model)
      : FloatingPanel(kWidth), model_(std::move(model)) {
    const bool required = model_->kind() == Kind::required;
    setWindowTitle(QString::fromStdString(model_->headline()));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 22, 24, 22);
    layout->setSpacing(8);
    layout->addWidget(label(required ? QStringLiteral("Required update") : QStringLiteral("Optional update"), 11,
                            QFont::DemiBold, required ? kRequiredColor : kOptionalColor));
    layout->addWidget(label(QString::fromStdString(model_->headline()), 16, QFont::DemiBold, textColor()));
    layout->addWidget(label(required ? QStringLiteral("Your version is below the minimum. Vistrel will restart "
                                                      "automatically.")
                                     : QStringLiteral("You chose to install. Vistrel will restart when finished."),
                            12, QFont::Normal, secondaryTextColor()));
    phase_ = label(QString(), 12, QFont::Normal, textColor());
    layout->addWidget(phase_);
    bar_ = new QProgressBar;
    bar_->setObjectName(QStringLiteral("installProgress"));
    bar_->setTextVisible(false);
    bar_->setFixedHeight(8);
    layout->addWidget(bar_);
    QObject::connect(model_.get(), &InstallPanelModel::changed, this, [this] { refresh(); });
    refresh();
  }

  InstallPanelModel& model() { return *model_; }

 private:
  void refresh() {
    phase_->setText(QString::fromStdString(model_->phase()));
    if (const auto progress = model_->progress()) {
      bar_->setRange(0, kBarSteps);
      bar_->setValue(int(*progress * kBarSteps + 0.5));
    } else {
      bar_->setRange(0, 0);
    }
  }

  std::unique_ptr<InstallPanelModel> model_;
  QLabel* phase_ = nullptr;
  QProgressBar* bar_ = nullptr;
};

// The open panel. One still open when the program ends is left to the process's end.
QPointer<InstallPanelWidget>& openPanel() {
  static QPointer<InstallPanelWidget> panel;
  return panel;
}

}  // namespace

void present(Kind kind, const std::string& version, const std::string& phase) {
  dismiss();
  auto* panel = new InstallPanelWidget(std::make_unique<InstallPanelModel>(kind, version, phase));
  openPanel() = panel;
  panel->present();
}

void setProgress(std::optional<double> fraction) {
  if (auto* m = model()) m->setProgress(fraction);
}

void dismiss() {
  if (InstallPanelWidget* panel = openPanel()) {
    openPanel() = nullptr;
    panel->hide();
    delete panel;
  }
}

void raise() {
  if (InstallPanelWidget* panel = openPanel()) {
    panel->raise();
    panel->activateWindow();
  }
}

InstallPanelModel* model() {
  InstallPanelWidget* panel = openPanel();
  return panel ? &panel->model() : nullptr;
}

}  // namespace UpdateInstallPanel

}  // namespace vistrel
