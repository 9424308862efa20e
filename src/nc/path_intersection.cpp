#include "nc/path_intersection.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "model/run_state.h"

namespace vestan {
namespace {

struct Plane {
  size_t A;  // first axis
  size_t B;  // second axis
  size_t N;  // normal axis
};

bool IsArc(const PathElement& e) { return IsArcMotion(e.MotionMode); }

bool Inside(double parameter) { return parameter >= 0.0 && parameter <= 1.0; }

// The parameter of point on the line, from the line's larger plane component.
double LineParameter(const PathElement& line, double pa, double pb, const Plane& p) {
  const double da = line.End[p.A] - line.Start[p.A];
  const double db = line.End[p.B] - line.Start[p.B];
  return std::fabs(da) >= std::fabs(db) ? (pa - line.Start[p.A]) / da : (pb - line.Start[p.B]) / db;
}

double Interpolate(double from, double to, double t) { return (1.0 - t) * from + t * to; }

// Angle from the radial vector (ua, ub) to (va, vb) turning in the arc's
// direction, in [0, 2 pi).
double SweptAngle(double ua, double ub, double va, double vb, int32_t mode) {
  const double lu = std::hypot(ua, ub), lv = std::hypot(va, vb);
  if (lu == 0.0 || lv == 0.0) return 0.0;
  const double dot = std::clamp((ua * va + ub * vb) / (lu * lv), -1.0, 1.0);
  const double cross = ua * vb - ub * va;
  double angle = std::acos(dot);
  if ((mode == kMotionClockwise && cross > 0.0) || (mode == kMotionCounterClockwise && cross < 0.0))
    angle = 2.0 * std::numbers::pi - angle;
  return angle;
}

// The parameter of a point of the arc's circle on the arc; points past the
// end by more than half the rest of the circle count as before the start.
double ArcParameter(const PathElement& arc, double pa, double pb, const Plane& p) {
  const double sa = arc.Start[p.A] - arc.Centre[p.A], sb = arc.Start[p.B] - arc.Centre[p.B];
  double total = SweptAngle(sa, sb, arc.End[p.A] - arc.Centre[p.A], arc.End[p.B] - arc.Centre[p.B],
                            arc.MotionMode);
  if (total == 0.0) total = 2.0 * std::numbers::pi;
  const double angle =
      SweptAngle(sa, sb, pa - arc.Centre[p.A], pb - arc.Centre[p.B], arc.MotionMode);
  const double u = angle / total;
  return u > 0.5 + std::numbers::pi / total ? (angle - 2.0 * std::numbers::pi) / total : u;
}

struct Candidate {
  double Pa = 0.0, Pb = 0.0;
  double T = 0.0;  // on the first element
  double U = 0.0;  // on the second
};

// Keeps the candidates inside both elements by the rule of the first: a
// first candidate outside gives way to a second inside, else nothing usable.
void Choose(const std::array<Candidate, 2>& c, int32_t count, const PathElement& first,
            const PathElement& second, const Plane& p, PathIntersections& out) {
  const auto inside = [](const Candidate& k) { return Inside(k.T) && Inside(k.U); };
  std::array<Candidate, 2> kept{};
  int32_t n = 0;
  if (!inside(c[0])) {
    if (count == 2 && inside(c[1])) {
      kept[n++] = c[1];
    } else {
      out.Status = kIntersectionOutside;
      out.Count = 0;
      return;
    }
  } else {
    kept[n++] = c[0];
    if (count == 2 && inside(c[1])) kept[n++] = c[1];
  }
  out.Count = n;
  for (int32_t i = 0; i < n; ++i) {
    const Candidate& k = kept[static_cast<size_t>(i)];
    auto& pts = out.Points[static_cast<size_t>(i)];
    out.Parameters[static_cast<size_t>(i)] = {k.T, k.U};
    for (Vec3* q : {&pts[0], &pts[1]}) {
      (*q)[p.A] = k.Pa;
      (*q)[p.B] = k.Pb;
    }
    pts[0][p.N] = Interpolate(first.Start[p.N], first.End[p.N], k.T);
    pts[1][p.N] = Interpolate(second.Start[p.N], second.End[p.N], k.U);
  }
}

// The points m - s*d and m + s*d, in this order, with their parameters; a
// touching pair (s = 0) counts once.
template <typename Parameters>
int32_t CollectCandidates(double ma, double mb, double s, double da, double db,
                          std::array<Candidate, 2>& c, Parameters parameters) {
  int32_t count = 0;
  for (const double sign : {-1.0, 1.0}) {
    Candidate k;
    k.Pa = ma + sign * s * da;
    k.Pb = mb + sign * s * db;
    parameters(k);
    if (count == 1 && k.T == c[0].T && k.U == c[0].U) continue;
    c[static_cast<size_t>(count++)] = k;
  }
  return count;
}

void LineLine(const PathElement& l1, const PathElement& l2, const Plane& p,
              PathIntersections& out) {
  const double d1a = l1.End[p.A] - l1.Start[p.A], d1b = l1.End[p.B] - l1.Start[p.B];
  const double d2a = l2.End[p.A] - l2.Start[p.A], d2b = l2.End[p.B] - l2.Start[p.B];
  const double den = d2b * d1a - d2a * d1b;
  if (den == 0.0) {
    out.Status = kIntersectionDegenerate;
    return;
  }
  const double t =
      ((l2.Start[p.A] - l1.Start[p.A]) * d2b - (l2.Start[p.B] - l1.Start[p.B]) * d2a) / den;
  const double pa = l1.Start[p.A] + t * d1a, pb = l1.Start[p.B] + t * d1b;
  const double u = LineParameter(l2, pa, pb, p);
  if (!Inside(t) || !Inside(u)) out.Status = kIntersectionOutside;
  out.Count = 1;
  out.Parameters[0] = {t, u};
  for (Vec3* q : {&out.Points[0][0], &out.Points[0][1]}) {
    (*q)[p.A] = pa;
    (*q)[p.B] = pb;
  }
  out.Points[0][0][p.N] = Interpolate(l1.Start[p.N], l1.End[p.N], t);
  out.Points[0][1][p.N] = Interpolate(l2.Start[p.N], l2.End[p.N], u);
}

void LineArc(const PathElement& line, const PathElement& arc, const Plane& p,
             PathIntersections& out) {
  if (arc.Radius == 0.0) return;
  const double da = line.End[p.A] - line.Start[p.A], db = line.End[p.B] - line.Start[p.B];
  const double len = std::hypot(da, db);
  if (len == 0.0) {
    out.Status = kIntersectionDegenerate;
    return;
  }
  const double ua = da / len, ub = db / len;
  const double along =
      (arc.Centre[p.A] - line.Start[p.A]) * ua + (arc.Centre[p.B] - line.Start[p.B]) * ub;
  const double fa = line.Start[p.A] + along * ua, fb = line.Start[p.B] + along * ub;
  const double ha = arc.Centre[p.A] - fa, hb = arc.Centre[p.B] - fb;
  const double h2 = ha * ha + hb * hb;
  const double r2 = arc.Radius * arc.Radius;
  if (h2 > r2) return;
  const double s = std::sqrt(r2 - h2);
  std::array<Candidate, 2> c{};
  const int32_t count = CollectCandidates(fa, fb, s, ua, ub, c, [&](Candidate& k) {
    k.T = LineParameter(line, k.Pa, k.Pb, p);
    k.U = ArcParameter(arc, k.Pa, k.Pb, p);
  });
  Choose(c, count, line, arc, p, out);
}

void ArcArc(const PathElement& a1, const PathElement& a2, const Plane& p, PathIntersections& out) {
  if (a1.Radius == 0.0 || a2.Radius == 0.0) return;
  const double ca = a2.Centre[p.A] - a1.Centre[p.A], cb = a2.Centre[p.B] - a1.Centre[p.B];
  const double d = std::hypot(ca, cb);
  if (d == 0.0) {
    out.Status = kIntersectionDegenerate;
    return;
  }
  const double r1 = std::fabs(a1.Radius), r2 = std::fabs(a2.Radius);
  if (d > r1 + r2) return;
  const double a = (r1 * r1 - r2 * r2 + d * d) / (2.0 * d);
  if (a * a > r1 * r1) return;
  const double h = std::sqrt(r1 * r1 - a * a);
  const double ma = a1.Centre[p.A] + a * ca / d, mb = a1.Centre[p.B] + a * cb / d;
  const double na = -cb / d, nb = ca / d;
  std::array<Candidate, 2> c{};
  const int32_t count = CollectCandidates(ma, mb, h, na, nb, c, [&](Candidate& k) {
    k.T = ArcParameter(a1, k.Pa, k.Pb, p);
    k.U = ArcParameter(a2, k.Pa, k.Pb, p);
  });
  Choose(c, count, a1, a2, p, out);
}

}  // namespace

PathIntersections IntersectPathElements(const PathElement& first, const PathElement& second,
                                        int32_t firstAxis, int32_t secondAxis) {
  const Plane p{static_cast<size_t>(firstAxis), static_cast<size_t>(secondAxis),
                static_cast<size_t>(3 - firstAxis - secondAxis)};
  PathIntersections out;
  const bool arc1 = IsArc(first), arc2 = IsArc(second);
  if (!arc1 && !arc2) {
    LineLine(first, second, p, out);
  } else if (!arc1) {
    LineArc(first, second, p, out);
  } else if (!arc2) {
    LineArc(second, first, p, out);
    for (int32_t i = 0; i < out.Count; ++i) {
      const size_t k = static_cast<size_t>(i);
      std::swap(out.Parameters[k][0], out.Parameters[k][1]);
      std::swap(out.Points[k][0], out.Points[k][1]);
    }
  } else {
    ArcArc(first, second, p, out);
  }
  return out;
}

}  // namespace vestan
