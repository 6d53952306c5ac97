#include <gtest/gtest.h>

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QStringList>

#include <algorithm>
#include <vector>

#include "platform/linux/ocr/LineBands.h"
#include "platform/linux/ocr/PagePreparation.h"

namespace vistrel::desktop::ocr {
namespace {

// Rows [top, bottom) of one line's ink.
struct InkRows {
  int top = 0;
  int bottom = 0;
};

QFont terminalFont() {
  QFont font("DejaVu Sans Mono");
  font.setPixelSize(32);  // lines high enough that the page is read at its own size
  return font;
}

// Rows holding ink of `image` (dark on white).
InkRows inkRows(const QImage& image) {
  InkRows rows{image.height(), 0};
  for (int y = 0; y < image.height(); ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if (qGray(row[x]) < 160) {
        rows.top = std::min(rows.top, y);
        rows.bottom = y + 1;
        break;
      }
  }
  return rows;
}

// Draws `lines` with `leading` blank pixels between one line's descent and
// the next one's ascent; the ink rows of each line, drawn alone, go to `ink`.
QImage linesPage(const QStringList& lines, int leading, std::vector<InkRows>* ink = nullptr) {
  const QFontMetrics metrics(terminalFont());
  const QSize size(1000, 12 + int(lines.size()) * (metrics.height() + leading));
  auto draw = [&](QImage& image, qsizetype only) {
    QPainter painter(&image);
    painter.setFont(terminalFont());
    painter.setPen(Qt::black);
    int baseline = 6 + metrics.ascent();
    for (qsizetype i = 0; i < lines.size(); ++i, baseline += metrics.height() + leading)
      if (only < 0 || only == i) painter.drawText(10, baseline, lines[i]);
  };
  QImage page(size, QImage::Format_RGB32);
  page.fill(Qt::white);
  draw(page, -1);
  for (qsizetype i = 0; ink && i < lines.size(); ++i) {
    QImage alone(size, QImage::Format_RGB32);
    alone.fill(Qt::white);
    draw(alone, i);
    ink->push_back(inkRows(alone));
  }
  return page;
}

std::vector<LineBand> bandsOf(const QImage& image) {
  PreparedPage page = preparePage(image);
  EXPECT_TRUE(page.hasInk);
  EXPECT_EQ(page.scale, 1.0);
  return lineBands(page.gray, page.threshold);
}

// Bands tile the page from top to bottom without gaps or overlaps.
void expectTiling(const std::vector<LineBand>& bands, int height) {
  ASSERT_FALSE(bands.empty());
  EXPECT_EQ(bands.front().top, 0);
  EXPECT_EQ(bands.back().bottom, height);
  for (size_t i = 1; i < bands.size(); ++i) EXPECT_EQ(bands[i].top, bands[i - 1].bottom);
}

// Each line of text, with its ascenders, descenders, accents and the dots of
// i and j, lies whole in one band, the bands in the lines' order. Lines set
// apart get a band each (lines of x-height letters and of dots too); set
// tight, an accent right under the descenders of the line above may belong
// to either, and the two lines share a band rather than lose the accent.
TEST(LineBands, LinesInOrderNoGlyphCut) {
  const QStringList lines = {"$ grep -n \"timeout\" config/server.conf", "jumpy quiz: gypsy jig {[|]}",
                             "ÉÈÊ ÉTÉ ÊTRE ÉCRIT", "minimum iii jij ;:,.", "wc -l < README.md; echo $?",
                             "ocean waves ran over rows", "read_timeout = 120 # seconds"};
  for (int leading : {0, 1, 3, 8}) {
    SCOPED_TRACE(leading);
    std::vector<InkRows> ink;
    QImage page = linesPage(lines, leading, &ink);
    std::vector<LineBand> bands = bandsOf(page);
    expectTiling(bands, page.height());
    size_t previous = 0;
    for (size_t line = 0; line < ink.size(); ++line) {
      auto band = std::find_if(bands.begin(), bands.end(), [&](const LineBand& b) { return b.bottom > ink[line].top; });
      ASSERT_NE(band, bands.end());
      EXPECT_GE(band->bottom, ink[line].bottom) << "line " << line << " is cut at row " << band->bottom;
      const size_t index = size_t(band - bands.begin());
      EXPECT_GE(index, previous) << "line " << line;
      previous = index;
    }
    if (leading >= 8) {
      EXPECT_EQ(bands.size(), size_t(lines.size()));
    }
  }
}

// What is not plain lines of text is one band: a single line, a picture
// among lines, and lines drawn touching so that no blank row parts them.
TEST(LineBands, OtherLayoutsAreOneBand) {
  QImage single = linesPage({"just one line, descending: gjpqy"}, 4);
  EXPECT_EQ(bandsOf(single), (std::vector<LineBand>{{0, single.height()}}));

  QImage withPicture = linesPage({"above the picture", "", "", "", "", "", "below the picture"}, 4);
  {
    QPainter painter(&withPicture);
    QLinearGradient gradient(0, 0, 0, 1);
    gradient.setCoordinateMode(QGradient::ObjectMode);
    gradient.setColorAt(0, Qt::black);
    gradient.setColorAt(1, Qt::darkGray);
    painter.fillRect(QRect(200, 50, 300, 120), gradient);
  }
  EXPECT_EQ(bandsOf(withPicture), (std::vector<LineBand>{{0, withPicture.height()}}));

  QImage touching = linesPage({"gjpqy |||| gjpqy", "ÉÅ|bdl |||| ÉÅ|bdl", "gjpqy |||| gjpqy", "ÉÅ|bdl |||| ÉÅ|bdl"}, -6);
  EXPECT_EQ(bandsOf(touching), (std::vector<LineBand>{{0, touching.height()}}));

  EXPECT_TRUE(lineBands(QImage(), 128).empty());
}

}  // namespace
}  // namespace vistrel::desktop::ocr
