#include "unit/menu/MenuFixture.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPalette>

#include "app/MenuIcons.h"
#include "app/UtilitiesMenuBuilder.h"

using namespace vistrel;
using vistrel::testing::MenuTest;

namespace {

QImage pixels(const QIcon& icon, int scale = 1) {
  return icon.pixmap(QSize(MenuIcons::kSize, MenuIcons::kSize), scale).toImage();
}

bool inked(const QImage& image, int x, int y) { return qAlpha(image.pixel(x, y)) > 200; }
bool bare(const QImage& image, int x, int y) { return qAlpha(image.pixel(x, y)) < 30; }

// The pixels a snap's glyph fills, as half-open ranges; the inside of its
// screen outline is 12 x 8 pixels at (2, 4).
struct Region {
  WindowSnap snap;
  int left, right, top, bottom;
};

}  // namespace

// Every action item but settings and quit has a 16x16 mask image; of the headers only Capture and Record do.
TEST_F(MenuTest, ItemsCarryTemplateImages) {
  auto& controller = MenuController::shared();
  const MenuModel model = UtilitiesMenuBuilder::makeMenu(controller, {});
  for (const MenuRow& r : model.rows) {
    const bool wantsImage = (r.kind == MenuRow::Kind::action && r.title != "Settings\u2026" && r.title != "Quit") ||
                            r.title == "Capture" || r.title == "Record" || r.title == "Timer";
    ASSERT_EQ(!r.image.isNull(), wantsImage) << r.title;
    if (!wantsImage) continue;
    EXPECT_TRUE(r.image.isMask()) << r.title;
    const QImage image = pixels(r.image);
    EXPECT_EQ(image.size(), QSize(16, 16)) << r.title;
    EXPECT_EQ(pixels(r.image, 2).size(), QSize(32, 32)) << r.title;
  }
  EXPECT_EQ(row(model, "Capture").imageName, "camera");
  EXPECT_EQ(row(model, "Record").imageName, "video");
  EXPECT_EQ(row(model, "Top Left").imageName, "topLeft");
  EXPECT_EQ(row(model, "Record Area").imageName, "viewfinder");
  // Snaps that share a symbol name still get glyphs of their own.
  EXPECT_NE(pixels(row(model, "Top Left").image), pixels(row(model, "Bottom Right").image));
  EXPECT_NE(pixels(row(model, "Maximize").image), pixels(row(model, "Almost Maximize").image));
}

// A snap's glyph fills exactly its region of the screen outline and leaves the rest of the inside clear.
TEST(MenuIcons, SnapGlyphsShowTheirRegion) {
  const Region regions[] = {
      {WindowSnap::leftHalf, 2, 8, 4, 12},       {WindowSnap::rightHalf, 8, 14, 4, 12},
      {WindowSnap::centerHalf, 5, 11, 4, 12},    {WindowSnap::topHalf, 2, 14, 4, 8},
      {WindowSnap::bottomHalf, 2, 14, 8, 12},    {WindowSnap::topLeft, 2, 8, 4, 8},
      {WindowSnap::topRight, 8, 14, 4, 8},       {WindowSnap::bottomLeft, 2, 8, 8, 12},
      {WindowSnap::bottomRight, 8, 14, 8, 12},   {WindowSnap::firstThird, 2, 6, 4, 12},
      {WindowSnap::centerThird, 6, 10, 4, 12},   {WindowSnap::lastThird, 10, 14, 4, 12},
      {WindowSnap::firstTwoThirds, 2, 10, 4, 12}, {WindowSnap::lastTwoThirds, 6, 14, 4, 12},
      {WindowSnap::maximize, 2, 14, 4, 12},
  };
  for (const Region& r : regions) {
    const QImage image = pixels(MenuIcons::snapGlyph(r.snap));
    for (int y = 4; y < 12; ++y) {
      for (int x = 2; x < 14; ++x) {
        const bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
        EXPECT_TRUE(inside ? inked(image, x, y) : bare(image, x, y))
            << WindowSnaps::rawValue(r.snap) << " at " << x << "," << y;
      }
    }
    EXPECT_TRUE(inked(image, 0, 8)) << "screen outline of " << WindowSnaps::rawValue(r.snap);
  }
  // Almost maximize leaves a margin inside the outline that maximize fills.
  const QImage almost = pixels(MenuIcons::snapGlyph(WindowSnap::almostMaximize));
  EXPECT_TRUE(bare(almost, 2, 4));
  EXPECT_TRUE(bare(almost, 13, 11));
  EXPECT_TRUE(inked(almost, 8, 8));
}

// A theme icon for a symbol wins over the drawn glyph; a primary the program draws wins over a themed fallback.
TEST(MenuIcons, ThemeIconsComeFirst) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QDir(dir.path()).mkpath("MenuTest/16x16/actions");
  {
    QFile index(dir.filePath("MenuTest/index.theme"));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=MenuTest\nDirectories=16x16/actions\n\n"
                "[16x16/actions]\nSize=16\nType=Fixed\nContext=Actions\n");
  }
  QImage red(16, 16, QImage::Format_ARGB32);
  red.fill(Qt::transparent);
  {
    QPainter p(&red);
    p.fillRect(4, 4, 8, 8, Qt::red);
  }
  ASSERT_TRUE(red.save(dir.filePath("MenuTest/16x16/actions/media-record.png")));
  const QStringList savedPaths = QIcon::themeSearchPaths();
  const QString savedTheme = QIcon::themeName();
  QIcon::setThemeSearchPaths({dir.path()});
  QIcon::setThemeName("MenuTest");

  const auto screen = UtilitiesMenuBuilder::templateIcon(*UtilitiesMenuBuilder::menuSymbol(
      UtilityAction::record(RecordMode::screen)));
  const auto area = UtilitiesMenuBuilder::templateIcon(*UtilitiesMenuBuilder::menuSymbol(
      UtilityAction::record(RecordMode::area)));
  const auto stop = UtilitiesMenuBuilder::templateIcon(*UtilitiesMenuBuilder::menuSymbol(
      UtilityAction::record(RecordMode::stop)));
  QIcon::setThemeName(savedTheme);
  QIcon::setThemeSearchPaths(savedPaths);

  ASSERT_TRUE(screen && area && stop);
  EXPECT_EQ(screen->name, "media-record");
  EXPECT_TRUE(screen->icon.isMask());
  const QImage image = pixels(screen->icon);
  EXPECT_TRUE(inked(image, 8, 8));
  EXPECT_TRUE(bare(image, 2, 2));
  EXPECT_EQ(QColor(image.pixel(8, 8)).rgb(), QGuiApplication::palette().color(QPalette::WindowText).rgb());
  EXPECT_EQ(area->name, "viewfinder");
  EXPECT_EQ(stop->name, "stop.circle.fill");
}
