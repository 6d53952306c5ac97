#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/linux/AutostartLoginItems.h"
#include "support/Files.h"

namespace vistrel::desktop {
namespace {

using platform::LoginItemStatus;

using vistrel::testing::readFile;
using vistrel::testing::writeFile;

// Exec values follow the Desktop Entry rules: plain paths stay bare, reserved characters quote, "%" doubles, backslashes take both escapes.
TEST(DesktopEntryExecTest, QuotesAndEscapesPaths) {
  EXPECT_EQ(desktopEntryExec("/opt/vistrel/bin/vistrel"), "/opt/vistrel/bin/vistrel");
  EXPECT_EQ(desktopEntryExec("/home/ann/Apps/Vistrel-1.2.AppImage"), "/home/ann/Apps/Vistrel-1.2.AppImage");
  EXPECT_EQ(desktopEntryExec("/home/ann/My Apps/Vistrel"), "\"/home/ann/My Apps/Vistrel\"");
  EXPECT_EQ(desktopEntryExec("/opt/100%/vistrel"), "/opt/100%%/vistrel");
  EXPECT_EQ(desktopEntryExec("/opt/a b%/vistrel"), "\"/opt/a b%%/vistrel\"");
  EXPECT_EQ(desktopEntryExec("/opt/$HOME/vistrel"), "\"/opt/\\\\$HOME/vistrel\"");
  EXPECT_EQ(desktopEntryExec("/opt/back\\slash"), "\"/opt/back\\\\\\\\slash\"");
  EXPECT_EQ(desktopEntryExec("/opt/say \"hi\""), "\"/opt/say \\\\\"hi\\\\\"\"");
  EXPECT_EQ(desktopEntryExec("/opt/`tick`"), "\"/opt/\\\\`tick\\\\`\"");
  EXPECT_EQ(desktopEntryExec("/opt/it's"), "\"/opt/it's\"");
  EXPECT_EQ(desktopEntryExec("/opt/tab\there"), "\"/opt/tab\\there\"");
  for (const char* reserved : {"~", "|", "&", ";", "*", "?", "#", "(", ")", "<", ">"}) {
    const std::string path = std::string("/opt/x") + reserved;
    EXPECT_EQ(desktopEntryExec(path), "\"" + path + "\"") << reserved;
  }
}

class AutostartLoginItemsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(temp.isValid()); }
  std::string folder() const { return temp.filePath("config/autostart").toStdString(); }
  QString entry() const { return temp.filePath("config/autostart/vistrel.desktop"); }
  QTemporaryDir temp;
};

// Registering writes the documented entry and reads as enabled; unregistering removes it, also when it is already gone.
TEST_F(AutostartLoginItemsTest, RegisterAndUnregister) {
  AutostartLoginItems items(folder(), "/home/ann/My Apps/Vistrel.AppImage");
  EXPECT_EQ(items.status(), LoginItemStatus::notRegistered);

  EXPECT_EQ(items.registerItem(), std::nullopt);
  EXPECT_EQ(readFile(entry()),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Vistrel\n"
            "Comment=Window layout and screen capture\n"
            "Exec=\"/home/ann/My Apps/Vistrel.AppImage\"\n"
            "Icon=vistrel\n"
            "Terminal=false\n"
            "X-GNOME-Autostart-enabled=true\n");
  EXPECT_EQ(QFile(entry()).permissions() & QFileDevice::ReadOther, QFileDevice::ReadOther);
  EXPECT_EQ(items.status(), LoginItemStatus::enabled);
  EXPECT_EQ(items.registerItem(), std::nullopt) << "registering twice is fine";
  EXPECT_EQ(QDir(QString::fromStdString(folder())).entryList(QDir::Files | QDir::Hidden), QStringList{"vistrel.desktop"});

  EXPECT_EQ(items.unregisterItem(), std::nullopt);
  EXPECT_FALSE(QFile::exists(entry()));
  EXPECT_EQ(items.status(), LoginItemStatus::notRegistered);
  EXPECT_EQ(items.unregisterItem(), std::nullopt);
}

// Only an entry that starts this program and is not switched off counts as enabled.
TEST_F(AutostartLoginItemsTest, StatusReadsTheEntry) {
  AutostartLoginItems items(folder(), "/opt/vistrel/bin/vistrel");
  ASSERT_EQ(items.registerItem(), std::nullopt);
  const QByteArray ours = readFile(entry());

  struct Case {
    const char* what;
    QByteArray text;
    LoginItemStatus expected;
  };
  const Case cases[] = {
      {"spaced and commented", "# mine\n[Desktop Entry]\nType=Application\nExec = /opt/vistrel/bin/vistrel\n",
       LoginItemStatus::enabled},
      {"another copy", QByteArray(ours).replace("/opt/vistrel", "/usr/local"), LoginItemStatus::notRegistered},
      {"hidden", ours + "Hidden=true\n", LoginItemStatus::notRegistered},
      {"switched off", QByteArray(ours).replace("enabled=true", "enabled=false"), LoginItemStatus::notRegistered},
      {"Exec in another group", "[Desktop Action x]\nExec=/opt/vistrel/bin/vistrel\n[Desktop Entry]\nType=Application\n",
       LoginItemStatus::notRegistered},
      {"empty", "", LoginItemStatus::notRegistered},
  };
  for (const Case& c : cases) {
    writeFile(entry(), c.text);
    EXPECT_EQ(items.status(), c.expected) << c.what;
  }
}

// A folder that cannot be made gives the system's description of the failure.
TEST_F(AutostartLoginItemsTest, FailuresDescribeTheError) {
  writeFile(temp.filePath("config"), "not a folder");
  AutostartLoginItems items(folder(), "/opt/vistrel/bin/vistrel");
  EXPECT_EQ(items.registerItem(), std::optional<std::string>("Not a directory"));
  EXPECT_EQ(items.unregisterItem(), std::optional<std::string>("Not a directory"));
  EXPECT_EQ(items.status(), LoginItemStatus::notRegistered);
}

}  // namespace
}  // namespace vistrel::desktop
