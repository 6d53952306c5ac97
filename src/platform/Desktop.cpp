#include "platform/Desktop.h"

#include "platform/Platform.h"

namespace vistrel::platform {

Accessibility& accessibility() { return current().accessibility(); }
Screens& screens() { return current().screens(); }
Workspace& workspace() { return current().workspace(); }
HotKeys& hotKeys() { return current().hotKeys(); }
ReviewApp& reviewApp() { return current().reviewApp(); }

}  // namespace vistrel::platform
