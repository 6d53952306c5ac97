#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/x11/Property.h"

namespace vistrel::x11 {
namespace {

constexpr xcb_atom_t kUtf8 = 400;  // UTF8_STRING is interned; any id will do here

Property textProperty(xcb_atom_t type, const std::string& bytes) {
  return {type, 8, std::vector<std::uint8_t>(bytes.begin(), bytes.end())};
}

Property cardinals(std::vector<std::uint32_t> values, xcb_atom_t type = XCB_ATOM_CARDINAL) {
  Property property{type, 32, std::vector<std::uint8_t>(values.size() * 4)};
  std::memcpy(property.bytes.data(), values.data(), property.bytes.size());
  return property;
}

// 32-bit lists decode only with the expected type and format, whole items only.
TEST(Property, ItemsNeedTheirTypeAndFormat) {
  EXPECT_EQ(items32(cardinals({1, 1, 20, 5}), XCB_ATOM_CARDINAL), (std::vector<std::uint32_t>{1, 1, 20, 5}));
  EXPECT_TRUE(items32(cardinals({1, 2}), XCB_ATOM_WINDOW).empty());
  EXPECT_TRUE(items32(textProperty(XCB_ATOM_CARDINAL, "abcd"), XCB_ATOM_CARDINAL).empty());
  Property ragged = cardinals({7, 8});
  ragged.bytes.pop_back();
  EXPECT_EQ(items32(ragged, XCB_ATOM_CARDINAL), (std::vector<std::uint32_t>{7}));
  EXPECT_EQ(item32(Property{}, XCB_ATOM_CARDINAL), std::nullopt);
  EXPECT_EQ(item32(cardinals({4242}), XCB_ATOM_CARDINAL), 4242u);
}

// Titles read UTF-8 as UTF-8 and STRING as Latin-1, without trailing NULs; other formats are no text.
TEST(Property, TitlesDecodeByType) {
  EXPECT_EQ(text(textProperty(kUtf8, "Caf\xc3\xa9 \xe2\x80\x94 notes"), kUtf8), "Caf\xc3\xa9 \xe2\x80\x94 notes");
  EXPECT_EQ(text(textProperty(XCB_ATOM_STRING, "Caf\xe9"), kUtf8), "Caf\xc3\xa9");
  EXPECT_EQ(text(textProperty(XCB_ATOM_STRING, std::string("xlogo\0\0", 7)), kUtf8), "xlogo");
  EXPECT_EQ(text(textProperty(kUtf8, ""), kUtf8), "");
  // A broken UTF-8 sequence is replaced, not passed on.
  const auto broken = text(textProperty(kUtf8, "a\xc3"), kUtf8);
  ASSERT_TRUE(broken);
  EXPECT_EQ(broken->front(), 'a');
  EXPECT_NE(*broken, "a\xc3");
  EXPECT_EQ(text(cardinals({65, 66}), kUtf8), std::nullopt);
  EXPECT_EQ(text(Property{}, kUtf8), std::nullopt);
}

// WM_CLASS splits into instance and class, and cut or unterminated values never read past their end.
TEST(Property, WindowClassSurvivesMalformedValues) {
  const auto both = windowClass(textProperty(XCB_ATOM_STRING, std::string("xterm\0XTerm\0", 12)));
  ASSERT_TRUE(both);
  EXPECT_EQ(both->instance, "xterm");
  EXPECT_EQ(both->className, "XTerm");

  const auto unterminated = windowClass(textProperty(XCB_ATOM_STRING, std::string("xlogo\0Xlo", 9)));
  ASSERT_TRUE(unterminated);
  EXPECT_EQ(unterminated->className, "Xlo");

  const auto onlyInstance = windowClass(textProperty(XCB_ATOM_STRING, "lonely"));
  ASSERT_TRUE(onlyInstance);
  EXPECT_EQ(onlyInstance->instance, "lonely");
  EXPECT_EQ(onlyInstance->className, "");

  EXPECT_EQ(windowClass(textProperty(kUtf8, std::string("a\0b\0", 4))), std::nullopt);
  EXPECT_EQ(windowClass(Property{}), std::nullopt);
}

}  // namespace
}  // namespace vistrel::x11
