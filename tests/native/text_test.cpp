// Text and number operations at their edges: these decide the exact bytes of every label.
#include "toolkit/text.h"

#include <gtest/gtest.h>

using namespace lurvik;

TEST(Text, FindLeftRight) {
  EXPECT_EQ(FindText("abc", "", 1), 0);
  EXPECT_EQ(FindText("abc", "b", 3), 0);
  EXPECT_EQ(FindText("abc", "b", 0), 2);
  EXPECT_EQ(FindText("abc", "bcd", 1), 0);
  EXPECT_EQ(LeftText("abc", 5), "abc");
  EXPECT_EQ(RightText("abc", -1), "");
  EXPECT_EQ(RightText("abc", 2), "bc");
}

TEST(Text, ReplaceTrimPad) {
  EXPECT_EQ(ReplaceText("aaa", "aa", "b"), "ba");
  std::string once = ReplaceText("x\r\ny", "\r\n", "  ");
  EXPECT_EQ(once, "x  y");
  EXPECT_EQ(ReplaceText(once, "\r", "  "), "x  y");
  EXPECT_EQ(TrimText(" \tx "), "\tx");
  EXPECT_EQ(TrimText("   "), "");
  EXPECT_EQ(PadText("", 5, "*"), "*****");
  EXPECT_EQ(PadText("abcdef", 3, "*"), "abc");
  EXPECT_EQ(PadText("ab", 4, ""), "ab  ");
}

TEST(Text, NumbersToText) {
  EXPECT_EQ(HexText(4096), "1000");
  EXPECT_EQ(HexText(10), "A");
  EXPECT_EQ(HexText(0), "0");
  EXPECT_EQ(HexText(-1), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(HexText(-2147483648LL), "FFFFFFFF80000000");
  EXPECT_EQ(HexText(0x80000000LL), "80000000");
  EXPECT_EQ(DecimalText(0x80000000LL), "2147483648");
  EXPECT_EQ(DecimalText(-2147483648LL), "-2147483648");
  EXPECT_EQ(DecimalText(INT64_MIN), "-9223372036854775808");
}

TEST(Text, ParseInteger) {
  EXPECT_EQ(ParseInteger("$1000"), 4096);
  EXPECT_EQ(ParseInteger("$400"), 1024);
  EXPECT_EQ(ParseInteger(" -12ab"), -12);
  EXPECT_EQ(ParseInteger("$"), 0);
  EXPECT_EQ(ParseInteger("12 34"), 12);
  EXPECT_EQ(ParseInteger("%101"), 5);
  EXPECT_EQ(ParseInteger("+$ff"), 255);
  EXPECT_EQ(ParseInteger("-$10"), -16);
  EXPECT_EQ(ParseInteger("2147483648"), 2147483648LL);
  EXPECT_EQ(ParseInteger(""), 0);
}

TEST(Text, UpperCaseAndEquality) {
  EXPECT_EQ(UpperCaseText("Process"), "PROCESS");
  EXPECT_EQ(UpperCaseText("\xE4\xDF"), "\xC4\xDF");  // a-umlaut upper-cases, sharp s stays
  EXPECT_TRUE(TextEquals(std::string(), ""));
  EXPECT_FALSE(TextEquals("key", "KEY"));
}
