#include "modelfiles/stl_file.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/geometry.h"
#include "foundation/number_text.h"
#include "foundation/single_precision.h"
#include "modelfiles/stl_parsing.h"
#include "platform/file_open.h"

namespace vestan {

namespace {

using detail::StlKeyword;

// The unit-vector clean-up of a stored normal, exact comparisons in this order.
void CleanNormal(double& nx, double& ny, double& nz) {
  if (std::fabs(nx) == 1.0) ny = nz = 0.0;
  if (std::fabs(ny) == 1.0) nx = nz = 0.0;
  if (std::fabs(nz) == 1.0) nx = ny = 0.0;
}

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
    for (size_t a = 0; a < 3; ++a) p[a] = read[a] + offset[a];
    if (angleHead != nullptr) RotateByAngleHead(*angleHead, p[0], p[1], p[2]);
    for (size_t a = 0; a < 3; ++a) {
      boxMin[a] = std::min(boxMin[a], p[a]);
      boxMax[a] = std::max(boxMax[a], p[a]);
    }
  }
};

void ReadBinary(bool swapped, int32_t facetCount, const std::filesystem::path& path,
                const FacetSink& sink, std::vector<StlTriangle>& triangles) {
  detail::BinaryStlFacets facets(path, swapped, static_cast<uint64_t>(std::max(facetCount, 0)));
  triangles.reserve(facets.Count());
  std::array<float, 12> v;
  while (facets.Next(v)) {
    double n[3] = {v[0], v[1], v[2]};
    if (v[0] == 0.0f && v[1] == 0.0f && v[2] == 0.0f) {
      const float a[3] = {v[6] - v[3], v[7] - v[4], v[8] - v[5]};
      const float b[3] = {v[9] - v[3], v[10] - v[4], v[11] - v[5]};
      const Vec3 cross = VectorCross({a[0], a[1], a[2]}, {b[0], b[1], b[2]});
      const double length = VectorLength(cross);
      if (length != 0.0)
        for (size_t k = 0; k < 3; ++k) n[k] = cross[k] / length;
    }
    CleanNormal(n[0], n[1], n[2]);
    StlTriangle t;
    for (size_t k = 0; k < 3; ++k) t[k] = n[k];
    sink.StoreNormal(&t[0]);
    for (size_t p = 1; p < 4; ++p)
      sink.StoreVertex(&t[3 * p], {v[3 * p], v[3 * p + 1], v[3 * p + 2]});
    triangles.push_back(t);
  }
}

void ReadAscii(int32_t facetCount, const std::filesystem::path& path, const FacetSink& sink,
               std::vector<StlTriangle>& triangles) {
  triangles.assign(static_cast<size_t>(std::max(facetCount, 0)), StlTriangle{});
  detail::StlTextLines lines(path);
  size_t facet = 0;
  size_t vertex = 0;
  std::string line;
  while (lines.Next(line)) {
    const detail::StlKeywordAt k = detail::FindStlKeyword(line);
    if (k.keyword == StlKeyword::kEndSolid) break;
    // Facets beyond the counted ones have no slot: they are ignored.
    const bool inRange = facet < triangles.size();
    switch (k.keyword) {
      case StlKeyword::kFacet:
        if (inRange) {
          const std::array<double, 3> n = detail::ParseStlTriple(line, k.start);
          StlTriangle& t = triangles[facet];
          t[0] = n[0];
          t[1] = n[1];
          t[2] = n[2];
          CleanNormal(t[0], t[1], t[2]);
          sink.StoreNormal(&t[0]);
        }
        break;
      case StlKeyword::kOuter:
        vertex = 0;
        break;
      case StlKeyword::kVertex:
        // A fourth vertex in one loop has no slot: it is ignored.
        if (inRange && vertex < 3)
          sink.StoreVertex(&triangles[facet][3 + 3 * vertex],
                           detail::ParseStlTriple(line, k.start));
        ++vertex;
        break;
      case StlKeyword::kEndFacet:
        ++facet;
        break;
      default:
        break;
    }
  }
  triangles.resize(std::min(facet, triangles.size()));
}

// The point in the frame the export writes in.
Vec3 ExportPoint(const StlWriterState& state, const Vec3& p) {
  if (state.ToWorkpiece == 0) return p;
  const Vec3 moved = VectorSub(p, state.WorkOffset);
  return state.Rotate != 0 ? MultiplyMatrixVector(state.WorkRotation, moved) : moved;
}

void AppendWord(std::string& bytes, uint32_t word, bool bigEndian) {
  for (int i = 0; i < 4; ++i) {
    const int shift = bigEndian ? 24 - 8 * i : 8 * i;
    bytes.push_back(static_cast<char>((word >> shift) & 0xFFu));
  }
}

void AppendTripleLine(std::string& text, std::string_view lead, const Vec3& v) {
  text += lead;
  for (size_t a = 0; a < 3; ++a) {
    if (a > 0) text += ' ';
    AppendFixed(text, v[a]);
  }
  text += '\n';
}

// An export streamed into its file hands its bytes over in pieces this large.
constexpr size_t kStreamChunkBytes = size_t{1} << 20;

// Hands the bytes gathered so far to the export's file once there are at
// least atLeast of them (a write failure stays with the file until Close).
void FlushStlBytes(StlWriterState& state, size_t atLeast) {
  if (!state.Output || state.Bytes.size() < atLeast) return;
  state.Output->Write(state.Bytes);
  state.Bytes.clear();
}

// The count field of a binary file.
std::string CountBytes(const StlWriterState& state) {
  std::string count;
  AppendWord(count, state.FacetsWritten, state.BinaryMode == kStlWriteSwapped);
  return count;
}

// One facet in the file's form; the points are already in the export frame.
void AppendFacet(StlWriterState& state, const Vec3& n, const std::array<Vec3, 3>& p) {
  std::string& out = state.Bytes;
  ++state.FacetsWritten;
  if (state.BinaryMode == kStlWriteAscii) {
    AppendTripleLine(out, "  facet normal ", n);
    out += "    outer loop\n";
    for (const Vec3& v : p) AppendTripleLine(out, "      vertex ", v);
    out += "    endloop\n";
    out += "  endfacet\n";
    return;
  }
  const bool big = state.BinaryMode == kStlWriteSwapped;
  // The record is put together whole and appended at once.
  char record[50];
  size_t at = 0;
  const auto put = [&](double value) {
    const uint32_t word = std::bit_cast<uint32_t>(RoundToSingle(value));
    for (int i = 0; i < 4; ++i)
      record[at++] = static_cast<char>((word >> (big ? 24 - 8 * i : 8 * i)) & 0xFFu);
  };
  for (size_t a = 0; a < 3; ++a) put(n[a]);
  for (const Vec3& v : p)
    for (size_t a = 0; a < 3; ++a) put(v[a]);
  record[at++] = static_cast<char>(state.Attribute & 0xFFu);
  record[at++] = static_cast<char>(state.Attribute >> 8);
  out.append(record, at);
  FlushStlBytes(state, kStreamChunkBytes);
}

bool SameAsFloats(const Vec3& a, const Vec3& b) {
  for (size_t i = 0; i < 3; ++i)
    if (RoundToSingle(a[i]) != RoundToSingle(b[i])) return false;
  return true;
}

}  // namespace

int32_t DetectStlKind(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return kStlUnreadable;
  unsigned char head[256];
  in.read(reinterpret_cast<char*>(head), sizeof head);
  const size_t got = static_cast<size_t>(in.gcount());
  const std::optional<uint64_t> size = detail::StlFileSize(path);
  if (!size || *size == 0) return kStlUnreadable;
  const uint64_t expected = detail::StlFacetCapacity(*size);
  // The count word exists only when the header was read whole.
  const bool haveCount = got >= static_cast<size_t>(detail::kStlHeaderBytes);
  const uint32_t count = haveCount ? detail::StlWord(head + detail::kStlCountOffset, false) : 0;
  if (haveCount && count == expected) return kStlBinary;
  if (haveCount && detail::ReverseBytes(count) == expected) return kStlBinarySwapped;
  const std::string_view bytes(reinterpret_cast<const char*>(head), got);
  const size_t facet = bytes.find("facet");
  if (facet != std::string_view::npos && facet <= 249) return kStlAscii;
  if (haveCount && count != 0 && expected != 0 && count <= expected) return kStlBinary;
  return kStlUnreadable;
}

int32_t CountStlFacets(int32_t kind, const std::filesystem::path& path) {
  if (kind == kStlBinary || kind == kStlBinarySwapped) {
    const detail::BinaryStlFacets facets(path, kind == kStlBinarySwapped, UINT64_MAX);
    return static_cast<int32_t>(std::min<uint64_t>(facets.Count(), INT32_MAX));
  }
  if (kind != kStlAscii) return 0;
  detail::StlTextLines lines(path);
  int32_t facets = 0;
  std::string line;
  while (lines.Next(line)) {
    const StlKeyword k = detail::FindStlKeyword(line).keyword;
    if (k == StlKeyword::kEndSolid) break;
    if (k == StlKeyword::kEndFacet && facets < INT32_MAX) ++facets;
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
  for (uint32_t& w : words) w = detail::ReverseBytes(w);
}

void BeginStlFile(StlWriterState& state) {
  state.Bytes.clear();
  state.FacetsWritten = 0;
  if (state.BinaryMode == kStlWriteAscii) {
    state.Bytes = "solid\n";
    return;
  }
  state.Bytes.assign(detail::kStlCountOffset, ' ');
  AppendWord(state.Bytes, 0, false);
}

void WriteStlFacet(StlWriterState& state, const Vec3& normal, const Vec3& p1, const Vec3& p2,
                   const Vec3& p3) {
  const bool turned = state.ToWorkpiece != 0 && state.Rotate != 0;
  const Vec3 n = turned ? MultiplyMatrixVector(state.WorkRotation, normal) : normal;
  AppendFacet(state, n, {ExportPoint(state, p1), ExportPoint(state, p2), ExportPoint(state, p3)});
}

void WriteStlTriangle(StlWriterState& state, uint32_t& facetCounter, const Vec3& p1, const Vec3& p2,
                      const Vec3& p3) {
  const std::array<Vec3, 3> p{ExportPoint(state, p1), ExportPoint(state, p2),
                              ExportPoint(state, p3)};
  if (SameAsFloats(p[0], p[1]) || SameAsFloats(p[1], p[2]) || SameAsFloats(p[0], p[2])) return;
  const Vec3 n = VectorCross(VectorSub(p[1], p[0]), VectorSub(p[2], p[0]));
  const double length = VectorLength(n);
  if (length == 0.0) return;
  AppendFacet(state, {n[0] / length, n[1] / length, n[2] / length}, p);
  ++facetCounter;
}

int32_t FinishStlFile(StlWriterState& state, std::string_view path, std::string* error) {
  if (state.BinaryMode == kStlWriteAscii) {
    state.Bytes += "endsolid\n";
  } else if (state.Bytes.size() >= static_cast<size_t>(detail::kStlHeaderBytes)) {
    // The count says what the file holds, whatever the callers counted.
    state.Bytes.replace(detail::kStlCountOffset, 4, CountBytes(state));
  }
  const int32_t result = ReplaceFileContents(path, state.Bytes, error);
  state.Bytes = {};
  return result;
}

int32_t OpenStlExport(StlWriterState& state, std::string_view path, std::string* error) {
  state.Output = std::make_unique<ReplacementFile>();
  const int32_t opened = state.Output->Open(path, error);
  if (opened != kFileReplaced) {
    state.Output.reset();
    return opened;
  }
  BeginStlFile(state);
  return kFileReplaced;
}

int32_t CloseStlExport(StlWriterState& state, std::string* error) {
  if (!state.Output) {
    if (error != nullptr) *error = "the export was not opened";
    return kFileNotWritten;
  }
  if (state.BinaryMode == kStlWriteAscii) state.Bytes += "endsolid\n";
  FlushStlBytes(state, 0);
  // The count says what the file holds, whatever the callers counted.
  if (state.BinaryMode != kStlWriteAscii)
    state.Output->WriteAt(static_cast<uint64_t>(detail::kStlCountOffset), CountBytes(state));
  const int32_t result = state.Output->Commit(error);
  state.Output.reset();
  state.Bytes = {};
  return result;
}

}  // namespace vestan
