#pragma once
// After an update has replaced the program's file, the desktop may keep a
// granted permission On that no longer applies to the new file; a fresh
// start of the program often makes it apply. Once per launch this decides
// whether the new build relaunches itself (at most once per build) or coaches
// the user through the repair. Main thread only.

namespace vistrel::PostUpdateHeal {

// The permission keys of this Part, before the scope suffix.
inline constexpr const char* kRelaunchFinishedAtKey = "vistrel.postUpdateRelaunchFinishedAt";
inline constexpr const char* kRelaunchedBuildKey = "vistrel.unifiedPostUpdateRelaunchedBuild";

// After both permission launch records and the single-copy guard. A relaunch
// it decides on happens 1.2 s later, unless both permissions arrived meanwhile.
void considerAfterLaunch();

}  // namespace vistrel::PostUpdateHeal
