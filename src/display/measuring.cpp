#include "display/measuring.h"

#include <cmath>

namespace vestan {

namespace {

// Below this a 2 x 2 elimination counts as singular.
constexpr double kSingular = 0.001;

}  // namespace

double CircleRadiusThroughPoints(int32_t plane, const Vec3& a, const Vec3& b, const Vec3& c) {
  Vec3 p = a, q = b, r = c;
  if (plane >= 0 && plane <= 2) p[plane] = q[plane] = r[plane] = 0.0;
  // The centre lies on the bisector planes of pq and qr and in the plane of
  // the three points: rows n1, n2, n3 = n1 x n2 with right sides d.
  const Vec3 n1 = VectorSub(q, p), n2 = VectorSub(r, q);
  const Vec3 n3 = VectorCross(n1, n2);
  const double d1 = VectorDot(n1, VectorAdd(p, q)) / 2.0;
  const double d2 = VectorDot(n2, VectorAdd(q, r)) / 2.0;
  const double d3 = VectorDot(n3, p);
  // Component k of n3 is the determinant of rows 1 and 2 over the other two
  // coordinates; the first that is not too small eliminates them.
  for (const size_t k : {size_t{2}, size_t{0}, size_t{1}}) {
    const double det = n3[k];
    if (!(std::abs(det) > kSingular)) continue;
    const size_t i = (k + 1) % 3, j = (k + 2) % 3;
    // Rows 1 and 2 give x_i and x_j as base + slope * x_k.
    const double baseI = (d1 * n2[j] - n1[j] * d2) / det;
    const double baseJ = (n1[i] * d2 - d1 * n2[i]) / det;
    const double slopeI = n3[i] / det, slopeJ = n3[j] / det;
    Vec3 centre;
    centre[k] = (d3 - n3[i] * baseI - n3[j] * baseJ) / (n3[i] * slopeI + n3[j] * slopeJ + n3[k]);
    centre[i] = baseI + slopeI * centre[k];
    centre[j] = baseJ + slopeJ * centre[k];
    return VectorLength(VectorSub(r, centre));
  }
  return kCollinearRadius;
}

MeasureRepaint RecordMeasurePoint(MeasuredPointList& list, const Vec3& picked, int32_t mouseMode,
                                  bool somethingToPick) {
  if (!somethingToPick) return {};
  const bool measuring = mouseMode == kMouseModeMeasure;
  const int32_t count = list.Count;
  if (measuring && count >= 2) {
    const Vec3& a = list.Points[static_cast<size_t>(count - 2)];
    const Vec3& b = list.Points[static_cast<size_t>(count - 1)];
    list.SpaceRadius = CircleRadiusThroughPoints(kInSpace, a, b, picked);
    for (int32_t plane = 0; plane < 3; ++plane)
      list.PlaneRadii[static_cast<size_t>(plane)] = CircleRadiusThroughPoints(plane, a, b, picked);
  } else {
    list.SpaceRadius = 0.0;
    list.PlaneRadii = {};
  }
  if (count >= 0 && count < kMaxMeasuredPoints &&
      static_cast<size_t>(count) < list.Points.size() && list.Points.size() == list.Flags.size()) {
    list.Points[static_cast<size_t>(count)] = picked;
    list.Flags[static_cast<size_t>(count)] = 1;
    if (measuring && count >= 1) {
      list.Step = VectorSub(picked, list.Points[static_cast<size_t>(count - 1)]);
      list.Distance = VectorLength(list.Step);
    } else {
      list.Step = {};
      list.Distance = 0.0;
    }
    if (measuring) ++list.Count;
  }
  return {true, measuring};
}

}  // namespace vestan
