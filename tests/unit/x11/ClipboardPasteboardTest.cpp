#include <gtest/gtest.h>

#include "platform/x11/ClipboardPasteboard.h"

namespace vistrel::x11 {
namespace {

// Text goes on the clipboard and comes back as the same UTF-8; a cleared clipboard holds no text, an empty string is text.
TEST(ClipboardPasteboardTest, TextRoundTripAndClear) {
  ClipboardPasteboard pasteboard;
  pasteboard.setString("/tmp/vistrel-layout.log — “copied”…");
  EXPECT_EQ(pasteboard.string(), std::optional<std::string>("/tmp/vistrel-layout.log — “copied”…"));
  pasteboard.clear();
  EXPECT_EQ(pasteboard.string(), std::nullopt);
  pasteboard.setString("");
  EXPECT_EQ(pasteboard.string(), std::optional<std::string>(""));
  pasteboard.clear();
}

}  // namespace
}  // namespace vistrel::x11
