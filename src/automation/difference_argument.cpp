#include "automation/difference_argument.h"

#include "foundation/text_fields.h"

namespace vestan {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int32_t ParseDiffArgument(std::string_view text, DifferenceSettings& difference) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    difference.Area = text[i++] == '-' ? -1 : 1;
  size_t consumed = 0;
  difference.Margin = difference.BuiltMargin = ConvertDouble(text.substr(i), consumed);
  i += consumed;

  size_t mark = i;
  while (mark < text.size() && ToUpperAscii(text[mark]) != 'H' && ToUpperAscii(text[mark]) != 'N')
    ++mark;
  if (mark == text.size()) return i < text.size() ? 1 : 0;
  i = mark + 1;

  difference.EmphasisWidth = 0.0;
  if (i == text.size()) {
    difference.PenColouring = 0;
    return 0;
  }
  if (ToUpperAscii(text[i]) == 'P') {
    difference.PenColouring = 0;
    ++i;
  } else if (IsDigit(text[i])) {
    int32_t pen = text[i++] - '0';
    if (i < text.size() && IsDigit(text[i])) pen = pen * 10 + (text[i++] - '0');
    difference.PenColouring = 1;
    difference.Pen = pen >= 1 && pen <= 15 ? pen : 1;
  }
  difference.ClearPrevious = 1;
  if (i < text.size() && ToUpperAscii(text[i]) == 'K') {
    difference.ClearPrevious = 0;
    ++i;
  }
  if (i < text.size() && text[i] == ',') {
    ++i;
    difference.EmphasisWidth = ConvertDouble(text.substr(i), consumed);
    i += consumed;
  }
  return i < text.size() ? 1 : 0;
}

}  // namespace vestan
