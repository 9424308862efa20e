#include "model/triangle_geometry.h"

#include <algorithm>
#include <cmath>

namespace vestan {

namespace {

struct Direction {
  double x = 0, y = 0;  // unit direction from the point to a vertex, in the plane
  double dx = 0, dy = 0;
  double length = 0;
};

Direction DirectionTo(double vx, double vy, double px, double py) {
  Direction d;
  d.dx = vx - px;
  d.dy = vy - py;
  d.length = std::sqrt(d.dx * d.dx + d.dy * d.dy);
  d.x = d.dx / d.length;
  d.y = d.dy / d.length;
  return d;
}

double ClampedCosine(const Direction& a, const Direction& b) {
  return std::clamp(a.x * b.x + a.y * b.y, -1.0, 1.0);
}

double Cross(const Direction& a, const Direction& b) { return a.x * b.y - a.y * b.x; }

// The winding angle of the three directions: the angles between neighbours,
// each negated when its cross product has the sign opposite to reference.
// Near 2 pi in magnitude for a point inside, near 0 outside.
double WindingAngle(const std::array<Direction, 3>& u, double reference) {
  double sum = 0;
  for (int k = 0; k < 3; ++k) {
    const Direction& a = u[k];
    const Direction& b = u[(k + 1) % 3];
    const double angle = std::acos(ClampedCosine(a, b));
    sum += Cross(a, b) * reference < 0 ? -angle : angle;
  }
  return sum;
}

constexpr double kInsideWinding = 6.0;

std::array<Direction, 3> Directions(TriangleVertices t, int i1, int i2, const Vec3& p) {
  std::array<Direction, 3> u;
  for (int k = 0; k < 3; ++k) u[k] = DirectionTo(t[3 * k + i1], t[3 * k + i2], p[i1], p[i2]);
  return u;
}

bool StrictlyBetween(double v, double a, double b) { return (a < v && v < b) || (b < v && v < a); }

// Normalisation took a direction onto an axis although the other coordinate
// differs: the direction cannot tell an edge exactly.
bool SwallowedOffset(const Direction& u) {
  return (std::fabs(u.x) >= 1 && u.dy != 0) || (std::fabs(u.y) >= 1 && u.dx != 0);
}

}  // namespace

int32_t IntersectTriangleWithLineA(TriangleVertices triangle, int i1, int i2, const Vec3& point) {
  const std::array<Direction, 3> u = Directions(triangle, i1, i2, point);
  for (const Direction& d : u)
    if (d.length < 0.01) return kNearVertex;
  for (int k = 0; k < 3; ++k)
    if (ClampedCosine(u[k], u[(k + 1) % 3]) < -0.999999) return kOnEdge;
  return std::fabs(WindingAngle(u, 1.0)) > kInsideWinding ? kInside : 0;
}

int32_t IntersectTriangleWithLine(TriangleVertices triangle, int i1, int i2, const Vec3& point) {
  const auto v = [&triangle](int k, int axis) { return triangle[3 * k + axis]; };
  std::array<Direction, 3> u;
  std::array<bool, 3> swallowed{};
  for (int k = 0; k < 3; ++k) {
    if (v(k, i1) == point[i1] && v(k, i2) == point[i2]) return k + 1;
    u[k] = DirectionTo(v(k, i1), v(k, i2), point[i1], point[i2]);
    swallowed[k] = SwallowedOffset(u[k]);
  }
  for (int k = 0; k < 3; ++k) {
    const int l = (k + 1) % 3;
    const int32_t onEdge = 4 + k;
    // An edge on an axis-parallel line through the point: only the inside of
    // the edge counts.
    if (v(k, i1) == point[i1] && v(l, i1) == point[i1]) {
      if (StrictlyBetween(point[i2], v(k, i2), v(l, i2))) return onEdge;
      continue;
    }
    if (v(k, i2) == point[i2] && v(l, i2) == point[i2]) {
      if (StrictlyBetween(point[i1], v(k, i1), v(l, i1))) return onEdge;
      continue;
    }
    if (ClampedCosine(u[k], u[l]) == -1.0 && !swallowed[k] && !swallowed[l]) return 7;
    if (v(k, i1) != v(l, i1) && v(k, i2) != v(l, i2)) {
      const double t = (point[i1] - v(k, i1)) / (v(l, i1) - v(k, i1));
      if (t == (point[i2] - v(k, i2)) / (v(l, i2) - v(k, i2)) && t >= 0 && t <= 1) return 7;
    }
  }
  return std::fabs(WindingAngle(u, 1.0)) > kInsideWinding ? 7 : 0;
}

int32_t TestPointInTriangleProjected(const Vec3& p0, const Vec3& p1, const Vec3& p2,
                                     const Vec3& point, int b, int c) {
  const std::array<const Vec3*, 3> p{&p0, &p1, &p2};
  const auto at = [&](int k) { return (*p[k])[b] == point[b] && (*p[k])[c] == point[c]; };
  if (at(0)) return at(1) ? 0 : 1;
  if (at(1)) return at(2) ? 0 : 2;
  if (at(2)) return 3;
  std::array<Direction, 3> u;
  for (int k = 0; k < 3; ++k) u[k] = DirectionTo((*p[k])[b], (*p[k])[c], point[b], point[c]);
  if (ClampedCosine(u[0], u[1]) == -1.0) return 4;
  if (ClampedCosine(u[1], u[2]) == -1.0) return 5;
  if (ClampedCosine(u[0], u[2]) == -1.0) return 6;
  const double reference = Cross(u[0], u[1]);
  if (reference == 0) return 0;
  return std::fabs(WindingAngle(u, reference)) > kInsideWinding ? 7 : 0;
}

void ComputeBoundingBox(const Vec3& p0, const Vec3& p1, const Vec3& p2, Vec3& minOut,
                        Vec3& maxOut) {
  minOut = {1e12, 1e12, 1e12};
  maxOut = {-1e12, -1e12, -1e12};
  for (const Vec3* q : {&p0, &p1, &p2}) {
    for (int k = 0; k < 3; ++k) {
      minOut[k] = std::min(minOut[k], (*q)[k]);
      maxOut[k] = std::max(maxOut[k], (*q)[k]);
    }
  }
}

void ComputePlaneFromTriangle(const Vec3& p0, const Vec3& p1, const Vec3& p2,
                              TrianglePlane& plane) {
  Vec3 n = VectorCross(VectorSub(p1, p0), VectorSub(p2, p0));
  const double length = VectorLength(n);
  for (double& x : n) x /= length;
  double d = -VectorDot(n, p0);
  // The first non-zero component of the normal points the positive way.
  const int first = n[0] != 0 ? 0 : n[1] != 0 ? 1 : 2;
  if (n[first] < 0) {
    for (int k = first; k < 3; ++k) n[k] = -n[k];
    d = -d;
  }
  plane = {n[0], n[1], n[2], d};
}

bool RepairHeightGrid(int32_t side, int32_t w, int32_t h, std::span<double> heights, double level) {
  if (w < 0 || h < 0 || static_cast<int64_t>(w) * h > static_cast<int64_t>(heights.size()))
    return false;
  const auto beyond = [side, level](double z) {
    return side < 1 ? z < level - 0.1 : z > level + 0.1;
  };
  const auto node = [&heights, w](int32_t i, int32_t j) -> double& {
    return heights[static_cast<size_t>(j) * w + i];
  };
  const auto repair = [&](double& before, double& at, double& after) {
    if (beyond(before) && std::fabs(at - level) < 1e-4 && beyond(after)) at = (before + after) / 2;
  };
  for (int32_t j = 0; j < h; ++j)
    for (int32_t i = 1; i + 1 < w; ++i) repair(node(i - 1, j), node(i, j), node(i + 1, j));
  for (int32_t i = 0; i < w; ++i)
    for (int32_t j = 1; j + 1 < h; ++j) repair(node(i, j - 1), node(i, j), node(i, j + 1));
  return true;
}

}  // namespace vestan
