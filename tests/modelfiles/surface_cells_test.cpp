#include "modelfiles/surface_cells.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "modelfiles/surface_mesh_support.h"

namespace vestan {
namespace {

using testing::Box;
using testing::BoxCut;
using testing::Minus;

// Flag bytes that tell the values of a column apart: value k carries k + 1.
std::vector<uint8_t> CountingFlags(size_t n) {
  std::vector<uint8_t> flags(n);
  for (size_t k = 0; k < n; ++k) flags[k] = static_cast<uint8_t>(k + 1);
  return flags;
}

struct SpanCase {
  const char* row;
  std::vector<double> column;
  int32_t code;
  std::vector<double> values;
  std::vector<uint8_t> flags;  // the column positions (+ 1) the values came from
};

void ExpectSpan(const EdgeSpan& span, const SpanCase& c) {
  EXPECT_EQ(span.Code, c.code) << c.row;
  ASSERT_EQ(span.Count, static_cast<int32_t>(c.values.size())) << c.row;
  for (size_t k = 0; k < c.values.size(); ++k) {
    EXPECT_EQ(span.Values[k], c.values[k]) << c.row << " value " << k;
    EXPECT_EQ(span.Flags[k], c.flags[k]) << c.row << " flag " << k;
  }
}

// Every row of the single-interval table against the edge [2, 4].
TEST(SurfaceCells, OneIntervalAgainstAnEdge) {
  const SpanCase cases[] = {
      {"misses below", {0, 1}, kSpanNone, {}, {}},
      {"misses above", {5, 6}, kSpanNone, {}, {}},
      {"a = lo, b > hi", {2, 5}, kSpanFromLow, {2}, {1}},
      {"a < lo, b = hi", {1, 4}, kSpanToHigh, {4}, {2}},
      {"a < lo, b > hi", {1, 5}, kSpanToHigh, {4}, {2}},
      {"a = lo, b = hi", {2, 4}, kSpanExact, {2, 4}, {1, 2}},
      {"lo < a, b > hi", {3, 5}, kSpanFromInside, {3}, {1}},
      {"lo < a, b = hi", {3, 4}, kSpanInsideToHigh, {3, 4}, {1, 2}},
      {"a < lo, b inside", {1, 3}, kSpanToInside, {3}, {2}},
      {"a = lo, b inside", {2, 3}, kSpanLowToInside, {2, 3}, {1, 2}},
      {"both inside", {2.5, 3.5}, kSpanInside, {2.5, 3.5}, {1, 2}},
      {"b = lo", {1, 2}, kSpanTouchesLow, {2}, {2}},
      {"a = hi", {4, 5}, kSpanTouchesHigh, {4}, {1}},
  };
  for (const SpanCase& c : cases)
    ExpectSpan(ClassifySpanAgainstCell(c.column[0], 1, c.column[1], 2, 2, 4), c);
  bool covered = false;
  ClassifyColumnEdge(std::vector<double>{1, 5}, CountingFlags(2), 0, 2, 4, &covered);
  EXPECT_TRUE(covered);
  ClassifyColumnEdge(std::vector<double>{2, 5}, CountingFlags(2), 0, 2, 4, &covered);
  EXPECT_FALSE(covered);
}

// Every row of the folding table against the edge [2, 4], each reached by
// the intervals before it in the column; the flags name the values' sources.
TEST(SurfaceCells, ColumnFoldedOverAnEdge) {
  const SpanCase cases[] = {
      {"fewer than two values", {3}, kSpanNone, {}, {}},
      {"first value above hi", {5, 6}, kSpanNone, {}, {}},
      {"last value below lo", {0, 1}, kSpanNone, {}, {}},
      {"a = lo, b = hi", {2, 4}, kSpanExact, {2, 4}, {1, 2}},
      {"a = lo, b > hi", {2, 5}, kSpanFromLow, {2}, {1}},
      {"a = lo, b < hi, then none", {2, 3}, kSpanLowToInside, {2, 3}, {1, 2}},
      {"a = hi from nothing", {0, 1, 4, 5}, kSpanTouchesHigh, {4}, {3}},
      // Material touching both ends of an empty edge leaves it empty.
      {"a = hi after b = lo", {1, 2, 4, 5}, kSpanTouchesLow, {2}, {2}},
      {"a = hi after b inside", {1, 3, 4, 5}, kSpanToInside, {3}, {2}},
      {"a > hi after b inside", {1, 3, 4.5, 5}, kSpanToInside, {3}, {2}},
      {"a < lo, b = lo", {1, 2}, kSpanTouchesLow, {2}, {2}},
      {"a < lo, b = hi", {1, 4}, kSpanToHigh, {4}, {2}},
      {"a < lo, b > hi", {1, 5}, kSpanCovered, {}, {}},
      {"a < lo, b inside", {1, 3}, kSpanToInside, {3}, {2}},
      {"a < lo, b < lo, then more", {0, 1, 2, 4}, kSpanExact, {2, 4}, {3, 4}},
      {"starts inside, past hi, from nothing", {3, 5}, kSpanFromInside, {3}, {1}},
      {"starts inside, past hi, after b = lo", {1, 2, 3, 5}, kSpanFromInside, {3}, {3}},
      {"starts inside, past hi, after b inside", {1, 2.5, 3, 5}, kSpanCovered, {}, {}},
      {"starts inside, past hi, after lo to inside", {2, 2.5, 3, 5}, kSpanFromLow, {2}, {1}},
      {"starts inside, past hi, after inside", {2.2, 2.5, 3, 5}, kSpanFromInside, {2.2}, {1}},
      {"starts inside, to hi, from nothing", {3, 4}, kSpanInsideToHigh, {3, 4}, {1, 2}},
      {"starts inside, to hi, after b inside", {1, 2.5, 3, 4}, kSpanToHigh, {4}, {4}},
      {"starts inside, to hi, after lo to inside", {2, 2.5, 3, 4}, kSpanExact, {2, 4}, {1, 4}},
      {"starts inside, to hi, after inside", {2.2, 2.5, 3, 4}, kSpanInsideToHigh, {2.2, 4}, {1, 4}},
      {"inside, from nothing", {2.5, 3}, kSpanInside, {2.5, 3}, {1, 2}},
      {"inside after b inside", {1, 2.5, 3, 3.5}, kSpanToInside, {3.5}, {4}},
      {"inside after lo to inside", {2, 2.5, 3, 3.5}, kSpanLowToInside, {2, 3.5}, {1, 4}},
      {"inside after inside", {2.2, 2.5, 3, 3.5}, kSpanInside, {2.2, 3.5}, {1, 4}},
      // Two intervals meeting at m count as one.
      {"[a, m] and [m, b] over the edge", {1, 3, 3, 5}, kSpanCovered, {}, {}},
  };
  for (const SpanCase& c : cases) {
    EdgeSpan span;
    CollectColumnSpansInRange(c.column, CountingFlags(c.column.size()), 2, 4, span);
    ExpectSpan(span, c);
  }
}

TEST(SurfaceCells, ColumnEndsAndPointsHeld) {
  DexelModel model;
  testing::MakeSolidModel(model, {0, 0, 0}, {3, 3, 3}, 1.0,
                          Minus(Box({0, 0, 0}, {3, 3, 3}), {BoxCut({-1, -1, 1.5}, {1.5, 4, 4})}));
  std::vector<double> first, last;
  std::vector<uint8_t> firstFlags, lastFlags;
  CollectColumnEnds(model, kDirectionX, first, firstFlags, last, lastFlags);
  // X column (j, k) is numbered ny k + j: at z 2 it starts at the cut.
  EXPECT_EQ(first[ColumnIndexX(model, 0, 2)], 1.5);
  EXPECT_EQ(last[ColumnIndexX(model, 0, 2)], 3);
  EXPECT_EQ(firstFlags[ColumnIndexX(model, 0, 2)], 0x10);
  // A Z column inside the cut holds [0, 1.5]; one made empty gives first
  // above last.
  ASSERT_TRUE(SetDexelColumn(model.ZSet(), ColumnIndexZ(model, 3, 3), {}, {}, {}));
  CollectColumnEnds(model, kDirectionZ, first, firstFlags, last, lastFlags);
  EXPECT_EQ(last[ColumnIndexZ(model, 0, 0)], 1.5);
  EXPECT_EQ(first[ColumnIndexZ(model, 3, 3)], 3);
  EXPECT_EQ(last[ColumnIndexZ(model, 3, 3)], 0);
  // The three columns through a point vote: (0, 0, 2) lies in the cut.
  EXPECT_TRUE(GridPointMaterial(model, {2, 2, 1}));
  EXPECT_FALSE(GridPointMaterial(model, {0, 0, 2}));
}

// Twice the vector area of a closed polygon: its normal by the right hand.
Vec3 AreaNormal(std::span<const SurfacePoint> polygon) {
  Vec3 sum{};
  for (size_t k = 0; k < polygon.size(); ++k)
    sum = VectorAdd(sum,
                    VectorCross(polygon[k].Position, polygon[(k + 1) % polygon.size()].Position));
  return sum;
}

// One cell of the block below z 2.25, with and without the faces on the
// grid's sides: the surface is the square at 2.25, wound with its normal
// up; each outside face's material is the rectangle below it, wound
// outward.
TEST(SurfaceCells, CellLoopsWindOutOfTheMaterial) {
  DexelModel model;
  testing::MakeSolidModel(model, {0, 0, 0}, {1, 1, 3}, 1.0, Box({0, 0, 0}, {1, 1, 2.25}));
  GridCell cell;
  std::vector<SurfaceSegment> segments;
  CellPolygons polygons;
  ASSERT_TRUE(BuildCellSurface(model, 0, 0, 2, 0, cell, segments, polygons));
  EXPECT_EQ(cell.MaterialCorners, 0x0F);  // the four at z 2
  ASSERT_EQ(polygons.Count(), 1u);
  EXPECT_EQ(polygons.Groups[0], kCellSurfaceGroup);
  ASSERT_EQ(polygons.Polygon(0).size(), 4u);
  for (const SurfacePoint& p : polygons.Polygon(0)) EXPECT_EQ(p.Position[2], 2.25);
  const Vec3 up = AreaNormal(polygons.Polygon(0));
  EXPECT_GT(up[2], 0);

  // Every face of the cell lies on the grid's outside: the four side faces
  // get the material's outline, the bottom its whole square.
  const uint8_t sides = CellGridSides(model, 0, 0, 2);
  EXPECT_EQ(sides, 0x3F ^ 0x10);  // not the bottom: the grid goes on below
  ASSERT_TRUE(BuildCellSurface(model, 0, 0, 2, sides, cell, segments, polygons));
  ASSERT_EQ(polygons.Count(), 5u);
  for (size_t p = 0; p + 1 < polygons.Count(); ++p) {
    const int32_t face = polygons.Groups[p];
    const CellFaceAxes a = FaceAxes(face);
    for (const SurfacePoint& q : polygons.Polygon(p))
      EXPECT_EQ(q.Position[a.Normal], a.Side ? 1.0 : (a.Normal == 2 ? 2.0 : 0.0)) << face;
    EXPECT_GT(AreaNormal(polygons.Polygon(p))[a.Normal] * (a.Side ? 1 : -1), 0) << face;
  }
  EXPECT_EQ(polygons.Groups.back(), kCellSurfaceGroup);
}

// Points chain by key: two loops through the same place stay apart, an open
// chain is dropped, and a repeated place is kept once.
TEST(SurfaceCells, PolygonsChainByKey) {
  const auto point = [](double x, double y, uint8_t key) {
    return SurfacePoint{{x, y, 0}, 0, key};
  };
  const std::vector<SurfaceSegment> segments{
      // A triangle and a square sharing the place (1, 0) under two keys.
      {point(0, 0, 1), point(1, 0, 2), 6},
      {point(1, 0, 3), point(2, 0, 4), 6},
      {point(1, 0, 2), point(0, 1, 5), 6},
      {point(0, 1, 5), point(0, 0, 1), 6},
      {point(2, 0, 4), point(2, 1, 6), 6},
      {point(2, 1, 6), point(1, 1, 7), 6},
      {point(1, 1, 7), point(1, 0, 3), 6},
      // A chain that does not close.
      {point(5, 5, 20), point(6, 5, 21), 2},
      {point(6, 5, 21), point(6, 6, 22), 2},
      // A loop with a point repeated under another key, and a sliver.
      {point(0, 0, 30), point(3, 0, 31), 4},
      {point(3, 0, 31), point(3, 0, 32), 4},
      {point(3, 0, 32), point(3, 3, 33), 4},
      {point(3, 3, 33), point(0, 0, 30), 4},
      {point(7, 7, 40), point(8, 8, 41), 5},
      {point(8, 8, 41), point(7, 7, 40), 5},
  };
  CellPolygons polygons;
  AssembleCellPolygons(segments, polygons);
  ASSERT_EQ(polygons.Count(), 3u);
  EXPECT_EQ(polygons.Groups, (std::vector<int32_t>{4, 6, 6}));
  EXPECT_EQ(polygons.Polygon(0).size(), 3u);
  EXPECT_EQ(polygons.Polygon(1).size(), 3u);
  EXPECT_EQ(polygons.Polygon(2).size(), 4u);
}

TEST(SurfaceCells, BoundaryFlagsNeedTheSideAndARectangle) {
  DexelModel model;
  testing::MakeSolidModel(model, {0, 0, 0}, {3, 1, 1}, 1.0, Box({0, 0, 0}, {3, 1, 1}));
  OuterFaceCells outer;
  for (int face = 0; face < kCellFaces; ++face) {
    const CellFaceAxes a = FaceAxes(face);
    const std::array<int32_t, 3> n{model.CountX, model.CountY, model.CountZ};
    outer.Written[face].assign(static_cast<size_t>((n[a.U] - 1) * (n[a.V] - 1)), 0);
  }
  // Face 5 (+Z) cells are (i, j); face 0 (-X) cells (j, k).
  outer.Written[5][2 + 3 * 0] = 1;
  outer.Written[0][0 + 1 * 0] = 1;
  EXPECT_EQ(GetCellBoundaryFlags(model, 2, 0, 0, outer), 1 << 5);
  EXPECT_EQ(GetCellBoundaryFlags(model, 1, 0, 0, outer), 0);
  EXPECT_EQ(GetCellBoundaryFlags(model, 0, 0, 0, outer), 1 << 0);
  EXPECT_EQ(CellGridSides(model, 1, 0, 0), (1 << 2) | (1 << 3) | (1 << 4) | (1 << 5));
}

}  // namespace
}  // namespace vestan
