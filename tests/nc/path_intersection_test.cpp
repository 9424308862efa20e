// Intersections of lines and arcs in the XY plane, each worked out by hand.
#include "nc/path_intersection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vestan {
namespace {

PathElement Line(Vec3 from, Vec3 to) { return {1, from, to, {}, 0.0}; }
PathElement Arc(int32_t mode, Vec3 from, Vec3 to, Vec3 centre, double r) {
  return {mode, from, to, centre, r};
}

struct Case {
  std::string Name;
  PathElement First, Second;
  int32_t Count, Status;
  // The first intersection: parameters on both elements and its X, Y.
  double T, U, X, Y;
};

TEST(IntersectPathElements, LinesAndArcs) {
  // The upper half of the circle of radius 5 about the origin, counter-clockwise.
  const PathElement upper = Arc(3, {5, 0, 0}, {-5, 0, 0}, {0, 0, 0}, 5);
  const std::vector<Case> cases{
      {"lines crossing", Line({0, 0, 0}, {10, 0, 0}), Line({5, -5, 0}, {5, 5, 0}), 1, 0, 0.5, 0.5,
       5, 0},
      {"parallel lines", Line({0, 0, 0}, {10, 0, 0}), Line({0, 1, 0}, {10, 1, 0}), 0, -2, 0, 0, 0,
       0},
      {"zero-length line", Line({0, 0, 0}, {0, 0, 0}), Line({5, -5, 0}, {5, 5, 0}), 0, -2, 0, 0, 0,
       0},
      {"crossing beyond the first line's end", Line({0, 0, 0}, {4, 0, 0}),
       Line({5, -5, 0}, {5, 5, 0}), 1, -1, 1.25, 0.5, 5, 0},
      {"crossing before the second line's start", Line({0, 0, 0}, {10, 0, 0}),
       Line({5, 1, 0}, {5, 5, 0}), 1, -1, 0.5, -0.25, 5, 0},
      {"line tangent to an arc", Line({-5, 5, 0}, {5, 5, 0}), upper, 1, 0, 0.5, 0.5, 0, 5},
      {"line cutting an arc twice: toward the line's start first", Line({-10, 3, 0}, {10, 3, 0}),
       upper, 2, 0, 0.3, 0.7952, -4, 3},
      {"line through a half circle once", Line({-10, 0, 0}, {10, 0, 0}),
       Arc(3, {0, 5, 0}, {0, -5, 0}, {0, 0, 0}, 5), 1, 0, 0.25, 0.5, -5, 0},
      {"line missing an arc", Line({-10, 6, 0}, {10, 6, 0}), upper, 0, 0, 0, 0, 0, 0},
      {"line meeting the circle outside the arc", Line({-10, -3, 0}, {10, -3, 0}), upper, 0, -1, 0,
       0, 0, 0},
      {"arc then line: results swapped back", upper, Line({10, 3, 0}, {-10, 3, 0}), 2, 0, 0.2048,
       0.3, 4, 3},
      {"two arcs: the candidate inside both", upper, Arc(3, {8, 5, 0}, {8, -5, 0}, {8, 0, 0}, 5), 1,
       0, 0.2048, 0.2952, 4, 3},
      {"concentric arcs", upper, Arc(3, {3, 0, 0}, {-3, 0, 0}, {0, 0, 0}, 3), 0, -2, 0, 0, 0, 0},
      {"arcs apart", upper, Arc(3, {25, 0, 0}, {15, 0, 0}, {20, 0, 0}, 5), 0, 0, 0, 0, 0, 0},
      {"arc of radius 0", Line({0, 0, 0}, {10, 0, 0}), Arc(3, {}, {}, {}, 0), 0, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const PathIntersections r = IntersectPathElements(c.First, c.Second, 0, 1);
    EXPECT_EQ(r.Count, c.Count) << c.Name;
    EXPECT_EQ(r.Status, c.Status) << c.Name;
    if (r.Count == 0) continue;
    EXPECT_NEAR(r.Parameters[0][0], c.T, 1e-4) << c.Name;
    EXPECT_NEAR(r.Parameters[0][1], c.U, 1e-4) << c.Name;
    for (const Vec3& point : r.Points[0]) {
      EXPECT_NEAR(point[0], c.X, 1e-9) << c.Name;
      EXPECT_NEAR(point[1], c.Y, 1e-9) << c.Name;
    }
  }
}

TEST(IntersectPathElements, NormalAxisFollowsEachElement) {
  const PathIntersections r =
      IntersectPathElements(Line({0, 0, 0}, {10, 0, 10}), Line({5, -5, 0}, {5, 5, -4}), 0, 1);
  ASSERT_EQ(r.Count, 1);
  EXPECT_DOUBLE_EQ(r.Points[0][0][2], 5.0);
  EXPECT_DOUBLE_EQ(r.Points[0][1][2], -2.0);
  // G18: Z and X in the plane, Y normal.
  const PathIntersections zx =
      IntersectPathElements(Line({0, 1, 0}, {0, 1, 10}), Line({-5, 3, 5}, {5, 3, 5}), 2, 0);
  ASSERT_EQ(zx.Count, 1);
  EXPECT_EQ(zx.Status, 0);
  EXPECT_DOUBLE_EQ(zx.Points[0][0][1], 1.0);
  EXPECT_DOUBLE_EQ(zx.Points[0][1][1], 3.0);
}

}  // namespace
}  // namespace vestan
