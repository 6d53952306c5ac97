#include <gtest/gtest.h>

#include "platform/wayland/gnome/GnomeAccessibility.h"

namespace vistrel::gnome {
namespace {

// GNOME Shell 45 and later need the ES-module variant; 43, 44 and older the script. The major version is a
// number, not text ("100" > "45"), and an unknown version gets the variant of today's GNOME.
TEST(GnomeExtension, VariantForTheShellVersion) {
  EXPECT_EQ(extensionVariant("43.9"), "43");
  EXPECT_EQ(extensionVariant("44.beta"), "43");
  EXPECT_EQ(extensionVariant("3.38.4"), "43");
  EXPECT_EQ(extensionVariant("45.0"), "45");
  EXPECT_EQ(extensionVariant("48.rc"), "45");
  EXPECT_EQ(extensionVariant("100.1"), "45");
  EXPECT_EQ(extensionVariant(""), "45");
  EXPECT_EQ(extensionVariant("unknown"), "45");
}

}  // namespace
}  // namespace vistrel::gnome
