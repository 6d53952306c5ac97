#pragma once

namespace vistrel::BuildIdentity {

// True exactly when the information dictionary's "VistrelBuildChannel" is the
// string "local". Read at each use.
bool isLocalDevelopment();

}  // namespace vistrel::BuildIdentity
