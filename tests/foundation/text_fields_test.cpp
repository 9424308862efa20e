#include "foundation/text_fields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vestan {
namespace {

TEST(TextFields, NumberStartsAtFirstNumberCharacter) {
  struct Case {
    const char* line;
    double value;
    int32_t cursor;
  };
  const Case cases[] = {
      {"D=10\n", 10, 2},      {"X-5\n", -5, 1},
      {"+7\n", 7, 1},         {"A.5\n", 0.5, 1},
      {"L 1.5e2,\n", 150, 2}, {"R 1e,\n", 1, 2},
      {"N -.25\n", -0.25, 2}, {"N -x\n", 0, 2},
      {"N 5.\n", 5, 2},       {"NONE\n", 0, 4},
      {"NONE", 0, 0},         {"N 1e999\n", std::numeric_limits<double>::infinity(), 2},
      {"N 1e-999\n", 0, 2},   {"N 0x10\n", 0, 2},
      {"N -inf\n", 0, 2},
  };
  for (const Case& c : cases) {
    int32_t cursor = 0;
    EXPECT_EQ(ParseNumber(cursor, c.line), c.value) << c.line;
    EXPECT_EQ(cursor, c.cursor) << c.line;
  }
}

TEST(TextFields, EmptyFieldShiftsLaterValues) {
  const std::string_view line = "1,,3\n";
  int32_t cursor = 0;
  EXPECT_EQ(ParseNumber(cursor, line), 1);
  EXPECT_EQ(ParseNumber(cursor, line), 1);  // no comma between: the same number
  EXPECT_EQ(ParseNumberAfterComma(cursor, line), 3);
  EXPECT_EQ(cursor, 3);
  EXPECT_EQ(ParseNumberAfterComma(cursor, line), 0);
  EXPECT_EQ(cursor, 3);
}

TEST(TextFields, MissingDigitsStopAtNewline) {
  const std::string_view line = "KEY abc,def\n";
  int32_t cursor = 4;
  EXPECT_EQ(ParseNumber(cursor, line), 0);
  EXPECT_EQ(cursor, 11);  // on the newline
  EXPECT_EQ(ParseNumberAfterComma(cursor, line), 0);
  EXPECT_EQ(ParseIntegerAfterComma(cursor, line), 0);
  EXPECT_EQ(cursor, 11);
}

TEST(TextFields, Integers) {
  struct Case {
    const char* line;
    int32_t value;
  };
  const Case cases[] = {{".5\n", 0},
                        {"12.9\n", 12},
                        {"-3\n", -3},
                        {"99999999999\n", std::numeric_limits<int32_t>::max()},
                        {"-99999999999\n", std::numeric_limits<int32_t>::min()},
                        {"T\n", 0}};
  for (const Case& c : cases) {
    int32_t cursor = 0;
    EXPECT_EQ(ParseInteger(cursor, c.line), c.value) << c.line;
  }
  int32_t cursor = 0;
  const std::string_view line = "A 4,7, 9\n";
  EXPECT_EQ(ParseInteger(cursor, line), 4);
  EXPECT_EQ(ParseIntegerAfterComma(cursor, line), 7);
  EXPECT_EQ(ParseIntegerAfterComma(cursor, line), 9);
  EXPECT_EQ(cursor, 7);
  EXPECT_EQ(ParseFloatAfterComma(cursor, line), 0.0f);
}

TEST(TextFields, TheLengthOfTheNumberConverted) {
  struct Case {
    std::string_view text;
    double value;
    size_t consumed;
  };
  const Case cases[] = {{"12.5,3", 12.5, 4}, {" -2e3)", -2000, 5}, {"5.x", 5, 2}, {"1e", 1, 1},
                        {"-.5C", -0.5, 3},   {"-", 0, 0},          {"P", 0, 0},   {"", 0, 0}};
  for (const Case& c : cases) {
    size_t consumed = 99;
    EXPECT_EQ(ConvertDouble(c.text, consumed), c.value) << c.text;
    EXPECT_EQ(consumed, c.consumed) << c.text;
  }
}

TEST(TextFields, TruncationSaturates) {
  EXPECT_EQ(TruncateToInt32(12.9), 12);
  EXPECT_EQ(TruncateToInt32(-12.9), -12);
  EXPECT_EQ(TruncateToInt32(1e30), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(TruncateToInt32(-1e30), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(TruncateToInt32(std::numeric_limits<double>::infinity()),
            std::numeric_limits<int32_t>::max());
  EXPECT_EQ(TruncateToInt32(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(TextFields, ValueBehindSemicolon) {
  int32_t cursor = 0;
  EXPECT_EQ(ParseFloatAfterSemicolon(cursor, "5;2,7\n"), 2.0f);
  EXPECT_EQ(cursor, 2);
  cursor = 0;
  EXPECT_EQ(ParseFloatAfterSemicolon(cursor, "5,7;2\n"), -1.0f);
  EXPECT_EQ(cursor, 0);
  cursor = 0;
  EXPECT_EQ(ParseFloatAfterSemicolon(cursor, "5 7\n"), -1.0f);
  EXPECT_EQ(cursor, 0);
  cursor = 0;
  EXPECT_EQ(ParseFloatAfterSemicolon(cursor, "5;x\n"), 0.0f);  // reaches the newline
  EXPECT_EQ(cursor, 3);
}

TEST(TextFields, BlanksAndEquals) {
  int32_t cursor = 3;
  SkipBlanksAndEquals(cursor, "KEY = =\tV\n");
  EXPECT_EQ(cursor, 7);  // stops at the tab
}

TEST(TextFields, QuotedFields) {
  std::optional<std::string> slot = "old";
  int32_t cursor = 0;
  const std::string_view quoted = "NAME \"END MILL 10\" rest\n";
  ParseQuotedField(cursor, quoted, slot);
  ASSERT_TRUE(slot.has_value());
  EXPECT_EQ(*slot, "END MILL 10");
  EXPECT_EQ(quoted[cursor], '"');
  EXPECT_EQ(cursor, 17);

  cursor = 0;
  ParseQuotedField(cursor, "two words\n", slot);
  EXPECT_FALSE(slot.has_value());
  EXPECT_EQ(cursor, 3);

  cursor = 0;
  ParseQuotedField(cursor, "NAME \"\"\n", slot);
  ASSERT_TRUE(slot.has_value());
  EXPECT_EQ(*slot, "");

  cursor = 0;
  ParseQuotedField(cursor, "N \"open ended\n", slot);
  EXPECT_FALSE(slot.has_value());
  EXPECT_EQ(cursor, 7);

  cursor = 0;
  ParseQuotedField(cursor, "single", slot);
  EXPECT_FALSE(slot.has_value());
  EXPECT_EQ(cursor, 6);
}

TEST(TextFields, KeysMatchOverTheirLengthWithoutCase) {
  EXPECT_TRUE(MatchesKey("unit(scale) 1000\n", "UNIT(SCALE)"));
  EXPECT_TRUE(MatchesKey("MAGAZINE 5\n", "MAGAZINE"));
  EXPECT_FALSE(MatchesKey("MAG\n", "MAGAZINE"));
  EXPECT_FALSE(MatchesKey(" MAGAZINE\n", "MAGAZINE"));
  EXPECT_TRUE(MatchesKeyAt("T1 BALL D10\n", 3, "ball"));
  EXPECT_FALSE(MatchesKeyAt("T1\n", 9, "BALL"));
}

TEST(TextFields, LinesEndInNewlineWhateverTheFileUsed) {
  const auto lf = SplitLines("A 1\nB 2\n");
  const auto crlf = SplitLines("A 1\r\nB 2\r\n");
  const auto open = SplitLines("A 1\r\nB 2");
  EXPECT_EQ(lf, (std::vector<std::string>{"A 1\n", "B 2\n"}));
  EXPECT_EQ(crlf, lf);
  EXPECT_EQ(open, lf);
  EXPECT_EQ(SplitLines(std::string_view("A\0B\nC\n", 6)), (std::vector<std::string>{"A\n", "C\n"}));
  EXPECT_EQ(SplitLines("\n\n").size(), 2u);
  EXPECT_TRUE(SplitLines("").empty());
}

}  // namespace
}  // namespace vestan
