#pragma once
// The editor's canvas: the picture with its markup on a card that previews
// the backdrop, a checkerboard behind transparent pixels, the item being
// drawn, the crop selection with its Crop button, and the field a text label
// is typed into. Pointer gestures over the picture become editor gestures in
// picture pixels. Main thread only.
//
// Drawing stays fluid on large shots: everything but the item in progress is
// kept as one picture of the canvas (the scene), rebuilt only when the
// committed composite, the layout or the palette change; a pointer move
// repaints only the part of the canvas the item in progress touches.

#include <QImage>
#include <QPixmap>
#include <QPointF>
#include <QRectF>
#include <QWidget>
#include <optional>

#include "base/Rect.h"
#include "editor/EditorVocabulary.h"
#include "ui/ScreenSpace.h"

class QLineEdit;
class QPushButton;

namespace vistrel {

class EditorState;

class EditorCanvas : public QWidget {
 public:
  // Where the card and the picture lie on a canvas, in view points.
  struct Layout {
    double fit = 0;  // view points per picture point
    QRectF card;
    QRectF picture;
  };
  // The fit of a picture of `pixels` shot at `scale` into `area`, its card
  // grown by the backdrop's margin, centred and moved by `pan`; the picture's
  // corner lands on a whole device pixel of `devicePixelRatio`.
  static Layout layoutFor(QSizeF area, QSize pixels, EditorDisplayMath::PixelScale scale, BackdropStyle backdrop,
                          double zoom, QPointF pan, double devicePixelRatio);

  EditorCanvas(EditorState& state, QWidget* parent = nullptr);

  // Brings the canvas up to the editor's state; run after every change.
  void sync();
  const Layout& layout() const { return layout_; }
  // Gestures and cursor start afresh (the window was hidden).
  void reset();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void leaveEvent(QEvent* event) override;
  // The text field's focus changes, reported to the state.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // What the scene shows; a change rebuilds it.
  struct SceneKey {
    qint64 composite = 0;
    QSize size;
    QRectF picture;
    BackdropStyle backdrop = BackdropStyle::off;
    qint64 palette = 0;
    friend bool operator==(const SceneKey&, const SceneKey&) = default;
  };
  // What is drawn over the scene besides the item in progress; a change repaints all.
  struct OverlayKey {
    EditorTool tool = EditorTool::arrow;
    std::optional<Rect> selection;
    bool pending = false;
    friend bool operator==(const OverlayKey&, const OverlayKey&) = default;
  };

  void relayout();
  SceneKey sceneKey() const;
  OverlayKey overlayKey() const;
  void buildScene();
  const QImage& scaledComposite();
  QRectF pendingBounds() const;
  void paintCrop(QPainter& painter, const QRectF& selection, bool pending);
  void syncTextField();
  void syncCropButton();
  void syncCursor();
  QSize pixelSize() const;
  Point viewPoint(QPointF position) const;
  Point imagePoint(QPointF position) const;
  Size layoutSize() const;
  QRectF viewRect(const Rect& pixels) const;

  EditorState& state_;
  Layout layout_;
  QPointF pan_;
  QPixmap scene_;
  std::optional<SceneKey> sceneShows_;
  OverlayKey overlayShows_;
  QImage scaled_;
  qint64 scaledFrom_ = 0;
  QRectF previewPainted_;
  QLineEdit* textField_ = nullptr;
  QPushButton* cropButton_ = nullptr;
  bool hovering_ = false;
  bool syncingText_ = false;

  enum class Gesture { none, drawing, cropPressed, cropping };
  Gesture gesture_ = Gesture::none;
  QPointF pressPosition_;  // widget coordinates
};

}  // namespace vistrel
