// The numbers that follow an address letter in an NC block (X12.5, G01,
// P1500): how far each parser reads, how numbers without a decimal point are
// scaled to program units, and the text helpers the block interpreter uses
// around them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vestan {

// A number ends at the first of these: every letter, "(" and the line feed.
// Blanks, tabs, signs, digits, "." and "=" do not end it.
inline constexpr std::string_view kWordTerminators =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz(\n";

// Characters of one number that are converted; the rest of a longer word is
// skipped unread.
inline constexpr size_t kMaxNumberCharacters = 79;

// Decimal-point modes: the last scaled word had no decimal point (1) or had
// one (2); NORMAL (3) takes every number as written.
inline constexpr int32_t kDecimalPointAbsent = 1;
inline constexpr int32_t kDecimalPointPresent = 2;
inline constexpr int32_t kDecimalPointNormal = 3;

// Results of the scaled parsers.
inline constexpr int32_t kWordDivided = 1;    // no decimal point: divided
inline constexpr int32_t kWordAsWritten = 2;  // taken as written

// Every parser reads the number that starts at `position` in `line` (the
// caller has stepped over the address letter). A position at or past the end
// reads an empty number, which is 0. Text that is no number converts to 0
// (the standard conversion: leading blanks skipped, stopping at the first
// character that cannot continue the number); no parser reports an error.

// Coordinates and most values: without a decimal point and outside NORMAL
// mode the number is divided by unitScale and decimalPointMode becomes 1;
// with one it is taken as written and the mode becomes 2; in NORMAL mode it
// is taken as written and the mode stays. Advances the position past the
// number. Returns kWordDivided or kWordAsWritten.
int32_t ParseNcWordValue(std::string_view line, size_t& position, int32_t unitScale,
                         int32_t& decimalPointMode, double& value);

// Feeds, spindle values and angles: taken as written; advances the position.
double ParseNcWordRaw(std::string_view line, size_t& position);

// Dwell times: without a decimal point divided by 1000. The position stays
// (the interpreter's scan steps over the number's characters itself).
int32_t ParseNcWordPer1000(std::string_view line, size_t position, double& value);

// The same, but NORMAL mode takes every number as written; the mode is not
// changed.
int32_t ParseNcWordPer1000Mode(std::string_view line, size_t position, int32_t decimalPointMode,
                               double& value);

// Scale factors, rotation angles and rotary positions: without a decimal
// point divided by divisor (a divisor of 0 takes the number as written). The
// position stays.
int32_t ParseNcWordDivided(std::string_view line, size_t position, int32_t divisor, double& value);

// HEIDENHAIN Q-parameter values: the number runs to the first blank or tab
// at or after the position (even past a letter); without one to the first
// ";"; without one to the next terminator; else to the end of the line. Taken
// as written; advances the position by the length read.
double ParseNcWordToBlank(std::string_view line, size_t& position);

// G, M, T, D, H, L, K, N, W, O and P numbers: the integer at the position
// (6.2 gives 6; a value beyond 32 bits saturates). The position moves to the
// next terminator; when the word has no number at all (the terminator is at
// the position itself) or no terminator follows, to the end of the line,
// which ends the block.
int32_t ParseNcWordInt(std::string_view line, size_t& position);

// The position moved back over the blanks and tabs just before it.
size_t TrimTrailingBlanks(std::string_view line, size_t position);

// The digit d when the two characters before the position (after the
// trimming above) are "." and d, as in G54.1 or G43.4; -1 otherwise.
int32_t DecimalSuffixDigit(std::string_view line, size_t position);

// value * unitScale in input increments, rounded half away from zero; a
// product beyond 32 bits saturates, a product that is not a number gives 0.
int32_t ToUnitInt(double value, int32_t unitScale);

}  // namespace vestan
