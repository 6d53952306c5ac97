#pragma once
// The non-modal panel an update downloads and installs under: an eyebrow,
// the headline, a message, the phase and a progress bar. At most one panel
// and its model exist at a time, process-wide. Main thread only.

#include <QObject>
#include <memory>
#include <optional>
#include <string>

namespace vistrel {

class InstallPanelModel : public QObject {
  Q_OBJECT

 public:
  enum class Kind { optional, required };

  InstallPanelModel(Kind kind, std::string version, std::string phase);

  Kind kind() const { return kind_; }
  const std::string& version() const { return version_; }
  std::string headline() const;
  const std::string& phase() const { return phase_; }
  // None: indeterminate.
  std::optional<double> progress() const { return progress_; }

  void setPhase(std::string phase);
  // Clamped to 0...1; none makes the bar indeterminate.
  void setProgress(std::optional<double> fraction);

 signals:
  void changed();

 private:
  Kind kind_;
  std::string version_;
  std::string phase_;
  std::optional<double> progress_;
};

namespace UpdateInstallPanel {

using Kind = InstallPanelModel::Kind;
inline constexpr int kWidth = 400;

// Opens the panel (replacing an open one) with no progress yet.
void present(Kind kind, const std::string& version, const std::string& phase);
// Without an open panel, nothing.
void setProgress(std::optional<double> fraction);
void dismiss();
// Brings an open panel to the front; without one, nothing.
void raise();
// The open panel's model, or none; its phase and progress may be set directly.
InstallPanelModel* model();

}  // namespace UpdateInstallPanel

}  // namespace vistrel
