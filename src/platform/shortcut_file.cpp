#include "platform/shortcut_file.h"

#include <cstdint>
#include <filesystem>
#include <system_error>

#include "foundation/path_text.h"
#include "foundation/text_encoding.h"
#include "platform/file_open.h"

namespace vestan {

namespace {

// The shell link header: its size, then the shell link class id.
constexpr uint32_t kHeaderSize = 0x4C;
constexpr std::string_view kLinkClassId{
    "\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16};
// Link flags.
constexpr uint32_t kHasTargetIdList = 0x1;
constexpr uint32_t kHasLinkInfo = 0x2;
constexpr uint32_t kForceNoLinkInfo = 0x100;
// Link info: the flag of a volume id and local base path, the smallest
// header, and the header that also has the Unicode offsets.
constexpr uint32_t kHasLocalBasePath = 0x1;
constexpr uint32_t kLinkInfoHeaderSize = 0x1C;
constexpr uint32_t kLinkInfoUnicodeHeaderSize = 0x24;

class Bytes {
 public:
  explicit Bytes(std::string_view data) : data_(data) {}
  bool Has(size_t at, size_t count) const {
    return at <= data_.size() && count <= data_.size() - at;
  }
  uint32_t U16(size_t at) const { return Byte(at) | Byte(at + 1) << 8; }
  uint32_t U32(size_t at) const { return U16(at) | U16(at + 2) << 16; }
  std::string_view View(size_t at, size_t count) const { return data_.substr(at, count); }

 private:
  uint32_t Byte(size_t at) const { return static_cast<unsigned char>(data_[at]); }
  std::string_view data_;
};

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | code >> 6));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | code >> 12));
    out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | code >> 18));
    out.push_back(static_cast<char>(0x80 | (code >> 12 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// A NUL-ended string of the code page at offset within block; none when no
// NUL ends it inside the block.
std::optional<std::string> AnsiString(const Bytes& block, size_t size, size_t offset) {
  if (offset >= size) return std::nullopt;
  const std::string_view text = block.View(offset, size - offset);
  const size_t end = text.find('\0');
  if (end == std::string_view::npos) return std::nullopt;
  return Cp932ToUtf8(text.substr(0, end));
}

// A NUL-ended UTF-16LE string at offset within block, as UTF-8; unpaired
// surrogates become U+FFFD.
std::optional<std::string> UnicodeString(const Bytes& block, size_t size, size_t offset) {
  std::string out;
  for (size_t at = offset; at + 1 < size; at += 2) {
    uint32_t unit = block.U16(at);
    if (unit == 0) return out;
    if (unit >= 0xD800 && unit <= 0xDBFF && at + 3 < size) {
      const uint32_t low = block.U16(at + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        at += 2;
        continue;
      }
    }
    if (unit >= 0xD800 && unit <= 0xDFFF) unit = 0xFFFD;
    AppendUtf8(out, unit);
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ReadShortcutTarget(std::string_view data) {
  const Bytes bytes(data);
  if (!bytes.Has(0, kHeaderSize) || bytes.U32(0) != kHeaderSize ||
      bytes.View(4, kLinkClassId.size()) != kLinkClassId)
    return std::nullopt;
  const uint32_t flags = bytes.U32(20);
  size_t at = kHeaderSize;
  if ((flags & kHasTargetIdList) != 0) {
    if (!bytes.Has(at, 2)) return std::nullopt;
    at += 2 + bytes.U16(at);
  }
  if ((flags & kHasLinkInfo) == 0 || (flags & kForceNoLinkInfo) != 0) return std::nullopt;
  if (!bytes.Has(at, kLinkInfoHeaderSize)) return std::nullopt;
  const uint32_t size = bytes.U32(at);
  const uint32_t headerSize = bytes.U32(at + 4);
  if (headerSize < kLinkInfoHeaderSize || size < headerSize || !bytes.Has(at, size))
    return std::nullopt;
  if ((bytes.U32(at + 8) & kHasLocalBasePath) == 0) return std::nullopt;
  const Bytes info(bytes.View(at, size));

  std::optional<std::string> base, suffix;
  if (headerSize >= kLinkInfoUnicodeHeaderSize) {
    const uint32_t baseOffset = info.U32(28);
    const uint32_t suffixOffset = info.U32(32);
    if (baseOffset != 0) base = UnicodeString(info, size, baseOffset);
    if (baseOffset != 0 && suffixOffset != 0) suffix = UnicodeString(info, size, suffixOffset);
  }
  if (!base) {
    base = AnsiString(info, size, info.U32(16));
    const uint32_t suffixOffset = info.U32(24);
    suffix = suffixOffset != 0 ? AnsiString(info, size, suffixOffset) : std::string();
  }
  if (!base || base->empty()) return std::nullopt;
  std::string target = *base;
  if (suffix && !suffix->empty()) {
    if (!EndsWithPathSeparator(target)) target.push_back('\\');
    target += *suffix;
  }
  return ToNativePath(target);
}

bool ResolveShortcut(std::string& path) {
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(ToNativePath(path), ec);
  if (ec || size > kMaxShortcutBytes) return false;
  const std::optional<std::string> bytes = ReadFileBytes(path);
  if (!bytes) return false;
  std::optional<std::string> target = ReadShortcutTarget(*bytes);
  if (!target) return false;
  path = std::move(*target);
  return true;
}

}  // namespace vestan
