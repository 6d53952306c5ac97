#pragma once
// The scope every permission record lives in: a local development build and
// an installed build of the same user keep separate records, so each key is
// stored with a dot and "local" or "release" appended. Also the build the
// records name.

#include <string>
#include <string_view>

namespace vistrel::PermissionScope {

// True exactly when the information dictionary's "VistrelBuildChannel" is the
// string "local". Read at each use.
bool isLocalDevelopment();

// "local" for a local development build, else "release".
std::string word();

// `key` followed by "." and the scope word.
std::string key(std::string_view key);

// The build the records name: "CFBundleVersion", or "" when it is missing.
std::string currentBuild();

}  // namespace vistrel::PermissionScope
