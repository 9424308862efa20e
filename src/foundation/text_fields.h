// Field parsers shared by every definition-file reader and the NC reader, the
// key matching of definition lines, and splitting a file into lines.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vestan {

// Cursor convention: the cursor is an index into the line. A number parser
// leaves it on the first character of the number it read, so the next search
// for a comma finds the comma after that number. Not finding a field leaves
// the cursor unchanged unless stated. A number starts at the first of
// "1234567890-." or the newline at or after the search position; a missing
// number reads as 0. Conversion is locale-free; integers saturate.

double ParseNumber(int32_t& cursor, std::string_view line);
// Next "," from the cursor (the cursor moves onto it), then ParseNumber.
// No comma: 0.
double ParseNumberAfterComma(int32_t& cursor, std::string_view line);
float ParseFloat(int32_t& cursor, std::string_view line);
float ParseFloatAfterComma(int32_t& cursor, std::string_view line);
int32_t ParseInteger(int32_t& cursor, std::string_view line);
// Next ",", then the next number start; 0 when either is missing (the cursor
// stays where the last found step left it).
int32_t ParseIntegerAfterComma(int32_t& cursor, std::string_view line);
// The number behind the next ";", when no "," lies between the cursor and
// that number; otherwise -1 and the cursor is unchanged.
float ParseFloatAfterSemicolon(int32_t& cursor, std::string_view line);
// Skips spaces and "=" (not tabs).
void SkipBlanksAndEquals(int32_t& cursor, std::string_view line);
// A double-quoted field: the text between the quotes (the cursor then stands
// on the closing quote), or no value when there is no complete pair (the
// cursor then moves to the next space or tab, else to the end of the line).
// Two adjacent quotes give an empty string, not "no value".
void ParseQuotedField(int32_t& cursor, std::string_view line, std::optional<std::string>& slot);

// Standard conversions of the text at the start of s (longest valid decimal
// prefix; no digits gives 0). Exposed for readers that convert a field they
// located themselves.
double ConvertDouble(std::string_view s);
// The same, with the number of characters the number took (leading blanks
// included); 0 when s does not begin with a number.
double ConvertDouble(std::string_view s, size_t& consumed);
int32_t ConvertInteger(std::string_view s);

// A number truncated toward zero to an integer, saturating at the 32-bit
// range (not a number gives 0), for fields read as numbers and used as counts
// or codes.
int32_t TruncateToInt32(double value);

// Index of the first number-start character at or after from, or -1.
int32_t FindNumberStart(std::string_view line, int32_t from);

// ASCII case helpers: bytes outside A-Z and a-z (cp932 included) stay as they are.
char ToUpperAscii(char c);
bool IsAsciiLetter(char c);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// True when the line starts with key, ASCII letters compared without case.
bool MatchesKey(std::string_view line, std::string_view key);
// The same at position pos of the line.
bool MatchesKeyAt(std::string_view line, size_t pos, std::string_view key);

// One row of a key table: the key as written and what it stands for.
template <typename Value>
struct KeyEntry {
  std::string_view Text;
  Value Key;
};

// The first row whose key stands at pos of the line (MatchesKeyAt), or none.
// Tables list a longer key before a shorter one it begins with.
template <typename Value, std::size_t N>
const KeyEntry<Value>* MatchKeyTable(const std::array<KeyEntry<Value>, N>& table,
                                     std::string_view line, std::size_t pos) {
  for (const KeyEntry<Value>& entry : table)
    if (MatchesKeyAt(line, pos, entry.Text)) return &entry;
  return nullptr;
}

// The values behind a key: the first from the number-start search at the
// cursor, each later one after the next comma. Moves the caller's cursor.
class ValueList {
 public:
  ValueList(int32_t& cursor, std::string_view line) : cursor_(cursor), line_(line) {}

  double NextNumber() {
    return TakeFirst() ? ParseNumber(cursor_, line_) : ParseNumberAfterComma(cursor_, line_);
  }
  float NextFloat() {
    return TakeFirst() ? ParseFloat(cursor_, line_) : ParseFloatAfterComma(cursor_, line_);
  }
  // A value that is only found after a comma, even in first place.
  double NumberAfterComma() {
    first_ = false;
    return ParseNumberAfterComma(cursor_, line_);
  }
  float FloatAfterComma() {
    first_ = false;
    return ParseFloatAfterComma(cursor_, line_);
  }
  // The number behind a ";" that follows, when no comma comes first;
  // otherwise absent and the cursor stays.
  float FloatAfterSemicolon(float absent) {
    const int32_t before = cursor_;
    const float value = ParseFloatAfterSemicolon(cursor_, line_);
    return cursor_ != before ? value : absent;
  }

 private:
  bool TakeFirst() {
    const bool first = first_;
    first_ = false;
    return first;
  }

  int32_t& cursor_;
  std::string_view line_;
  bool first_ = true;
};

// Splits file content into lines the way the readers see them: each line ends
// in "\n" (a CR before it is dropped, a last line without one gets one), and
// a line ends at its first NUL byte, as a C string would.
std::vector<std::string> SplitLines(std::string_view content);

}  // namespace vestan
