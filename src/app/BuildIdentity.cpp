#include "app/BuildIdentity.h"

#include "permissions/PermissionScope.h"

namespace vistrel::BuildIdentity {

// One definition of a local build: the permission records are scoped by the
// same answer, and permissions cannot reach up into the shell for it.
bool isLocalDevelopment() { return PermissionScope::isLocalDevelopment(); }

}  // namespace vistrel::BuildIdentity
