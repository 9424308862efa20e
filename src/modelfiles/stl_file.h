// Reading STL files (ASCII, binary and byte-swapped binary) into triangle
// arrays, and the tool-shape reader that turns a mesh for an angle head.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/vector_math.h"

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

}  // namespace vestan
