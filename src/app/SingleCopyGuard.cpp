#include "app/SingleCopyGuard.h"

#include <QDir>
#include <QMessageBox>
#include <QString>

#include "base/LayoutLog.h"
#include "platform/Platform.h"

namespace vistrel::SingleCopyGuard {

namespace {

class MessageBoxPresenter : public AlertPresenter {
 public:
  void runModal(const InformationalAlert& alert) override {
    QMessageBox box;
    box.setIcon(QMessageBox::Information);
    box.setWindowTitle(QStringLiteral("Vistrel"));
    box.setText(QString::fromStdString(alert.messageText));
    box.setInformativeText(QString::fromStdString(alert.informativeText));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
  }
};

std::shared_ptr<AlertPresenter>& presenterStorage() {
  static std::shared_ptr<AlertPresenter> presenter;
  return presenter;
}

AlertPresenter& presenter() {
  auto& stored = presenterStorage();
  if (!stored) stored = std::make_shared<MessageBoxPresenter>();
  return *stored;
}

void presentQuitOtherCopy(const std::string& myPath, const std::string& otherPath) {
  presenter().runModal({
      .messageText = "Quit the other Vistrel",
      .informativeText =
          "Vistrel runs one copy per program file \u2014 not per name, and two copies take the same shortcuts."
          "\n\nThis copy:\n" + myPath + "\n\nAlso running:\n" + otherPath +
          "\n\nQuit one copy (tray icon \u2192 Quit). For daily use and updates, keep only the installed copy: the "
          "package's /usr/bin/vistrel, or the one in your installation folder.",
  });
}

}  // namespace

std::string standardizedPath(const std::string& path) {
  return QDir::cleanPath(QString::fromStdString(path)).toStdString();
}

void warnIfNeeded() {
  auto& system = platform::current();
  const std::string myPath = standardizedPath(system.bundle().bundlePath());
  const std::string myID = system.bundle().bundleIdentifier();
  // Without an identifier of its own the program has no copies to find.
  if (myID.empty()) return;
  const auto myPID = system.workspace().currentProcessID();

  for (const auto& candidate : system.workspace().runningApplications()) {
    if (candidate.bundleIdentifier != myID || candidate.pid == myPID || !candidate.bundlePath ||
        candidate.bundlePath->empty()) {
      continue;
    }
    const std::string otherPath = standardizedPath(*candidate.bundlePath);
    if (otherPath == myPath) continue;
    LayoutLog::write("duplicate-vistrel self=" + myPath + " other=" + otherPath +
                     " pid=" + std::to_string(candidate.pid));
    presentQuitOtherCopy(myPath, otherPath);
    return;
  }
}

void setAlertPresenterForTesting(std::shared_ptr<AlertPresenter> presenter) {
  presenterStorage() = std::move(presenter);
}

}  // namespace vistrel::SingleCopyGuard
