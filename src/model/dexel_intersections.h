// Where one dexel line crosses one axial solid of a tool (cones, cylinders, a
// spheroid, a torus), and the union of such crossings into at most two
// intervals.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <utility>

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
// A unit axis with how it lies to the dexel lines, taken once for the many
// lines a pass tries a solid on.
struct LineAxis {
  Vec3 A{};
  bool Along = false;  // along the lines
  // Across them and along v (AlongV) or along u: the axis parameter is fixed
  // on a line.
  bool AcrossExact = false;
  bool AlongV = false;

  LineAxis() = default;
  explicit LineAxis(const Vec3& axis)
      : A(axis),
        Along(axis[0] == 0.0 && axis[1] == 0.0),
        AcrossExact(axis[2] == 0.0 && (std::fabs(axis[1]) == 1.0 || std::fabs(axis[0]) == 1.0)),
        AlongV(std::fabs(axis[1]) == 1.0) {}
};

// Cylinder of the radius for 0 <= t <= length.
inline DexelCrossings IntersectDexelWithCylinder(const Vec3& base, const LineAxis& axis,
                                                 double radius, double length, double u, double v);
inline DexelCrossings IntersectDexelWithCylinder(const Vec3& base, const Vec3& axis, double radius,
                                                 double length, double u, double v) {
  return IntersectDexelWithCylinder(base, LineAxis(axis), radius, length, u, v);
}
// Cylinder of the radius for t >= 0; along the line it reaches w = +-1e7.
inline DexelCrossings IntersectDexelWithEndlessCylinder(const Vec3& base, const LineAxis& axis,
                                                        double radius, double u, double v);
inline DexelCrossings IntersectDexelWithEndlessCylinder(const Vec3& base, const Vec3& axis,
                                                        double radius, double u, double v) {
  return IntersectDexelWithEndlessCylinder(base, LineAxis(axis), radius, u, v);
}
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

// --- The cylinders, inline: the cutters try one on nearly every line -------

namespace detail {

// The base point seen from the dexel line: du = B.u - u, dv = B.v - v, and
// q = A.u*du + A.v*dv, so that a point of the line at axis parameter t has
// w = B.w + (t + q) / A.w.
struct LineOffset {
  double du;
  double dv;
  double q;
};

inline LineOffset OffsetOf(const Vec3& base, const Vec3& axis, double u, double v) {
  const double du = base[0] - u, dv = base[1] - v;
  return {du, dv, axis[0] * du + axis[1] * dv};
}

inline bool AlongLine(const Vec3& axis) { return axis[0] == 0.0 && axis[1] == 0.0; }

inline void Add(DexelCrossings& out, double w, double t) {
  out.W[out.Count] = w;
  out.T[out.Count] = t;
  ++out.Count;
}

inline void SetPair(DexelCrossings& out, double w0, double t0, double w1, double t1) {
  out.Count = 0;
  Add(out, w0, t0);
  Add(out, w1, t1);
}

// Puts two crossings in ascending order of w, each t with its w.
inline void OrderPair(DexelCrossings& out) {
  if (out.Count == 2 && out.W[0] > out.W[1]) {
    std::swap(out.W[0], out.W[1]);
    std::swap(out.T[0], out.T[1]);
  }
}

inline void SymmetricPair(DexelCrossings& out, double baseW, double radiusSquared,
                          double distanceSquared, double t) {
  const double h2 = radiusSquared - distanceSquared;
  if (h2 > 0) {
    const double h = std::sqrt(h2);
    out.W[out.Count] = baseW - h;
    out.W[out.Count + 1] = baseW + h;
    out.T[out.Count] = out.T[out.Count + 1] = t;
    out.Count += 2;
  }
}

// Axis exactly along u or v (and across the line): t is fixed, the offset
// across the axis is the other coordinate.
struct AxisAcross {
  bool exact;
  double t;
  double offset;
};

inline AxisAcross AlongUOrV(const LineAxis& axis, const LineOffset& o) {
  if (!axis.AcrossExact) return {false, 0.0, 0.0};
  // Dividing by a component of +-1 is multiplying by it, and exact both ways.
  if (axis.AlongV) return {true, -o.dv * axis.A[1], o.du};
  return {true, -o.du * axis.A[0], o.dv};
}

// The cylinders with the axis neither along the line nor along u or v.
DexelCrossings CylinderInGeneral(const Vec3& base, const Vec3& axis, double radius, double length,
                                 const LineOffset& o);
DexelCrossings EndlessCylinderInGeneral(const Vec3& base, const Vec3& axis, double radius,
                                        const LineOffset& o);

}  // namespace detail

inline DexelCrossings IntersectDexelWithCylinder(const Vec3& base, const LineAxis& line,
                                                 double radius, double length, double u, double v) {
  DexelCrossings out;
  const Vec3& axis = line.A;
  const detail::LineOffset o = detail::OffsetOf(base, axis, u, v);
  if (line.Along) {
    if (radius > std::sqrt(o.du * o.du + o.dv * o.dv)) {
      detail::SetPair(out, base[2], 0.0, base[2] + length * axis[2], length);
      detail::OrderPair(out);
    }
    return out;
  }
  const detail::AxisAcross across = detail::AlongUOrV(line, o);
  if (!across.exact) return detail::CylinderInGeneral(base, axis, radius, length, o);
  out.T[0] = out.T[1] = across.t;
  if (across.t < 0 || across.t > length || radius <= std::fabs(across.offset)) return out;
  detail::SymmetricPair(out, base[2], radius * radius, across.offset * across.offset, across.t);
  return out;
}

inline DexelCrossings IntersectDexelWithEndlessCylinder(const Vec3& base, const LineAxis& line,
                                                        double radius, double u, double v) {
  DexelCrossings out;
  const Vec3& axis = line.A;
  const detail::LineOffset o = detail::OffsetOf(base, axis, u, v);
  if (line.Along) {
    if (radius * radius > o.du * o.du + o.dv * o.dv) {
      if (axis[2] > 0)
        detail::SetPair(out, base[2], 0.0, 1e7, 1e7);
      else
        detail::SetPair(out, -1e7, 1e7, base[2], 0.0);
    }
    return out;
  }
  const detail::AxisAcross across = detail::AlongUOrV(line, o);
  if (!across.exact) return detail::EndlessCylinderInGeneral(base, axis, radius, o);
  out.T[0] = out.T[1] = across.t;
  if (across.t < 0 || radius <= std::fabs(across.offset)) return out;
  detail::SymmetricPair(out, base[2], radius * radius, across.offset * across.offset, across.t);
  return out;
}

}  // namespace vestan
