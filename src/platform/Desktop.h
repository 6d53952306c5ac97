#pragma once
// The desktop facilities of the installed platform, for product code that
// reaches other programs' windows, the displays, running programs, hot keys
// and the self-test's text program.

#include "platform/Accessibility.h"
#include "platform/HotKeys.h"
#include "platform/ReviewApp.h"
#include "platform/Screens.h"
#include "platform/Workspace.h"

namespace vistrel::platform {

Accessibility& accessibility();
Screens& screens();
Workspace& workspace();
HotKeys& hotKeys();
ReviewApp& reviewApp();

}  // namespace vistrel::platform
