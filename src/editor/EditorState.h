#pragma once
// Everything the capture editor knows and does, without a window: the
// picture and its markup, the current tool and styles, gestures turned into
// items, undo, text entry, colour picking, crop, copy, save, pin, backdrop
// and the key table. The editor view draws this state and forwards input to
// it; it is told of every change through `onChange`. Main thread only.

#include <QImage>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Rect.h"
#include "editor/CaptureShot.h"
#include "editor/EditorVocabulary.h"
#include "editor/MarkupItem.h"
#include "platform/KeyEvent.h"

namespace vistrel {

class EditorState {
 public:
  // Undo snapshot.
  struct EditorHistory {
    QImage picture;
    std::vector<MarkupItem> marks;
  };
  static constexpr std::size_t kHistoryLimit = 40;

  explicit EditorState(std::shared_ptr<CaptureShot> shot);
  ~EditorState();
  EditorState(const EditorState&) = delete;
  EditorState& operator=(const EditorState&) = delete;

  // The view's hooks: redraw after any change; close the window (Escape).
  std::function<void()> onChange;
  std::function<void()> onClose;

  // --- state, read by the view ---
  const std::shared_ptr<CaptureShot>& shot() const { return shot_; }
  const QImage& picture() const { return picture_; }
  const QImage& composite() const { return composite_; }
  const std::vector<MarkupItem>& marks() const { return marks_; }
  EditorTool tool() const { return tool_; }
  BlurStyle blurStyle() const { return blurStyle_; }
  bool showBlurMenu() const { return showBlurMenu_; }
  CounterSize counterSize() const { return counterSize_; }
  bool showCounterMenu() const { return showCounterMenu_; }
  const MarkupColor& ink() const { return ink_; }
  double zoom() const { return zoom_; }
  int nextStep() const { return nextStep_; }
  const std::optional<std::string>& savedURL() const { return savedURL_; }
  const std::string& savedName() const { return savedName_; }
  const std::optional<std::string>& saveNote() const { return saveNote_; }
  bool copied() const { return copied_; }
  std::optional<Point> dragOrigin() const { return dragOrigin_; }
  std::optional<Point> dragCurrent() const { return dragCurrent_; }
  const std::vector<Point>& freehand() const { return freehand_; }
  std::optional<Point> textAnchor() const { return textAnchor_; }
  const std::string& textValue() const { return textValue_; }
  std::optional<Rect> cropRect() const { return cropRect_; }
  BackdropStyle backdrop() const { return backdrop_; }
  bool clipboardMatchesEditor() const { return clipboardMatchesEditor_; }
  const std::vector<EditorHistory>& history() const { return history_; }
  bool textFocused() const { return textFocused_; }
  bool canUndo() const { return !history_.empty() || cropRect_.has_value(); }
  // The item the drag in progress would commit now, for the live preview.
  std::optional<MarkupItem> pendingItem() const;

  // --- tools, menus, ink, zoom ---
  void selectTool(EditorTool tool);
  void chooseCounterSize(CounterSize size);
  void chooseBlurStyle(BlurStyle style);
  void closeMenus();
  // Any ink change (swatch, picker, pick) is remembered for the next window.
  void setInk(const MarkupColor& color);
  void zoomIn();
  void zoomOut();
  void cycleBackdrop();

  // --- drawing gesture (picture pixels; `shift` is the Shift key's state) ---
  void dragChanged(Point point, bool shift);
  void dragEnded(Point point, bool shift);
  void finishDrag();
  Point snapped(Point origin, Point point) const;

  // --- items and history ---
  void commit(MarkupItem item);
  void recordHistory();
  void undo();

  // --- text entry ---
  void setTextValue(std::string text) { textValue_ = std::move(text); }
  void setTextFocused(bool focused);
  void commitText();

  void pickColor(Point point);

  // --- crop (picture points and the same points in the view) ---
  void handleCropStroke(Point origin, Point current, bool finished, Size layoutSize, Point viewStart,
                        Point viewEnd);
  void applyCrop();
  void cancelCrop();

  // --- commands ---
  QImage exportImage() const;
  void copyImage();
  void saveImage();
  void pin();

  // The key table; true when the editor consumed the key. `textEditing`: the
  // focused widget takes text.
  bool handleKey(const platform::KeyEvent& event, bool textEditing);

  // A new payload from the shot: a new capture resets the editor; the
  // editor's own crop is ignored.
  void accept(const CaptureShot::Payload& payload);

  std::string statusLabel() const;

  // View point → picture pixel for a canvas of `layoutSize` points, clamped.
  static Point imagePoint(Point viewPoint, Size layoutSize, QSize imageSize);

 private:
  void changed();
  void rebuildComposite();
  void clearDrag();
  // The transient "copied" note, cleared 0.9 s after its latest setting.
  void showCopied();
  // Runs `work` after `seconds` unless the editor is gone by then.
  void later(double seconds, std::function<void(EditorState&)> work);

  std::shared_ptr<CaptureShot> shot_;
  QImage picture_;
  QImage composite_;
  std::vector<MarkupItem> marks_;
  EditorTool tool_ = EditorTool::arrow;
  BlurStyle blurStyle_ = BlurStyle::box;
  bool showBlurMenu_ = false;
  CounterSize counterSize_ = CounterSize::medium;
  bool showCounterMenu_ = false;
  MarkupColor ink_;
  double zoom_ = 1.0;
  int nextStep_ = 1;
  std::optional<std::string> savedURL_;
  std::string savedName_;
  std::optional<std::string> saveNote_;
  bool copied_ = false;
  std::optional<Point> dragOrigin_;
  std::optional<Point> dragCurrent_;
  bool dragShift_ = false;
  std::vector<Point> freehand_;
  std::optional<Point> textAnchor_;
  std::string textValue_;
  std::optional<Rect> cropRect_;
  std::optional<Point> cropStrokeViewStart_;
  BackdropStyle backdrop_ = BackdropStyle::off;
  bool clipboardMatchesEditor_ = false;
  std::vector<EditorHistory> history_;
  bool textFocused_ = false;
  // Each transient note is cleared by the timer of its latest setting only.
  int copiedGeneration_ = 0;
  int saveNoteGeneration_ = 0;
  std::shared_ptr<EditorState*> self_;
};

}  // namespace vistrel
