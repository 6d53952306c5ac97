#include "editor/EditorState.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <numbers>

#include "base/KeyCodes.h"
#include "base/LayoutLog.h"
#include "capture/CaptureOutput.h"
#include "capture/PinBoard.h"
#include "editor/InkSwatch.h"
#include "editor/MarkupRenderer.h"
#include "editor/MarkupSizes.h"
#include "platform/Platform.h"

namespace vistrel {

namespace {

constexpr double kCopiedSeconds = 0.9;
constexpr double kSaveNoteSeconds = 1.4;

std::string formatted(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

void logCrop(const std::string& pieces) { LayoutLog::write("crop " + pieces); }

std::string pointText(Point p) { return formatted("%.1f,%.1f", p.x, p.y); }
std::string sizeText(Size s) { return formatted("%.1fx%.1f", s.width, s.height); }
std::string rectText(const Rect& r) { return formatted("%.1f,%.1f %.1fx%.1f", r.x, r.y, r.w, r.h); }
std::string pixelsText(const QImage& image) {
  return std::to_string(image.width()) + "x" + std::to_string(image.height());
}

double distance(Point a, Point b) { return std::hypot(b.x - a.x, b.y - a.y); }

Rect spanned(Point a, Point b) {
  return {std::min(a.x, b.x), std::min(a.y, b.y), std::abs(b.x - a.x), std::abs(b.y - a.y)};
}

// Stroke points are kept only once the pointer has moved far enough from the
// last one, so a slow drag does not pile up points.
void appendIfApart(std::vector<Point>& points, Point point, double minimum) {
  if (points.empty() || distance(points.back(), point) >= minimum) points.push_back(point);
}

std::string trimmed(const std::string& text) {
  const char* blanks = " \t\n\r\f\v";
  const auto first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace

EditorState::EditorState(std::shared_ptr<CaptureShot> shot)
    : shot_(std::move(shot)), self_(std::make_shared<EditorState*>(this)) {
  const CaptureShot::Payload& payload = shot_->payload();
  picture_ = payload.image;
  composite_ = payload.image;
  ink_ = InkSwatch::remembered();
  savedURL_ = payload.savedURL;
  if (savedURL_) savedName_ = std::filesystem::path(*savedURL_).filename().string();
  std::weak_ptr<EditorState*> weak = self_;
  shot_->observe([weak](const CaptureShot::Payload& next) {
    if (auto self = weak.lock()) (*self)->accept(next);
  });
}

// Pending timers and the shot's observer find the editor gone.
EditorState::~EditorState() { *self_ = nullptr; }

void EditorState::changed() {
  if (onChange) onChange();
}

void EditorState::later(double seconds, std::function<void(EditorState&)> work) {
  std::weak_ptr<EditorState*> weak = self_;
  platform::current().clock().after(seconds, [weak, work = std::move(work)] {
    auto self = weak.lock();
    if (self && *self) work(**self);
  });
}

void EditorState::rebuildComposite() { composite_ = MarkupRenderer::burn(marks_, picture_); }

void EditorState::showCopied() {
  copied_ = true;
  const int generation = ++copiedGeneration_;
  later(kCopiedSeconds, [generation](EditorState& editor) {
    if (editor.copiedGeneration_ != generation) return;
    editor.copied_ = false;
    editor.changed();
  });
  changed();
}

void EditorState::clearDrag() {
  dragOrigin_.reset();
  dragCurrent_.reset();
  freehand_.clear();
}

// ---- tools, menus, ink, zoom ----

void EditorState::selectTool(EditorTool tool) {
  if (tool == EditorTool::step) {
    showBlurMenu_ = false;
    showCounterMenu_ = true;
    changed();
    return;
  }
  if (tool == EditorTool::blur) {
    showCounterMenu_ = false;
    showBlurMenu_ = true;
    changed();
    return;
  }
  closeMenus();
  tool_ = tool;
  if (tool != EditorTool::text) textAnchor_.reset();
  cropStrokeViewStart_.reset();
  if (tool == EditorTool::crop) {
    dragOrigin_.reset();
    dragCurrent_.reset();
    logCrop("tool-on stamp=L40");
  } else {
    cropRect_.reset();
  }
  changed();
}

void EditorState::chooseCounterSize(CounterSize size) {
  counterSize_ = size;
  showCounterMenu_ = false;
  tool_ = EditorTool::step;
  textAnchor_.reset();
  cropRect_.reset();
  changed();
}

void EditorState::chooseBlurStyle(BlurStyle style) {
  blurStyle_ = style;
  showBlurMenu_ = false;
  tool_ = EditorTool::blur;
  textAnchor_.reset();
  cropRect_.reset();
  changed();
}

void EditorState::closeMenus() {
  showBlurMenu_ = false;
  showCounterMenu_ = false;
}

void EditorState::setInk(const MarkupColor& color) {
  ink_ = color;
  InkSwatch::remember(color);
  changed();
}

void EditorState::zoomIn() {
  zoom_ = std::min(zoom_ * 1.25, 6.0);
  changed();
}

void EditorState::zoomOut() {
  zoom_ = std::max(zoom_ / 1.25, 0.25);
  changed();
}

void EditorState::cycleBackdrop() {
  backdrop_ = BackdropStyles::next(backdrop_);
  clipboardMatchesEditor_ = false;
  changed();
}

// ---- drawing gesture ----

void EditorState::dragChanged(Point point, bool shift) {
  if (tool_ == EditorTool::text || tool_ == EditorTool::step || tool_ == EditorTool::pick ||
      tool_ == EditorTool::crop)
    return;
  dragShift_ = shift;
  if (!dragOrigin_) dragOrigin_ = point;
  dragCurrent_ = point;
  const bool brushed = tool_ == EditorTool::pen || tool_ == EditorTool::highlight ||
                       (tool_ == EditorTool::blur && blurStyle_ == BlurStyle::pen);
  if (brushed) appendIfApart(freehand_, point, 1.8);
  if (tool_ == EditorTool::line || tool_ == EditorTool::arrow) dragCurrent_ = snapped(*dragOrigin_, point);
  changed();
}

void EditorState::dragEnded(Point point, bool shift) {
  dragShift_ = shift;
  switch (tool_) {
    case EditorTool::text:
      textAnchor_ = point;
      textValue_.clear();
      textFocused_ = true;
      changed();
      return;
    case EditorTool::pick:
      pickColor(point);
      return;
    case EditorTool::step: {
      const double width = picture_.width();
      commit(Markup::Step{nextStep_, point, ink_, MarkupSizes::stepRadius(width, counterSize_)});
      ++nextStep_;
      changed();
      return;
    }
    case EditorTool::crop:
      return;
    default:
      finishDrag();
  }
}

void EditorState::finishDrag() {
  if (!dragOrigin_ || !dragCurrent_) {
    clearDrag();
    changed();
    return;
  }
  if (auto item = pendingItem()) commit(std::move(*item));
  clearDrag();
  changed();
}

std::optional<MarkupItem> EditorState::pendingItem() const {
  if (!dragOrigin_ || !dragCurrent_) return std::nullopt;
  const double W = picture_.width();
  const double w = MarkupSizes::strokeWidth(W);
  const Point origin = *dragOrigin_;
  const Point end = snapped(origin, *dragCurrent_);
  const double length = distance(origin, end);
  auto strokePoints = [&] {
    std::vector<Point> points = freehand_;
    appendIfApart(points, *dragCurrent_, 0.5);
    return points;
  };
  switch (tool_) {
    case EditorTool::arrow:
      if (length > 2) return Markup::Arrow{origin, end, ink_, w};
      break;
    case EditorTool::line:
      if (length > 2) return Markup::Line{origin, end, ink_, w};
      break;
    case EditorTool::rectangle:
      if (length > 2) return Markup::Rectangle{origin, end, ink_, w};
      break;
    case EditorTool::oval:
      if (length > 2) return Markup::Oval{origin, end, ink_, w};
      break;
    case EditorTool::pen:
    case EditorTool::highlight: {
      std::vector<Point> points = strokePoints();
      if (points.size() < 2) break;
      if (tool_ == EditorTool::pen) return Markup::Pen{std::move(points), ink_, w};
      return Markup::Highlight{std::move(points), ink_, MarkupSizes::highlightWidth(W)};
    }
    case EditorTool::blur:
      if (blurStyle_ == BlurStyle::pen) {
        std::vector<Point> points = strokePoints();
        if (points.size() >= 2) return Markup::BlurStroke{std::move(points), MarkupSizes::blurBrushWidth(W)};
      } else if (length > 4) {
        return Markup::Blur{spanned(origin, end)};
      }
      break;
    case EditorTool::pixelate:
      if (length > 4) return Markup::Pixelate{spanned(origin, end)};
      break;
    default:
      break;
  }
  return std::nullopt;
}

Point EditorState::snapped(Point origin, Point point) const {
  if (!dragShift_ || (tool_ != EditorTool::line && tool_ != EditorTool::arrow)) return point;
  const double dx = point.x - origin.x;
  const double dy = point.y - origin.y;
  const double length = std::hypot(dx, dy);
  const double step = std::numbers::pi / 4;
  const double angle = std::round(std::atan2(dy, dx) / step) * step;
  return {origin.x + length * std::cos(angle), origin.y + length * std::sin(angle)};
}

// ---- items and history ----

void EditorState::commit(MarkupItem item) {
  recordHistory();
  marks_.push_back(std::move(item));
  rebuildComposite();
  clipboardMatchesEditor_ = false;
  changed();
}

void EditorState::recordHistory() {
  history_.push_back({picture_, marks_});
  if (history_.size() > kHistoryLimit) history_.erase(history_.begin(), history_.end() - kHistoryLimit);
}

void EditorState::undo() {
  if (cropRect_) {
    cropRect_.reset();
    changed();
    return;
  }
  if (history_.empty()) return;
  EditorHistory last = std::move(history_.back());
  history_.pop_back();
  picture_ = std::move(last.picture);
  marks_ = std::move(last.marks);
  rebuildComposite();
  cropRect_.reset();
  clipboardMatchesEditor_ = false;
  changed();
}

// ---- text ----

void EditorState::setTextFocused(bool focused) {
  if (textFocused_ == focused) return;
  textFocused_ = focused;
  changed();
}

void EditorState::commitText() {
  const std::string text = trimmed(textValue_);
  if (textAnchor_ && !text.empty())
    commit(Markup::Text{text, *textAnchor_, ink_, MarkupSizes::textFontSize(picture_.width())});
  textValue_.clear();
  textAnchor_.reset();
  textFocused_ = false;
  changed();
}

void EditorState::pickColor(Point point) {
  const std::optional<MarkupColor> color = MarkupRenderer::sample(composite_, point);
  if (!color) return;
  setInk(*color);
  platform::Pasteboard& pasteboard = platform::current().pasteboard();
  pasteboard.clear();
  pasteboard.setString(color->hex());
  showCopied();
}

// ---- crop ----

void EditorState::handleCropStroke(Point origin, Point current, bool finished, Size layoutSize, Point viewStart,
                                   Point viewEnd) {
  if (!cropStrokeViewStart_) {
    cropStrokeViewStart_ = viewStart;
    logCrop("drag-begin layout=" + sizeText(layoutSize) + " view=" + pointText(viewStart) +
            " px=" + pixelsText(picture_) + " at=" + pointText(origin));
  }
  if (!finished) {
    dragOrigin_ = origin;
    dragCurrent_ = current;
    changed();
    return;
  }
  const double length = distance(origin, current);
  if (length > 4) {
    cropRect_ = spanned(origin, current);
    logCrop("select px=" + rectText(*cropRect_) + " origin=" + pointText(origin) + " end=" + pointText(current) +
            " viewStart=" + pointText(viewStart) + " viewEnd=" + pointText(viewEnd) +
            " layout=" + sizeText(layoutSize));
  } else {
    logCrop(formatted("select-too-small dist=%.1f", length));
  }
  dragOrigin_.reset();
  dragCurrent_.reset();
  cropStrokeViewStart_.reset();
  changed();
}

void EditorState::applyCrop() {
  if (!cropRect_) return;
  const Rect rect = *cropRect_;
  logCrop("apply in=" + pixelsText(picture_) + " rect=" + rectText(rect) + " stamp=L40");
  recordHistory();
  const std::optional<QImage> cropped = MarkupRenderer::crop(MarkupRenderer::burn(marks_, picture_), rect);
  if (!cropped) {
    // Nothing changed, so the snapshot just taken would only make undo do nothing once.
    history_.pop_back();
    logCrop("apply-failed rect=" + rectText(rect));
    changed();
    return;
  }
  logCrop("apply-ok out=" + pixelsText(*cropped));
  picture_ = *cropped;
  composite_ = *cropped;
  marks_.clear();
  cropRect_.reset();
  dragOrigin_.reset();
  dragCurrent_.reset();
  cropStrokeViewStart_.reset();
  zoom_ = 1.0;
  clipboardMatchesEditor_ = false;
  CaptureShot::Payload payload;
  payload.image = picture_;
  payload.savedURL = savedURL_;
  payload.pixelScale = shot_->payload().pixelScale;
  shot_->setPayload(std::move(payload));
  changed();
}

void EditorState::cancelCrop() {
  cropRect_.reset();
  cropStrokeViewStart_.reset();
  changed();
}

// ---- commands ----

QImage EditorState::exportImage() const {
  return MarkupRenderer::present(MarkupRenderer::burn(marks_, picture_), backdrop_);
}

void EditorState::copyImage() {
  commitText();
  if (dragOrigin_) finishDrag();
  if (!clipboardMatchesEditor_) {
    CaptureOutput::copyToClipboard(exportImage());
    clipboardMatchesEditor_ = true;
  }
  showCopied();
}

void EditorState::saveImage() {
  commitText();
  if (dragOrigin_) finishDrag();
  const QImage image = exportImage();
  const std::string path = savedURL_ ? *savedURL_ : CaptureOutput::fileURL(image);
  try {
    CaptureOutput::write(image, path);
    savedURL_ = path;
    savedName_ = std::filesystem::path(path).filename().string();
    saveNote_ = "Saved";
  } catch (const std::exception& error) {
    LayoutLog::write("editor-save-failed path=" + path + " error=" + error.what());
    saveNote_ = "Save failed";
  }
  const int generation = ++saveNoteGeneration_;
  later(kSaveNoteSeconds, [generation](EditorState& editor) {
    if (editor.saveNoteGeneration_ != generation) return;
    editor.saveNote_.reset();
    editor.changed();
  });
  changed();
}

void EditorState::pin() { PinBoard::shared().pin(exportImage()); }

// ---- keys ----

bool EditorState::handleKey(const platform::KeyEvent& event, bool textEditing) {
  using platform::KeyEvent;
  const std::uint64_t modifiers = event.modifierFlags & KeyEvent::kShortcutModifiers;
  if (event.keyCode == KeyCode::escape && modifiers == 0) {
    if (cropRect_ && !textFocused_) {
      cancelCrop();
    } else {
      copyImage();
      if (onClose) onClose();
    }
    return true;
  }
  if (textEditing || textFocused_) return false;
  if (event.keyCode == KeyCode::tab && modifiers == 0) {
    copyImage();
    return true;
  }
  if ((event.keyCode == KeyCode::returnKey || event.keyCode == KeyCode::keypadEnter) && cropRect_) {
    applyCrop();
    return true;
  }
  if (event.charactersIgnoringModifiers.size() != 1) return false;
  const char letter = char(std::tolower(static_cast<unsigned char>(event.charactersIgnoringModifiers[0])));
  if (modifiers == 0) {
    if (letter == 'k') {
      cycleBackdrop();
      return true;
    }
    if (auto tool = EditorTools::forKey(letter)) {
      selectTool(*tool);
      return true;
    }
    return false;
  }
  // Ctrl is the command key of every Linux editor; Super does the same.
  if (modifiers != KeyEvent::kControl && modifiers != KeyEvent::kCommand) return false;
  switch (letter) {
    case 'z': undo(); return true;
    case 's': saveImage(); return true;
    case 'p': pin(); return true;
    case 'c': copyImage(); return true;
    default: return false;
  }
}

// ---- payloads ----

void EditorState::accept(const CaptureShot::Payload& payload) {
  // The editor's own crop hands the shot the picture it already shows.
  if (payload.image.cacheKey() == picture_.cacheKey()) return;
  picture_ = payload.image;
  composite_ = payload.image;
  savedURL_ = payload.savedURL;
  savedName_ = savedURL_ ? std::filesystem::path(*savedURL_).filename().string() : std::string();
  saveNote_.reset();
  marks_.clear();
  history_.clear();
  clearDrag();
  textAnchor_.reset();
  textValue_.clear();
  textFocused_ = false;
  cropRect_.reset();
  cropStrokeViewStart_.reset();
  closeMenus();
  zoom_ = 1.0;
  nextStep_ = 1;
  clipboardMatchesEditor_ = false;
  changed();
}

std::string EditorState::statusLabel() const {
  if (saveNote_) return *saveNote_;
  if (copied_) return tool_ == EditorTool::pick ? ink_.hex() : "Copied";
  if (tool_ == EditorTool::pick) return "Click a pixel";
  if (tool_ == EditorTool::crop && !cropRect_) return "Drag to crop";
  return cropRect_ ? "Enter to crop" : "Esc copies";
}

Point EditorState::imagePoint(Point viewPoint, Size layoutSize, QSize imageSize) {
  if (layoutSize.width <= 1 || layoutSize.height <= 1) return {0, 0};
  const double W = imageSize.width();
  const double H = imageSize.height();
  return {std::clamp(viewPoint.x / layoutSize.width * W, 0.0, W),
          std::clamp(viewPoint.y / layoutSize.height * H, 0.0, H)};
}

}  // namespace vistrel
