#include "LayoutFixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>

#include "base/WindowSnap.h"
#include "layout/LayoutReview.h"

using namespace vistrel;
using namespace vistrel::testing;

namespace {

class Review : public LayoutFlow {
 protected:
  void SetUp() override {
    LayoutFlow::SetUp();
    ASSERT_TRUE(dir.isValid());
    marker = dir.filePath("review").toStdString();
    report = dir.filePath("report.txt").toStdString();
    LayoutReview::setPathsForTesting(marker, report);
  }
  void TearDown() override {
    LayoutReview::setPathsForTesting(LayoutReview::kMarkerPath, LayoutReview::kReportPath);
    LayoutFlow::TearDown();
  }
  std::vector<std::string> reportLines() const {
    std::ifstream in(report);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  std::string reportText() const {
    std::ifstream in(report);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void touch(const std::string& path) { std::ofstream(path) << "x"; }

  QTemporaryDir dir;
  std::string marker;
  std::string report;
};

}  // namespace

// A requested run over a window without size rules: 25 PASS lines, the program ended, the engine as before.
TEST_F(Review, AllStepsPassOnPlainWindow) {
  touch(marker);
  LayoutReview::startIfRequested();
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(marker)));
  sim->clock().runUntilIdle();

  const auto lines = reportLines();
  ASSERT_EQ(lines.size(), 26u) << reportText();
  EXPECT_EQ(lines[0], "layout review");
  EXPECT_EQ(lines[1], "PASS Maximize (0,25 1440x875)");
  EXPECT_EQ(lines[2], "PASS Left Half (0,25 720x875)");
  EXPECT_EQ(lines[6], "PASS Bottom Half (0,25 1440x438)");
  for (std::size_t i = 1; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].rfind("PASS " + std::string(WindowSnaps::title(LayoutReview::steps[i - 1])) + " ", 0), 0u)
        << lines[i];
  }
  EXPECT_EQ(reportText().back(), '\n');
  // Restore, after Larger, brings back what Smaller produced.
  EXPECT_EQ(lines[25].substr(0, 13), "PASS Restore ");
  EXPECT_EQ(lines[25].substr(13), lines[23].substr(13));

  EXPECT_EQ(count("review-done"), 1);
  EXPECT_TRUE(sim->reviewApp().terminated);
  EXPECT_FALSE(WindowEngine::shared().suppressAlerts);
  EXPECT_EQ(WindowTargetStore::shared().pinnedPID, std::nullopt);
  EXPECT_TRUE(alerts->shown.empty());

  // The marker was consumed: a second launch runs nothing.
  LayoutReview::startIfRequested();
  sim->clock().runUntilIdle();
  EXPECT_EQ(count("review-done"), 1);
}

// Untrusted: a one-line setup failure with denied=true and the script's error; the program is closed again.
TEST_F(Review, UntrustedSetupFailure) {
  sim->reviewApp().errorText = "not allowed to send keystrokes";
  sim->accessibility().setTrusted(false);
  spawn(LayoutReview::run());
  sim->clock().runUntilIdle();
  EXPECT_EQ(reportText(), "FAIL setup: no window to resize denied=true not allowed to send keystrokes\n");
  EXPECT_TRUE(sim->reviewApp().terminated);
  EXPECT_FALSE(WindowEngine::shared().suppressAlerts);
}

// A program that does not start: the launch failure line with the error text.
TEST_F(Review, ProgramDoesNotLaunch) {
  sim->reviewApp().launches = false;
  sim->reviewApp().errorText = "xterm: not found";
  spawn(LayoutReview::run());
  sim->clock().runUntilIdle();
  EXPECT_EQ(reportText(), "FAIL setup: the review program did not launch xterm: not found\n");
  EXPECT_EQ(count("review-done"), 1);
}

// A program running before the test keeps running; only the document is closed; alerts stay suppressed if they were.
TEST_F(Review, RunningProgramKeepsRunning) {
  sim->reviewApp().startRunning();
  WindowEngine::shared().suppressAlerts = true;
  spawn(LayoutReview::run());
  sim->clock().runUntilIdle();
  EXPECT_TRUE(sim->reviewApp().documentClosed);
  EXPECT_FALSE(sim->reviewApp().terminated);
  EXPECT_TRUE(sim->workspace().isRunning(sim->reviewApp().pid));
  EXPECT_TRUE(WindowEngine::shared().suppressAlerts);
}

// A window that will not shrink below 1000 points fails the narrow steps with the expected and actual frames.
TEST_F(Review, ConstrainedWindowFailsNarrowSteps) {
  sim->reviewApp().documentRules.minSize = {1000, 200};
  spawn(LayoutReview::run());
  sim->clock().runUntilIdle();
  const auto lines = reportLines();
  ASSERT_EQ(lines.size(), 26u);
  EXPECT_EQ(lines[1], "PASS Maximize (0,25 1440x875)");
  EXPECT_EQ(lines[2], "FAIL Left Half expected (0,25 720x875) actual (0,25 1000x875)");
}

// Links planted at the marker and the report are removed or replaced, never followed.
TEST_F(Review, PlantedLinksAreNotFollowed) {
  const std::string victim = dir.filePath("victim").toStdString();
  touch(victim);
  ASSERT_EQ(::symlink(victim.c_str(), marker.c_str()), 0);
  ASSERT_EQ(::symlink(victim.c_str(), report.c_str()), 0);
  LayoutReview::startIfRequested();
  sim->clock().runUntilIdle();

  struct stat st {};
  EXPECT_NE(::lstat(marker.c_str(), &st), 0);
  ASSERT_EQ(::lstat(report.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  std::ifstream in(victim);
  std::string kept;
  std::getline(in, kept);
  EXPECT_EQ(kept, "x");
  EXPECT_EQ(reportLines().front(), "layout review");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden).size(), 2);  // no temp left
}
