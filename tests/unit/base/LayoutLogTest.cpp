#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>

#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "base/CropLog.h"
#include "base/LayoutLog.h"

using namespace vistrel;

namespace {

class LayoutLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    path = dir.filePath("layout.log").toStdString();
    LayoutLog::setPathForTesting(path);
  }
  void TearDown() override { LayoutLog::setPathForTesting(LayoutLog::kPath); }

  std::string contents() const {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  QTemporaryDir dir;
  std::string path;
};

}  // namespace

// The first write creates the file, private to us, with exactly one line in the fixed format.
TEST_F(LayoutLogTest, FirstWriteCreatesOneLine) {
  LayoutLog::write("snap-done dx=0");
  const std::string text = contents();
  EXPECT_TRUE(std::regex_match(text, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ snap-done dx=0\n)"))) << text;
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// Messages are written as given: line feeds are not escaped, non-ASCII text is UTF-8, invalid UTF-8 is dropped.
TEST_F(LayoutLogTest, MessagesAreNotEscaped) {
  LayoutLog::write("a\nb");
  LayoutLog::write("Vistrel \u2014 local build\u2026");
  LayoutLog::write(std::string("bad \xff byte"));
  const std::string text = contents();
  EXPECT_NE(text.find(" a\nb\n"), std::string::npos);
  EXPECT_NE(text.find(" Vistrel \xE2\x80\x94 local build\xE2\x80\xA6\n"), std::string::npos);
  EXPECT_EQ(text.find("bad"), std::string::npos);
}

// Lines from many threads at once arrive whole, never mixed.
TEST_F(LayoutLogTest, ConcurrentWritersNeverInterleave) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) LayoutLog::write("writer-" + std::to_string(t) + " " + std::string(300, 'a' + t));
    });
  for (auto& th : threads) th.join();
  std::istringstream lines(contents());
  std::string line;
  int count = 0;
  const std::regex whole(R"(\S+Z writer-(\d) ([a-d]{300}))");
  while (std::getline(lines, line)) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, whole)) << line.substr(0, 80);
    EXPECT_EQ(m[2].str(), std::string(300, 'a' + std::stoi(m[1].str())));
    ++count;
  }
  EXPECT_EQ(count, 800);
}

// A link planted at the log path is never followed: the link's target stays untouched.
TEST_F(LayoutLogTest, PlantedLinkIsNotFollowed) {
  const std::string target = dir.filePath("victim").toStdString();
  { std::ofstream(target) << "precious\n"; }
  ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
  LayoutLog::write("capture-done");
  std::ifstream in(target);
  std::string all((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(all, "precious\n");

  const std::string dangling = dir.filePath("dangling.log").toStdString();
  ASSERT_EQ(::symlink(dir.filePath("would-be-created").toStdString().c_str(), dangling.c_str()), 0);
  LayoutLog::setPathForTesting(dangling);
  LayoutLog::write("capture-done");
  EXPECT_NE(::access(dir.filePath("would-be-created").toStdString().c_str(), F_OK), 0);
}

// Something other than a regular file at the path (a FIFO nobody reads) gets nothing and blocks nothing.
TEST_F(LayoutLogTest, NonRegularFileIsLeftAlone) {
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  LayoutLog::write("perform leftHalf");  // would block forever if the FIFO were opened for writing normally
  struct stat st {};
  ASSERT_EQ(::lstat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// A file owned by another user is not appended to (needs root to set up the foreign owner).
TEST_F(LayoutLogTest, ForeignFileIsLeftAlone) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the file another owner";
  { std::ofstream(path) << "theirs\n"; }
  ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
  ASSERT_EQ(::seteuid(65534), 0);
  LayoutLog::write("theirs?");
  ASSERT_EQ(::seteuid(0), 0);
  LayoutLog::write("ours?");
  EXPECT_EQ(contents(), "theirs\n");
}

// The log's own path is the fixed one.
TEST(LayoutLogPath, FixedPath) { EXPECT_STREQ(LayoutLog::kPath, "/tmp/vistrel-layout.log"); }

// Crop rectangles keep their sign and never switch to exponent notation.
TEST(CropLog, Format) {
  EXPECT_EQ(CropLog::rect(Rect(10, 20.5, 300, 200)), "10.0,20.5 300.0x200.0");
  EXPECT_EQ(CropLog::rect(Rect(-12.25, -0.04, 1, 2)), "-12.2,-0.0 1.0x2.0");
  EXPECT_EQ(CropLog::rect(Rect(1e12, 0, 5e15, 1)), "1000000000000.0,0.0 5000000000000000.0x1.0");
  EXPECT_EQ(CropLog::rect(Rect(10, 10, -4, 6)), "6.0,10.0 4.0x6.0");
}

// Timestamps are UTC with whole seconds.
TEST(LayoutLogTimestamp, WholeSecondsUtc) {
  EXPECT_EQ(LayoutLog::timestamp(1772356542.9), "2026-03-01T09:15:42Z");
}
