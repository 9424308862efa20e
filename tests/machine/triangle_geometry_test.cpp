#include "machine/triangle_geometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vestan {
namespace {

TEST(ComputePlaneFromTriangle, FirstNonZeroNormalComponentPositive) {
  const double h = std::sqrt(0.5);
  struct Case {
    const char* name;
    TrianglePoints triangle;
    TrianglePlane plane;
  } cases[] = {
      // Raw normals (0, 0, -1), (0, -1, 0) with d = 2, (-1, 0, 0) with d = 1,
      // and (-1, 0, 1) / sqrt 2.
      {"z = 0", {{{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}}, {0, 0, 1, 0}},
      {"y = 2", {{{0, 2, 0}, {1, 2, 0}, {0, 2, 1}}}, {0, 1, 0, -2}},
      {"x = 1", {{{1, 0, 0}, {1, 0, 1}, {1, 1, 0}}}, {1, 0, 0, -1}},
      {"x = z", {{{0, 0, 0}, {1, 0, 1}, {0, 1, 0}}}, {h, 0, -h, 0}},
  };
  for (const Case& c : cases) {
    const TrianglePlane plane = ComputePlaneFromTriangle(c.triangle);
    for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(plane[i], c.plane[i], 1e-15) << c.name << " " << i;
  }
  for (const double value : ComputePlaneFromTriangle({{{0, 0, 0}, {1, 1, 1}, {2, 2, 2}}}))
    EXPECT_TRUE(std::isnan(value)) << "no area";
}

TEST(ComputeBoundingBox, OfTheThreePoints) {
  Vec3 minimum, maximum;
  ComputeBoundingBox({{{1, -2, 3}, {-4, 5, 0}, {2, 0, -6}}}, minimum, maximum);
  EXPECT_EQ(minimum, (Vec3{-4, -2, -6}));
  EXPECT_EQ(maximum, (Vec3{2, 5, 3}));
}

TEST(TestPointInTriangleProjected, CodesForVerticesEdgesAndInside) {
  const TrianglePoints ccw{{{0, 0, 9}, {4, 0, 9}, {0, 4, 9}}};
  const TrianglePoints cw{{{0, 0, 9}, {0, 4, 9}, {4, 0, 9}}};
  struct Case {
    const char* name;
    const TrianglePoints* triangle;
    Vec3 point;
    int32_t code;
  } cases[] = {
      {"inside", &ccw, {1, 1, 0}, 7},
      {"inside, clockwise", &cw, {1, 1, 0}, 7},
      {"outside", &ccw, {5, 5, 0}, 0},
      {"on vertex 1's line", &ccw, {0, 2, 0}, 1},
      {"on vertex 2's line", &ccw, {4, 1, 0}, 2},
      {"vertex 1 and the next on the line", &cw, {0, 2, 0}, 0},
      {"on edge 1-2", &ccw, {2, 0, 0}, 4},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TestPointInTriangleProjected(*c.triangle, c.point, 0, 1), c.code) << c.name;
  // Edges 2-3 and 3-1 of other triangles, and the X-Z projection.
  EXPECT_EQ(TestPointInTriangleProjected({{{4, 4, 0}, {0, 0, 0}, {4, 0, 0}}}, {2, 0, 0}, 0, 1), 5);
  EXPECT_EQ(TestPointInTriangleProjected({{{0, 0, 0}, {4, 4, 0}, {4, 0, 0}}}, {2, 0, 0}, 0, 1), 6);
  EXPECT_EQ(TestPointInTriangleProjected({{{0, 7, 0}, {4, 7, 0}, {0, 7, 4}}}, {1, 0, 1}, 0, 2), 7);
  // A point on a vertex that no other vertex shares a line with: outside.
  EXPECT_EQ(TestPointInTriangleProjected({{{0, 0, 0}, {4, 1, 0}, {1, 4, 0}}}, {0, 0, 0}, 0, 1), 0);
}

}  // namespace
}  // namespace vestan
