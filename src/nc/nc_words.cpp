#include "nc/nc_words.h"

#include "foundation/text_fields.h"
#include "foundation/vector_math.h"

namespace vestan {

namespace {

// Index of the first terminator at or after from, or the line's size.
size_t NextTerminator(std::string_view line, size_t from) {
  if (from >= line.size()) return line.size();
  const size_t found = line.find_first_of(kWordTerminators, from);
  return found == std::string_view::npos ? line.size() : found;
}

// The number that starts at position and ends at end, as far as it is
// converted.
std::string_view NumberText(std::string_view line, size_t position, size_t end) {
  if (position >= end) return {};
  const size_t length = end - position;
  return line.substr(position, length < kMaxNumberCharacters ? length : kMaxNumberCharacters);
}

std::string_view WordText(std::string_view line, size_t position) {
  return NumberText(line, position, NextTerminator(line, position));
}

bool HasDecimalPoint(std::string_view text) { return text.find('.') != std::string_view::npos; }

// A number without a decimal point divided by divisor, one with it as
// written.
int32_t ScaleNumber(std::string_view text, int32_t divisor, double& value) {
  value = ConvertDouble(text);
  if (HasDecimalPoint(text)) return kWordAsWritten;
  if (divisor != 0) value /= divisor;
  return kWordDivided;
}

bool IsBlankOrTab(char c) { return c == ' ' || c == '\t'; }

}  // namespace

int32_t ParseNcWordValue(std::string_view line, size_t& position, int32_t unitScale,
                         int32_t& decimalPointMode, double& value) {
  const size_t end = NextTerminator(line, position);
  const std::string_view text = NumberText(line, position, end);
  if (position < end) position = end;
  if (decimalPointMode == kDecimalPointNormal) {
    value = ConvertDouble(text);
    return kWordAsWritten;
  }
  const int32_t result = ScaleNumber(text, unitScale, value);
  decimalPointMode = result == kWordDivided ? kDecimalPointAbsent : kDecimalPointPresent;
  return result;
}

double ParseNcWordRaw(std::string_view line, size_t& position) {
  const size_t end = NextTerminator(line, position);
  const double value = ConvertDouble(NumberText(line, position, end));
  if (position < end) position = end;
  return value;
}

int32_t ParseNcWordPer1000(std::string_view line, size_t position, double& value) {
  constexpr int32_t kPerThousand = 1000;
  return ScaleNumber(WordText(line, position), kPerThousand, value);
}

int32_t ParseNcWordPer1000Mode(std::string_view line, size_t position, int32_t decimalPointMode,
                               double& value) {
  if (decimalPointMode != kDecimalPointNormal) return ParseNcWordPer1000(line, position, value);
  value = ConvertDouble(WordText(line, position));
  return kWordAsWritten;
}

int32_t ParseNcWordDivided(std::string_view line, size_t position, int32_t divisor, double& value) {
  return ScaleNumber(WordText(line, position), divisor, value);
}

double ParseNcWordToBlank(std::string_view line, size_t& position) {
  if (position >= line.size()) return 0.0;
  const std::string_view rest = line.substr(position);
  size_t length = rest.find_first_of(" \t");
  if (length == std::string_view::npos) length = rest.find(';');
  if (length == std::string_view::npos) length = NextTerminator(line, position) - position;
  const double value = ConvertDouble(NumberText(line, position, position + length));
  position += length;
  return value;
}

int32_t ParseNcWordInt(std::string_view line, size_t& position) {
  if (position >= line.size()) {
    position = line.size();
    return 0;
  }
  const int32_t value = ConvertInteger(line.substr(position));
  const size_t end = NextTerminator(line, position);
  position = end == position ? line.size() : end;
  return value;
}

size_t TrimTrailingBlanks(std::string_view line, size_t position) {
  if (position > line.size()) position = line.size();
  while (position > 0 && IsBlankOrTab(line[position - 1])) --position;
  return position;
}

int32_t DecimalSuffixDigit(std::string_view line, size_t position) {
  const size_t end = TrimTrailingBlanks(line, position);
  if (end < 2 || line[end - 2] != '.') return -1;
  const char digit = line[end - 1];
  return digit >= '0' && digit <= '9' ? digit - '0' : -1;
}

int32_t ToUnitInt(double value, int32_t unitScale) { return ToGridUnits(value, unitScale); }

}  // namespace vestan
