#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "platform/linux/CarbonKeys.h"

namespace vistrel::desktop {
namespace {

// Every entry maps both ways to its partner, and no key code or keysym occurs twice.
TEST(CarbonKeysTest, TableRoundTripsWithoutDuplicates) {
  std::set<std::uint16_t> codes;
  std::set<std::uint32_t> keysyms;
  for (const CarbonKeys::Entry& entry : CarbonKeys::table()) {
    EXPECT_TRUE(codes.insert(entry.keyCode).second) << "key code " << entry.keyCode << " twice";
    EXPECT_TRUE(keysyms.insert(entry.keysym).second) << "keysym 0x" << std::hex << entry.keysym << " twice";
    EXPECT_EQ(CarbonKeys::keysym(entry.keyCode), entry.keysym) << "key code " << entry.keyCode;
    EXPECT_EQ(CarbonKeys::keyCode(entry.keysym), entry.keyCode) << "keysym 0x" << std::hex << entry.keysym;
  }
}

// The US ANSI character keys have their characters' keysyms (Latin-1), the named keys their own.
TEST(CarbonKeysTest, KeysMapToTheirKeysyms) {
  const std::pair<std::uint16_t, char> ansi[] = {
      {0, 'a'},  {1, 's'},  {2, 'd'},  {3, 'f'},  {4, 'h'},   {5, 'g'},  {6, 'z'},   {7, 'x'},  {8, 'c'},  {9, 'v'},
      {11, 'b'}, {12, 'q'}, {13, 'w'}, {14, 'e'}, {15, 'r'},  {16, 'y'}, {17, 't'},  {18, '1'}, {19, '2'}, {20, '3'},
      {21, '4'}, {22, '6'}, {23, '5'}, {24, '='}, {25, '9'},  {26, '7'}, {27, '-'},  {28, '8'}, {29, '0'}, {30, ']'},
      {31, 'o'}, {32, 'u'}, {33, '['}, {34, 'i'}, {35, 'p'},  {37, 'l'}, {38, 'j'},  {39, '\''}, {40, 'k'}, {41, ';'},
      {42, '\\'}, {43, ','}, {44, '/'}, {45, 'n'}, {46, 'm'}, {47, '.'}, {50, '`'}};
  for (const auto& [code, character] : ansi) {
    EXPECT_EQ(CarbonKeys::keysym(code), std::uint32_t(character)) << "key code " << code;
  }
  EXPECT_EQ(CarbonKeys::keysym(36), 0xff0du);   // Return
  EXPECT_EQ(CarbonKeys::keysym(48), 0xff09u);   // Tab
  EXPECT_EQ(CarbonKeys::keysym(49), 0x20u);     // space
  EXPECT_EQ(CarbonKeys::keysym(51), 0xff08u);   // BackSpace: the Delete key deletes backwards
  EXPECT_EQ(CarbonKeys::keysym(53), 0xff1bu);   // Escape
  EXPECT_EQ(CarbonKeys::keysym(117), 0xffffu);  // Delete: Forward Delete
  EXPECT_EQ(CarbonKeys::keysym(122), 0xffbeu);  // F1
  EXPECT_EQ(CarbonKeys::keysym(90), 0xffd1u);   // F20
  EXPECT_EQ(CarbonKeys::keysym(123), 0xff51u);  // Left
  EXPECT_EQ(CarbonKeys::keysym(126), 0xff52u);  // Up
  EXPECT_EQ(CarbonKeys::keysym(83), 0xffb1u);   // KP_1
}

// Codes without a key (the ISO section key, modifiers, gaps) have no keysym; unknown keysyms have no code.
TEST(CarbonKeysTest, UnknownKeysHaveNoPartner) {
  for (std::uint16_t code : {10, 52, 55, 56, 57, 58, 59, 63, 127, 0xFFFF}) {
    EXPECT_FALSE(CarbonKeys::keysym(code)) << "key code " << code;
  }
  EXPECT_FALSE(CarbonKeys::keyCode(0xffe3));  // Control_L
  EXPECT_FALSE(CarbonKeys::keyCode(0));
}

// The other keysyms of a key read back as that key: Shift, Caps Lock, NumLock off, Shift+Tab.
TEST(CarbonKeysTest, AliasesReadAsTheirKey) {
  EXPECT_EQ(CarbonKeys::keyCode('A'), 0);
  EXPECT_EQ(CarbonKeys::keyCode('Z'), 6);
  EXPECT_EQ(CarbonKeys::keyCode(0xfe20), 48);  // ISO_Left_Tab
  EXPECT_EQ(CarbonKeys::keyCode(0xff9c), 83);  // KP_End: keypad 1
  EXPECT_EQ(CarbonKeys::keyCode(0xff9f), 65);  // KP_Delete: keypad decimal
  EXPECT_EQ(CarbonKeys::keyCode(0xff9d), 87);  // KP_Begin: keypad 5
  // An alias never shadows a key of its own.
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const auto code = CarbonKeys::keyCode(std::uint32_t(letter));
    ASSERT_TRUE(code) << letter;
    EXPECT_EQ(CarbonKeys::keysym(*code), std::uint32_t(letter - 'A' + 'a')) << letter;
  }
}

// Configuration files spell keys by keysym name: arrows, letters, punctuation, and none for unknown codes.
TEST(CarbonKeys, KeyNames) {
  EXPECT_EQ(CarbonKeys::keyName(123), "Left");
  EXPECT_EQ(CarbonKeys::keyName(36), "Return");
  EXPECT_EQ(CarbonKeys::keyName(0), "a");
  EXPECT_EQ(CarbonKeys::keyName(33), "bracketleft");
  EXPECT_EQ(CarbonKeys::keyName(0x7F00), std::nullopt);
}

}  // namespace
}  // namespace vistrel::desktop
