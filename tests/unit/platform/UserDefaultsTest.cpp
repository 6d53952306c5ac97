#include <gtest/gtest.h>

#include "platform/sim/SimPlatform.h"

using namespace vistrel;

// The coercions the product relies on when it reads a value stored by another type or by hand.
TEST(UserDefaults, ReadingRules) {
  sim::MemoryDefaults d;
  d.setInteger("n", 2);
  d.setDouble("x", -3.9);
  d.setString("yes", "YES");
  d.setString("true", "True");
  d.setString("no", "no");
  d.setString("one", "1");
  d.setString("zero", " 0 ");
  d.setString("num", "42");
  d.setString("word", "maybe");
  d.setBool("b", true);
  d.setData("blob", QByteArray("\x01\x02", 2));

  EXPECT_EQ(d.boolean("n"), true);
  EXPECT_EQ(d.boolean("x"), true);
  EXPECT_EQ(d.boolean("yes"), true);
  EXPECT_EQ(d.boolean("true"), true);
  EXPECT_EQ(d.boolean("no"), false);
  EXPECT_EQ(d.boolean("one"), true);
  EXPECT_EQ(d.boolean("zero"), false);
  EXPECT_EQ(d.boolean("word"), std::nullopt);
  EXPECT_EQ(d.boolean("blob"), std::nullopt);
  EXPECT_EQ(d.boolean("missing"), std::nullopt);

  EXPECT_EQ(d.integer("num"), 42);
  EXPECT_EQ(d.integer("x"), -3);
  EXPECT_EQ(d.integer("b"), 1);
  EXPECT_EQ(d.integer("word"), std::nullopt);
  EXPECT_EQ(d.real("n"), 2.0);

  EXPECT_EQ(d.string("num"), "42");
  EXPECT_EQ(d.string("n"), std::nullopt);  // no string reading of numbers
  EXPECT_EQ(d.data("blob"), QByteArray("\x01\x02", 2));
  EXPECT_EQ(d.data("word"), std::nullopt);

  d.remove("num");
  EXPECT_FALSE(d.contains("num"));
}

// Numeric text must be a number as a whole; partial or non-finite text reads as no number.
TEST(UserDefaults, NumericText) {
  EXPECT_EQ(DefaultsCoercion::parseNumericText("12.5"), 12.5);
  EXPECT_EQ(DefaultsCoercion::parseNumericText("+3"), 3);
  EXPECT_EQ(DefaultsCoercion::parseNumericText("12abc"), std::nullopt);
  EXPECT_EQ(DefaultsCoercion::parseNumericText(""), std::nullopt);
  EXPECT_EQ(DefaultsCoercion::parseNumericText("inf"), std::nullopt);
  EXPECT_EQ(DefaultsCoercion::parseNumericText("1e400"), std::nullopt);
}
