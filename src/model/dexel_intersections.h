// Where one dexel line crosses one axial solid of a tool (cones, cylinders, a
// spheroid, a torus), and the union of such crossings into at most two
// intervals.
#pragma once

#include <array>
#include <cstdint>

#include "foundation/vector_math.h"

namespace vestan {

// Every member works in the frame (u, v, w) of a cut grid context: the dexel
// line is the set of points (u, v, w) for its fixed u, v; the solid is given
// by its base point B and unit axis A in the same frame. A point X of the
// solid has the axis parameter t = (X - B) . A.
//
// Result: Count crossings (0 or 2, the torus up to 4; rounding may leave an
// odd count, which callers ignore), their w values ascending (enter, leave,
// ...) and, in the same order, their axis parameters t. Two crossings describe
// the interval [W[0], W[1]] of the line inside the solid.
struct DexelCrossings {
  int32_t Count = 0;
  std::array<double, 4> W{};
  std::array<double, 4> T{};
};

// Truncated cone of radius r0 + k*t for 0 <= t <= length, widening (k > 0).
DexelCrossings IntersectDexelWithCone(const Vec3& base, const Vec3& axis, double r0, double k,
                                      double length, double u, double v);
// The same cone narrowing (k < 0; k = 0 allowed). With the axis along the
// line and k = 0 the crossings keep the order t = 0, then t = length.
DexelCrossings IntersectDexelWithNarrowingCone(const Vec3& base, const Vec3& axis, double r0,
                                               double k, double length, double u, double v);
// Cylinder of the radius for 0 <= t <= length.
DexelCrossings IntersectDexelWithCylinder(const Vec3& base, const Vec3& axis, double radius,
                                          double length, double u, double v);
// Cylinder of the radius for t >= 0; along the line it reaches w = +-1e7.
DexelCrossings IntersectDexelWithEndlessCylinder(const Vec3& base, const Vec3& axis, double radius,
                                                 double u, double v);
// Spheroid radius^2(t) = (a/b)^2 * t * (2b - t) whose lowest point is B (axial
// half-axis b, radial half-axis a), for 0 <= t <= length. A crossing beyond
// length collapses the interval to zero length.
DexelCrossings IntersectDexelWithSpheroid(const Vec3& base, const Vec3& axis, double a, double b,
                                          double length, double u, double v);
// Torus whose tube of radius a has its centre circle of radius ringRadius at
// t = a (so 0 <= t <= 2a); up to two intervals.
DexelCrossings IntersectDexelWithTorus(const Vec3& base, const Vec3& axis, double ringRadius,
                                       double a, double u, double v);

// At most two disjoint intervals of a tool on one dexel line: Count 0, 2 or 4
// values, ascending.
struct ToolIntervals {
  int32_t Count = 0;
  std::array<double, 4> Values{};
};

// Adds interval a, then interval b (each only when its Count is exactly 2,
// taken as [W[0], W[1]]) to the set. A set that is not one interval starts
// afresh from a (or b when a is absent). A one-interval set is widened by a to
// the hull of both, whatever the gap. b joins the one interval when it
// overlaps it or lies within kTouchingTolerance of it, and otherwise becomes
// a second interval, the one starting lower first.
void MergeSolidIntervals(ToolIntervals& set, const DexelCrossings& a, const DexelCrossings& b);

}  // namespace vestan
