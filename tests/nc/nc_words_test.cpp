#include "nc/nc_words.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace vestan {
namespace {

constexpr int32_t kUnit = 1000;

// Reads the value word at the address letter `at`.
struct ValueWord {
  double value = 0.0;
  int32_t result = 0;
  int32_t mode = 0;
  size_t position = 0;
};
ValueWord ReadValue(std::string_view line, size_t at, int32_t mode, int32_t unit = kUnit) {
  ValueWord word;
  word.mode = mode;
  word.position = at + 1;
  word.result = ParseNcWordValue(line, word.position, unit, word.mode, word.value);
  return word;
}

TEST(ParseNcWordValue, EveryDecimalPointMode) {
  struct Case {
    const char* line;
    int32_t modeBefore;
    double value;
    int32_t result;
    int32_t modeAfter;
  } cases[] = {
      {"X1000\n", 1, 1000.0 / kUnit, kWordDivided, 1},
      {"X1000\n", 2, 1000.0 / kUnit, kWordDivided, 1},
      {"X1000.\n", 1, 1000.0, kWordAsWritten, 2},
      {"X1000.\n", 2, 1000.0, kWordAsWritten, 2},
      {"X1000\n", 3, 1000.0, kWordAsWritten, 3},
      {"X1000.\n", 3, 1000.0, kWordAsWritten, 3},
      {"X0\n", 0, 0.0, kWordDivided, 1},
      // A blank does not end the word; the conversion stops at it.
      {"X12.5 Y3\n", 1, 12.5, kWordAsWritten, 2},
      {"X-.5Y2.\n", 1, -0.5, kWordAsWritten, 2},
      {"X+25\n", 2, 25.0 / kUnit, kWordDivided, 1},
      {"X=7.\n", 1, 0.0, kWordAsWritten, 2},  // "=7." is no number
  };
  for (const Case& c : cases) {
    const ValueWord word = ReadValue(c.line, 0, c.modeBefore);
    EXPECT_EQ(word.value, c.value) << c.line << " mode " << c.modeBefore;
    EXPECT_EQ(word.result, c.result) << c.line << " mode " << c.modeBefore;
    EXPECT_EQ(word.mode, c.modeAfter) << c.line << " mode " << c.modeBefore;
  }
}

TEST(ParseNcWordValue, EachWordEndsAtTheNextLetter) {
  const std::string line = "X-.5Y2.(C)\n";
  ValueWord x = ReadValue(line, 0, 1);
  EXPECT_EQ(x.value, -0.5);
  ASSERT_EQ(x.position, line.find('Y'));
  ValueWord y = ReadValue(line, x.position, x.mode);
  EXPECT_EQ(y.value, 2.0);
  EXPECT_EQ(y.position, line.find('('));  // a comment ends a number too
}

TEST(ParseNcWordValue, UnitScaleDividesPlainNumbers) {
  EXPECT_EQ(ReadValue("X125\n", 0, 1, 100).value, 1.25);
  EXPECT_EQ(ReadValue("X125\n", 0, 1, 10000).value, 0.0125);
}

TEST(ParseNcWords, AnOverlongWordIsCutToItsFirst79CharactersAndSkipped) {
  // 90 zeros, then "1.5": the converted part holds only zeros and no decimal
  // point, so the word reads 0 and counts as one without a point.
  const std::string line = "X" + std::string(90, '0') + "1.5Y2.\n";
  const ValueWord x = ReadValue(line, 0, 2);
  EXPECT_EQ(x.value, 0.0);
  EXPECT_EQ(x.mode, 1);
  ASSERT_EQ(x.position, line.find('Y'));
  EXPECT_EQ(ReadValue(line, x.position, x.mode).value, 2.0);

  // Far longer words never read past the line, whatever the parser.
  const std::string huge = "P" + std::string(5000, '9') + ".5 Q1\n";
  size_t position = 1;
  EXPECT_EQ(ParseNcWordRaw(huge, position), std::stod(std::string(79, '9')));
  EXPECT_EQ(position, huge.find('Q'));
  double value = 0.0;
  EXPECT_EQ(ParseNcWordPer1000(huge, 1, value), kWordDivided);
  position = 1;
  ParseNcWordToBlank(huge, position);
  EXPECT_EQ(position, huge.find(' '));
}

TEST(ParseNcWordRaw, TakesTheNumberAsWrittenAndMovesOn) {
  const std::string line = "F300S1200.5\n";
  size_t position = 1;
  EXPECT_EQ(ParseNcWordRaw(line, position), 300.0);
  EXPECT_EQ(position, line.find('S'));
  ++position;
  EXPECT_EQ(ParseNcWordRaw(line, position), 1200.5);
  EXPECT_EQ(position, line.size() - 1);
}

TEST(ParseNcWordPer1000, DwellsInSecondsLeaveThePosition) {
  struct Case {
    const char* line;
    int32_t mode;
    double value;
    int32_t result;
  } cases[] = {
      {"P1500\n", 1, 1.5, kWordDivided},  // 1500 / 1000
      {"P1.5\n", 1, 1.5, kWordAsWritten},
      {"X2000 \n", 2, 2.0, kWordDivided},
      {"P1500\n", 3, 1.5, kWordDivided},  // the plain parser ignores NORMAL
  };
  for (const Case& c : cases) {
    double value = 0.0;
    EXPECT_EQ(ParseNcWordPer1000(c.line, 1, value), c.result) << c.line;
    EXPECT_EQ(value, c.value) << c.line;
  }
}

TEST(ParseNcWordPer1000Mode, NormalModeTakesEveryNumberAsWritten) {
  double value = 0.0;
  EXPECT_EQ(ParseNcWordPer1000Mode("X1500\n", 1, 3, value), kWordAsWritten);
  EXPECT_EQ(value, 1500.0);
  EXPECT_EQ(ParseNcWordPer1000Mode("X1500\n", 1, 1, value), kWordDivided);
  EXPECT_EQ(value, 1.5);
  EXPECT_EQ(ParseNcWordPer1000Mode("X1.5\n", 1, 2, value), kWordAsWritten);
  EXPECT_EQ(value, 1.5);
}

TEST(ParseNcWordDivided, DividesByTheCallersUnit) {
  struct Case {
    const char* line;
    int32_t divisor;
    double value;
  } cases[] = {
      {"P1500\n", 1000, 1.5},                              // scale factor unit
      {"P1500\n", 1, 1500.0},                              // OSP scale factors
      {"R45000\n", 100000, 0.45},                          // angle unit 1/100000
      {"R45.\n", 1000, 45.0},     {"P1500\n", 0, 1500.0},  // no unit: as written
  };
  for (const Case& c : cases) {
    double value = 0.0;
    ParseNcWordDivided(c.line, 1, c.divisor, value);
    EXPECT_DOUBLE_EQ(value, c.value) << c.line << " / " << c.divisor;
  }
}

TEST(ParseNcWordToBlank, QParameterValuesRunToTheNextBlank) {
  struct Case {
    const char* line;  // the value starts behind the "="
    double value;
    const char* rest;  // where the position ends
  } cases[] = {
      {"Q206= 300 Q207=1\n", 0.0, " 300 Q207=1\n"},  // a blank right after "=": empty, 0
      {"Q206=300 Q207=1\n", 300.0, " Q207=1\n"},
      {"Q206=-2.5\tQ7\n", -2.5, "\tQ7\n"},
      {"Q206=5X7 Q1\n", 5.0, " Q1\n"},  // past a letter to the blank
      {"Q206=12;C\n", 12.0, ";C\n"},
      {"Q206=12Q3\n", 12.0, "Q3\n"},
      {"Q206=12", 12.0, ""},
  };
  for (const Case& c : cases) {
    const std::string_view line = c.line;
    size_t position = line.find('=') + 1;
    EXPECT_EQ(ParseNcWordToBlank(line, position), c.value) << c.line;
    EXPECT_EQ(line.substr(position), c.rest) << c.line;
  }
}

TEST(ParseNcWordInt, IntegersAndTheirEnd) {
  struct Case {
    const char* line;
    size_t start;
    int32_t value;
    const char* rest;
  } cases[] = {
      {"G01X5\n", 1, 1, "X5\n"},
      {"G6.2X5\n", 1, 6, "X5\n"},
      {"G54.1 P2\n", 1, 54, "P2\n"},
      {"M30\n", 1, 30, "\n"},
      {"M30", 1, 30, ""},    // no terminator: the end of the line
      {"GX10\n", 1, 0, ""},  // no number: the block ends
      {"N-12(A)\n", 1, -12, "(A)\n"},
      {"N99999999999\n", 1, std::numeric_limits<int32_t>::max(), "\n"},
      {"N-99999999999\n", 1, std::numeric_limits<int32_t>::min(), "\n"},
      {"T", 1, 0, ""},
  };
  for (const Case& c : cases) {
    const std::string_view line = c.line;
    size_t position = c.start;
    EXPECT_EQ(ParseNcWordInt(line, position), c.value) << c.line;
    EXPECT_EQ(line.substr(position), c.rest) << c.line;
  }
}

TEST(NcWordText, DecimalSuffixesSeenThroughTrailingBlanks) {
  struct Case {
    const char* line;
    int32_t digit;
  } cases[] = {
      {"G6.2X", 2}, {"G54.1 \tP1", 1}, {"G43.4H1", 4}, {"G10.9X", 9}, {"G12X", -1}, {"G.X", -1},
  };
  for (const Case& c : cases) {
    const std::string_view line = c.line;
    size_t position = 1;
    ParseNcWordInt(line, position);
    EXPECT_EQ(DecimalSuffixDigit(line, position), c.digit) << c.line;
  }
  EXPECT_EQ(TrimTrailingBlanks("G1 \t X", 5), 2u);
  EXPECT_EQ(TrimTrailingBlanks("  ", 2), 0u);
  EXPECT_EQ(TrimTrailingBlanks("G1", 50), 2u);
}

TEST(ParseNcWords, APositionPastTheLineReadsZero) {
  const std::string_view line = "X5";
  size_t position = 7;
  int32_t mode = 1;
  double value = -1.0;
  EXPECT_EQ(ParseNcWordValue(line, position, kUnit, mode, value), kWordDivided);
  EXPECT_EQ(value, 0.0);
  EXPECT_EQ(ParseNcWordRaw(line, position), 0.0);
  EXPECT_EQ(ParseNcWordToBlank(line, position), 0.0);
  EXPECT_EQ(ParseNcWordInt(line, position), 0);
  EXPECT_EQ(position, line.size());
}

TEST(ToUnitInt, RoundsHalfAwayFromZeroAndSaturates) {
  EXPECT_EQ(ToUnitInt(2.5, 1000), 2500);
  EXPECT_EQ(ToUnitInt(0.125, 100), 13);    // 12.5 rounds up
  EXPECT_EQ(ToUnitInt(-0.125, 100), -13);  // -12.5 rounds down
  EXPECT_EQ(ToUnitInt(0.0004, 1000), 0);   // 0.4
  EXPECT_EQ(ToUnitInt(1e12, 1000), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(ToUnitInt(-1e12, 1000), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(ToUnitInt(std::nan(""), 1000), 0);
}

}  // namespace
}  // namespace vestan
