#include <gtest/gtest.h>

#include <QImage>

#include "platform/linux/TrayStatusItem.h"

namespace vistrel::desktop {
namespace {

using Button = platform::StatusClick::Button;

// Single clicks map to buttons with Control carried along; a double click is not a click of its own.
TEST(TrayStatusItemTest, ActivationsMapToClicks) {
  const auto left = statusClick(QSystemTrayIcon::Trigger, Qt::NoModifier);
  ASSERT_TRUE(left);
  EXPECT_EQ(left->button, Button::left);
  EXPECT_FALSE(left->control);

  const auto controlLeft = statusClick(QSystemTrayIcon::Trigger, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_TRUE(controlLeft);
  EXPECT_TRUE(controlLeft->control);

  const auto right = statusClick(QSystemTrayIcon::Context, Qt::AltModifier);
  ASSERT_TRUE(right);
  EXPECT_EQ(right->button, Button::right);
  EXPECT_FALSE(right->control);

  const auto middle = statusClick(QSystemTrayIcon::MiddleClick, Qt::ControlModifier);
  ASSERT_TRUE(middle);
  EXPECT_EQ(middle->button, Button::middle);
  EXPECT_TRUE(middle->control);

  EXPECT_FALSE(statusClick(QSystemTrayIcon::DoubleClick, Qt::NoModifier));
  EXPECT_FALSE(statusClick(QSystemTrayIcon::Unknown, Qt::NoModifier));
}

// With no tray (the offscreen platform has none) the item says so, yet is shown and takes image and tooltip for a tray that comes later.
TEST(TrayStatusItemTest, NoTrayStillKeepsTheIcon) {
  TrayStatusItem item;
  EXPECT_FALSE(item.hasButton());
  EXPECT_TRUE(item.trayIcon().isVisible());

  QImage image(18, 18, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::black);
  item.setImage(image, true);
  EXPECT_FALSE(item.trayIcon().icon().isNull());
  EXPECT_TRUE(item.trayIcon().icon().isMask());
  item.setImage(image, false);
  EXPECT_FALSE(item.trayIcon().icon().isMask());

  item.setToolTip("Vistrel — local build");
  EXPECT_EQ(item.trayIcon().toolTip(), QString("Vistrel — local build"));
}

}  // namespace
}  // namespace vistrel::desktop
