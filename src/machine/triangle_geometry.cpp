#include "machine/triangle_geometry.h"

#include <algorithm>
#include <cmath>

namespace vestan {

namespace {

// Sum of signed angles above which the point is enclosed (2 pi inside, 0
// outside).
constexpr double kInsideAngleSum = 6.0;

}  // namespace

TrianglePlane ComputePlaneFromTriangle(const TrianglePoints& triangle) {
  const Vec3& p0 = triangle[0];
  Vec3 n = VectorCross(VectorSub(triangle[1], p0), VectorSub(triangle[2], p0));
  const double length = VectorLength(n);
  for (double& c : n) c /= length;
  TrianglePlane plane{n[0], n[1], n[2], -VectorDot(n, p0)};
  if (n[0] < 0.0) {
    for (double& c : plane) c = -c;
  } else if (n[0] == 0.0 && n[1] < 0.0) {
    for (size_t i = 1; i < 4; ++i) plane[i] = -plane[i];
  } else if (n[0] == 0.0 && n[1] == 0.0 && n[2] < 0.0) {
    plane[2] = -plane[2];
    plane[3] = -plane[3];
  }
  return plane;
}

void ComputeBoundingBox(const TrianglePoints& triangle, Vec3& minimum, Vec3& maximum) {
  minimum = {1e12, 1e12, 1e12};
  maximum = {-1e12, -1e12, -1e12};
  for (const Vec3& p : triangle)
    for (size_t i = 0; i < 3; ++i) {
      minimum[i] = std::min(minimum[i], p[i]);
      maximum[i] = std::max(maximum[i], p[i]);
    }
}

int32_t TestPointInTriangleProjected(const TrianglePoints& triangle, const Vec3& point, int u,
                                     int v) {
  if (u < 0 || u > 2 || v < 0 || v > 2) return 0;
  const size_t iu = static_cast<size_t>(u), iv = static_cast<size_t>(v);
  const auto onLine = [&](const Vec3& p) { return p[iu] == point[iu] && p[iv] != point[iv]; };
  for (size_t k = 0; k < 3; ++k) {
    if (!onLine(triangle[k])) continue;
    return onLine(triangle[(k + 1) % 3]) ? 0 : static_cast<int32_t>(k + 1);
  }
  // A vertex at the point itself gives no direction; its non-numbers fail
  // every test below and the point counts as outside.
  std::array<std::array<double, 2>, 3> d{};
  for (size_t k = 0; k < 3; ++k) {
    const double du = triangle[k][iu] - point[iu], dv = triangle[k][iv] - point[iv];
    const double length = std::sqrt(du * du + dv * dv);
    d[k] = {du / length, dv / length};
  }
  std::array<double, 3> angles{};
  std::array<double, 3> turns{};
  for (size_t k = 0; k < 3; ++k) {
    const auto& a = d[k];
    const auto& b = d[(k + 1) % 3];
    const double cosine = std::clamp(a[0] * b[0] + a[1] * b[1], -1.0, 1.0);
    if (cosine == -1.0) return static_cast<int32_t>(4 + k);
    angles[k] = std::acos(cosine);
    turns[k] = a[0] * b[1] - a[1] * b[0];
  }
  if (turns[0] == 0.0) return 0;
  double sum = 0.0;
  for (size_t k = 0; k < 3; ++k) sum += (turns[k] * turns[0] < 0.0) ? -angles[k] : angles[k];
  return std::fabs(sum) > kInsideAngleSum ? 7 : 0;
}

}  // namespace vestan
