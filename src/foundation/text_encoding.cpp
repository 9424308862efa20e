#include "foundation/text_encoding.h"

#include <iconv.h>

#include <cstdint>

namespace vestan {

namespace {

// Length of the UTF-8 sequence starting at text[i], or 0 when it is malformed.
size_t Utf8SequenceLength(std::string_view text, size_t i) {
  const auto b = static_cast<unsigned char>(text[i]);
  size_t length = 0;
  uint32_t minimum = 0;
  uint32_t code = 0;
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2;
    minimum = 0x80;
    code = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3;
    minimum = 0x800;
    code = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4;
    minimum = 0x10000;
    code = b & 0x07;
  } else {
    return 0;
  }
  if (text.size() - i < length) return 0;
  for (size_t k = 1; k < length; ++k) {
    const auto c = static_cast<unsigned char>(text[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    code = (code << 6) | (c & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const size_t length = Utf8SequenceLength(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string Utf8ToCp932(std::string_view text) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(text);
  std::string out;
  out.reserve(text.size());
  char buffer[8];
  for (size_t i = 0; i < text.size();) {
    size_t length = Utf8SequenceLength(text, i);
    if (length == 0) length = 1;
    if (length == 1 && static_cast<unsigned char>(text[i]) < 0x80) {
      out.push_back(text[i++]);
      continue;
    }
    char* in = const_cast<char*>(text.data() + i);
    size_t inLeft = length;
    char* outPtr = buffer;
    size_t outLeft = sizeof(buffer);
    if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
      out.append(text.substr(i, length));
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    } else {
      out.append(buffer, outPtr);
    }
    i += length;
  }
  iconv_close(cd);
  return out;
}

std::string Cp932ToUtf8(std::string_view text) {
  constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  iconv_t cd = iconv_open("UTF-8", "CP932");
  std::string out;
  out.reserve(text.size());
  char buffer[8];
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      out.push_back(text[i++]);
      continue;
    }
    const bool pair = IsCp932LeadByte(text[i]) && i + 1 < text.size();
    const size_t length = pair ? 2 : 1;
    bool converted = false;
    if (cd != reinterpret_cast<iconv_t>(-1) && (pair || !IsCp932LeadByte(text[i]))) {
      char* in = const_cast<char*>(text.data() + i);
      size_t inLeft = length;
      char* outPtr = buffer;
      size_t outLeft = sizeof(buffer);
      converted = iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1);
      if (converted) out.append(buffer, outPtr);
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    if (converted) {
      i += length;
      continue;
    }
    out.append(kReplacement);
    // An ASCII byte after a lead byte is a character of its own.
    i += pair && static_cast<unsigned char>(text[i + 1]) >= 0x80 ? 2 : 1;
  }
  if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  return out;
}

}  // namespace vestan
