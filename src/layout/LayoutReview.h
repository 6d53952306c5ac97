#pragma once
// The built-in end-to-end self-test of window layout: on request (a marker
// file at launch) it opens a document window in an ordinary text program,
// applies 25 snaps to it through the real window engine, checks each frame
// against the geometry with generous tolerances and writes a pass/fail report.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "base/Rect.h"
#include "base/Task.h"
#include "base/WindowSnap.h"

namespace vistrel::LayoutReview {

inline constexpr const char* kMarkerPath = "/tmp/vistrel-review";
inline constexpr const char* kReportPath = "/tmp/vistrel-review-report.txt";

inline constexpr std::array<WindowSnap, 25> steps = {
    WindowSnap::maximize,       WindowSnap::leftHalf,      WindowSnap::maximize,       WindowSnap::rightHalf,
    WindowSnap::maximize,       WindowSnap::bottomHalf,    WindowSnap::maximize,       WindowSnap::topHalf,
    WindowSnap::maximize,       WindowSnap::topLeft,       WindowSnap::topRight,       WindowSnap::bottomLeft,
    WindowSnap::bottomRight,    WindowSnap::firstThird,    WindowSnap::centerThird,    WindowSnap::lastThird,
    WindowSnap::firstTwoThirds, WindowSnap::lastTwoThirds, WindowSnap::centerHalf,     WindowSnap::almostMaximize,
    WindowSnap::maximizeHeight, WindowSnap::center,        WindowSnap::smaller,        WindowSnap::larger,
    WindowSnap::restore,
};

// When the marker exists: removes it (a link is removed, never followed) and starts run().
void startIfRequested();
Task<> run();

// What a step should produce: for restore, `restore` (the frame before the
// previous step); for the display moves, the move applied to `before`; else
// the geometry of `before` on its display. None when nothing can be expected.
std::optional<Rect> expectedFrame(WindowSnap snap, const Rect& before, const std::optional<Rect>& restore);
// Polls the target window's AppKit frame every 0.1 s until it is close to
// `expected` or `timeout` seconds have passed; the last frame read.
Task<std::optional<Rect>> wait(std::optional<Rect> expected, double timeout);
// Within 24 points in origin and 36 in size.
bool close(const Rect& a, const Rect& b);
// "(%.0f,%.0f %.0fx%.0f)".
std::string rect(const Rect& r);
// Replaces the report with `lines` (atomically; errors ignored) and logs "review-done".
void write(const std::vector<std::string>& lines);

// Test-only: where the marker and the report live.
void setPathsForTesting(std::string marker, std::string report);
std::string reportPath();

}  // namespace vistrel::LayoutReview
