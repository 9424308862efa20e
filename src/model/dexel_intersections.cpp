#include "model/dexel_intersections.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "model/column_operations.h"

namespace vestan {

namespace {

using detail::Add;
using detail::AlongLine;
using detail::AxisAcross;
using detail::LineOffset;
using detail::OffsetOf;
using detail::OrderPair;
using detail::SetPair;
using detail::SymmetricPair;

// Axis across the line (A.w = 0): the line lies in the plane t = -q; with the
// solid's radius squared there, the crossings lie symmetric about B.w.
// Returns the plane's t and the line's squared distance from the axis in it.
struct CrossPlane {
  double t;
  double distanceSquared;
};

CrossPlane CrossPlaneOf(const Vec3& axis, const LineOffset& o) {
  const double t = -o.q;
  const double x = t * axis[0] + o.du, y = t * axis[1] + o.dv;
  return {t, x * x + y * y};
}

// alpha t^2 + 2 beta t + gamma = 0: its roots are the axis parameters where
// the line meets a mantle.
struct Quadratic {
  double alpha;
  double beta;
  double gamma;
};

// Line against the cone mantle of radius r0 + k t (k = 0: the cylinder).
Quadratic ConeMantle(const Vec3& axis, const LineOffset& o, double r0, double k) {
  const double s = axis[0] * axis[0] + axis[1] * axis[1];
  const double aw2 = axis[2] * axis[2];
  return {s * s / aw2 + s - k * k, o.q * s / aw2 + o.q - r0 * k,
          o.du * o.du + o.dv * o.dv + o.q * o.q / aw2 - r0 * r0};
}

double WAt(const Vec3& base, const Vec3& axis, const LineOffset& o, double t) {
  return base[2] + (t + o.q) / axis[2];
}

// The cone's crossings when the axis is neither across nor along the line:
// base disc, top disc, then the mantle, until two are known.
void ConeGeneral(DexelCrossings& out, const Vec3& base, const Vec3& axis, const LineOffset& o,
                 double r0, double k, double length) {
  const double aw2 = axis[2] * axis[2];
  const double baseDistance = std::sqrt(o.du * o.du + o.dv * o.dv + o.q * o.q / aw2);
  if (r0 >= baseDistance) Add(out, WAt(base, axis, o, 0.0), 0.0);
  if (out.Count < 2) {
    const double wTop = WAt(base, axis, o, length);
    const double x = -o.du - length * axis[0], y = -o.dv - length * axis[1];
    const double z = (wTop - base[2]) - length * axis[2];
    if (r0 + k * length >= std::sqrt(x * x + y * y + z * z)) Add(out, wTop, length);
  }
  if (out.Count < 2) {
    const Quadratic m = ConeMantle(axis, o, r0, k);
    if (std::fabs(m.alpha) < 1e-14) {
      const double t = -m.gamma / (2 * m.beta);
      if (t > 0 && t < length) Add(out, WAt(base, axis, o, t), t);
    } else {
      const double disc = m.beta * m.beta - m.alpha * m.gamma;
      if (disc > 0) {
        const double root = std::sqrt(disc);
        const double t1 = (-m.beta - root) / m.alpha;
        if (t1 > 0 && t1 < length) Add(out, WAt(base, axis, o, t1), t1);
        if (out.Count == 1) {
          const double t2 = (root - m.beta) / m.alpha;
          if (t2 > 0 && t2 < length) Add(out, WAt(base, axis, o, t2), t2);
        }
      }
    }
  }
  OrderPair(out);
}

// The cone with the axis across the line (A.w = 0).
void ConeAcross(DexelCrossings& out, const Vec3& base, const Vec3& axis, const LineOffset& o,
                double r0, double k, double length) {
  const CrossPlane plane = CrossPlaneOf(axis, o);
  out.T[0] = out.T[1] = plane.t;
  if (plane.t > length || plane.t < 0) return;
  const double radius = r0 + k * plane.t;
  SymmetricPair(out, base[2], radius * radius, plane.distanceSquared, plane.t);
}

// Cylinder crossings of the endless mantle (both signs of t), before the
// caller clips them to the solid's extent. False when the line misses.
bool CylinderMantle(DexelCrossings& out, const Vec3& base, const Vec3& axis, const LineOffset& o,
                    double radius) {
  if (std::fabs(axis[2]) < 0.1) {
    // Close to across the line: the distance in the (u, v) plane decides.
    const double s = axis[0] * axis[0] + axis[1] * axis[1];
    const double d = std::fabs(axis[1] * o.du - axis[0] * o.dv) / std::sqrt(s);
    if (radius <= d) return false;
    const double tm = -(axis[0] * o.du + axis[1] * o.dv) / s;
    const double h = std::sqrt((radius * radius - d * d) / s);
    const double wm = base[2] + tm * axis[2];
    SetPair(out, wm - h, tm - h * axis[2], wm + h, tm + h * axis[2]);
    return true;
  }
  const Quadratic m = ConeMantle(axis, o, radius, 0.0);
  const double disc = m.beta * m.beta - m.alpha * m.gamma;
  if (disc <= 0) return false;
  const double root = std::sqrt(disc);
  const double t1 = (-m.beta - root) / m.alpha, t2 = (root - m.beta) / m.alpha;
  SetPair(out, WAt(base, axis, o, t1), t1, WAt(base, axis, o, t2), t2);
  return true;
}

// Replaces a crossing below t = 0 by the base plane's and, when clipTop, one
// above length by the top plane's.
void ClipToPlanes(DexelCrossings& out, const Vec3& base, const Vec3& axis, const LineOffset& o,
                  bool clipTop, double length) {
  for (int32_t i = 0; i < 2; ++i) {
    if (out.T[i] < 0) {
      out.T[i] = 0.0;
      out.W[i] = WAt(base, axis, o, 0.0);
    } else if (clipTop && out.T[i] > length) {
      out.T[i] = length;
      out.W[i] = WAt(base, axis, o, length);
    }
  }
  OrderPair(out);
}

// A cone: across the line and in general alike for both slopes; along the
// line (at distance rho from it) as along says.
template <typename Along>
DexelCrossings Cone(const Vec3& base, const Vec3& axis, double r0, double k, double length,
                    double u, double v, Along along) {
  DexelCrossings out;
  const LineOffset o = OffsetOf(base, axis, u, v);
  if (axis[2] == 0.0)
    ConeAcross(out, base, axis, o, r0, k, length);
  else if (AlongLine(axis))
    along(out, std::sqrt(o.du * o.du + o.dv * o.dv));
  else
    ConeGeneral(out, base, axis, o, r0, k, length);
  return out;
}

}  // namespace

DexelCrossings IntersectDexelWithCone(const Vec3& base, const Vec3& axis, double r0, double k,
                                      double length, double u, double v) {
  return Cone(base, axis, r0, k, length, u, v, [&](DexelCrossings& out, double rho) {
    const double t0 = (rho - r0) / k;
    out.T[0] = t0;
    if (t0 > length) return;
    if (t0 <= 0)
      SetPair(out, base[2], 0.0, base[2] + length * axis[2], length);
    else
      SetPair(out, base[2] + t0 * axis[2], t0, base[2] + length * axis[2], length);
    OrderPair(out);
  });
}

DexelCrossings IntersectDexelWithNarrowingCone(const Vec3& base, const Vec3& axis, double r0,
                                               double k, double length, double u, double v) {
  return Cone(base, axis, r0, k, length, u, v, [&](DexelCrossings& out, double rho) {
    if (k == 0.0) {
      if (r0 >= rho) SetPair(out, base[2], 0.0, base[2] + length * axis[2], length);
      return;
    }
    const double t0 = (rho - r0) / k;
    if (t0 <= 0) return;
    const double top = std::min(t0, length);
    SetPair(out, base[2], 0.0, base[2] + top * axis[2], top);
    OrderPair(out);
  });
}

namespace detail {

DexelCrossings CylinderInGeneral(const Vec3& base, const Vec3& axis, double radius, double length,
                                 const LineOffset& o) {
  DexelCrossings out;
  if (!CylinderMantle(out, base, axis, o, radius)) return out;
  if (std::max(out.T[0], out.T[1]) < 0 || std::min(out.T[0], out.T[1]) > length) {
    out.Count = 0;
    return out;
  }
  ClipToPlanes(out, base, axis, o, true, length);
  return out;
}

DexelCrossings EndlessCylinderInGeneral(const Vec3& base, const Vec3& axis, double radius,
                                        const LineOffset& o) {
  DexelCrossings out;
  if (!CylinderMantle(out, base, axis, o, radius)) return out;
  if (out.T[0] < 0 && out.T[1] < 0) {
    out.Count = 0;
    return out;
  }
  ClipToPlanes(out, base, axis, o, false, 0.0);
  return out;
}

}  // namespace detail

DexelCrossings IntersectDexelWithSpheroid(const Vec3& base, const Vec3& axis, double a, double b,
                                          double length, double u, double v) {
  DexelCrossings out;
  const LineOffset o = OffsetOf(base, axis, u, v);
  const double e = (a / b) * (a / b);
  if (axis[2] == 0.0) {
    const CrossPlane plane = CrossPlaneOf(axis, o);
    if (plane.t > length) return out;
    SymmetricPair(out, base[2], e * plane.t * (2 * b - plane.t), plane.distanceSquared, plane.t);
  } else if (AlongLine(axis)) {
    const double rho2 = o.du * o.du + o.dv * o.dv;
    const double disc = e * e * b * b - e * rho2;
    if (disc > 0) {
      const double root = std::sqrt(disc);
      const double t1 = (e * b - root) / e, t2 = (e * b + root) / e;
      SetPair(out, base[2] + t1 / axis[2], t1, base[2] + t2 / axis[2], t2);
    }
  } else {
    const double s = axis[0] * axis[0] + axis[1] * axis[1];
    const double aw2 = axis[2] * axis[2];
    const double alpha = s * s / aw2 + s + e;
    const double beta = o.q * s / aw2 + o.q - e * b;
    const double gamma = o.du * o.du + o.dv * o.dv + o.q * o.q / aw2;
    const double disc = beta * beta - alpha * gamma;
    if (disc > 0) {
      const double root = std::sqrt(disc);
      const double t1 = (-beta - root) / alpha, t2 = (root - beta) / alpha;
      SetPair(out, WAt(base, axis, o, t1), t1, WAt(base, axis, o, t2), t2);
    }
  }
  if (out.Count != 2) return out;
  if ((out.T[0] > length && out.T[1] > length) || (out.T[0] < 0 && out.T[1] < 0)) {
    out.Count = 0;
    return out;
  }
  OrderPair(out);
  if (out.T[0] > length)
    out.W[0] = out.W[1];
  else if (out.T[1] > length)
    out.W[1] = out.W[0];
  return out;
}

DexelCrossings IntersectDexelWithTorus(const Vec3& base, const Vec3& axis, double ringRadius,
                                       double a, double u, double v) {
  DexelCrossings out;
  const LineOffset o = OffsetOf(base, axis, u, v);
  const double R = ringRadius;
  if (axis[2] == 0.0) {
    const CrossPlane plane = CrossPlaneOf(axis, o);
    const double t = plane.t;
    if (!(t > 0 && t < 2 * a)) return out;
    const double g = std::sqrt((2 * a - t) * t);
    SymmetricPair(out, base[2], (R + g) * (R + g), plane.distanceSquared, t);
    SymmetricPair(out, base[2], (R - g) * (R - g), plane.distanceSquared, t);
  } else if (AlongLine(axis)) {
    const double rho = std::sqrt(o.du * o.du + o.dv * o.dv);
    const double disc = a * a - (R - rho) * (R - rho);
    if (disc > 0) {
      const double root = std::sqrt(disc);
      const double t1 = a - root, t2 = a + root;
      if ((t1 > 2 * a && t2 > 2 * a) || (t1 < 0 && t2 < 0)) return out;
      SetPair(out, base[2] + t1 / axis[2], t1, base[2] + t2 / axis[2], t2);
    }
  } else {
    // A line that passes the torus's centre B + a A farther than R + a
    // misses it: no quartic to solve.
    const double cu = o.du + a * axis[0], cv = o.dv + a * axis[1];
    const double reach = std::fabs(R) + std::fabs(a);
    if (cu * cu + cv * cv > reach * reach * (1 + 1e-9) + 1e-12) {
      out.Count = 0;
      return out;
    }
    // The quartic in z = w - B.w, monic and well scaled along the line; its
    // roots give t = A.w z - q. With c the squared distance of B from the
    // line and F = |P|^2 - 2at + R^2, the torus is F^2 = 4R^2 (|P|^2 - t^2).
    const double aw = axis[2];
    const double c = o.du * o.du + o.dv * o.dv;
    const double f1 = -2 * a * aw, f0 = c + 2 * a * o.q + R * R;
    const double r4 = 4 * R * R;
    std::array<Complex, 4> roots{};
    SolveQuartic(1.0, 2 * f1, f1 * f1 + 2 * f0 - r4 * (1 - aw * aw),
                 2 * f1 * f0 - 2 * r4 * aw * o.q, f0 * f0 - r4 * (c - o.q * o.q), roots);
    for (const Complex& root : roots) {
      if (root.im != 0) continue;
      const double t = aw * root.re - o.q;
      if (t >= 0 && t <= 2 * a) Add(out, base[2] + root.re, t);
    }
  }
  // Ascending by w, each t with its w.
  for (int32_t i = 0; i + 1 < out.Count; ++i) {
    int32_t lowest = i;
    for (int32_t j = i + 1; j < out.Count; ++j)
      if (out.W[j] < out.W[lowest]) lowest = j;
    std::swap(out.W[i], out.W[lowest]);
    std::swap(out.T[i], out.T[lowest]);
  }
  if (out.Count == 4 && out.W[2] == out.W[3]) out.Count = 2;
  if (out.Count == 2 && out.W[0] == out.W[1]) out.Count = 0;
  return out;
}

void MergeSolidIntervals(ToolIntervals& set, const DexelCrossings& a, const DexelCrossings& b) {
  const bool hasA = a.Count == 2, hasB = b.Count == 2;
  if (set.Count != 2) {
    if (!hasA && !hasB) return;
    const DexelCrossings& first = hasA ? a : b;
    set.Count = 2;
    set.Values[0] = first.W[0];
    set.Values[1] = first.W[1];
    if (!hasA) return;
  } else if (hasA) {
    set.Values[0] = std::min(set.Values[0], a.W[0]);
    set.Values[1] = std::max(set.Values[1], a.W[1]);
  }
  if (!hasB) return;
  const double s0 = set.Values[0], s1 = set.Values[1], b0 = b.W[0], b1 = b.W[1];
  if (b0 >= s0 && b1 <= s1) return;
  if (s0 >= b0 && s1 <= b1) {
    set.Values[0] = b0;
    set.Values[1] = b1;
  } else if (b0 >= s0 && b1 > s0 && b0 - s1 < kTouchingTolerance) {
    set.Values[1] = b1;
  } else if (s0 >= b0 && s1 > b0 && s0 - b1 < kTouchingTolerance) {
    set.Values[0] = b0;
  } else if (b0 <= s0) {
    set.Values = {b0, b1, s0, s1};
    set.Count = 4;
  } else {
    set.Values = {s0, s1, b0, b1};
    set.Count = 4;
  }
}

}  // namespace vestan
