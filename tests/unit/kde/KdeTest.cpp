// The KDE Plasma pieces' own logic: KWin scripts' reports decoded (outside
// data), the desktop files that authorise screenshots, and the portal's
// trigger texts for Carbon keys.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/HotKeys.h"
#include "platform/linux/portal/PortalGlobalShortcuts.h"
#include "platform/wayland/kde/KWinAccessibility.h"
#include "platform/wayland/kde/KWinDesktopEntry.h"
#include "platform/wayland/kde/KWinScreens.h"
#include "platform/wayland/kde/KWinScripting.h"

namespace vistrel {
namespace {

using namespace wayland::kde;

TEST(KWinReport, DecodesWindowsAndOutputsAndRejectsOtherShapes) {
  const auto report = parseKWinReport(R"({"error":"","outputs":[{"x":0,"y":0,"width":1920,"height":1080}],
    "windows":[{"uuid":"{a}","pid":42,"caption":"Notes","resourceClass":"notes","type":"dialog",
                "frame":{"x":10.5,"y":20,"width":300,"height":200},"active":true,"minimized":false,
                "fullScreen":false,"onCurrentDesktop":true},
               {"uuid":"{b}","frame":{"x":0,"y":0,"width":1,"height":1}}]})");
  ASSERT_TRUE(report);
  EXPECT_EQ(report->desktop.outputs, std::vector<Rect>{Rect(0, 0, 1920, 1080)});
  ASSERT_EQ(report->desktop.windows.size(), 2u);
  const KWinWindow& first = report->desktop.windows[0];
  EXPECT_EQ(first.pid, 42);
  EXPECT_EQ(first.type, "dialog");
  EXPECT_EQ(first.frame, Rect(10.5, 20, 300, 200));
  EXPECT_EQ(report->desktop.active(), &first);
  // Absent fields read as nothing known: no pid, an unlisted kind, on the current desktop.
  const KWinWindow& second = report->desktop.windows[1];
  EXPECT_EQ(second.pid, 0);
  EXPECT_EQ(second.type, "other");
  EXPECT_TRUE(second.onCurrentDesktop);
  EXPECT_EQ(report->desktop.find("{b}"), &second);
  EXPECT_EQ(report->desktop.find("{c}"), nullptr);

  EXPECT_EQ(parseKWinReport(R"({"error":"gone","windows":[],"outputs":[]})")->error, "gone");
  EXPECT_FALSE(report->desktop.cursor);
  EXPECT_TRUE(report->desktop.workAreas.empty());
  for (const char* bad : {"", "[]", "{\"windows\":[]}", R"({"windows":[{"uuid":"{a}"}],"outputs":[]})",
                          R"({"windows":[{"frame":{"x":0,"y":0,"width":1,"height":1}}],"outputs":[]})",
                          R"({"windows":[],"outputs":[{"x":"0","y":0,"width":1,"height":1}]})", "{\"windows\":"}) {
    EXPECT_FALSE(parseKWinReport(bad)) << bad;
  }
}

TEST(KWinAccessibility, WithoutKWinEveryCallCannotCompleteAtOnce) {
  const QByteArray saved = qgetenv("DBUS_SESSION_BUS_ADDRESS");
  qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
  KWinScripting kwin;
  KWinAccessibility accessibility(kwin);
  const auto focused = accessibility.copyAttributeValue(accessibility.systemWideElement(), platform::ax::focusedApplication);
  EXPECT_EQ(focused.error, platform::kAXErrorCannotComplete);
  EXPECT_FALSE(focused.value);
  // A window number this object never gave names nothing, without asking KWin.
  const platform::AXElement stranger{platform::AXElement::Kind::window, 42, 7};
  EXPECT_EQ(accessibility.setAttributeValue(stranger, platform::ax::position, Point{0, 0}),
            platform::kAXErrorInvalidUIElement);
  EXPECT_EQ(accessibility.copyAttributeValue(stranger, platform::ax::size).error, platform::kAXErrorInvalidUIElement);
  qputenv("DBUS_SESSION_BUS_ADDRESS", saved);
}

// A panel along the bottom of the right-hand screen: its visible frame, in AppKit space.
TEST(KWinScreens, VisibleFramesAreKWinsMaximizeAreasOfTheMatchingOutputs) {
  wayland::Output left, right;
  left.globalName = 7;
  left.name = "Virtual-1";
  left.mode = Size{1920, 1080};
  left.logical = Rect(0, 0, 1920, 1080);
  right.globalName = 9;
  right.name = "Virtual-2";
  right.mode = Size{2560, 1440};
  right.scale = 2;
  right.logical = Rect(1920, 0, 1280, 720);
  const auto report = parseKWinReport(R"({"windows":[],
    "outputs":[{"x":1920,"y":0,"width":1280,"height":720},{"x":0,"y":0,"width":1920,"height":1080}],
    "workAreas":[{"x":1920,"y":0,"width":1280,"height":680},{"x":0,"y":0,"width":1920,"height":1080}],
    "cursor":{"x":2000,"y":10}})");
  ASSERT_TRUE(report);
  EXPECT_EQ(report->desktop.cursor, (Point{2000, 10}));
  const auto screens = screensOf({&right, &left}, report->desktop);
  ASSERT_EQ(screens.size(), 2u);
  EXPECT_EQ(screens[0].displayID, 7u);
  EXPECT_EQ(screens[0].visibleFrame, Rect(0, 0, 1920, 1080));
  EXPECT_EQ(screens[1].frame, Rect(1920, 360, 1280, 720));
  EXPECT_EQ(screens[1].visibleFrame, Rect(1920, 400, 1280, 680));
  EXPECT_EQ(screens[1].scale, 2);
  // Without KWin's areas the whole outputs are visible.
  EXPECT_EQ(screensOf({&right, &left}, KWinDesktop{})[1].visibleFrame, Rect(1920, 360, 1280, 720));
}

// KWin's rule: Exec's program, by its canonical absolute path, is the caller, and the entry lists the interface.
TEST(KWinDesktopEntry, AuthorisesOnlyAnEntryNamingTheProgramByPathWithTheInterface) {
  QTemporaryDir home;
  const QByteArray savedData = qgetenv("XDG_DATA_HOME"), savedDirs = qgetenv("XDG_DATA_DIRS"),
                   savedPath = qgetenv("PATH");
  qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
  qputenv("XDG_DATA_DIRS", home.filePath("system").toUtf8());
  qputenv("PATH", home.path().toUtf8());  // no service-cache rebuild from a unit test
  const QString program = QCoreApplication::applicationFilePath();
  QDir().mkpath(home.filePath("data/applications"));
  QFile::link(program, home.filePath("linked"));
  auto write = [&](const QString& exec, bool withInterface) {
    QFile file(home.filePath("data/applications/other.desktop"));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(("[Desktop Entry]\nType=Application\nExec=" + exec + " --flag\n").toUtf8());
    if (withInterface) file.write("X-KDE-DBUS-Restricted-Interfaces=org.kde.foo;org.kde.KWin.ScreenShot2;\n");
  };

  EXPECT_FALSE(desktopEntryAuthorises(program));
  write(QFileInfo(program).fileName(), true);
  EXPECT_FALSE(desktopEntryAuthorises(program)) << "a bare program name is not a path KWin can compare";
  write(program, false);
  EXPECT_FALSE(desktopEntryAuthorises(program));
  write(home.filePath("linked"), true);
  EXPECT_TRUE(desktopEntryAuthorises(program));
  // An entry without fake input does for screenshots; a copy that installs its own adds one that grants it.
  const QString ours = home.filePath("data/applications/vistrel.desktop");
  EXPECT_TRUE(authoriseScreenshots(program, false));
  EXPECT_FALSE(QFile::exists(ours));
  EXPECT_TRUE(authoriseScreenshots(program, true));
  QFile written(ours);
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  EXPECT_TRUE(written.readAll().contains("\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n"));
  QFile::remove(ours);

  QFile::remove(home.filePath("data/applications/other.desktop"));
  EXPECT_FALSE(authoriseScreenshots(program, false));
  EXPECT_TRUE(authoriseScreenshots(program, true));
  EXPECT_TRUE(QFile::exists(ours));
  EXPECT_TRUE(desktopEntryAuthorises(program));

  qputenv("XDG_DATA_HOME", savedData);
  qputenv("XDG_DATA_DIRS", savedDirs);
  qputenv("PATH", savedPath);
}

TEST(PortalTrigger, NamesModifiersInOrderAndTheKey) {
  using namespace platform::carbon;
  EXPECT_EQ(portal::triggerText(123, controlKey | optionKey), QStringLiteral("CTRL+ALT+Left"));
  EXPECT_EQ(portal::triggerText(0, cmdKey | shiftKey | optionKey | controlKey), QStringLiteral("CTRL+ALT+SHIFT+LOGO+a"));
  EXPECT_EQ(portal::triggerText(36, controlKey), QStringLiteral("CTRL+Return"));
  EXPECT_EQ(portal::triggerText(18, 0), QStringLiteral("1"));
  EXPECT_EQ(portal::triggerText(24, optionKey), QStringLiteral("ALT+equal"));
  EXPECT_EQ(portal::triggerText(42, optionKey), QStringLiteral("ALT+backslash"));
  EXPECT_EQ(portal::triggerText(49, cmdKey), QStringLiteral("LOGO+space"));
  EXPECT_EQ(portal::triggerText(111, 0), QStringLiteral("F12"));
  EXPECT_FALSE(portal::triggerText(10, controlKey));  // the ISO section key has no name
  EXPECT_FALSE(portal::triggerText(0x10000, controlKey));
}

}  // namespace
}  // namespace vistrel
