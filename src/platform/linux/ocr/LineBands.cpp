#include "platform/linux/ocr/LineBands.h"

#include <algorithm>

namespace vistrel::desktop::ocr {

namespace {

// Runs closer than this share of a typical line (at least one row) are one
// run: the few blank rows between an accent and its letter, when the accent
// touches the descenders of the line above, or an antialiased row just above
// the threshold inside a line, part no lines.
constexpr double kGapTolerance = 0.08;
// Runs lower than this share of a typical line are parts of a line: the
// dots of i and j, accents, an underscore, a rule of dashes. Lines of
// x-height letters alone are about 0.55 of a line with ascenders and descenders.
constexpr double kPartOfLine = 0.4;
// A part is joined to each neighbour at most this share of a typical line
// away: a dot or an accent sits that close above its letter, an underscore
// below its line. Next to both, it may belong to either line (a tight
// terminal puts accents right under the descenders of the line above), and
// all three stay together: no cut between them.
constexpr double kNearGap = 0.2;
// A run higher than this many typical lines is no text line (two lines whose
// descenders and ascenders touch make two): the page is read whole.
constexpr double kMaxLinesInRun = 2.5;

struct Run {
  int top = 0;
  int bottom = 0;  // exclusive
  int height() const { return bottom - top; }
};

// Runs of rows with more ink than every row has (a frame or a scroll bar
// running down beside the text is not a line).
std::vector<Run> inkedRuns(const QImage& gray, int threshold) {
  std::vector<int> inkPerRow(size_t(gray.height()));
  for (int y = 0; y < gray.height(); ++y) {
    const uchar* row = gray.constScanLine(y);
    inkPerRow[size_t(y)] = int(std::count_if(row, row + gray.width(), [threshold](uchar level) { return level < threshold; }));
  }
  const int everyRow = *std::min_element(inkPerRow.begin(), inkPerRow.end());
  std::vector<Run> runs;
  for (int y = 0; y < gray.height(); ++y) {
    if (inkPerRow[size_t(y)] <= everyRow) continue;
    if (!runs.empty() && runs.back().bottom == y) {
      runs.back().bottom = y + 1;
    } else {
      runs.push_back({y, y + 1});
    }
  }
  return runs;
}

// The height below which lie this share of the runs (the lower one of two).
int heightAt(const std::vector<Run>& runs, double share) {
  std::vector<int> heights;
  for (const Run& run : runs) heights.push_back(run.height());
  auto at = heights.begin() + long(double(heights.size() - 1) * share);
  std::nth_element(heights.begin(), at, heights.end());
  return *at;
}

// Joins runs across small gaps, then each part of a line, lowest first, to
// the neighbours it sits close to, or else to the nearer one.
void joinPartsOfLines(std::vector<Run>& runs) {
  // The upper quartile: parts of lines (a row of dots, a row of accents) may
  // be as many as the lines.
  const double typical = heightAt(runs, 0.75);
  const int tolerance = std::max(1, int(kGapTolerance * typical));
  for (size_t i = 1; i < runs.size();) {
    if (runs[i].top - runs[i - 1].bottom <= tolerance) {
      runs[i - 1].bottom = runs[i].bottom;
      runs.erase(runs.begin() + long(i));
    } else {
      ++i;
    }
  }
  auto near = [typical](int gap) { return gap >= 0 && gap <= kNearGap * typical; };
  while (runs.size() > 1) {
    auto lowest = std::min_element(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.height() < b.height(); });
    if (lowest->height() >= kPartOfLine * typical) return;
    const size_t i = size_t(lowest - runs.begin());
    const int gapAbove = i > 0 ? runs[i].top - runs[i - 1].bottom : -1;
    const int gapBelow = i + 1 < runs.size() ? runs[i + 1].top - runs[i].bottom : -1;
    bool above = near(gapAbove), below = near(gapBelow);
    if (!above && !below) {
      above = gapBelow < 0 || (gapAbove >= 0 && gapAbove <= gapBelow);
      below = !above;
    }
    const size_t first = above ? i - 1 : i, last = below ? i + 1 : i;
    runs[first].bottom = runs[last].bottom;
    runs.erase(runs.begin() + long(first) + 1, runs.begin() + long(last) + 1);
  }
}

}  // namespace

std::vector<LineBand> lineBands(const QImage& gray, int threshold) {
  if (gray.isNull()) return {};
  const LineBand whole{0, gray.height()};
  std::vector<Run> runs = inkedRuns(gray, threshold);
  if (runs.size() < 2) return {whole};
  joinPartsOfLines(runs);
  const int typical = heightAt(runs, 0.5);
  for (const Run& run : runs)
    if (run.height() > kMaxLinesInRun * typical) return {whole};
  // Each cut lies in the middle of the blank rows between two lines.
  std::vector<LineBand> bands;
  int top = 0;
  for (size_t i = 0; i + 1 < runs.size(); ++i) {
    const int cut = (runs[i].bottom + runs[i + 1].top) / 2;
    bands.push_back({top, cut});
    top = cut;
  }
  bands.push_back({top, gray.height()});
  return bands;
}

}  // namespace vistrel::desktop::ocr
