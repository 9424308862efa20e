#include "modelfiles/stl_file.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "foundation/geometry.h"
#include "foundation/text_fields.h"

namespace vestan {

namespace {

constexpr int64_t kHeaderBytes = 84;
constexpr int64_t kFacetBytes = 50;

std::optional<uint64_t> FileSize(const std::filesystem::path& path) {
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return std::nullopt;
  return size;
}

// Facets a binary file of this size can hold.
uint64_t FacetCapacity(uint64_t size) {
  return size < kHeaderBytes ? 0 : (size - kHeaderBytes) / kFacetBytes;
}

uint32_t Word(const unsigned char* p, bool swapped) {
  if (swapped)
    return uint32_t{p[3]} | uint32_t{p[2]} << 8 | uint32_t{p[1]} << 16 | uint32_t{p[0]} << 24;
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

uint32_t ReverseBytes(uint32_t w) {
  return (w >> 24) | ((w >> 8) & 0xFF00u) | ((w << 8) & 0xFF0000u) | (w << 24);
}

// The unit-vector clean-up of a stored normal, exact comparisons in this order.
void CleanNormal(double& nx, double& ny, double& nz) {
  if (std::fabs(nx) == 1.0) ny = nz = 0.0;
  if (std::fabs(ny) == 1.0) nx = nz = 0.0;
  if (std::fabs(nz) == 1.0) nx = ny = 0.0;
}

enum class Keyword { kNone, kFacet, kOuter, kVertex, kEndLoop, kEndFacet, kEndSolid };

struct KeywordAt {
  Keyword keyword = Keyword::kNone;
  size_t start = 0;
};

// The keyword of an ASCII line: it starts at the first of "efsovEFSOV" and is
// compared case-sensitively by prefix.
KeywordAt FindKeyword(std::string_view line) {
  const size_t start = line.find_first_of("efsovEFSOV");
  if (start == std::string_view::npos) return {};
  const std::string_view rest = line.substr(start);
  struct Entry {
    std::string_view text;
    Keyword keyword;
  };
  static constexpr Entry kEntries[] = {
      {"facet", Keyword::kFacet},        {"outer", Keyword::kOuter},
      {"vertex", Keyword::kVertex},      {"endloop", Keyword::kEndLoop},
      {"end loop", Keyword::kEndLoop},   {"endfacet", Keyword::kEndFacet},
      {"end facet", Keyword::kEndFacet}, {"endsolid", Keyword::kEndSolid},
      {"end solid", Keyword::kEndSolid},
  };
  for (const Entry& e : kEntries)
    if (rest.starts_with(e.text)) return {e.keyword, start};
  return {Keyword::kNone, start};
}

// Three numbers of a "facet" or "vertex" line, from 6 characters after the
// keyword; each further number follows the next blank or tab.
std::array<double, 3> ParseTriple(std::string_view line, size_t keywordStart) {
  std::array<double, 3> values{};
  int32_t cursor = static_cast<int32_t>(keywordStart + 6);
  for (int i = 0; i < 3; ++i) {
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

// ASCII STL lines as a 256-byte line buffer sees them: at most 255 bytes at a
// time, and a line ends at a NUL byte as a C string does.
class AsciiLines {
 public:
  explicit AsciiLines(const std::filesystem::path& path) : in_(path, std::ios::binary) {}
  bool ok() const { return static_cast<bool>(in_); }
  bool Next(std::string& chunk) {
    chunk.clear();
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

 private:
  std::ifstream in_;
};

void RotateByAngleHead(const AngleHeadAngles& head, double& x, double& y, double& z) {
  TurnByAngleHead(head.A, head.B, head.C, x, y, z);
}

// Where read facets go: the offset and the angle head's turn are applied to
// each stored coordinate, and the box widens by each stored vertex.
struct FacetSink {
  const Vec3& offset;
  const AngleHeadAngles* angleHead;
  Vec3& boxMin;
  Vec3& boxMax;

  void StoreNormal(double* n) const {
    if (angleHead != nullptr) RotateByAngleHead(*angleHead, n[0], n[1], n[2]);
  }
  void StoreVertex(double* p, const std::array<double, 3>& read) const {
    for (int a = 0; a < 3; ++a) p[a] = read[a] + offset[a];
    if (angleHead != nullptr) RotateByAngleHead(*angleHead, p[0], p[1], p[2]);
    for (int a = 0; a < 3; ++a) {
      boxMin[a] = std::min(boxMin[a], p[a]);
      boxMax[a] = std::max(boxMax[a], p[a]);
    }
  }
};

void ReadBinary(bool swapped, int32_t facetCount, const std::filesystem::path& path,
                const FacetSink& sink, std::vector<StlTriangle>& triangles) {
  triangles.clear();
  std::ifstream in(path, std::ios::binary);
  const std::optional<uint64_t> size = FileSize(path);
  unsigned char header[kHeaderBytes];
  if (!in || !size || !in.read(reinterpret_cast<char*>(header), kHeaderBytes)) return;
  const uint64_t count = std::min<uint64_t>({Word(header + 80, swapped), FacetCapacity(*size),
                                             static_cast<uint64_t>(std::max(facetCount, 0))});
  triangles.reserve(count);
  unsigned char record[kFacetBytes];
  for (uint64_t f = 0; f < count; ++f) {
    if (!in.read(reinterpret_cast<char*>(record), kFacetBytes)) break;  // file shrank
    float v[12];
    for (int k = 0; k < 12; ++k) v[k] = std::bit_cast<float>(Word(record + 4 * k, swapped));
    for (int k = 3; k < 12; ++k)
      if (std::fabs(static_cast<double>(v[k])) < 1e-14) v[k] = 0.0f;
    double n[3] = {v[0], v[1], v[2]};
    if (v[0] == 0.0f && v[1] == 0.0f && v[2] == 0.0f) {
      const float a[3] = {v[6] - v[3], v[7] - v[4], v[8] - v[5]};
      const float b[3] = {v[9] - v[3], v[10] - v[4], v[11] - v[5]};
      const Vec3 cross = VectorCross({a[0], a[1], a[2]}, {b[0], b[1], b[2]});
      const double length = VectorLength(cross);
      if (length != 0.0)
        for (int k = 0; k < 3; ++k) n[k] = cross[k] / length;
    }
    CleanNormal(n[0], n[1], n[2]);
    StlTriangle t;
    for (int k = 0; k < 3; ++k) t[k] = n[k];
    sink.StoreNormal(&t[0]);
    for (int p = 1; p < 4; ++p) sink.StoreVertex(&t[3 * p], {v[3 * p], v[3 * p + 1], v[3 * p + 2]});
    triangles.push_back(t);
  }
}

void ReadAscii(int32_t facetCount, const std::filesystem::path& path, const FacetSink& sink,
               std::vector<StlTriangle>& triangles) {
  triangles.assign(static_cast<size_t>(std::max(facetCount, 0)), StlTriangle{});
  AsciiLines lines(path);
  size_t facet = 0;
  int vertex = 0;
  std::string line;
  while (lines.ok() && lines.Next(line)) {
    const KeywordAt k = FindKeyword(line);
    if (k.keyword == Keyword::kEndSolid) break;
    const bool inRange = facet < triangles.size();
    switch (k.keyword) {
      case Keyword::kFacet:
        if (inRange) {
          const std::array<double, 3> n = ParseTriple(line, k.start);
          StlTriangle& t = triangles[facet];
          t[0] = n[0];
          t[1] = n[1];
          t[2] = n[2];
          CleanNormal(t[0], t[1], t[2]);
          sink.StoreNormal(&t[0]);
        }
        break;
      case Keyword::kOuter:
        vertex = 0;
        break;
      case Keyword::kVertex:
        // A fourth vertex in one loop has no slot: it is ignored.
        if (inRange && vertex < 3) {
          sink.StoreVertex(&triangles[facet][3 + 3 * vertex], ParseTriple(line, k.start));
        }
        ++vertex;
        break;
      case Keyword::kEndFacet:
        ++facet;
        break;
      default:
        break;
    }
  }
  triangles.resize(std::min(facet, triangles.size()));
}

}  // namespace

int32_t DetectStlKind(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return kStlUnreadable;
  unsigned char head[256];
  in.read(reinterpret_cast<char*>(head), sizeof head);
  const size_t got = static_cast<size_t>(in.gcount());
  const std::optional<uint64_t> size = FileSize(path);
  if (!size || *size == 0) return kStlUnreadable;
  const uint64_t expected = FacetCapacity(*size);
  // The count word exists only when the header was read whole.
  const bool haveCount = got >= static_cast<size_t>(kHeaderBytes);
  const uint32_t count = haveCount ? Word(head + 80, false) : 0;
  if (haveCount && count == expected) return kStlBinary;
  if (haveCount && ReverseBytes(count) == expected) return kStlBinarySwapped;
  const std::string_view bytes(reinterpret_cast<const char*>(head), got);
  const size_t facet = bytes.find("facet");
  if (facet != std::string_view::npos && facet <= 249) return kStlAscii;
  if (haveCount && count != 0 && expected != 0 && count <= expected) return kStlBinary;
  return kStlUnreadable;
}

int32_t CountStlFacets(int32_t kind, const std::filesystem::path& path) {
  if (kind == kStlBinary || kind == kStlBinarySwapped) {
    std::ifstream in(path, std::ios::binary);
    const std::optional<uint64_t> size = FileSize(path);
    unsigned char header[kHeaderBytes];
    if (!in || !size || !in.read(reinterpret_cast<char*>(header), kHeaderBytes)) return 0;
    // The stored count is not trusted beyond what the file can hold.
    const uint64_t count =
        std::min<uint64_t>(Word(header + 80, kind == kStlBinarySwapped), FacetCapacity(*size));
    return static_cast<int32_t>(std::min<uint64_t>(count, INT32_MAX));
  }
  if (kind != kStlAscii) return 0;
  AsciiLines lines(path);
  int32_t facets = 0;
  std::string line;
  while (lines.ok() && lines.Next(line)) {
    const Keyword k = FindKeyword(line).keyword;
    if (k == Keyword::kEndSolid) break;
    if (k == Keyword::kEndFacet && facets < INT32_MAX) ++facets;
  }
  return facets;
}

int32_t ReadStlTriangles(int32_t kind, int32_t facetCount, const std::filesystem::path& path,
                         const Vec3& offset, Vec3& boxMin, Vec3& boxMax,
                         std::vector<StlTriangle>& triangles) {
  return ReadToolStl(kind, facetCount, path, offset, boxMin, boxMax, triangles, nullptr);
}

int32_t ReadToolStl(int32_t kind, int32_t facetCount, const std::filesystem::path& path,
                    const Vec3& offset, Vec3& boxMin, Vec3& boxMax,
                    std::vector<StlTriangle>& triangles, const AngleHeadAngles* angleHead) {
  triangles.clear();
  boxMin = {1e11, 1e11, 1e11};
  boxMax = {-1e11, -1e11, -1e11};
  const FacetSink sink{offset, angleHead, boxMin, boxMax};
  if (kind == kStlBinary || kind == kStlBinarySwapped)
    ReadBinary(kind == kStlBinarySwapped, facetCount, path, sink, triangles);
  else if (kind == kStlAscii)
    ReadAscii(facetCount, path, sink, triangles);
  return static_cast<int32_t>(triangles.size());
}

void SwapBytes32(std::span<uint32_t> words) {
  for (uint32_t& w : words) w = ReverseBytes(w);
}

}  // namespace vestan
