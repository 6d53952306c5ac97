#pragma once
// A copy started to replace the running one (a relaunch, an installed update)
// registers its shortcuts while the old copy still holds every key, and the
// system refuses them all. Once every earlier copy has gone, the refused keys
// are asked for again, so the new copy has its shortcuts without a restart.

#include "base/Task.h"

namespace vistrel::HotkeyTakeover {

// After the launch's registration, on the main thread. Does nothing when no
// key was refused or no other copy of this program runs. Waits for those copies
// to end (polling, bounded), then retries the refused keys once; a key another
// program holds stays refused, logged only by the registration.
Task<> takeOverFromEarlierCopies();

}  // namespace vistrel::HotkeyTakeover
