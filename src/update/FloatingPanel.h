#pragma once
// The window both the update card and the install panel live in: frameless,
// floating above other windows, a rounded background of its own, moved by
// dragging the background, centred on the primary screen.
//
// There is no Dock on X11, so the switch to a regular application while a
// panel is up, and back to accessory afterwards, has no equivalent here: the
// program never has a taskbar entry, and the panel is a tool window.

#include <QColor>
#include <QFont>
#include <QWidget>

class QLabel;

namespace vistrel {

class FloatingPanel : public QWidget {
 public:
  // `width` in points; the height follows the content (`fitHeight`).
  explicit FloatingPanel(int width);

  // Sizes the panel to its content at its width.
  void fitHeight();
  // Centres the panel on the primary screen, shows it and brings it to the front with the keyboard focus.
  void present();

  // The panel's colours, shared by its contents.
  static QColor textColor();
  static QColor secondaryTextColor();
  // A plain-text, word-wrapped label of the panel's contents.
  static QLabel* label(const QString& text, int pixelSize, QFont::Weight weight, const QColor& color);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  int width_;
};

}  // namespace vistrel
