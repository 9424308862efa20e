#include "machine/interference_geometry.h"

#include <algorithm>
#include <array>
#include <cmath>

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
  for (int32_t r = std::max(w.FirstRow, 0); r <= lastRow; ++r) {
    const double v = w.RowCoordinates[r];
    for (int32_t c = std::max(w.FirstColumn, 0); c <= lastColumn; ++c) {
      const int64_t column = static_cast<int64_t>(r) * w.RowStride + c;
      if (column < 0 || column >= columnCount || set.Counts[column] < 2) continue;
      const std::span<const double> values = DexelColumnValues(set, static_cast<int32_t>(column));
      if (values.front() > kMax || values.back() < kMin) continue;
      const double u = w.ColumnCoordinates[c];
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
