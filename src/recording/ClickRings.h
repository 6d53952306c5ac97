#pragma once
// The marks "Show clicks" draws into a recording: at each press of a pointer
// button, a ring at the pointer that grows and fades for half a second,
// amber for the left button, blue for the right. Pure drawing: the session
// says where and when, in the frame's pixels and the stream's seconds.

#include <QImage>
#include <QPointF>

#include <vector>

namespace vistrel {

struct ClickMark {
  QPointF at;          // frame pixels
  bool right = false;  // the right button
  double start = 0;    // stream time of the first frame after the press
};

namespace ClickRings {

inline constexpr double kSeconds = 0.5;
inline constexpr const char* kShowClicksKey = "vistrel.recording.showClicks";

// Whether `mark` shows at `time`.
bool showing(const ClickMark& mark, double time);
// Draws the marks showing at `time`; `scale` is pixels per screen point.
void draw(QImage& image, const std::vector<ClickMark>& marks, double time, double scale);

}  // namespace ClickRings

}  // namespace vistrel
