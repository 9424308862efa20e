#include "model/triangle_geometry.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "model/part_transforms.h"

namespace vestan {
namespace {

using Triangle = std::array<double, 9>;

// Triangles in the XY plane (z differs per vertex: the tests never read it).
Triangle Flat(double x0, double y0, double x1, double y1, double x2, double y2) {
  return {x0, y0, 1, x1, y1, 2, x2, y2, 3};
}

TEST(IntersectTriangleWithLineA, ToleratesNearVerticesAndEdges) {
  const Triangle t = Flat(0, 0, 10, 0, 0, 10);
  struct Case {
    Vec3 point;
    int32_t expected;
  };
  const std::vector<Case> cases{
      {{0.005, 10, 0}, kNearVertex},       // 0.005 from vertex 2
      {{5, 0.0000001, 0}, kOnEdge},        // on edge 0-1 within the cosine tolerance
      {{5, 5, 0}, kOnEdge},                // the middle of the slanted edge
      {{10.0 / 3, 10.0 / 3, 0}, kInside},  // centroid
      {{20, 20, 0}, 0},
      {{-1, 5, 0}, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IntersectTriangleWithLineA(t, 0, 1, c.point), c.expected)
        << c.point[0] << ", " << c.point[1];
}

TEST(IntersectTriangleWithLine, TellsVerticesAndAxisParallelEdgesApart) {
  struct Case {
    Triangle triangle;
    Vec3 point;
    int32_t expected;
  };
  const std::vector<Case> cases{
      {Flat(0, 0, 10, 0, 0, 10), {10, 0, 7}, 2},   // exactly vertex 1
      {Flat(0, 0, 0, 10, 10, 0), {0, 5, 0}, 4},    // inside the axis-parallel edge 0-1
      {Flat(0, 0, 10, 0, 10, 10), {10, 5, 0}, 5},  // edge 1-2
      {Flat(0, 0, 10, 0, 0, 10), {0, 4, 0}, 6},    // edge 2-0
      {Flat(0, 0, 10, 10, 10, 0), {5, 5, 0}, 7},   // on the slanted edge
      {Flat(0, 0, 10, 0, 0, 10), {10.0 / 3, 10.0 / 3, 0}, 7},
      {Flat(0, 0, 0, 10, 10, 0), {0, 12, 0}, 0},  // on edge 0-1's line, beyond it
      {Flat(0, 0, 0, 10, 10, 0), {6, 6, 0}, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IntersectTriangleWithLine(c.triangle, 0, 1, c.point), c.expected)
        << c.point[0] << ", " << c.point[1];
  // Other axes: the YZ plane of a triangle standing on x = 3.
  const Triangle standing{3, 0, 0, 3, 10, 0, 3, 0, 10};
  EXPECT_EQ(IntersectTriangleWithLine(standing, 1, 2, {-50, 5, 0}), 4);
  EXPECT_EQ(IntersectTriangleWithLine(standing, 1, 2, {0, 2, 2}), 7);
}

TEST(TestPointInTriangleProjected, ProjectsOntoTheCrossAxes) {
  // A facet seen by a column along Z (a = 2, b = X, c = Y); its heights differ.
  const Vec3 p0{0, 0, 5}, p1{10, 0, 6}, p2{0, 10, 7};
  struct Case {
    Vec3 point;
    int32_t expected;
  };
  const std::vector<Case> cases{
      {{0, 0, 99}, 1},
      {{10, 0, 0}, 2},
      {{0, 10, 0}, 3},
      {{4, 0, 0}, 4},
      {{0, 3, 0}, 6},
      {{2, 2, 0}, 7},
      {{8, 8, 0}, 0},
      {{20, 0, 0}, 0},  // in line with vertices 0 and 1, beyond
                        // them
      {{0, 12, 0}, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TestPointInTriangleProjected(p0, p1, p2, c.point, 0, 1), c.expected)
        << c.point[0] << ", " << c.point[1];
  // Edge 1-2 upright: the directions to its ends are exactly opposite.
  EXPECT_EQ(TestPointInTriangleProjected(p0, p1, {10, 10, 0}, {10, 5, 0}, 0, 1), 5);
  // Two vertices on the column: no crossing.
  EXPECT_EQ(TestPointInTriangleProjected(p0, {0, 0, 9}, p2, {0, 0, 0}, 0, 1), 0);
  EXPECT_EQ(TestPointInTriangleProjected(p0, p1, {10, 0, 1}, {10, 0, 0}, 0, 1), 0);
}

TEST(TrianglePlaneAndBox, NormalPointsTheFirstNonZeroComponentUp) {
  TrianglePlane plane;
  ComputePlaneFromTriangle({0, 0, 0}, {0, 1, 0}, {1, 0, 0}, plane);
  EXPECT_EQ(plane, (TrianglePlane{0, 0, 1, 0}));  // the raw normal is (0, 0, -1)
  // (1, 0, 0) x (0, 1, 1) = (0, -1, 1), turned to (0, 1, -1) / sqrt 2; the
  // plane passes through (0, 0, 1).
  ComputePlaneFromTriangle({0, 0, 1}, {1, 0, 1}, {0, 1, 2}, plane);
  const double s = 1 / std::sqrt(2.0);
  EXPECT_DOUBLE_EQ(plane[1], s);
  EXPECT_DOUBLE_EQ(plane[2], -s);
  EXPECT_DOUBLE_EQ(plane[3], s);
  EXPECT_EQ(plane[0], 0.0);

  Vec3 low, high;
  ComputeBoundingBox({1, 5, -2}, {3, -1, 0}, {2, 2, 4}, low, high);
  EXPECT_EQ(low, (Vec3{1, -1, -2}));
  EXPECT_EQ(high, (Vec3{3, 5, 4}));
}

TEST(RepairHeightGrid, FillsSingleDropoutsFromTheirNeighbours) {
  struct Case {
    int32_t side;
    double level;
    std::vector<double> row;
    std::vector<double> expected;
  };
  const std::vector<Case> cases{
      {1, 0, {5, 0, 6}, {5, 5.5, 6}},
      {1, 0, {5, 0.05, 6}, {5, 0.05, 6}},  // 0.05 is not within 1e-4 of the level
      {1, 0, {0.05, 0, 6}, {0.05, 0, 6}},  // 0.05 is not beyond 0.1
      {1, 0, {5, 0, 0, 6}, {5, 0, 0, 6}},  // no node has two beyond neighbours
      {1, 0, {5, 0.00009, 6}, {5, 5.5, 6}},
      {0, 10, {5, 10, 6}, {5, 5.5, 6}},  // the lower ends: beyond is below
      {0, 10, {11, 10, 12}, {11, 10, 12}},
  };
  for (const Case& c : cases) {
    std::vector<double> heights = c.row;
    ASSERT_TRUE(
        RepairHeightGrid(c.side, static_cast<int32_t>(heights.size()), 1, heights, c.level));
    EXPECT_EQ(heights, c.expected) << "side " << c.side << ", first " << c.row[0];
  }
}

TEST(RepairHeightGrid, ColumnsSeeWhatTheRowsRepaired) {
  // 3 nodes wide, 4 high. Node (1, 1) is repaired along its row to 5.5 and
  // then serves as the lower neighbour of node (1, 2) along the column:
  // (5.5 + 8) / 2.
  std::vector<double> heights{
      9, 4, 9,  //
      5, 0, 6,  //
      0, 0, 0,  //
      9, 8, 9,
  };
  ASSERT_TRUE(RepairHeightGrid(1, 3, 4, heights, 0));
  // Row 2 has no node with two beyond neighbours on its row; along the
  // columns its nodes become (5 + 9) / 2, (5.5 + 8) / 2 and (6 + 9) / 2.
  EXPECT_EQ(heights, (std::vector<double>{9, 4, 9, 5, 5.5, 6, 7, 6.75, 7.5, 9, 8, 9}));
  EXPECT_FALSE(RepairHeightGrid(1, 3, 5, heights, 0));
}

TEST(PartTransforms, ModelsUndoTheirPlacement) {
  DexelModel model;
  Vec3 point{8, 1, 3};
  TransformPointToModel(model, point);
  EXPECT_EQ(point, (Vec3{8, 1, 3}));
  // Turned by 90 degrees about Z and moved by (10, 0, 0): model (1, 2, 3) is
  // world (-2 + 10, 1, 3).
  model.Placement = {0, 1, 0, -1, 0, 0, 0, 0, 1, 10, 0, 0};
  model.InverseMatrix = InvertMatrix3(PlacementMatrix(model.Placement));
  model.NegTranslation = {-10, 0, 0};
  TransformPointToModel(model, point);
  EXPECT_EQ(point, (Vec3{1, 2, 3}));
}

}  // namespace
}  // namespace vestan
