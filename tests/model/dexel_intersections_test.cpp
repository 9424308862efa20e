#include "model/dexel_intersections.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace vestan {
namespace {

const Vec3 kOrigin{0, 0, 0};

void ExpectCrossings(const DexelCrossings& got, std::vector<double> w, std::vector<double> t,
                     const std::string& name) {
  ASSERT_EQ(got.Count, static_cast<int32_t>(w.size())) << name;
  for (size_t k = 0; k < w.size(); ++k) {
    EXPECT_NEAR(got.W[k], w[k], 1e-12) << name << " w" << k;
    if (k < t.size()) {
      EXPECT_NEAR(got.T[k], t[k], 1e-12) << name << " t" << k;
    }
  }
}

TEST(DexelIntersections, HandCases) {
  // Cone r0 1, k 1, L 2 along the line: at rho 2 the radius is reached at
  // t = (2 - 1) / 1; inside the base radius the interval starts at the base.
  ExpectCrossings(IntersectDexelWithCone(kOrigin, {0, 0, 1}, 1, 1, 2, 2, 0), {1, 2}, {1, 2},
                  "cone rho 2");
  ExpectCrossings(IntersectDexelWithCone(kOrigin, {0, 0, 1}, 1, 1, 2, 0.5, 0), {0, 2}, {0, 2},
                  "cone rho 0.5");
  // Pointing down, the same cone lies below its base, ordered ascending.
  ExpectCrossings(IntersectDexelWithCone(kOrigin, {0, 0, -1}, 1, 1, 2, 2, 0), {-2, -1}, {2, 1},
                  "cone pointing down");
  // Narrowing cone 3 - t over 2 along the line: rho 2 leaves it at t = 1.
  ExpectCrossings(IntersectDexelWithNarrowingCone(kOrigin, {0, 0, 1}, 3, -1, 2, 2, 0), {0, 1},
                  {0, 1}, "narrowing rho 2");
  ExpectCrossings(IntersectDexelWithNarrowingCone(kOrigin, {0, 0, 1}, 3, -1, 2, 4, 0), {}, {},
                  "narrowing outside");
  // Cylinder r 1, L 5 along X through (2, 0.6): t* = 2, half chord sqrt(1 - 0.36).
  ExpectCrossings(IntersectDexelWithCylinder(kOrigin, {1, 0, 0}, 1, 5, 2, 0.6), {-0.8, 0.8}, {2, 2},
                  "cylinder across");
  ExpectCrossings(IntersectDexelWithCylinder(kOrigin, {1, 0, 0}, 1, 5, 6, 0), {}, {},
                  "cylinder beyond its length");
  ExpectCrossings(IntersectDexelWithCylinder({0, 0, 3}, {0, 0, -1}, 1, 5, 0.5, 0), {-2, 3}, {5, 0},
                  "cylinder pointing down");
  ExpectCrossings(IntersectDexelWithEndlessCylinder({0, 0, 3}, {0, 0, -1}, 1, 0.5, 0), {-1e7, 3},
                  {1e7, 0}, "endless pointing down");
  ExpectCrossings(IntersectDexelWithEndlessCylinder({0, 0, 3}, {0, 0, 1}, 1, 0.5, 0), {3, 1e7},
                  {0, 1e7}, "endless pointing up");
  // Torus R 5, a 1 across the line at t* = 1 through the axis: outer ring
  // sqrt(6^2), inner ring sqrt(4^2).
  ExpectCrossings(IntersectDexelWithTorus(kOrigin, {1, 0, 0}, 5, 1, 1, 0), {-6, -4, 4, 6},
                  {1, 1, 1, 1}, "torus across");
  // Sphere a = b = 1 on its axis: t = 0 and 2; with L 1.5 the upper crossing
  // lies beyond L and the interval collapses onto the lower one.
  ExpectCrossings(IntersectDexelWithSpheroid(kOrigin, {0, 0, 1}, 1, 1, 2, 0, 0), {0, 2}, {0, 2},
                  "sphere on axis");
  const DexelCrossings collapsed = IntersectDexelWithSpheroid(kOrigin, {0, 0, 1}, 1, 1, 1.5, 0, 0);
  ASSERT_EQ(collapsed.Count, 2);
  EXPECT_EQ(collapsed.W[0], collapsed.W[1]);
}

// Inside tests of the solids, in the context frame, with a slack: positive
// slack accepts points just outside.
using InsideTest = std::function<bool(const Vec3& point, double slack)>;

struct AxisFrame {
  Vec3 base;
  Vec3 axis;
  // Axis parameter and radial distance of a point.
  void Measure(const Vec3& p, double& t, double& radial) const {
    const Vec3 d = VectorSub(p, base);
    t = VectorDot(d, axis);
    radial = std::sqrt(std::max(0.0, VectorDot(d, d) - t * t));
  }
};

struct SolidCase {
  std::string name;
  std::function<DexelCrossings(const AxisFrame&, double u, double v)> intersect;
  std::function<bool(const AxisFrame&, const Vec3&, double)> inside;
};

std::vector<SolidCase> Solids() {
  const auto cone = [](double r0, double k, double length) {
    return [=](const AxisFrame& f, const Vec3& p, double slack) {
      double t, radial;
      f.Measure(p, t, radial);
      return t >= -slack && t <= length + slack && radial <= r0 + k * t + slack;
    };
  };
  return {
      {"cone",
       [](const AxisFrame& f, double u, double v) {
         return IntersectDexelWithCone(f.base, f.axis, 1.5, 0.4, 4, u, v);
       },
       cone(1.5, 0.4, 4)},
      {"narrowing cone",
       [](const AxisFrame& f, double u, double v) {
         return IntersectDexelWithNarrowingCone(f.base, f.axis, 3, -0.5, 4, u, v);
       },
       cone(3, -0.5, 4)},
      {"cylinder",
       [](const AxisFrame& f, double u, double v) {
         return IntersectDexelWithCylinder(f.base, f.axis, 2, 5, u, v);
       },
       cone(2, 0, 5)},
      {"endless cylinder",
       [](const AxisFrame& f, double u, double v) {
         return IntersectDexelWithEndlessCylinder(f.base, f.axis, 2, u, v);
       },
       cone(2, 0, 1e9)},
      {"spheroid",
       [](const AxisFrame& f, double u, double v) {
         return IntersectDexelWithSpheroid(f.base, f.axis, 3, 2, 4.5, u, v);
       },
       [](const AxisFrame& f, const Vec3& p, double slack) {
         double t, radial;
         f.Measure(p, t, radial);
         // radial^2 <= (a/b)^2 t (2b - t) with a 3, b 2.
         return t >= -slack && radial * radial <= 2.25 * t * (4 - t) + slack;
       }},
      {"torus",
       [](const AxisFrame& f, double u, double v) {
         return IntersectDexelWithTorus(f.base, f.axis, 3, 1, u, v);
       },
       [](const AxisFrame& f, const Vec3& p, double slack) {
         double t, radial;
         f.Measure(p, t, radial);
         const double dr = radial - 3, dt = t - 1;
         return dr * dr + dt * dt <= 1 + slack;
       }},
  };
}

// Every solid against random lines and axes (general, along the line and
// across it): points well inside a reported interval lie in the solid, points
// well outside all of them do not.
TEST(DexelIntersections, IntervalsMatchTheSolidsOnRandomLines) {
  std::mt19937 random(20240611);
  std::uniform_real_distribution<double> coordinate(-4, 4);
  std::normal_distribution<double> normal(0, 1);
  constexpr double kMargin = 1e-6, kSlack = 1e-7;
  for (const SolidCase& solid : Solids()) {
    for (int trial = 0; trial < 1000; ++trial) {
      AxisFrame f{{coordinate(random), coordinate(random), coordinate(random)}, {}};
      if (trial % 4 == 0) {
        f.axis = {0, 0, trial % 8 == 0 ? 1.0 : -1.0};
      } else if (trial % 4 == 1) {
        const double a = normal(random);
        f.axis = {std::cos(a), std::sin(a), 0};
      } else {
        f.axis = {normal(random), normal(random), normal(random)};
        const double length = VectorLength(f.axis);
        for (double& c : f.axis) c /= length;
      }
      const double u = coordinate(random) * 1.5, v = coordinate(random) * 1.5;
      const DexelCrossings got = solid.intersect(f, u, v);
      const std::string where = solid.name + " trial " + std::to_string(trial);
      ASSERT_TRUE(got.Count == 0 || got.Count == 2 || got.Count == 4) << where;
      const auto inInterval = [&](double w, double margin) {
        for (int32_t k = 0; k + 1 < got.Count; k += 2)
          if (w >= got.W[k] - margin && w <= got.W[k + 1] + margin) return true;
        return false;
      };
      for (int32_t k = 0; k + 1 < got.Count; ++k) ASSERT_LE(got.W[k], got.W[k + 1]) << where;
      for (double w = -15; w <= 15; w += 0.02) {
        if (inInterval(w, -kMargin)) {
          EXPECT_TRUE(solid.inside(f, {u, v, w}, kSlack)) << where << " w " << w;
        } else if (!inInterval(w, kMargin)) {
          EXPECT_FALSE(solid.inside(f, {u, v, w}, -kSlack)) << where << " w " << w;
        }
      }
    }
  }
}

DexelCrossings Pair(double low, double high) {
  DexelCrossings c;
  c.Count = 2;
  c.W[0] = low;
  c.W[1] = high;
  return c;
}

TEST(DexelIntersections, MergeSolidIntervals) {
  struct Case {
    const char* name;
    ToolIntervals set;
    DexelCrossings a, b;
    std::vector<double> expected;
  };
  const DexelCrossings none;
  const Case cases[] = {
      {"b within 1e-9 joins", {}, Pair(0, 1), Pair(1 + 5e-10, 2), {0, 2}},
      {"b 0.1 apart stays", {}, Pair(0, 1), Pair(1.1, 2), {0, 1, 1.1, 2}},
      {"b inside", {}, Pair(0, 1), Pair(0.2, 0.5), {0, 1}},
      {"b below comes first", {}, Pair(3, 4), Pair(0, 1), {0, 1, 3, 4}},
      {"b covers", {}, Pair(1, 2), Pair(0, 3), {0, 3}},
      {"b reaches down", {}, Pair(1, 2), Pair(0, 1.5), {0, 2}},
      {"a widens to the hull", {2, {0, 1}}, Pair(3, 4), none, {0, 4}},
      {"a absent, b starts afresh", {}, none, Pair(5, 6), {5, 6}},
      {"two intervals start afresh", {4, {0, 1, 2, 3}}, Pair(7, 8), none, {7, 8}},
      {"nothing leaves the set", {4, {0, 1, 2, 3}}, none, none, {0, 1, 2, 3}},
  };
  for (const Case& c : cases) {
    ToolIntervals set = c.set;
    MergeSolidIntervals(set, c.a, c.b);
    EXPECT_EQ(std::vector<double>(set.Values.begin(), set.Values.begin() + set.Count), c.expected)
        << c.name;
  }
}

}  // namespace
}  // namespace vestan
