// The field parsers every definition reader and the NC reader use, on one
// line from a cursor the input chooses, and the line splitting, path and
// encoding helpers on the whole input.
#include "foundation/text_fields.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cmath>
#include <optional>
#include <string>

#include "foundation/path_text.h"
#include "foundation/text_encoding.h"
#include "fuzz_support.h"

using namespace vestan;

namespace {

constexpr std::array<KeyEntry<int>, 4> kKeys = {
    {{"LENGTH2A", 1}, {"LENGTH2", 2}, {"LENGTH", 3}, {"ARBOR", 4}}};

// A cursor after a parser: where it was, or on the line (its end included).
void CheckCursor(int32_t cursor, int32_t before, std::string_view line) {
  FUZZ_CHECK(cursor == before || (cursor >= 0 && cursor <= static_cast<int32_t>(line.size())));
}

void ParseFromCursor(std::string_view line, int32_t start) {
  int32_t cursor = start;
  const auto step = [&](auto parse) {
    const int32_t before = cursor;
    parse();
    CheckCursor(cursor, before, line);
  };
  step([&] { ParseNumber(cursor, line); });
  step([&] { ParseNumberAfterComma(cursor, line); });
  step([&] { ParseFloat(cursor, line); });
  step([&] { ParseFloatAfterComma(cursor, line); });
  step([&] { ParseInteger(cursor, line); });
  step([&] { ParseIntegerAfterComma(cursor, line); });
  step([&] { ParseFloatAfterSemicolon(cursor, line); });
  step([&] { SkipBlanksAndEquals(cursor, line); });
  step([&] {
    std::optional<std::string> field;
    ParseQuotedField(cursor, line, field);
    if (field) FUZZ_CHECK(line.find(*field) != std::string_view::npos);
  });

  cursor = start;
  ValueList values(cursor, line);
  for (int i = 0; i < 12; ++i) {
    const int32_t before = cursor;
    switch (i % 4) {
      case 0:
        values.NextNumber();
        break;
      case 1:
        values.NextFloat();
        break;
      case 2:
        values.FloatAfterComma();
        break;
      default:
        values.FloatAfterSemicolon(-2.0f);
        break;
    }
    CheckCursor(cursor, before, line);
  }
  if (start >= 0) MatchKeyTable(kKeys, line, static_cast<size_t>(start));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view all = vestan::fuzz::AsText(data, size);

  for (const std::string& line : SplitLines(all)) {
    FUZZ_CHECK(!line.empty() && line.back() == '\n');
    FUZZ_CHECK(line.find('\n') == line.size() - 1);
    FUZZ_CHECK(line.find('\0') == std::string::npos);
  }

  FuzzedDataProvider provider(data, size);
  const int32_t start = provider.ConsumeIntegralInRange<int32_t>(-2, 300);
  const std::string line = provider.ConsumeRemainingBytesAsString();
  ParseFromCursor(line, start);

  const double number = ConvertDouble(line);
  FUZZ_CHECK(!std::isnan(number));
  ConvertInteger(line);
  TruncateToInt32(number);
  MatchesKey(line, "MAGAZINE");
  EqualsIgnoringAsciiCase(line, "magazine");

  const std::string folder = FolderPart(line);
  FUZZ_CHECK(std::string_view(line).starts_with(folder));
  FUZZ_CHECK(ToNativePath(line).size() == line.size());
  FUZZ_CHECK(JoinPath(folder, "x").ends_with("x"));
  FUZZ_CHECK(folder + FileNamePart(line) == line);
  PathFrom(folder, line);
  HasFolderPart(line);
  EndsWithPathSeparator(line);
  const std::string cp932 = Utf8ToCp932(line);
  if (IsValidUtf8(line)) FUZZ_CHECK(cp932.size() <= line.size());
  // Any bytes give UTF-8, at most three bytes for each byte read.
  const std::string utf8 = Cp932ToUtf8(line);
  FUZZ_CHECK(IsValidUtf8(utf8));
  FUZZ_CHECK(utf8.size() <= 3 * line.size());
  return 0;
}
