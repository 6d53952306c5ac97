#include "layout/MessageBoxAlertPresenter.h"

#include <QMessageBox>
#include <QString>

namespace vistrel {

void MessageBoxAlertPresenter::runModal(const Alert& alert) {
  QMessageBox box;
  box.setIcon(QMessageBox::Warning);
  box.setWindowTitle(QStringLiteral("Vistrel"));
  box.setText(QString::fromStdString(alert.title));
  box.setInformativeText(QString::fromStdString(alert.text));
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

}  // namespace vistrel
