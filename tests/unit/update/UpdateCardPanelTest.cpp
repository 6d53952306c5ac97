#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <cstdlib>
#include <functional>

#include "update/UpdateCard.h"
#include "update/UpdateCardPanel.h"

namespace vistrel {
namespace {

UpdateCard oneButtonCard() {
  UpdateCard card;
  card.eyebrow = "Updates";
  card.title = "You're on the latest release";
  card.message = "Nothing newer is on the update feed.";
  card.tone = UpdateCard::Tone::upToDate;
  return card;
}

UpdateCard offerCard() {
  UpdateCard card;
  card.eyebrow = "Update available";
  card.title = "Vistrel 1.5.0";
  card.message = "You're in control \u2014 review what's new, then install when it suits you.";
  card.facts = {{"Version", "1.4.0"}, {"Released", "Mar 5, 2026"}, {"Author", "The Vistrel developers"}};
  card.noteItems = {"Pinned captures stay on top", "Faster scrolling capture"};
  card.notes = "Thanks to everyone who reported problems with multi-monitor layouts.";
  card.linkTitle = "View full changelog on GitHub";
  card.linkURL = "https://github.com/vistrel/vistrel/compare/v1.4.0...v1.5.0";
  card.primary = "Install";
  card.secondary = "Not Now";
  card.tone = UpdateCard::Tone::optionalUpdate;
  return card;
}

void press(QWidget& widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent event(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(&widget, &event);
}

// Runs `action` on the first visible card panel once the modal loop is running.
void whenCardShows(std::function<void(UpdateCardPanel&)> action) {
  QTimer::singleShot(0, [action] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* panel = dynamic_cast<UpdateCardPanel*>(w); panel && panel->isVisible()) return action(*panel);
    }
    ADD_FAILURE() << "no card panel is showing";
  });
}

// Receives the addresses the desktop would open.
class UrlCatcher : public QObject {
  Q_OBJECT

 public:
  std::vector<QUrl> opened;

 public slots:
  void open(const QUrl& url) { opened.push_back(url); }
};

// With only a primary button, Return, keypad Enter and Escape all count as the primary action.
TEST(UpdateCardPanelTest, OneButtonKeys) {
  for (const auto& [key, modifiers] :
       {std::pair{Qt::Key_Return, Qt::NoModifier}, std::pair{Qt::Key_Enter, Qt::KeypadModifier},
        std::pair{Qt::Key_Escape, Qt::NoModifier}}) {
    UpdateCardPanel panel(oneButtonCard());
    press(panel, key, modifiers);
    EXPECT_EQ(panel.session().code(), 1) << key;
  }
}

// With two buttons, Return installs and Escape counts as "Not Now"; other keys end nothing.
TEST(UpdateCardPanelTest, TwoButtonKeys) {
  UpdateCardPanel confirm(offerCard());
  press(confirm, Qt::Key_A);
  press(confirm, Qt::Key_Space);
  EXPECT_FALSE(confirm.session().ended());
  press(confirm, Qt::Key_Return);
  EXPECT_EQ(confirm.session().code(), 1);

  UpdateCardPanel cancel(offerCard());
  press(cancel, Qt::Key_Escape);
  EXPECT_EQ(cancel.session().code(), 0);
  press(cancel, Qt::Key_Return);
  EXPECT_EQ(cancel.session().code(), 0);
}

// The first button wins: a second click, or a click of the other button, ends nothing again.
TEST(UpdateCardPanelTest, EndsOnce) {
  UpdateCardPanel panel(offerCard());
  ASSERT_NE(panel.secondaryButton(), nullptr);
  whenCardShows([](UpdateCardPanel& shown) {
    shown.primaryButton()->click();
    shown.primaryButton()->click();
    shown.secondaryButton()->click();
  });
  EXPECT_EQ(panel.runModal(), 1);
  EXPECT_FALSE(panel.isVisible());
  EXPECT_EQ(panel.session().code(), 1);
}

// The link opens its address and leaves the card open; a card without a link has no link button.
TEST(UpdateCardPanelTest, LinkKeepsTheCardOpen) {
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
  UpdateCardPanel panel(offerCard());
  ASSERT_NE(panel.linkButton(), nullptr);
  panel.linkButton()->click();
  QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
  ASSERT_EQ(catcher.opened.size(), 1u);
  EXPECT_EQ(catcher.opened[0], QUrl(QStringLiteral("https://github.com/vistrel/vistrel/compare/v1.4.0...v1.5.0")));
  EXPECT_FALSE(panel.session().ended());
  EXPECT_EQ(UpdateCardPanel(oneButtonCard()).linkButton(), nullptr);
  EXPECT_EQ(UpdateCardPanel(oneButtonCard()).secondaryButton(), nullptr);
}

// Through the default presenter the real panel runs modally: Return answers true, Escape on an offer false.
TEST(UpdateCardPanelTest, ShowRunsThePanel) {
  setCardPresenter(nullptr);
  whenCardShows([](UpdateCardPanel& shown) { press(shown, Qt::Key_Return); });
  EXPECT_TRUE(UpdateCard::show(offerCard()));
  whenCardShows([](UpdateCardPanel& shown) { press(shown, Qt::Key_Escape); });
  EXPECT_FALSE(UpdateCard::show(offerCard()));
  whenCardShows([](UpdateCardPanel& shown) { shown.close(); });
  EXPECT_TRUE(UpdateCard::show(oneButtonCard()));
}

// The panel is 468 points wide, tall enough for its content, with the primary button in the accent colour.
TEST(UpdateCardPanelTest, Rendering) {
  UpdateCardPanel panel(offerCard());
  panel.fitHeight();
  EXPECT_EQ(panel.width(), UpdateCardPanel::kWidth);
  EXPECT_GT(panel.height(), 300);
  const QImage image = panel.grab().toImage();
  // Set VISTREL_CARD_SCREENSHOT to a file name to look at the card.
  if (const char* path = std::getenv("VISTREL_CARD_SCREENSHOT")) image.save(QString::fromLocal8Bit(path));
  const double ratio = image.devicePixelRatio();
  const QPoint button = panel.primaryButton()->geometry().center() + QPoint(0, panel.primaryButton()->height() / 3);
  const QColor fill = image.pixelColor(int(button.x() * ratio), int(button.y() * ratio));
  const QColor accent = UpdateCard::accent(UpdateCard::Tone::optionalUpdate)->color;
  EXPECT_NEAR(fill.red(), accent.red(), 12);
  EXPECT_NEAR(fill.green(), accent.green(), 12);
  EXPECT_NEAR(fill.blue(), accent.blue(), 12);
  // The corners outside the rounded background stay clear.
  EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
}

}  // namespace
}  // namespace vistrel

#include "UpdateCardPanelTest.moc"
