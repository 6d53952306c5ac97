#include "InstanceFixture.h"

#include "app/AppDelegate.h"

namespace vistrel::testing {
namespace {

using GuardFlow = InstanceFlow;

std::string informativeText(const std::string& mine, const std::string& other) {
  return "Vistrel runs one copy per program file \u2014 not per name, and two copies take the same shortcuts."
         "\n\nThis copy:\n" + mine +
         "\n\nAlso running:\n" + other +
         "\n\nQuit one copy (tray icon \u2192 Quit). For daily use and updates, keep only the installed copy: the "
         "package's /usr/bin/vistrel, or the one in your installation folder.";
}

// A copy running from another file gets the informational alert naming both paths, and one log line.
TEST_F(GuardFlow, SecondCopyFromAnotherFileIsWarned) {
  addCopy(700, "/home/ann/Downloads/Vistrel/vistrel");
  SingleCopyGuard::warnIfNeeded();

  ASSERT_EQ(presenter->shown.size(), 1u);
  EXPECT_EQ(presenter->shown[0].messageText, "Quit the other Vistrel");
  EXPECT_EQ(presenter->shown[0].informativeText, informativeText(kMyPath, "/home/ann/Downloads/Vistrel/vistrel"));
  EXPECT_EQ(logMessages(),
            std::vector<std::string>{
                "duplicate-vistrel self=/opt/Vistrel/vistrel other=/home/ann/Downloads/Vistrel/vistrel pid=700"});
}

// The same file (also through "./", "//" and ".." spellings), this process, other programs and copies with no
// identifier or path are no reason to warn, and nothing is logged.
TEST_F(GuardFlow, SameFileAndNonCandidatesAreQuiet) {
  addCopy(701, "/opt/./Vistrel//vistrel");
  addCopy(702, "/opt/Vistrel/../Vistrel/vistrel");
  addCopy(703, "/usr/bin/other", std::string("org.example.Other"));
  addCopy(704, "/usr/bin/nameless", std::nullopt);
  addCopy(705, std::nullopt);
  addCopy(706, std::string());
  addCopy(sim::SimWorkspace::kOwnPID, "/somewhere/else/vistrel");
  SingleCopyGuard::warnIfNeeded();
  EXPECT_TRUE(presenter->shown.empty());
  EXPECT_TRUE(logMessages().empty());
}

// Of several differing copies only the first in the workspace's order is named, once; a same-file copy before it is
// skipped, and a path that differs only in letter case is another file.
TEST_F(GuardFlow, FirstDifferingCopyInWorkspaceOrder) {
  addCopy(900, "/opt/Vistrel/vistrel");
  addCopy(800, "/OPT/Vistrel/vistrel");
  addCopy(100, "/tmp/vistrel");
  SingleCopyGuard::warnIfNeeded();
  ASSERT_EQ(presenter->shown.size(), 1u);
  EXPECT_EQ(presenter->shown[0].informativeText, informativeText(kMyPath, "/OPT/Vistrel/vistrel"));
  EXPECT_EQ(logMessages(),
            std::vector<std::string>{"duplicate-vistrel self=/opt/Vistrel/vistrel other=/OPT/Vistrel/vistrel pid=800"});
}

// A program without a bundle identifier finds no copies, even of programs that carry none either.
TEST_F(GuardFlow, NoIdentifierFindsNoCopies) {
  sim->bundle().identifier.clear();
  addCopy(710, "/tmp/vistrel", std::string());
  addCopy(711, "/tmp/vistrel2");
  SingleCopyGuard::warnIfNeeded();
  EXPECT_TRUE(presenter->shown.empty());
}

// The launch shows the alert before the status item exists and goes on once it is dismissed.
TEST_F(GuardFlow, LaunchWaitsOnTheAlert) {
  addCopy(720, "/home/ann/Downloads/vistrel");
  bool itemWhileShown = true;
  presenter->whileShown = [&] { itemWhileShown = sim->statusItem() != nullptr; };
  AppDelegate delegate;
  delegate.applicationDidFinishLaunching();
  ASSERT_EQ(presenter->shown.size(), 1u);
  EXPECT_FALSE(itemWhileShown);
  EXPECT_NE(delegate.statusItem(), nullptr);
  delegate.applicationWillTerminate();
  sim->clock().runPending();
}

}  // namespace
}  // namespace vistrel::testing
