#include "platform/x11/ProcessMemory.h"

#include <malloc.h>

namespace vistrel::x11::ProcessMemory {

void limitArenas() { mallopt(M_ARENA_MAX, 2); }

void releaseFree() { malloc_trim(0); }

}  // namespace vistrel::x11::ProcessMemory
