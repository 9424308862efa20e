// Triangle geometry of slicing and of the mesh tool: where a grid line meets a
// triangle, a triangle's plane and box, and the repair of single dropouts in
// a height grid.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "foundation/vector_math.h"

namespace vestan {

// A triangle as nine doubles: vertex 0, 1, 2, each x, y, z.
using TriangleVertices = std::span<const double, 9>;
// Unit normal (a, b, c) and d with a*x + b*y + c*z + d = 0 on the plane.
using TrianglePlane = std::array<double, 4>;

// Results of IntersectTriangleWithLineA.
inline constexpr int32_t kNearVertex = 1;
inline constexpr int32_t kOnEdge = 2;
inline constexpr int32_t kInside = 3;

// Whether the line along the third axis through point meets the triangle,
// judged in the plane of axes i1 and i2 (0 X, 1 Y, 2 Z) with tolerance:
// kNearVertex within 0.01 of a vertex, kOnEdge between the two vertices of an
// edge, kInside, or 0 outside.
int32_t IntersectTriangleWithLineA(TriangleVertices triangle, int i1, int i2, const Vec3& point);

// The exact test: 1, 2, 3 when the point is vertex 0, 1, 2 exactly; 4, 5, 6
// when it lies strictly inside edge 0-1, 1-2, 2-0 and that edge is parallel
// to one of the two axes; 7 on another edge or inside; 0 outside.
int32_t IntersectTriangleWithLine(TriangleVertices triangle, int i1, int i2, const Vec3& point);

// The point against the triangle p0, p1, p2 projected onto the plane of axes
// u and v: 1, 2, 3 when the point is that vertex (0 when two vertices are);
// 4, 5, 6 on edge 0-1, 1-2, 0-2; 7 inside; 0 outside or when the point and
// vertices 0 and 1 are in line.
int32_t TestPointInTriangleProjected(const Vec3& p0, const Vec3& p1, const Vec3& p2,
                                     const Vec3& point, int u, int v);

// Per-axis minimum and maximum of the three points (starting from 1e12 and
// -1e12).
void ComputeBoundingBox(const Vec3& p0, const Vec3& p1, const Vec3& p2, Vec3& minOut, Vec3& maxOut);

// Plane through the three points, its normal made to point so that its first
// non-zero component is positive. A triangle without area gives non-numbers.
void ComputePlaneFromTriangle(const Vec3& p0, const Vec3& p1, const Vec3& p2, TrianglePlane& plane);

// Fills single dropouts of a height field: a node within 1e-4 of level whose
// two neighbours along a row (then along a column) are both beyond the level
// by more than 0.1 becomes their mean. heights: h rows of w nodes, node (i, j)
// at j*w + i; beyond means below the level for side < 1 (the lower ends seen
// from below), above it otherwise. Works in place, rows first. Returns false,
// changing nothing, when heights holds fewer than w*h nodes.
bool RepairHeightGrid(int32_t side, int32_t w, int32_t h, std::span<double> heights, double level);

}  // namespace vestan
