#include "machine/interference_geometry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace vestan {

namespace {

Vec3 Vertex(TriangleVertices t, int v) { return {t[3 * v], t[3 * v + 1], t[3 * v + 2]}; }

// The crossing parameter of p0-p1 with the plane, when it lies in [0, 1].
bool CrossingParameter(double den, double num, double& t) {
  if (den == 0.0) return false;
  t = -num / den;
  return t >= 0.0 && t <= 1.0;
}

Vec3 PointAt(const Vec3& p0, const Vec3& e, double t) {
  return {p0[0] + t * e[0], p0[1] + t * e[1], p0[2] + t * e[2]};
}

// k, i, j name the three coordinate axes, each once.
bool AxesValid(int k, int i, int j) {
  const auto axis = [](int a) { return a >= 0 && a <= 2; };
  return axis(k) && axis(i) && axis(j) && k != i && k != j && i != j;
}

// Where on a line of constant j a point of the triangle's plane may be
// judged inside it. The point test says inside only near a vertex (0.01),
// on an edge, or where the angles the point sees between the vertices add up
// to more than 6; a point of the plane whose distance from the triangle is
// at least Reach sees no edge under more than 2.99 radians, so its angles
// add up to less than 6 (the largest of the three is the sum of the other
// two outside) and it is outside. Its distance in the plane of i and j is
// no more than the distance in space, so the span is taken there: the u
// where the point lies within Reach of every edge's line, and a little more
// for rounding. A triangle without area there, or not finite, has no span
// bound.
class TriangleReach {
 public:
  TriangleReach(TriangleVertices t, int i, int j) {
    std::array<std::array<double, 2>, 3> p;
    double longest = 0.0, size = 0.0;
    for (int v = 0; v < 3; ++v) {
      p[v] = {t[3 * v + i], t[3 * v + j]};
      const Vec3 a = Vertex(t, v), b = Vertex(t, (v + 1) % 3);
      longest = std::max(longest, VectorLength(VectorSub(b, a)));
      for (int k = 0; k < 3; ++k) size = std::max(size, std::fabs(a[k]));
    }
    const double area = (p[1][0] - p[0][0]) * (p[2][1] - p[0][1]) -
                        (p[1][1] - p[0][1]) * (p[2][0] - p[0][0]);
    if (!std::isfinite(area) || !std::isfinite(longest) || area == 0.0) return;
    const double reach = 0.02 + 0.05 * longest + 1e-6 * (1.0 + size);
    for (int e = 0; e < 3; ++e) {
      const auto& a = p[e];
      const auto& b = p[(e + 1) % 3];
      const double du = b[0] - a[0], dv = b[1] - a[1];
      const double length = std::hypot(du, dv);
      if (!(length > 0.0)) return;
      // Inward unit normal: (nu, nv) . (q - a) >= -reach near the triangle.
      const double sign = area > 0.0 ? 1.0 : -1.0;
      lines_[e] = {-dv * sign / length, du * sign / length, a[0], a[1], reach};
    }
    bounded_ = true;
  }

  // The span [lo, hi] of u on the line j = v; false when it is empty.
  bool Span(double v, double& lo, double& hi) const {
    lo = -std::numeric_limits<double>::infinity();
    hi = std::numeric_limits<double>::infinity();
    if (!bounded_) return true;
    for (const Line& l : lines_) {
      // nu * (u - au) + nv * (v - av) >= -reach
      const double rest = l.Reach + l.Nv * (v - l.Av);
      if (l.Nu > 0.0) {
        lo = std::max(lo, l.Au - rest / l.Nu);
      } else if (l.Nu < 0.0) {
        hi = std::min(hi, l.Au - rest / l.Nu);
      } else if (rest < 0.0) {
        return false;
      }
    }
    // Rounding of the bounds themselves.
    if (std::isfinite(lo)) lo -= 1e-9 * (1.0 + std::fabs(lo));
    if (std::isfinite(hi)) hi += 1e-9 * (1.0 + std::fabs(hi));
    return !(lo > hi);
  }

 private:
  struct Line {
    double Nu = 0.0, Nv = 0.0, Au = 0.0, Av = 0.0, Reach = 0.0;
  };
  std::array<Line, 3> lines_{};
  bool bounded_ = false;
};

}  // namespace

int32_t IntersectSegmentPlane(const TrianglePlane& plane, TriangleVertices triangle, const Vec3& p0,
                              const Vec3& p1, Vec3& point) {
  const Vec3 e = VectorSub(p1, p0);
  const double den = plane[0] * e[0] + plane[1] * e[1] + plane[2] * e[2];
  double t = 0.0;
  if (!CrossingParameter(den, plane[0] * p0[0] + plane[1] * p0[1] + plane[2] * p0[2] + plane[3],
                         t))
    return 0;
  point = PointAt(p0, e, t);
  return TestPointInTriangle(triangle, point) >= 1 ? 1 : 0;
}

int32_t IntersectSegmentTrianglePlane(const TrianglePlane& plane, TriangleVertices triangle, int k,
                                      int i, int j, const Vec3& p0, const Vec3& p1, Vec3& point) {
  if (!AxesValid(k, i, j)) return 0;
  const Vec3 e = VectorSub(p1, p0);
  double t = 0.0;
  if (!CrossingParameter(plane[k] * e[k], plane[k] * p0[k] + plane[3], t)) return 0;
  point = PointAt(p0, e, t);
  return TestPointInTriangle2D(triangle, point, i, j) >= 1 ? 1 : 0;
}

int32_t IntersectTriangleEdgesWithFacet(TriangleVertices facet, const StlFacetRecord& record,
                                        TriangleVertices triangle) {
  const std::array<Vec3, 3> p{Vertex(triangle, 0), Vertex(triangle, 1), Vertex(triangle, 2)};
  static constexpr std::array<std::array<int, 3>, 3> kAxes{{{0, 1, 2}, {1, 2, 0}, {2, 0, 1}}};
  Vec3 point;
  for (int e = 0; e < 3; ++e) {
    const Vec3& a = p[e];
    const Vec3& b = p[(e + 1) % 3];
    const int32_t kind = record.AxisPlane;
    const int32_t hit = kind >= kFacetPlaneX && kind <= kFacetPlaneZ
                            ? IntersectSegmentTrianglePlane(record.Plane, facet, kAxes[kind][0],
                                                            kAxes[kind][1], kAxes[kind][2], a, b,
                                                            point)
                            : IntersectSegmentPlane(record.Plane, facet, a, b, point);
    if (hit == 1) return 1;
  }
  return 0;
}

int32_t TestTriangleAgainstDexels(TriangleVertices triangle, TrianglePlane& plane,
                                  const DexelWindow& w, const DexelSet& set) {
  const int k = w.K, i = w.I, j = w.J;
  if (!AxesValid(k, i, j)) return 0;
  const double kMin = std::min({triangle[k], triangle[3 + k], triangle[6 + k]});
  const double kMax = std::max({triangle[k], triangle[3 + k], triangle[6 + k]});
  const int64_t columnCount = static_cast<int64_t>(set.Counts.size());
  const int32_t lastColumn =
      std::min<int64_t>(w.LastColumn, static_cast<int64_t>(w.ColumnCoordinates.size()) - 1);
  const int32_t lastRow =
      std::min<int64_t>(w.LastRow, static_cast<int64_t>(w.RowCoordinates.size()) - 1);
  const TriangleReach reach(triangle, i, j);
  for (int32_t r = std::max(w.FirstRow, 0); r <= lastRow; ++r) {
    const double v = w.RowCoordinates[r];
    double uLo = 0.0, uHi = 0.0;
    if (!reach.Span(v, uLo, uHi)) continue;
    for (int32_t c = std::max(w.FirstColumn, 0); c <= lastColumn; ++c) {
      const double u = w.ColumnCoordinates[c];
      if (u < uLo || u > uHi) continue;
      const int64_t column = static_cast<int64_t>(r) * w.RowStride + c;
      if (column < 0 || column >= columnCount || set.Counts[column] < 2) continue;
      const std::span<const double> values = DexelColumnValues(set, static_cast<int32_t>(column));
      if (values.front() > kMax || values.back() < kMin) continue;
      for (size_t n = 0; n + 1 < values.size(); n += 2) {
        const double enter = values[n], leave = values[n + 1];
        if (enter > kMax || leave < kMin) continue;
        if (plane[0] == 0.0 && plane[1] == 0.0 && plane[2] == 0.0 && plane[3] == 0.0)
          ComputePlaneFromTriangle(Vertex(triangle, 0), Vertex(triangle, 1), Vertex(triangle, 2),
                                   plane);
        if (plane[k] == 0.0) continue;
        const double along = -(plane[i] * u + plane[j] * v + plane[3]) / plane[k];
        if (!(enter <= along && along <= leave)) continue;
        Vec3 point;
        point[i] = u;
        point[j] = v;
        point[k] = along;
        if (TestPointInTriangle(triangle, point) >= 1) return 1;
      }
    }
  }
  return 0;
}

}  // namespace vestan
