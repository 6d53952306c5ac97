#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>

#include "update/UpdateInstallPanel.h"

namespace vistrel {
namespace {

QProgressBar* openBar() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (!w->isVisible()) continue;
    if (auto* bar = w->findChild<QProgressBar*>(QStringLiteral("installProgress"))) return bar;
  }
  return nullptr;
}

bool showsText(const QString& text) {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (!w->isVisible()) continue;
    for (const QLabel* label : w->findChildren<QLabel*>()) {
      if (label->text() == text) return true;
    }
  }
  return false;
}

// A required panel starts indeterminate with its texts; progress is clamped to the bar's ends.
TEST(UpdateInstallPanelTest, RequiredPanelProgress) {
  UpdateInstallPanel::present(UpdateInstallPanel::Kind::required, "1.5.0", "Preparing download\u2026");
  ASSERT_NE(UpdateInstallPanel::model(), nullptr);
  EXPECT_EQ(UpdateInstallPanel::model()->headline(), "Updating to Vistrel 1.5.0");
  EXPECT_TRUE(showsText(QStringLiteral("Required update")));
  EXPECT_TRUE(showsText(QStringLiteral("Your version is below the minimum. Vistrel will restart automatically.")));
  EXPECT_TRUE(showsText(QStringLiteral("Preparing download\u2026")));
  QProgressBar* bar = openBar();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->maximum(), 0);

  UpdateInstallPanel::setProgress(1.7);
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_GT(bar->maximum(), 0);
  UpdateInstallPanel::setProgress(-0.2);
  EXPECT_EQ(bar->value(), 0);
  UpdateInstallPanel::setProgress(0.425);
  EXPECT_EQ(UpdateInstallPanel::model()->progress(), 0.425);
  EXPECT_EQ(bar->value() * 1000 / bar->maximum(), 425);
  UpdateInstallPanel::setProgress(std::nullopt);
  EXPECT_EQ(bar->maximum(), 0);

  UpdateInstallPanel::model()->setPhase("Installing update\u2026");
  EXPECT_TRUE(showsText(QStringLiteral("Installing update\u2026")));
  UpdateInstallPanel::dismiss();
  EXPECT_EQ(UpdateInstallPanel::model(), nullptr);
  EXPECT_EQ(openBar(), nullptr);
}

// A new panel replaces the open one; without a panel, progress and dismiss do nothing.
TEST(UpdateInstallPanelTest, OnePanelAtATime) {
  UpdateInstallPanel::setProgress(0.5);
  UpdateInstallPanel::dismiss();
  UpdateInstallPanel::present(UpdateInstallPanel::Kind::required, "1.5.0", "Preparing download\u2026");
  UpdateInstallPanel::present(UpdateInstallPanel::Kind::optional, "1.6.0", "Downloading update\u2026");
  EXPECT_EQ(UpdateInstallPanel::model()->headline(), "Installing Vistrel 1.6.0");
  EXPECT_TRUE(showsText(QStringLiteral("Optional update")));
  EXPECT_TRUE(showsText(QStringLiteral("You chose to install. Vistrel will restart when finished.")));
  EXPECT_FALSE(showsText(QStringLiteral("Required update")));
  UpdateInstallPanel::dismiss();
  EXPECT_EQ(UpdateInstallPanel::model(), nullptr);
}

}  // namespace
}  // namespace vistrel
