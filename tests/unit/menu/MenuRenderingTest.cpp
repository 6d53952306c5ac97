#include "unit/menu/MenuFixture.h"

#include "app/MenuRendering.h"
#include "capture/CaptureCountdown.h"
#include "capture/CaptureEngine.h"

using namespace vistrel;
using vistrel::testing::MenuTest;

namespace {

constexpr std::uint64_t kControl = 0x40000, kOption = 0x80000, kShift = 0x20000, kCommand = 0x100000;

std::string shortcutText(const std::string& keyEquivalent, std::uint64_t mask) {
  const auto keys = MenuRendering::keySequence(keyEquivalent, mask);
  return keys ? keys->toString(QKeySequence::PortableText).toStdString() : "none";
}

}  // namespace

// Each menu modifier bit maps to its own Qt modifier, and each Qt modifier comes from exactly one bit.
TEST(MenuRendering, ModifierMasksMapBothWays) {
  const std::pair<std::uint64_t, Qt::KeyboardModifier> table[] = {
      {kControl, Qt::ControlModifier}, {kOption, Qt::AltModifier},
      {kShift, Qt::ShiftModifier},     {kCommand, Qt::MetaModifier}};
  for (const auto& [mask, qt] : table) {
    EXPECT_EQ(MenuRendering::modifiers(mask), Qt::KeyboardModifiers(qt)) << mask;
    std::uint64_t bitsGivingIt = 0;
    for (const auto& [other, ignored] : table)
      if (MenuRendering::modifiers(other).testFlag(qt)) bitsGivingIt |= other;
    EXPECT_EQ(bitsGivingIt, mask);
  }
  EXPECT_EQ(MenuRendering::modifiers(kControl | kOption | kShift | kCommand),
            Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier);
  EXPECT_EQ(MenuRendering::modifiers(0), Qt::NoModifier);
}

// Characters, Return, Backspace and the arrow function-key characters become keys; empty or odd text none.
TEST(MenuRendering, KeyEquivalentsBecomeKeys) {
  EXPECT_EQ(shortcutText("\uF702", kControl | kOption), "Ctrl+Alt+Left");
  EXPECT_EQ(shortcutText("\uF703", kControl | kOption | kCommand), "Meta+Ctrl+Alt+Right");
  EXPECT_EQ(shortcutText("\uF700", kControl | kOption | kShift), "Ctrl+Alt+Shift+Up");
  EXPECT_EQ(shortcutText("\r", kControl | kOption), "Ctrl+Alt+Return");
  EXPECT_EQ(shortcutText("\b", kControl | kOption), "Ctrl+Alt+Backspace");
  EXPECT_EQ(shortcutText("u", kControl | kOption), "Ctrl+Alt+U");
  EXPECT_EQ(shortcutText("1", kShift | kCommand), "Meta+Shift+1");
  EXPECT_EQ(shortcutText("\u00e9", kControl), "Ctrl+\u00c9");
  EXPECT_EQ(shortcutText("", kControl | kOption), "none");
  EXPECT_EQ(shortcutText("ab", kControl), "none");
  EXPECT_EQ(shortcutText("\t", kControl), "none");
}

// The rendered menu shows titles and shortcut texts (the command key named Super, first as Qt writes it)
// that act only inside the menu.
TEST_F(MenuTest, RenderedItemsShowShortcutsAsText) {
  auto& controller = attached();
  item.click({platform::StatusClick::Button::left});
  ASSERT_EQ(item.popUpCount, 1);
  ASSERT_EQ(item.poppedMenu, controller.menu.get());
  ASSERT_EQ(item.poppedTitles.size(), controller.model.rows.size());
  EXPECT_EQ(item.poppedTitles.front(), "Layout");
  EXPECT_EQ(item.poppedTitles[6], "");

  const auto nativeText = [&](const std::string& title) {
    QAction* action = popped(title);
    return action ? action->shortcut().toString(QKeySequence::NativeText).toStdString() : "missing";
  };
  EXPECT_EQ(nativeText("Left Half"), "Ctrl+Alt+Left");
  EXPECT_EQ(nativeText("Settings\u2026"), "Super+,");
  EXPECT_EQ(nativeText("Capture Screen"), "Super+Shift+1");
  EXPECT_EQ(nativeText("Center Half"), "");
  EXPECT_EQ(nativeText("Quit"), "");

  QAction* left = popped("Left Half");
  ASSERT_TRUE(left);
  EXPECT_EQ(left->shortcutContext(), Qt::WidgetShortcut);
  EXPECT_TRUE(left->isShortcutVisibleInContextMenu());
  EXPECT_FALSE(popped("Layout")->isEnabled());
  EXPECT_FALSE(popped("Capture")->isEnabled());
  EXPECT_TRUE(popped("Launch at Startup")->isCheckable());
  EXPECT_FALSE(popped("Launch at Startup")->isChecked());
}

// The Timer submenu offers screen and window captures after 3, 5 and 10 s; choosing one starts its count.
TEST_F(MenuTest, TimerSubmenuStartsACountedCapture) {
  attached();
  item.click({platform::StatusClick::Button::left});
  QAction* timer = popped("Timer");
  ASSERT_TRUE(timer && timer->menu());
  std::vector<std::string> titles;
  QAction* windowInFive = nullptr;
  for (QAction* action : timer->menu()->actions()) {
    titles.push_back(action->isSeparator() ? "-" : action->text().toStdString());
    if (action->text() == "Capture Window in 5 s") windowInFive = action;
  }
  EXPECT_EQ(titles, (std::vector<std::string>{"Capture Screen in 3 s", "Capture Screen in 5 s",
                                              "Capture Screen in 10 s", "-", "Capture Window in 3 s",
                                              "Capture Window in 5 s", "Capture Window in 10 s"}));
  ASSERT_TRUE(windowInFive);
  windowInFive->trigger();
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  ASSERT_TRUE(CaptureEngine::shared().capturing());
  for (int turn = 0; turn < 5 && !CountdownSession::active(); ++turn) sim->clock().runPending();
  ASSERT_TRUE(CountdownSession::active());
  EXPECT_EQ(CountdownSession::active()->window()->number(), 5);
  CountdownSession::active()->finish(true);
  sim->clock().runUntilIdle();
  EXPECT_FALSE(CaptureEngine::shared().capturing());
}
