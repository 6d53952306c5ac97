#include <gtest/gtest.h>

#include "editor/CaptureShot.h"
#include "editor/EditorVocabulary.h"
#include "editor/InkSwatch.h"
#include "editor/MarkupSizes.h"
#include "platform/sim/SimPlatform.h"

namespace vistrel {
namespace {

MarkupColor rgb(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0, 1}; }

// Hex text parses with blanks around it and with or without "#", rejects other lengths and digits,
// and is written back truncated.
TEST(EditorModelTest, HexColours) {
  EXPECT_EQ(InkSwatch::color(" #ff3b30\n"), rgb(255, 59, 48));
  EXPECT_EQ(InkSwatch::color("FF3B30"), rgb(255, 59, 48));
  for (const char* bad : {"#FFF", "#FF3B3", "#GG0000", "##FF3B30", "#FF3B30A", "", "#"})
    EXPECT_EQ(InkSwatch::color(bad), std::nullopt) << bad;
  EXPECT_EQ((MarkupColor{0.5, 0.5, 0.5, 1}.hex()), "#7F7F7F");
  EXPECT_EQ((MarkupColor{1, 0, 0, 0.3}.hex()), "#FF0000");
}

// A swatch matches a colour strictly within 1.5 of its bytes; the stored ink reads back, black when absent
// or unreadable.
TEST(EditorModelTest, SwatchesAndRememberedInk) {
  sim::ScopedSimPlatform sim;
  const InkSwatch& red = InkSwatch::palette().front();
  ASSERT_EQ(red.name, "Red");
  EXPECT_TRUE(red.matches(rgb(255, 59, 48)));
  EXPECT_TRUE(red.matches(rgb(254, 60, 47)));
  EXPECT_FALSE(red.matches(rgb(255, 61, 48)));
  EXPECT_EQ(InkSwatch::palette().size(), 8u);
  EXPECT_EQ(InkSwatch::palette().back().color(), rgb(255, 255, 255));

  EXPECT_EQ(InkSwatch::remembered(), rgb(0, 0, 0));
  InkSwatch::remember(MarkupColor{1, 0, 0, 0.5});
  EXPECT_EQ(sim->defaults().string(kInkKey), "#FF0000");
  EXPECT_EQ(InkSwatch::remembered(), rgb(255, 0, 0));
  sim->defaults().setString(kInkKey, "crimson");
  EXPECT_EQ(InkSwatch::remembered(), rgb(0, 0, 0));
  sim->defaults().setInteger(kInkKey, 0xFF0000);
  EXPECT_EQ(InkSwatch::remembered(), rgb(0, 0, 0));
}

// Sizes follow the picture's width, with their floors on small pictures.
TEST(EditorModelTest, SizeRules) {
  namespace Sizes = MarkupSizes;
  EXPECT_DOUBLE_EQ(Sizes::strokeWidth(3840), 8);
  EXPECT_DOUBLE_EQ(Sizes::highlightWidth(3840), 56);
  EXPECT_DOUBLE_EQ(Sizes::blurBrushWidth(3840), 64);
  EXPECT_NEAR(Sizes::textFontSize(3840), 73.85, 0.01);
  EXPECT_DOUBLE_EQ(Sizes::stepRadius(3840, CounterSize::small), 49.6);
  EXPECT_DOUBLE_EQ(Sizes::stepRadius(3840, CounterSize::medium), 80);
  EXPECT_DOUBLE_EQ(Sizes::stepRadius(3840, CounterSize::large), 128);
  EXPECT_DOUBLE_EQ(Sizes::strokeWidth(600), 2);
  EXPECT_DOUBLE_EQ(Sizes::textFontSize(600), 18);
  EXPECT_DOUBLE_EQ(Sizes::stepRadius(600, CounterSize::small), 11.16);
  EXPECT_DOUBLE_EQ(Sizes::stepRadius(600, CounterSize::medium), 18);
  EXPECT_DOUBLE_EQ(Sizes::stepRadius(600, CounterSize::large), 28.8);
}

// Every vocabulary reads back from its raw value, keys select tools in either case, and the toolbar names
// the counter size and blur style.
TEST(EditorModelTest, Vocabularies) {
  for (EditorTool tool : EditorTools::allCases()) {
    EXPECT_EQ(EditorTools::fromRaw(EditorTools::rawValue(tool)), tool);
    if (const auto key = EditorTools::key(tool)) {
      EXPECT_EQ(EditorTools::forKey(*key), tool);
      EXPECT_EQ(EditorTools::forKey(char(*key - 'A' + 'a')), tool);
    }
  }
  EXPECT_EQ(EditorTools::rawValue(EditorTool::pick), "pick");
  EXPECT_EQ(EditorTools::key(EditorTool::pixelate), std::nullopt);
  EXPECT_EQ(EditorTools::forKey('V'), EditorTool::crop);
  EXPECT_EQ(EditorTools::forKey('x'), std::nullopt);
  EXPECT_EQ(EditorTools::symbolName(EditorTool::step), "1.circle");
  const auto toolbar = [](EditorTool tool, CounterSize size, BlurStyle style) {
    return EditorTools::toolbarHelpText(tool, size, style);
  };
  EXPECT_EQ(toolbar(EditorTool::step, CounterSize::large, BlurStyle::box), "Counter (C) · Large");
  EXPECT_EQ(toolbar(EditorTool::blur, CounterSize::large, BlurStyle::pen), "Blur (B) · Pen");
  EXPECT_EQ(toolbar(EditorTool::arrow, CounterSize::small, BlurStyle::pen), "Arrow (A) · Shift locks angle");
  for (CounterSize size : CounterSizes::allCases())
    EXPECT_EQ(CounterSizes::fromRaw(CounterSizes::rawValue(size)), size);
  BackdropStyle style = BackdropStyle::off;
  for (BackdropStyle expected :
       {BackdropStyle::light, BackdropStyle::dark, BackdropStyle::gradient, BackdropStyle::off})
    EXPECT_EQ(style = BackdropStyles::next(style), expected);
  EXPECT_EQ(BackdropStyles::fromRaw(4), std::nullopt);
  EXPECT_EQ(BackdropStyles::fromRaw(2), BackdropStyle::dark);
}

// Observers hear every replacement of the payload, in the order they were added.
TEST(EditorModelTest, ShotTellsObservers) {
  CaptureShot shot({QUuid::createUuid(), QImage(4, 4, QImage::Format_RGB32), std::nullopt, {}});
  std::vector<std::string> heard;
  shot.observe([&](const CaptureShot::Payload& p) { heard.push_back("a" + std::to_string(p.image.width())); });
  shot.observe([&](const CaptureShot::Payload& p) { heard.push_back("b" + std::to_string(p.image.width())); });
  const QUuid before = shot.payload().id;
  shot.setPayload({QUuid::createUuid(), QImage(8, 4, QImage::Format_RGB32), "/tmp/shot.png", {2, 2}});
  EXPECT_EQ(heard, (std::vector<std::string>{"a8", "b8"}));
  EXPECT_NE(shot.payload().id, before);
  EXPECT_EQ(shot.payload().savedURL, "/tmp/shot.png");
}

}  // namespace
}  // namespace vistrel
