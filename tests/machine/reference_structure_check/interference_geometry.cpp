// The triangle-against-material test (see reference_structure_check.h):
// unchanged but for its namespace.
#include "machine/reference_structure_check/reference_structure_check.h"

#include <algorithm>

namespace vestan::reference {

namespace {

Vec3 Vertex(TriangleVertices t, int v) { return {t[3 * v], t[3 * v + 1], t[3 * v + 2]}; }

bool AxesValid(int k, int i, int j) {
  const auto axis = [](int a) { return a >= 0 && a <= 2; };
  return axis(k) && axis(i) && axis(j) && k != i && k != j && i != j;
}

}  // namespace

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

}  // namespace vestan::reference
