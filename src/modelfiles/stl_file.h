// STL files: reading every kind (ASCII, binary and byte-swapped binary) into
// triangle arrays, the tool-shape reader that turns a mesh for an angle head,
// and the facet writers of an STL export.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/vector_math.h"
#include "platform/file_open.h"

namespace vestan {

// Kinds of STL file; 1 is not used.
inline constexpr int32_t kStlUnreadable = 0;
inline constexpr int32_t kStlAscii = 2;
inline constexpr int32_t kStlBinary = 3;
inline constexpr int32_t kStlBinarySwapped = 4;

int32_t DetectStlKind(const std::filesystem::path& path);

// Facets of the file: the header count of a binary file (never more than the
// file's size can hold), the "endfacet" lines of an ASCII file up to
// "endsolid". 0 for kind 0 or an unreadable file.
int32_t CountStlFacets(int32_t kind, const std::filesystem::path& path);

// Reads up to facetCount facets into triangles (resized to the facets read),
// adds offset to every vertex and returns the box of the stored vertices
// (1e11 / -1e11 when there are none). Returns the number of facets read.
int32_t ReadStlTriangles(int32_t kind, int32_t facetCount, const std::filesystem::path& path,
                         const Vec3& offset, Vec3& boxMin, Vec3& boxMax,
                         std::vector<StlTriangle>& triangles);

// ReadStlTriangles, then, when an angle head is given, every normal and vertex
// turned by its angles before the box is taken.
int32_t ReadToolStl(int32_t kind, int32_t facetCount, const std::filesystem::path& path,
                    const Vec3& offset, Vec3& boxMin, Vec3& boxMax,
                    std::vector<StlTriangle>& triangles, const AngleHeadAngles* angleHead);

// Reverses the byte order of each 32-bit word.
void SwapBytes32(std::span<uint32_t> words);

// Forms of a written STL file.
inline constexpr int32_t kStlWriteAscii = 0;
inline constexpr int32_t kStlWriteBinary = 1;
inline constexpr int32_t kStlWriteSwapped = 2;  // every 32-bit word big-endian

// One STL export: its form, the frame the points are written in, and the
// file as it is built (it replaces the target only when finished).
struct StlWriterState {
  int32_t BinaryMode = kStlWriteAscii;
  // 0: points are written as given; else in the workpiece frame.
  int32_t ToWorkpiece = 0;
  int32_t Rotate = 0;
  Vec3 WorkOffset{};
  Matrix3 WorkRotation{1, 0, 0, 0, 1, 0, 0, 0, 1};
  uint16_t Attribute = 0;
  // The bytes not yet handed to Output (all of them for a file built in
  // memory).
  std::string Bytes;
  uint32_t FacetsWritten = 0;
  // The temporary file of an export opened by OpenStlExport; none for a file
  // built in memory.
  std::unique_ptr<ReplacementFile> Output;
};

// Starts the file: 80 blanks and a count of 0, or "solid".
void BeginStlFile(StlWriterState& state);

// Writes one facet with the given normal (turned into the workpiece frame
// with the points, never normalised or tested).
void WriteStlFacet(StlWriterState& state, const Vec3& normal, const Vec3& p1, const Vec3& p2,
                   const Vec3& p3);

// Writes one facet with the unit normal of its points and adds 1 to
// facetCounter; a triangle with two points equal as floats, or without area,
// writes nothing.
void WriteStlTriangle(StlWriterState& state, uint32_t& facetCounter, const Vec3& p1, const Vec3& p2,
                      const Vec3& p3);

// Ends the file (a binary count of the facets written, or "endsolid") and
// writes it to a temporary file beside path, renamed into place: a failed
// save leaves a previous file as it was. Returns kFileReplaced, or a negative
// code of ReplaceFileContents with the reason in error when given.
int32_t FinishStlFile(StlWriterState& state, std::string_view path, std::string* error = nullptr);

// Starts an export too large to build in memory: the file goes piece by
// piece into a temporary file beside path, then BeginStlFile. Returns
// kFileReplaced, or the code of ReplacementFile::Open with the reason in
// error when given.
int32_t OpenStlExport(StlWriterState& state, std::string_view path, std::string* error = nullptr);

// Ends an export opened by OpenStlExport: the binary count of the facets
// written or "endsolid", then the file renamed into place. A write that
// failed on the way (a full disk) is reported here: the previous file stays
// whole and the temporary file goes. Returns kFileReplaced or a negative
// code of ReplacementFile.
int32_t CloseStlExport(StlWriterState& state, std::string* error = nullptr);

}  // namespace vestan
