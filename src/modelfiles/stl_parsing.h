// The pieces every STL reader shares: the binary layout and its byte orders,
// the facet records of a binary file, and the keywords and numbers of the
// lines of an ASCII file.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vestan::detail {

inline constexpr int64_t kStlHeaderBytes = 84;
inline constexpr int64_t kStlFacetBytes = 50;
inline constexpr size_t kStlCountOffset = 80;

std::optional<uint64_t> StlFileSize(const std::filesystem::path& path);

// Facets a binary file of this size can hold.
uint64_t StlFacetCapacity(uint64_t size);

// The 32-bit word at p, little-endian or (swapped) big-endian.
uint32_t StlWord(const unsigned char* p, bool swapped);

uint32_t ReverseBytes(uint32_t w);

// The facets of a binary STL file one after another: never more than the
// count word, the file's size and limit allow.
class BinaryStlFacets {
 public:
  BinaryStlFacets(const std::filesystem::path& path, bool swapped, uint64_t limit);
  // The twelve floats of the next facet (normal, then the vertices, whose
  // values below 1e-14 in magnitude are set to 0); false at the end.
  bool Next(std::array<float, 12>& values);
  uint64_t Count() const { return count_; }

 private:
  std::ifstream in_;
  bool swapped_;
  uint64_t count_ = 0;
  uint64_t read_ = 0;
  // Facet records read ahead in one block, and the next one to hand out.
  std::vector<unsigned char> block_;
  size_t next_ = 0;
};

enum class StlKeyword { kNone, kFacet, kOuter, kVertex, kEndLoop, kEndFacet, kEndSolid };

struct StlKeywordAt {
  StlKeyword keyword = StlKeyword::kNone;
  size_t start = 0;
};

// The keyword of an ASCII line: it starts at the first of "efsovEFSOV" and is
// compared case-sensitively by prefix.
StlKeywordAt FindStlKeyword(std::string_view line);

// Three numbers of a "facet" or "vertex" line, from 6 characters after the
// keyword; each further number follows the next blank or tab.
std::array<double, 3> ParseStlTriple(std::string_view line, size_t keywordStart);

// ASCII STL lines as a 256-byte line buffer sees them: at most 255 bytes at a
// time, and a line ends at a NUL byte as a C string does.
class StlTextLines {
 public:
  explicit StlTextLines(const std::filesystem::path& path) : in_(path, std::ios::binary) {}
  bool Next(std::string& chunk);

 private:
  std::ifstream in_;
};

// The facets of an STL file of any kind, one at a time as they are read:
// twelve values (the normal as stored, then the three vertices; binary vertex
// values below 1e-14 in magnitude become 0). An ASCII facet is handed out at
// its "endfacet" line when its loop gave three vertices (a fourth is
// ignored); a facet with fewer is passed over.
class StlFacetStream {
 public:
  // kind: kStlAscii (2), kStlBinary (3) or kStlBinarySwapped (4); any other
  // kind gives no facets.
  StlFacetStream(int32_t kind, const std::filesystem::path& path);
  // The next facet; false at the end. bytes gets the bytes of the file read
  // since the last call (the header with the first binary facet).
  bool Next(std::array<double, 12>& facet, uint64_t& bytes);

 private:
  std::optional<BinaryStlFacets> binary_;
  std::optional<StlTextLines> text_;
  bool first_ = true;
};

}  // namespace vestan::detail
