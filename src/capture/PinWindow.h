#pragma once
// One pinned image: a small always-on-top window showing the image at its
// content size. Dragging anywhere moves it; Escape, the window manager's close
// button or our own close button (shown over the top-right corner while the
// pointer is inside, for managers that draw none) close it. Closing hides the
// window; its owner decides when it goes. Main thread only.

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

namespace vistrel {

class PinWindow : public QWidget {
 public:
  // A hidden window whose content is `image` scaled to `contentSize` points.
  PinWindow(const QImage& image, QSize contentSize);

  // Where our close button sits, in the window's coordinates; it shows only while hovered.
  QRect closeButtonRect() const;
  bool closeButtonShown() const { return hovered_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  enum class Drag { none, pressed, byManager, byUs };

  QImage image_;
  bool hovered_ = false;
  bool pressedOnClose_ = false;
  Drag drag_ = Drag::none;
  QPoint lastGlobal_;  // the pointer at the last step of a drag we carry out ourselves
};

}  // namespace vistrel
