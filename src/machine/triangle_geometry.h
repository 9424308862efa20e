// One triangle of a structure or tool mesh: its plane, its box and whether a
// point lies in it seen along a coordinate axis.
#pragma once

#include <array>
#include <cstdint>

#include "foundation/vector_math.h"

namespace vestan {

using TrianglePoints = std::array<Vec3, 3>;
// (a, b, c, d): (a, b, c) the unit normal and a*x + b*y + c*z + d = 0 on the
// plane.
using TrianglePlane = std::array<double, 4>;

// The plane through the three points, its normal turned so that its first
// non-zero component is positive. A triangle of no area gives non-numbers,
// which every later test fails.
TrianglePlane ComputePlaneFromTriangle(const TrianglePoints& triangle);

// The box of the three points.
void ComputeBoundingBox(const TrianglePoints& triangle, Vec3& minimum, Vec3& maximum);

// Where point lies in the triangle projected onto the plane of coordinates
// u and v: 1-3 on the line u = point.u through that vertex (0 when the next
// vertex lies on it too), 4-6 on edge 1-2, 2-3 or 3-1, 7 inside, 0 outside.
int32_t TestPointInTriangleProjected(const TrianglePoints& triangle, const Vec3& point, int u,
                                     int v);

}  // namespace vestan
