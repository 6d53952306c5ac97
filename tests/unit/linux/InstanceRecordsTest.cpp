#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/linux/InstanceRecords.h"
#include "support/ScopedEnv.h"

namespace vistrel::desktop {

using vistrel::testing::ScopedEnv;

namespace {

std::uint64_t ownStartTime() { return *InstanceRecords::processStartTime(std::int32_t(::getpid())); }

InstanceRecord ownRecord() {
  return {std::int32_t(::getpid()), "app.vistrel.Vistrel", "/opt/Vistrel/vistrel", ownStartTime()};
}

// A pid that ran a moment ago and has ended (and been reaped).
std::int32_t endedPID() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return std::int32_t(child);
}

void writeFile(const QString& path, const QByteArray& contents) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(contents);
}

mode_t modeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0);
  return st.st_mode & 07777;
}

// A record survives encoding; anything that is not a whole record is refused.
TEST(InstanceRecordsTest, EncodeDecode) {
  const InstanceRecord record{4711, "app.vistrel.Vistrel", "/home/ann/Downloads/vistrel", 123456789012};
  EXPECT_EQ(InstanceRecords::decode(InstanceRecords::encode(record)), record);

  const char* malformed[] = {
      "",
      "not json",
      "[1,2]",
      R"({"pid":4711,"bundleIdentifier":"a","bundlePath":"/b"})",
      R"({"pid":"4711","bundleIdentifier":"a","bundlePath":"/b","startTime":1})",
      R"({"pid":0,"bundleIdentifier":"a","bundlePath":"/b","startTime":1})",
      R"({"pid":-3,"bundleIdentifier":"a","bundlePath":"/b","startTime":1})",
      R"({"pid":47.5,"bundleIdentifier":"a","bundlePath":"/b","startTime":1})",
      R"({"pid":3000000000,"bundleIdentifier":"a","bundlePath":"/b","startTime":1})",
      R"({"pid":4711,"bundleIdentifier":"","bundlePath":"/b","startTime":1})",
      R"({"pid":4711,"bundleIdentifier":"a","bundlePath":"","startTime":1})",
      R"({"pid":4711,"bundleIdentifier":"a","bundlePath":7,"startTime":1})",
      R"({"pid":4711,"bundleIdentifier":"a","bundlePath":"/b","startTime":-1})",
      R"({"pid":4711,"bundleIdentifier":"a","bundlePath":"/b","startTime":1.5})",
      R"({"pid":4711,"bundleIdentifier":"a","bundlePath":"/b","startTime":1e300})",
      R"({"pid":4711,"bundleIdentifier":"a","bundlePath":"/b","startTime":1)",
  };
  for (const char* text : malformed) EXPECT_EQ(InstanceRecords::decode(text), std::nullopt) << text;
}

// The start time is field 22 of a stat line, whatever the command name holds; short or broken lines give none.
TEST(InstanceRecordsTest, ParseStartTime) {
  const std::string tail = " S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 987654 19 20";
  EXPECT_EQ(InstanceRecords::parseStartTime("42 (vistrel)" + tail), 987654u);
  EXPECT_EQ(InstanceRecords::parseStartTime("42 (a b) (c))" + tail), 987654u);
  EXPECT_EQ(InstanceRecords::parseStartTime("42 (vistrel) S 1 2 3"), std::nullopt);
  EXPECT_EQ(InstanceRecords::parseStartTime("42 vistrel" + tail), std::nullopt);
  EXPECT_EQ(InstanceRecords::parseStartTime("42 (x) S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 98x 19"),
            std::nullopt);

  std::ifstream stat("/proc/self/stat");
  std::string line;
  std::getline(stat, line);
  EXPECT_EQ(InstanceRecords::parseStartTime(line), ownStartTime());
}

// A record is live while its process runs with the start time it recorded; an ended pid or another start is not.
TEST(InstanceRecordsTest, Liveness) {
  auto record = ownRecord();
  EXPECT_TRUE(InstanceRecords::isLive(record));
  record.startTime += 1;
  EXPECT_FALSE(InstanceRecords::isLive(record));
  record.pid = endedPID();
  EXPECT_EQ(InstanceRecords::processStartTime(record.pid), std::nullopt);
  EXPECT_FALSE(InstanceRecords::isLive(record));
}

// Publishing writes a private record named by pid and start time, clears the records of ended processes but keeps
// live and unreadable ones, and the record goes with its owner (a move hands it over).
TEST(InstanceRecordsTest, PublishAndWithdraw) {
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString();
  const QString ended = dir.filePath("1-1.instance");
  writeFile(ended, InstanceRecords::encode({endedPID(), "app.vistrel.Vistrel", "/gone", 1}));
  const QString parent = dir.filePath("parent.instance");
  const std::int32_t parentPID = std::int32_t(::getppid());
  writeFile(parent, InstanceRecords::encode(
                        {parentPID, "app.vistrel.Vistrel", "/parent", *InstanceRecords::processStartTime(parentPID)}));
  const QString junk = dir.filePath("junk.instance");
  writeFile(junk, "{");

  std::string error;
  auto published = PublishedInstance::publish(folder, "app.vistrel.Vistrel", "/opt/Vistrel/vistrel", error);
  ASSERT_TRUE(published) << error;
  const std::string path =
      folder + "/" + std::to_string(::getpid()) + "-" + std::to_string(ownStartTime()) + ".instance";
  EXPECT_EQ(published->path(), path);
  EXPECT_EQ(published->record(), ownRecord());
  EXPECT_EQ(modeOf(path), 0600u);
  EXPECT_FALSE(QFile::exists(ended));
  EXPECT_TRUE(QFile::exists(parent));
  EXPECT_TRUE(QFile::exists(junk));

  std::optional<PublishedInstance> moved(std::move(*published));
  published.reset();
  EXPECT_TRUE(std::filesystem::exists(path));
  moved.reset();
  EXPECT_FALSE(std::filesystem::exists(path));
}

// Listing keeps live records only, oldest start first, skipping unreadable, linked, hidden and other files; the
// workspace's entries carry identifier, bundle path and the process's executable.
TEST(InstanceRecordsTest, ListsLiveRecordsInStartOrder) {
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString();
  std::string error;
  const auto own = PublishedInstance::publish(folder, "app.vistrel.Vistrel", "/opt/Vistrel/vistrel", error);
  ASSERT_TRUE(own) << error;
  const std::int32_t parentPID = std::int32_t(::getppid());
  const InstanceRecord parent{parentPID, "app.vistrel.Vistrel", "/parent/vistrel",
                              *InstanceRecords::processStartTime(parentPID)};
  writeFile(dir.filePath("parent.instance"), InstanceRecords::encode(parent));
  auto restarted = ownRecord();
  restarted.startTime += 1;
  writeFile(dir.filePath("restarted.instance"), InstanceRecords::encode(restarted));
  writeFile(dir.filePath(".hidden.instance"), InstanceRecords::encode(ownRecord()));
  writeFile(dir.filePath("record.json"), InstanceRecords::encode(ownRecord()));
  writeFile(dir.filePath("huge.instance"), QByteArray(100 * 1024, ' ') + InstanceRecords::encode(ownRecord()));
  ASSERT_TRUE(QFile::link(QString::fromStdString(own->path()), dir.filePath("link.instance")));

  EXPECT_EQ(InstanceRecords::live(folder), (std::vector<InstanceRecord>{parent, own->record()}));

  const auto running = InstanceRecords::runningApplications(folder);
  ASSERT_EQ(running.size(), 2u);
  EXPECT_EQ(running[1].pid, ::getpid());
  EXPECT_EQ(running[1].bundleIdentifier, "app.vistrel.Vistrel");
  EXPECT_EQ(running[1].bundlePath, "/opt/Vistrel/vistrel");
  EXPECT_EQ(running[1].localizedName, "Vistrel");
  EXPECT_EQ(running[1].executablePath, std::filesystem::read_symlink("/proc/self/exe").string());
  EXPECT_TRUE(InstanceRecords::live(folder + "/missing").empty());
}

// The private folder is made with mode 0700 whatever the umask; a link, a file, another mode or another owner is
// refused and left as it is.
TEST(InstanceRecordsTest, PrivateFolder) {
  QTemporaryDir dir;
  std::string error;
  const std::string fresh = dir.filePath("fresh").toStdString();
  const mode_t oldMask = ::umask(0277);
  EXPECT_EQ(privateFolder(fresh, error), fresh) << error;
  ::umask(oldMask);
  EXPECT_EQ(modeOf(fresh), 0700u);
  EXPECT_EQ(privateFolder(fresh, error), fresh) << error;

  const std::string link = dir.filePath("link").toStdString();
  ASSERT_EQ(::symlink(fresh.c_str(), link.c_str()), 0);
  EXPECT_EQ(privateFolder(link, error), std::nullopt);
  EXPECT_EQ(error, link + " is a symbolic link");

  const std::string file = dir.filePath("file").toStdString();
  writeFile(QString::fromStdString(file), "x");
  EXPECT_EQ(privateFolder(file, error), std::nullopt);
  EXPECT_EQ(error, file + " is not a directory");

  const std::string open = dir.filePath("open").toStdString();
  ASSERT_EQ(::mkdir(open.c_str(), 0700), 0);
  ASSERT_EQ(::chmod(open.c_str(), 0755), 0);
  EXPECT_EQ(privateFolder(open, error), std::nullopt);
  EXPECT_EQ(error, open + " has mode 0755, not 0700");
  EXPECT_EQ(modeOf(open), 0755u);

  if (::geteuid() == 0) {
    const std::string foreign = dir.filePath("foreign").toStdString();
    ASSERT_EQ(::mkdir(foreign.c_str(), 0700), 0);
    ASSERT_EQ(::chown(foreign.c_str(), 12345, 12345), 0);
    EXPECT_EQ(privateFolder(foreign, error), std::nullopt);
    EXPECT_EQ(error, foreign + " belongs to uid 12345");
  }

  EXPECT_EQ(privateFolder(dir.filePath("no/such/parent").toStdString(), error), std::nullopt);
  EXPECT_TRUE(error.starts_with("cannot make ")) << error;
}

// $XDG_RUNTIME_DIR, cleaned, is the folder when it is one; otherwise the private folder under /tmp is meant.
TEST(InstanceRecordsTest, InstanceFolderPrefersRuntimeDir) {
  QTemporaryDir dir;
  std::string error;
  {
    const std::string spelled = dir.path().toStdString() + "//./";
    ScopedEnv runtime("XDG_RUNTIME_DIR", spelled.c_str());
    EXPECT_EQ(instanceFolder(error), dir.path().toStdString());
  }
  const std::string fallback = "/tmp/vistrel-" + std::to_string(::geteuid());
  for (const char* unusable : {"relative/dir", "/no/such/folder", static_cast<const char*>(nullptr)}) {
    ScopedEnv runtime("XDG_RUNTIME_DIR", unusable);
    error.clear();
    const auto folder = instanceFolder(error);
    EXPECT_TRUE(folder == fallback || error.find(fallback) != std::string::npos) << error;
  }
}

}  // namespace
}  // namespace vistrel::desktop
