#include "base/MessageBoxAlertPresenter.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <QString>

#include <vector>

namespace vistrel {

int MessageBoxAlertPresenter::runModal(const Alert& alert) {
  QMessageBox box;
  box.setIcon(QMessageBox::Warning);
  box.setWindowTitle(QStringLiteral("Vistrel"));
  box.setText(QString::fromStdString(alert.title));
  box.setInformativeText(QString::fromStdString(alert.text));
  std::vector<QAbstractButton*> buttons;
  if (alert.buttons.empty()) buttons.push_back(box.addButton(QMessageBox::Ok));
  // The first button takes the accept role, so the desktop's button order puts
  // it where its default goes; the others keep the given order among themselves.
  for (std::size_t i = 0; i < alert.buttons.size(); ++i) {
    buttons.push_back(box.addButton(QString::fromStdString(alert.buttons[i]),
                                    i == 0 ? QMessageBox::AcceptRole : QMessageBox::ActionRole));
  }
  box.setDefaultButton(qobject_cast<QPushButton*>(buttons.front()));
  box.exec();
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    if (box.clickedButton() == buttons[i]) return int(i);
  }
  return -1;
}

}  // namespace vistrel
