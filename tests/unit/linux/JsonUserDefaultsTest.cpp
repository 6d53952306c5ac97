#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdint>
#include <limits>

#include "base/LayoutLog.h"
#include "platform/linux/JsonUserDefaults.h"
#include "support/Files.h"

namespace vistrel::desktop {
namespace {

using Value = platform::UserDefaults::Value;

using vistrel::testing::readFile;
using vistrel::testing::writeFile;

class JsonUserDefaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp.isValid());
    LayoutLog::setPathForTesting(temp.filePath("layout.log").toStdString());
  }
  void TearDown() override { LayoutLog::setPathForTesting(LayoutLog::kPath); }

  std::string folder() const { return temp.filePath("config/vistrel").toStdString(); }
  QString documentPath() const { return temp.filePath("config/vistrel/defaults.json"); }
  QByteArray log() const { return readFile(temp.filePath("layout.log")); }
  QStringList folderEntries() const {
    return QDir(QString::fromStdString(folder())).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  }

  QTemporaryDir temp;
};

// Every kind of value comes back from disk as it went in, with integers exact at the extremes.
TEST_F(JsonUserDefaultsTest, EveryTypeRoundTripsThroughTheDocument) {
  const QByteArray bytes("\x00\x01\xff png", 8);
  {
    JsonUserDefaults defaults(folder());
    defaults.setString("vistrel.saveDirectory", "/home/ann/Bilder — Vistrel");
    defaults.setBool("vistrel.capture.copy", true);
    defaults.setBool("vistrel.capture.show", false);
    defaults.setInteger("vistrel.max", std::numeric_limits<std::int64_t>::max());
    defaults.setInteger("vistrel.min", std::numeric_limits<std::int64_t>::min());
    defaults.setInteger("vistrel.pendingPID", 4242);
    defaults.setDouble("vistrel.capture.scrollSpeed", 0.1);
    defaults.setDouble("vistrel.tiny", -2.5e-300);
    defaults.setData("vistrel.ink", bytes);
    defaults.setData("vistrel.empty", QByteArray());
  }
  JsonUserDefaults reread(folder());
  EXPECT_EQ(reread.value("vistrel.saveDirectory"), Value(std::string("/home/ann/Bilder — Vistrel")));
  EXPECT_EQ(reread.value("vistrel.capture.copy"), Value(true));
  EXPECT_EQ(reread.value("vistrel.capture.show"), Value(false));
  EXPECT_EQ(reread.value("vistrel.max"), Value(std::numeric_limits<std::int64_t>::max()));
  EXPECT_EQ(reread.value("vistrel.min"), Value(std::numeric_limits<std::int64_t>::min()));
  EXPECT_EQ(reread.value("vistrel.pendingPID"), Value(std::int64_t(4242)));
  EXPECT_EQ(reread.value("vistrel.capture.scrollSpeed"), Value(0.1));
  EXPECT_EQ(reread.value("vistrel.tiny"), Value(-2.5e-300));
  EXPECT_EQ(reread.value("vistrel.ink"), Value(bytes));
  EXPECT_EQ(reread.value("vistrel.empty"), Value(QByteArray()));
  EXPECT_FALSE(reread.value("vistrel.absent"));
}

// The document is plain JSON of the documented shape, and a whole-number real reads back as an integer.
TEST_F(JsonUserDefaultsTest, DocumentShapeAndWholeNumbers) {
  {
    JsonUserDefaults defaults(folder());
    defaults.setDouble("vistrel.capture.quality", 3.0);
    defaults.setData("vistrel.ink", QByteArray("ink"));
    defaults.setBool("vistrel.capture.save", true);
  }
  const QJsonObject document = QJsonDocument::fromJson(readFile(documentPath())).object();
  EXPECT_EQ(document.value("vistrel.ink").toObject(), (QJsonObject{{"data", "aW5r"}}));
  EXPECT_TRUE(document.value("vistrel.capture.save").isBool());

  JsonUserDefaults reread(folder());
  EXPECT_EQ(reread.value("vistrel.capture.quality"), Value(std::int64_t(3)));
  EXPECT_EQ(reread.real("vistrel.capture.quality"), 3.0);
}

// The folder is made private, each change rewrites the document in place, and no temporary file stays behind.
TEST_F(JsonUserDefaultsTest, RewritesAtomicallyWithoutLeftovers) {
  JsonUserDefaults defaults(folder());
  EXPECT_FALSE(QFile::exists(documentPath())) << "reading alone creates nothing";
  for (int i = 0; i < 20; ++i) defaults.setInteger("vistrel.count", i);
  defaults.remove("vistrel.count");
  defaults.setString("vistrel.kept", "yes");

  EXPECT_EQ(folderEntries(), QStringList{"defaults.json"});
  struct stat st {};
  ASSERT_EQ(::stat(folder().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  const QJsonObject document = QJsonDocument::fromJson(readFile(documentPath())).object();
  EXPECT_EQ(document, (QJsonObject{{"vistrel.kept", "yes"}}));
  EXPECT_TRUE(log().isEmpty());
}

// A document that is not a JSON object is moved aside with a log line, reads as empty, and the next change starts afresh.
TEST_F(JsonUserDefaultsTest, UnreadableDocumentIsMovedAside) {
  for (const QByteArray& broken : {QByteArray("{\"vistrel.ink\": tru"), QByteArray("[1, 2]"), QByteArray("\"text\""),
                                   QByteArray()}) {
    SCOPED_TRACE(broken.toStdString());
    QDir(temp.filePath("config")).removeRecursively();
    QFile::remove(temp.filePath("layout.log"));
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder())));
    writeFile(documentPath(), broken);

    JsonUserDefaults defaults(folder());
    EXPECT_FALSE(defaults.contains("vistrel.ink"));
    const QStringList entries = folderEntries();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_TRUE(QRegularExpression("^defaults\\.json\\.unreadable-\\d{8}T\\d{6}Z$").match(entries[0]).hasMatch())
        << entries[0].toStdString();
    const QString aside = QString::fromStdString(folder()) + "/" + entries[0];
    EXPECT_EQ(readFile(aside), broken);
    EXPECT_TRUE(log().endsWith(" defaults-unreadable moved=" + aside.toUtf8() + "\n")) << log().toStdString();

    defaults.setBool("vistrel.capture.copy", true);
    EXPECT_EQ(QJsonDocument::fromJson(readFile(documentPath())).object(), (QJsonObject{{"vistrel.capture.copy", true}}));
    EXPECT_EQ(folderEntries().size(), 2);
  }
}

// A document that cannot be read as a file (here a folder in its place) is moved aside too; a second one in the same second does not overwrite the first.
TEST_F(JsonUserDefaultsTest, UnreadableFileIsMovedAsideUnderAFreshName) {
  ASSERT_TRUE(QDir().mkpath(documentPath()));
  { JsonUserDefaults first(folder()); }
  ASSERT_TRUE(QDir().mkpath(documentPath()));
  { JsonUserDefaults second(folder()); }
  const QStringList entries = folderEntries();
  EXPECT_EQ(entries.size(), 2) << entries.join(' ').toStdString();
  EXPECT_FALSE(entries.contains("defaults.json"));
  EXPECT_EQ(log().count("defaults-unreadable moved="), 2);
}

// Entries of shapes the settings do not use read as absent but survive a rewrite untouched.
TEST_F(JsonUserDefaultsTest, UnknownShapesSurviveRewrites) {
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder())));
  const QJsonObject foreign{
      {"vistrel.list", QJsonArray{1, "two"}},
      {"vistrel.nested", QJsonObject{{"a", 1}}},
      {"vistrel.notData", QJsonObject{{"data", 5}}},
      {"vistrel.badBase64", QJsonObject{{"data", "*not base64*"}}},
      {"vistrel.null", QJsonValue::Null},
  };
  writeFile(documentPath(), QJsonDocument(foreign).toJson());

  JsonUserDefaults defaults(folder());
  for (const QString& key : foreign.keys()) EXPECT_FALSE(defaults.contains(key.toStdString())) << key.toStdString();
  defaults.setString("vistrel.added", "new");

  QJsonObject expected = foreign;
  expected.insert("vistrel.added", "new");
  EXPECT_EQ(QJsonDocument::fromJson(readFile(documentPath())).object(), expected);
  EXPECT_TRUE(log().isEmpty());
}

// A change that cannot be written is logged and still holds for this run.
TEST_F(JsonUserDefaultsTest, WriteFailureKeepsTheValueInMemory) {
  writeFile(temp.filePath("config"), "a file where the folder should be");
  JsonUserDefaults defaults(folder());
  defaults.setInteger("vistrel.pendingPID", 77);
  EXPECT_EQ(defaults.integer("vistrel.pendingPID"), 77);
  EXPECT_TRUE(log().contains(" defaults-write-failed path=" + documentPath().toUtf8() + " error=Not a directory\n"))
      << log().toStdString();
}

// A crash between writing the temporary file and the rename leaves the old document whole: the next start reads
// it as it was, and its next change is written as usual.
TEST_F(JsonUserDefaultsTest, CrashBeforeRenameKeepsTheOldDocument) {
  {
    JsonUserDefaults defaults(folder());
    defaults.setString("vistrel.pendingSnap", "leftHalf");
  }
  const QByteArray before = readFile(documentPath());
  // What a write cut short before its rename leaves: a half-written temporary beside the document.
  writeFile(temp.filePath("config/vistrel/.defaults.json.tmp-AbC123"), R"({"vistrel.pendingSnap": "righ)");

  JsonUserDefaults reopened(folder());
  EXPECT_EQ(readFile(documentPath()), before);
  EXPECT_EQ(reopened.string("vistrel.pendingSnap"), "leftHalf");
  reopened.setString("vistrel.pendingSnap", "topHalf");
  JsonUserDefaults again(folder());
  EXPECT_EQ(again.string("vistrel.pendingSnap"), "topHalf");
}

}  // namespace
}  // namespace vistrel::desktop

namespace vistrel::desktop {
namespace {

ino_t inodeOf(const QString& path) {
  struct stat st {};
  return ::stat(path.toLocal8Bit().constData(), &st) == 0 ? st.st_ino : 0;
}

// Storing the value a key already holds leaves the file alone; a new value replaces it.
TEST_F(JsonUserDefaultsTest, SameValueDoesNotRewriteTheFile) {
  JsonUserDefaults defaults(folder());
  defaults.set("vistrel.screenCaptureSealedBuild.local", Value(std::string("7")));
  const ino_t written = inodeOf(documentPath());
  ASSERT_NE(written, 0u);
  defaults.set("vistrel.screenCaptureSealedBuild.local", Value(std::string("7")));
  EXPECT_EQ(inodeOf(documentPath()), written);
  defaults.set("vistrel.screenCaptureSealedBuild.local", Value(std::string("8")));
  EXPECT_NE(inodeOf(documentPath()), written);
  EXPECT_EQ(JsonUserDefaults(folder()).value("vistrel.screenCaptureSealedBuild.local"), Value(std::string("8")));
}

}  // namespace
}  // namespace vistrel::desktop
