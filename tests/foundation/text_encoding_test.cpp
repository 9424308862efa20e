#include "foundation/text_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace vestan {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

TEST(TextEncoding, Cp932ToUtf8) {
  struct Case {
    std::string_view Cp932;
    std::string Utf8;
  };
  const Case cases[] = {
      {"atc.ttl", "atc.ttl"},
      {"\x83\x65\x83\x58\x83\x67.nc", "テスト.nc"},
      {"\x95\x5C", "表"},  // second byte is a backslash
      {"\xB1", "ｱ"},       // half-width katakana
      {"\x80", kReplacement},
      {"\xFD\xFE\xFF", kReplacement + kReplacement + kReplacement},
      // A lead byte before an ASCII byte: the ASCII character stays.
      {"\x81 a", kReplacement + " a"},
      // A lead byte at the end.
      {"a\x83", std::string("a").append(kReplacement)},
      // A lead byte with a trail that makes no character: one replacement.
      {"\x85\x80x", kReplacement + "x"},
  };
  for (const Case& c : cases) EXPECT_EQ(Cp932ToUtf8(c.Cp932), c.Utf8) << c.Cp932;
}

TEST(TextEncoding, Cp932RoundTrip) {
  const std::string utf8 = "工具設定ファイル ｱｲｳ ABC\\";
  EXPECT_EQ(Cp932ToUtf8(Utf8ToCp932(utf8)), utf8);
}

}  // namespace
}  // namespace vestan
