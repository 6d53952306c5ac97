#include "app/BuildIdentity.h"

#include "platform/Platform.h"

namespace vistrel::BuildIdentity {

bool isLocalDevelopment() {
  return platform::current().bundle().infoString("VistrelBuildChannel") == "local";
}

}  // namespace vistrel::BuildIdentity
