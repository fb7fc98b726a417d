// Text and number operations at their edges: these decide the exact bytes of every label.
#include "toolkit/text.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace lurvik;

TEST(Text, FindLeftRight) {
  // Text, part, start, the 1-based position found (0: none).
  for (const auto& [text, part, start, at] : {std::tuple<const char*, const char*, int32_t, int32_t>{"abc", "", 1, 0},
                                              {"abc", "b", 3, 0}, {"abc", "b", 0, 2}, {"abc", "bcd", 1, 0}})
    EXPECT_EQ(FindText(text, part, start), at) << "[" << part << "] in [" << text << "] from " << start;
  EXPECT_EQ(LeftText("abc", 5), "abc");
  EXPECT_EQ(RightText("abc", -1), "");
  EXPECT_EQ(RightText("abc", 2), "bc");
}

TEST(Text, ReplaceTrimPad) {
  EXPECT_EQ(ReplaceText("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceText(ReplaceText("x\r\ny", "\r\n", "  "), "\r", "  "), "x  y");
  EXPECT_EQ(TrimText(" \tx "), "\tx");
  EXPECT_EQ(TrimText("   "), "");
  EXPECT_EQ(PadText("", 5, "*"), "*****");
  EXPECT_EQ(PadText("abcdef", 3, "*"), "abc");
  EXPECT_EQ(PadText("ab", 4, ""), "ab  ");
}

TEST(Text, NumbersToTextAndBack) {
  for (const auto& [number, hex] : {std::pair<int64_t, const char*>{4096, "1000"}, {10, "A"}, {0, "0"}, {-1, "FFFFFFFFFFFFFFFF"},
                                    {-2147483648LL, "FFFFFFFF80000000"}, {0x80000000LL, "80000000"}})
    EXPECT_EQ(HexText(number), hex) << number;
  for (const auto& [number, decimal] : {std::pair<int64_t, const char*>{0x80000000LL, "2147483648"},
                                        {-2147483648LL, "-2147483648"}, {INT64_MIN, "-9223372036854775808"}})
    EXPECT_EQ(DecimalText(number), decimal);
  for (const auto& [text, number] : {std::pair<const char*, int64_t>{"$1000", 4096}, {"$400", 1024}, {" -12ab", -12}, {"$", 0},
                                     {"12 34", 12}, {"%101", 5}, {"+$ff", 255}, {"-$10", -16}, {"2147483648", 2147483648LL},
                                     {"", 0}})
    EXPECT_EQ(ParseInteger(text), number) << "[" << text << "]";
}

TEST(Text, UpperCaseAndEquality) {
  EXPECT_EQ(UpperCaseText("Process"), "PROCESS");
  EXPECT_EQ(UpperCaseText("\xE4\xDF"), "\xC4\xDF");  // a-umlaut upper-cases, sharp s stays
  EXPECT_TRUE(TextEquals(std::string(), ""));
  EXPECT_FALSE(TextEquals("key", "KEY"));
}
