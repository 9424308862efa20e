#include "modelfiles/stl_parsing.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <system_error>

#include "foundation/text_fields.h"

namespace vestan::detail {

std::optional<uint64_t> StlFileSize(const std::filesystem::path& path) {
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return std::nullopt;
  return size;
}

uint64_t StlFacetCapacity(uint64_t size) {
  return size < static_cast<uint64_t>(kStlHeaderBytes) ? 0
                                                       : (size - kStlHeaderBytes) / kStlFacetBytes;
}

uint32_t StlWord(const unsigned char* p, bool swapped) {
  if (swapped)
    return uint32_t{p[3]} | uint32_t{p[2]} << 8 | uint32_t{p[1]} << 16 | uint32_t{p[0]} << 24;
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

uint32_t ReverseBytes(uint32_t w) {
  return (w >> 24) | ((w >> 8) & 0xFF00u) | ((w << 8) & 0xFF0000u) | (w << 24);
}

BinaryStlFacets::BinaryStlFacets(const std::filesystem::path& path, bool swapped, uint64_t limit)
    : in_(path, std::ios::binary), swapped_(swapped) {
  const std::optional<uint64_t> size = StlFileSize(path);
  unsigned char header[kStlHeaderBytes];
  if (!in_ || !size || !in_.read(reinterpret_cast<char*>(header), kStlHeaderBytes)) return;
  // The stored count is not trusted beyond what the file can hold.
  count_ = std::min<uint64_t>(
      {StlWord(header + kStlCountOffset, swapped), StlFacetCapacity(*size), limit});
}

bool BinaryStlFacets::Next(std::array<float, 12>& values) {
  if (read_ >= count_) return false;
  if (next_ >= block_.size()) {
    // Facets are read a block at a time: one stream call per record costs
    // more than the record's own work when a large mesh is sliced.
    constexpr uint64_t kBlockFacets = 1024;
    block_.resize(static_cast<size_t>(std::min(kBlockFacets, count_ - read_) * kStlFacetBytes));
    in_.read(reinterpret_cast<char*>(block_.data()), static_cast<std::streamsize>(block_.size()));
    // A file that shrank since its size was taken ends the facets early.
    block_.resize(static_cast<size_t>(in_.gcount()) / kStlFacetBytes * kStlFacetBytes);
    next_ = 0;
    if (block_.empty()) return false;
  }
  const unsigned char* record = block_.data() + next_;
  next_ += kStlFacetBytes;
  ++read_;
  for (size_t k = 0; k < 12; ++k)
    values[k] = std::bit_cast<float>(StlWord(record + 4 * k, swapped_));
  for (size_t k = 3; k < 12; ++k)
    if (std::fabs(static_cast<double>(values[k])) < 1e-14) values[k] = 0.0f;
  return true;
}

StlKeywordAt FindStlKeyword(std::string_view line) {
  const size_t start = line.find_first_of("efsovEFSOV");
  if (start == std::string_view::npos) return {};
  const std::string_view rest = line.substr(start);
  struct Entry {
    std::string_view text;
    StlKeyword keyword;
  };
  static constexpr Entry kEntries[] = {
      {"facet", StlKeyword::kFacet},        {"outer", StlKeyword::kOuter},
      {"vertex", StlKeyword::kVertex},      {"endloop", StlKeyword::kEndLoop},
      {"end loop", StlKeyword::kEndLoop},   {"endfacet", StlKeyword::kEndFacet},
      {"end facet", StlKeyword::kEndFacet}, {"endsolid", StlKeyword::kEndSolid},
      {"end solid", StlKeyword::kEndSolid},
  };
  for (const Entry& e : kEntries)
    if (rest.starts_with(e.text)) return {e.keyword, start};
  return {StlKeyword::kNone, start};
}

std::array<double, 3> ParseStlTriple(std::string_view line, size_t keywordStart) {
  std::array<double, 3> values{};
  int32_t cursor = static_cast<int32_t>(keywordStart + 6);
  for (size_t i = 0; i < 3; ++i) {
    if (i > 0) {
      const size_t blank = static_cast<size_t>(cursor) < line.size()
                               ? line.find_first_of(" \t", static_cast<size_t>(cursor))
                               : std::string_view::npos;
      if (blank == std::string_view::npos) break;
      cursor = static_cast<int32_t>(blank);
    }
    const int32_t start = FindNumberStart(line, cursor);
    if (start < 0) break;
    cursor = start;
    values[i] = ConvertDouble(line.substr(static_cast<size_t>(start)));
  }
  return values;
}

StlFacetStream::StlFacetStream(int32_t kind, const std::filesystem::path& path) {
  // The kinds as stl_file.h numbers them.
  if (kind == 3 || kind == 4)
    binary_.emplace(path, kind == 4, UINT64_MAX);
  else if (kind == 2)
    text_.emplace(path);
}

bool StlFacetStream::Next(std::array<double, 12>& facet, uint64_t& bytes) {
  bytes = 0;
  if (binary_) {
    std::array<float, 12> values;
    if (!binary_->Next(values)) return false;
    std::copy(values.begin(), values.end(), facet.begin());
    bytes = kStlFacetBytes + (first_ ? kStlHeaderBytes : 0);
    first_ = false;
    return true;
  }
  if (!text_) return false;
  std::string line;
  size_t vertex = 0;
  while (text_->Next(line)) {
    bytes += line.size();
    const StlKeywordAt k = FindStlKeyword(line);
    switch (k.keyword) {
      case StlKeyword::kEndSolid:
        text_.reset();
        return false;
      case StlKeyword::kFacet: {
        const std::array<double, 3> n = ParseStlTriple(line, k.start);
        std::copy(n.begin(), n.end(), facet.begin());
        break;
      }
      case StlKeyword::kOuter:
        vertex = 0;
        break;
      case StlKeyword::kVertex:
        if (vertex < 3) {
          const std::array<double, 3> p = ParseStlTriple(line, k.start);
          std::copy(p.begin(), p.end(), facet.begin() + 3 + 3 * vertex);
        }
        ++vertex;
        break;
      case StlKeyword::kEndFacet:
        if (vertex >= 3) return true;
        vertex = 0;
        break;
      default:
        break;
    }
  }
  return false;
}

bool StlTextLines::Next(std::string& chunk) {
  chunk.clear();
  if (!in_) return false;
  char c;
  while (chunk.size() < 255 && in_.get(c)) {
    chunk.push_back(c);
    if (c == '\n') break;
  }
  if (chunk.empty()) return false;
  const size_t nul = chunk.find('\0');
  if (nul != std::string::npos) chunk.resize(nul);
  return true;
}

}  // namespace vestan::detail
