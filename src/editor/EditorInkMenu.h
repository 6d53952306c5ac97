#pragma once
// The ink menu: a popup with the eight palette swatches as 28-point circles
// in four columns 8 points apart, the one matching the current ink marked,
// and "Custom", which opens the desktop's colour dialog. Main thread only.

#include <QWidget>
#include <functional>
#include <optional>

#include "editor/MarkupItem.h"

class QPushButton;

namespace vistrel {

class EditorInkMenu : public QWidget {
 public:
  // `choose` gets the colour picked; closing without a pick calls nothing.
  EditorInkMenu(MarkupColor current, std::function<void(const MarkupColor&)> choose, QWidget* parent);

  // Shows the menu with its top-left corner at `global`.
  void popup(QPoint global);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QRectF swatchRect(int index) const;
  std::optional<int> swatchAt(QPointF position) const;

  MarkupColor current_;
  std::function<void(const MarkupColor&)> choose_;
  std::optional<int> hovered_;
  QPushButton* custom_ = nullptr;
};

}  // namespace vistrel
