#pragma once
// A Qt key press as the product's key event, the one translation every window
// of ours uses. Super is Command, Control is Control, Alt is Option. The key
// code is the physical key's on the US layout (so a shifted symbol names its
// base key, "!" the 1 key); keys without a code get KeyCode::none. The
// characters are what the key typed without Control, Alt or Super: a
// printable key's character lower-cased, else Qt's text (Escape's "\x1b").

#include "platform/KeyEvent.h"

class QKeyEvent;

namespace vistrel::KeyTranslation {

platform::KeyEvent keyEventFrom(const QKeyEvent& event);

}  // namespace vistrel::KeyTranslation
