#include <gtest/gtest.h>

#include "platform/linux/update/Appcast.h"
#include "platform/linux/update/UpdateArchive.h"

namespace vistrel::desktop {
namespace {

const std::string kSignature = std::string(86, 'A') + "==";

QByteArray feed(const std::string& items) {
  return QByteArray::fromStdString(
      "<?xml version=\"1.0\"?><rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/"
      "sparkle\"><channel><title>Vistrel</title>" +
      items + "</channel></rss>");
}

std::string item(const std::string& version) {
  return "<item><title>Vistrel " + version + "</title><description><![CDATA[Vistrel-Force-Below: 1.0\n- A]]>" +
         "</description><enclosure url=\"https://vistrel.app/v.tar.xz\" length=\"1200\" sparkle:version=\"" + version +
         "\" sparkle:edSignature=\"" + kSignature + "\"/></item>";
}

// Both ways of giving the version are read; the newest item wins only when it is above the running build.
TEST(UpdateFeed, ItemsAndTheNewestNewerOne) {
  const auto parsed = Appcast::parse(feed(
      item("140") +
      "<item><title>Vistrel 1.10</title><sparkle:version>1.10</sparkle:version><sparkle:shortVersionString>1.10 "
      "</sparkle:shortVersionString><enclosure url=\"http://127.0.0.1:8/a\" length=\"5\" sparkle:edSignature=\"" +
      kSignature + "\"/></item>"));
  ASSERT_TRUE(std::holds_alternative<Appcast::Items>(parsed)) << std::get<std::string>(parsed);
  const auto& items = std::get<Appcast::Items>(parsed);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].displayVersionString, "140");
  EXPECT_EQ(items[0].itemDescription, "Vistrel-Force-Below: 1.0\n- A");
  EXPECT_EQ(items[0].contentLength, 1200u);
  EXPECT_EQ(items[1].displayVersionString, "1.10");
  EXPECT_EQ(items[1].fileURL, "http://127.0.0.1:8/a");

  EXPECT_EQ(Appcast::newestNewerThan(items, "139")->versionString, "140");
  EXPECT_EQ(Appcast::newestNewerThan(items, "140"), std::nullopt);
  EXPECT_EQ(Appcast::compareVersions("1.9", "1.10"), -1);
  EXPECT_EQ(Appcast::compareVersions("1.2", "1.2.0"), 0);
}

// A feed that is not an RSS appcast, declares a DTD, or has an item missing what the download needs is refused.
TEST(UpdateFeed, MalformedFeeds) {
  const std::vector<QByteArray> refused = {
      QByteArray(),
      "<rss><channel><item><title>cut",
      "<html><body/></html>",
      "<!DOCTYPE rss [<!ENTITY a \"aaaa\">]><rss><channel/></rss>",
      feed(item("1")).replace("length=\"1200\"", "length=\"-1\""),
      feed(item("1")).replace("https://vistrel.app", "file:///etc"),
      feed(item("1")).replace(kSignature.c_str(), "c2ln"),
      feed("<item><title>no enclosure</title></item>"),
      feed(item("")),
      feed(item("1")) + "<trailing/>",
      QByteArray(Appcast::kMaxFeedBytes + 1, ' '),
  };
  for (const QByteArray& bytes : refused) {
    EXPECT_TRUE(std::holds_alternative<std::string>(Appcast::parse(bytes))) << bytes.left(120).toStdString();
  }
  EXPECT_TRUE(std::holds_alternative<Appcast::Items>(Appcast::parse(feed(""))));
}

// Entry names stay inside the top folder: "./" and doubled slashes are harmless, "..", absolute paths and
// other top folders are refused.
TEST(UpdateFeed, ArchiveEntryNames) {
  EXPECT_EQ(UpdateArchive::entryComponents("./vistrel//bin/vistrel"),
            (std::vector<std::string>{"vistrel", "bin", "vistrel"}));
  EXPECT_EQ(UpdateArchive::entryComponents("vistrel/"), (std::vector<std::string>{"vistrel"}));
  for (const char* name : {"vistrel/../escaped", "/vistrel/bin", "other/bin", "..", "", "vistrel/bin/../../x"}) {
    EXPECT_EQ(UpdateArchive::entryComponents(name), std::nullopt) << name;
  }
}

}  // namespace
}  // namespace vistrel::desktop
