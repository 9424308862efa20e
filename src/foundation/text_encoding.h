// Byte-level text helpers: telling cp932 from UTF-8 and converting between
// the UI's UTF-8 and the cp932 of the program's own files.
#pragma once

#include <string>
#include <string_view>

namespace vestan {

// A byte that starts a two-byte cp932 character.
inline bool IsCp932LeadByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// True when the bytes form well-formed UTF-8 (plain ASCII included).
bool IsValidUtf8(std::string_view text);

// UTF-8 to cp932 for files the program writes in its Japanese code page. A
// character cp932 has no code for, or a malformed sequence, is kept as its
// original bytes so that nothing is dropped.
std::string Utf8ToCp932(std::string_view text);

// cp932 to UTF-8 for showing the program's files in the UI. A byte or pair
// that is no cp932 character becomes U+FFFD; a lead byte followed by an
// ASCII byte gives U+FFFD and the ASCII character.
std::string Cp932ToUtf8(std::string_view text);

}  // namespace vestan
