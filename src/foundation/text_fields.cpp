#include "foundation/text_fields.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "foundation/single_precision.h"

namespace vestan {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsNumberStart(char c) { return IsDigit(c) || c == '-' || c == '.' || c == '\n'; }

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int32_t Find(std::string_view line, char c, int32_t from) {
  if (from < 0) from = 0;
  if (static_cast<size_t>(from) >= line.size()) return -1;
  const size_t pos = line.find(c, static_cast<size_t>(from));
  return pos == std::string_view::npos ? -1 : static_cast<int32_t>(pos);
}

int32_t FindBlank(std::string_view line, int32_t from) {
  if (from < 0) from = 0;
  if (static_cast<size_t>(from) >= line.size()) return -1;
  const size_t pos = line.find_first_of(" \t", static_cast<size_t>(from));
  return pos == std::string_view::npos ? -1 : static_cast<int32_t>(pos);
}

std::string_view From(std::string_view line, int32_t index) {
  return index >= 0 && static_cast<size_t>(index) < line.size() ? line.substr(index)
                                                                : std::string_view{};
}

}  // namespace

double ConvertDouble(std::string_view s) {
  size_t consumed = 0;
  return ConvertDouble(s, consumed);
}

double ConvertDouble(std::string_view s, size_t& consumed) {
  consumed = 0;
  size_t i = 0;
  while (i < s.size() && IsSpace(s[i])) ++i;
  const size_t start = i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  // Decimal order of the first significant digit, to tell overflow from
  // underflow when the value is out of range.
  int64_t order = 0;
  bool significant = false;
  size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) {
    if (s[i] != '0') significant = true;
    if (significant) ++order;
    ++i;
    ++digits;
  }
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) {
      if (!significant) {
        if (s[i] != '0')
          significant = true;
        else
          --order;
      }
      ++i;
      ++digits;
    }
  }
  if (digits == 0) return 0.0;
  consumed = i;
  int64_t exponent = 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    bool expNegative = false;
    if (j < s.size() && (s[j] == '-' || s[j] == '+')) expNegative = s[j++] == '-';
    if (j < s.size() && IsDigit(s[j])) {
      while (j < s.size() && IsDigit(s[j])) {
        if (exponent < 100000) exponent = exponent * 10 + (s[j] - '0');
        ++j;
      }
      if (expNegative) exponent = -exponent;
      i = j;
    }
  }
  consumed = i;
  const char* first = s.data() + start + ((s[start] == '+') ? 1 : 0);
  double value = 0.0;
  const auto result = std::from_chars(first, s.data() + i, value);
  if (result.ec == std::errc::result_out_of_range) {
    const bool overflow = significant && order + exponent > 0;
    value = overflow ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -value : value;
  }
  if (result.ec != std::errc()) return 0.0;
  return value;
}

int32_t ConvertInteger(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && IsSpace(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  while (i < s.size() && IsDigit(s[i])) {
    value = value * 10 + (s[i] - '0');
    if (value > kLimit) value = kLimit;
    ++i;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

int32_t TruncateToInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

int32_t FindNumberStart(std::string_view line, int32_t from) {
  if (from < 0) from = 0;
  for (size_t i = static_cast<size_t>(from); i < line.size(); ++i)
    if (IsNumberStart(line[i])) return static_cast<int32_t>(i);
  return -1;
}

double ParseNumber(int32_t& cursor, std::string_view line) {
  const int32_t start = FindNumberStart(line, cursor);
  if (start < 0) return 0.0;
  cursor = start;
  return ConvertDouble(From(line, start));
}

double ParseNumberAfterComma(int32_t& cursor, std::string_view line) {
  const int32_t comma = Find(line, ',', cursor);
  if (comma < 0) return 0.0;
  cursor = comma;
  return ParseNumber(cursor, line);
}

float ParseFloat(int32_t& cursor, std::string_view line) {
  return RoundToSingle(ParseNumber(cursor, line));
}

float ParseFloatAfterComma(int32_t& cursor, std::string_view line) {
  return RoundToSingle(ParseNumberAfterComma(cursor, line));
}

int32_t ParseInteger(int32_t& cursor, std::string_view line) {
  const int32_t start = FindNumberStart(line, cursor);
  if (start < 0) return 0;
  cursor = start;
  return ConvertInteger(From(line, start));
}

int32_t ParseIntegerAfterComma(int32_t& cursor, std::string_view line) {
  const int32_t comma = Find(line, ',', cursor);
  if (comma < 0) return 0;
  cursor = comma;
  return ParseInteger(cursor, line);
}

float ParseFloatAfterSemicolon(int32_t& cursor, std::string_view line) {
  const int32_t semicolon = Find(line, ';', cursor);
  if (semicolon < 0) return -1.0f;
  const int32_t number = FindNumberStart(line, semicolon);
  if (number < 0) return -1.0f;
  const int32_t comma = Find(line, ',', cursor);
  if (comma >= 0 && comma < number) return -1.0f;
  cursor = number;
  return RoundToSingle(ConvertDouble(From(line, number)));
}

void SkipBlanksAndEquals(int32_t& cursor, std::string_view line) {
  if (cursor < 0) return;
  while (static_cast<size_t>(cursor) < line.size() && (line[cursor] == ' ' || line[cursor] == '='))
    ++cursor;
}

void ParseQuotedField(int32_t& cursor, std::string_view line, std::optional<std::string>& slot) {
  slot.reset();
  const auto toBlankOrEnd = [&line](int32_t from) {
    const int32_t blank = FindBlank(line, from);
    return blank >= 0 ? blank : static_cast<int32_t>(line.size());
  };
  const int32_t open = Find(line, '"', cursor);
  if (open < 0) {
    cursor = toBlankOrEnd(cursor);
    return;
  }
  cursor = open + 1;
  const int32_t close = Find(line, '"', cursor);
  if (close < 0) {
    cursor = toBlankOrEnd(cursor);
    return;
  }
  slot = std::string(line.substr(cursor, close - cursor));
  cursor = close;
}

char ToUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && MatchesKey(a, b);
}

bool MatchesKeyAt(std::string_view line, size_t pos, std::string_view key) {
  if (pos > line.size() || line.size() - pos < key.size()) return false;
  for (size_t i = 0; i < key.size(); ++i)
    if (ToUpperAscii(line[pos + i]) != ToUpperAscii(key[i])) return false;
  return true;
}

bool MatchesKey(std::string_view line, std::string_view key) { return MatchesKeyAt(line, 0, key); }

std::vector<std::string> SplitLines(std::string_view content) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    const bool last = end == std::string_view::npos;
    if (last) end = content.size();
    std::string_view line = content.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t nul = line.find('\0');
    if (nul != std::string_view::npos) line = line.substr(0, nul);
    std::string text(line);
    text.push_back('\n');
    lines.push_back(std::move(text));
    start = end + 1;
  }
  return lines;
}

}  // namespace vestan
