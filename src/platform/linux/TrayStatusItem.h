#pragma once
// The status item as a tray icon (StatusNotifierItem or an XEmbed tray,
// whichever Qt finds). A tray that starts after the program still gets the
// icon: it is always shown, and embeds when a tray appears; until then the
// item looks for a tray every second and reports its appearance once.

#include <QSystemTrayIcon>
#include <QTimer>

#include <optional>

#include "platform/StatusItem.h"

namespace vistrel::desktop {

// Needs the QApplication; main thread only.
class TrayStatusItem : public platform::StatusItem {
 public:
  TrayStatusItem();

  // Whether a tray was there when the item was made.
  bool hasButton() const override { return hasButton_; }
  void setButtonAppearedHandler(std::function<void()> handler) override;
  void setImage(const QImage& image, bool isTemplate) override;
  void setToolTip(const std::string& text) override;
  void setClickHandler(std::function<void(platform::StatusClick)> handler) override;
  // Just below the icon; where the tray does not tell where the icon is
  // (StatusNotifierItem hosts), at the mouse pointer.
  void popUpMenu(QMenu& menu) override;

  const QSystemTrayIcon& trayIcon() const { return icon_; }

 private:
  // A template image is a mask. No XEmbed tray tells its theme, so the mask is
  // painted black or white, whichever stands out against the panel behind the
  // icon; until the tray has placed the icon, a few bounded retries look again.
  void applyTemplate(int retriesLeft);

  std::optional<QImage> template_;
  bool hasButton_;
  QSystemTrayIcon icon_;
  std::function<void(platform::StatusClick)> handler_;
  std::function<void()> appeared_;
  QTimer* trayWatch_ = nullptr;  // owned by icon_; none once a tray is there
};

// The click an activation of the tray icon stands for; none for a double
// click, whose first click has already arrived as a click of its own.
std::optional<platform::StatusClick> statusClick(QSystemTrayIcon::ActivationReason reason,
                                                 Qt::KeyboardModifiers modifiers);

}  // namespace vistrel::desktop
