#pragma once
// The program's one item in the desktop's status area (the tray).

#include <QImage>

#include <functional>
#include <string>

class QMenu;

namespace vistrel::platform {

struct StatusClick {
  enum class Button { left, right, middle };
  Button button = Button::left;
  bool control = false;  // Control held: opens the menu like a right click
};

class StatusItem {
 public:
  virtual ~StatusItem() = default;
  // False when there is no status area to show the item in; the image and
  // tooltip are then not set.
  virtual bool hasButton() const = 0;
  // `handler` runs on the main thread when a status area appears for an item
  // that had none (hasButton turns true): the moment to set its image and tooltip.
  virtual void setButtonAppearedHandler(std::function<void()> handler) = 0;
  // A template image is a monochrome mask that follows the tray's theme.
  virtual void setImage(const QImage& image, bool isTemplate) = 0;
  virtual void setToolTip(const std::string& text) = 0;
  virtual void setClickHandler(std::function<void(StatusClick)> handler) = 0;
  // Shows `menu` just below the item and returns at once; the menu stays the
  // caller's and must outlive its showing.
  virtual void popUpMenu(QMenu& menu) = 0;
};

}  // namespace vistrel::platform
