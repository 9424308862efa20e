#include "machine/interference_geometry.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "machine/interference_transforms.h"
#include "machine/reference_structure_check/reference_structure_check.h"
#include "model/stock.h"
#include "model/dexel_model.h"
#include "model/part_transforms.h"

namespace vestan {
namespace {

// The facet (0,0,0) (10,0,0) (0,10,0) in the plane z = 0, upward normal.
constexpr std::array<double, 9> kFacet{0, 0, 0, 10, 0, 0, 0, 10, 0};
constexpr TrianglePlane kFacetPlane{0, 0, 1, 0};

TEST(IntersectSegment, EndsOnTheFacetMeetItAndSegmentsInItsPlaneNever) {
  struct Case {
    std::string Name;
    Vec3 P0, P1;
    int32_t Expected;
  };
  const std::vector<Case> cases{
      {"through the inside", {2, 2, 5}, {2, 2, -5}, 1},
      {"ends on the facet (t = 1)", {2, 2, 5}, {2, 2, 0}, 1},
      {"starts on the facet (t = 0)", {2, 2, 0}, {2, 2, 5}, 1},
      {"through an edge", {5, 0, 1}, {5, 0, -1}, 1},
      {"through a vertex", {10, 0, 1}, {10, 0, -1}, 1},
      {"stops short", {2, 2, 5}, {2, 2, 0.001}, 0},
      {"through the plane beside the facet", {8, 8, 1}, {8, 8, -1}, 0},
      {"in the facet's plane", {-1, 2, 0}, {11, 2, 0}, 0},
      {"parallel above it", {-1, 2, 1}, {11, 2, 1}, 0},
  };
  for (const Case& c : cases) {
    Vec3 point{};
    EXPECT_EQ(IntersectSegmentPlane(kFacetPlane, kFacet, c.P0, c.P1, point), c.Expected) << c.Name;
    EXPECT_EQ(IntersectSegmentTrianglePlane(kFacetPlane, kFacet, 2, 0, 1, c.P0, c.P1, point),
              c.Expected)
        << c.Name << " (axis plane form)";
  }
  Vec3 point{};
  ASSERT_EQ(IntersectSegmentPlane(kFacetPlane, kFacet, {2, 3, 4}, {2, 3, -4}, point), 1);
  EXPECT_EQ(point, (Vec3{2, 3, 0}));
}

StlFacetRecord RecordOf(int32_t kind, const TrianglePlane& plane) {
  StlFacetRecord record;
  record.AxisPlane = kind;
  record.Plane = plane;
  return record;
}

TEST(IntersectTriangleEdgesWithFacet, OnlyTheTrianglesEdgesAreTested) {
  const StlFacetRecord axisPlane = RecordOf(kFacetPlaneZ, kFacetPlane);
  const StlFacetRecord general = RecordOf(kFacetPlaneGeneral, kFacetPlane);
  // An upright triangle whose edge 1-2 pierces the facet.
  const std::array<double, 9> piercing{2, 2, 5, 2, 2, -5, 3, 2, 5};
  // A large upright triangle the facet passes through the middle of: none of
  // its edges crosses the facet (they cross the plane outside it).
  const std::array<double, 9> around{-50, 1, -50, 50, 1, -50, 0, 1, 50};
  // Flat on the facet's plane: its edges lie in the plane.
  const std::array<double, 9> flat{1, 1, 0, 3, 1, 0, 1, 3, 0};
  for (const StlFacetRecord& record : {axisPlane, general}) {
    const std::string form = record.AxisPlane == kFacetPlaneZ ? "axis plane" : "general";
    EXPECT_EQ(IntersectTriangleEdgesWithFacet(kFacet, record, piercing), 1) << form;
    EXPECT_EQ(IntersectTriangleEdgesWithFacet(kFacet, record, around), 0) << form;
    EXPECT_EQ(IntersectTriangleEdgesWithFacet(kFacet, record, flat), 0) << form;
  }
  // An upright facet x = 4 (kind 0) met by a horizontal triangle's edge.
  const std::array<double, 9> upright{4, 0, 0, 4, 10, 0, 4, 0, 10};
  const StlFacetRecord x = RecordOf(kFacetPlaneX, {1, 0, 0, -4});
  EXPECT_EQ(IntersectTriangleEdgesWithFacet(upright, x, std::array<double, 9>{0, 2, 2, 8, 2, 2,
                                                                              0, 3, 2}),
            1);
  EXPECT_EQ(IntersectTriangleEdgesWithFacet(upright, x, std::array<double, 9>{0, 2, 2, 3, 2, 2,
                                                                              0, 3, 2}),
            0);
}

// One Z column at (0, 0) of a 2 x 2 grid holding values; the others empty.
struct OneColumn {
  explicit OneColumn(const std::vector<double>& values) {
    set.Counts.assign(4, 0);
    set.Values.assign(4 * kDexelStride, 0.0);
    set.Flags.assign(4 * kDexelStride, 0);
    set.Attributes.assign(4 * kDexelStride, 0);
    const std::vector<uint8_t> flags(values.size(), 0);
    const std::vector<int32_t> attributes(values.size(), 0);
    EXPECT_TRUE(SetDexelColumn(set, 0, values, flags, attributes));
  }
  int32_t Test(const std::array<double, 9>& triangle) const {
    TrianglePlane plane{};
    const DexelWindow window{2, 0, 1, 0, 1, 0, 1, 2, lines, lines};
    return TestTriangleAgainstDexels(triangle, plane, window, set);
  }
  DexelSet set;
  std::vector<double> lines{0.0, 1.0};
};

std::array<double, 9> FlatTriangleAt(double z) { return {-1, -1, z, 3, -1, z, -1, 3, z}; }

TEST(TestTriangleAgainstDexels, AFlatTriangleMeetsTheColumnAtItsEndButNotBeyond) {
  const OneColumn column({0, 10});
  EXPECT_EQ(column.Test(FlatTriangleAt(10)), 1);
  EXPECT_EQ(column.Test(FlatTriangleAt(0)), 1);
  EXPECT_EQ(column.Test(FlatTriangleAt(5)), 1);
  EXPECT_EQ(column.Test(FlatTriangleAt(10.001)), 0);
  EXPECT_EQ(column.Test(FlatTriangleAt(-0.001)), 0);
  // Beside the column's line.
  EXPECT_EQ(column.Test({0.5, 0.5, 5, 0.9, 0.5, 5, 0.5, 0.9, 5}), 0);
  // Upright (its plane holds the line's direction): never seen.
  EXPECT_EQ(column.Test({0, -1, 2, 0, 1, 2, 0, 0, 8}), 0);
}

// Axes that are not X, Y and Z once each name no column and no plane: nothing
// is met and nothing is read beyond the triangle or the plane.
TEST(TestTriangleAgainstDexels, AxesOutsideXYZMeetNothing) {
  const OneColumn column({0, 10});
  const std::array<double, 9> triangle = FlatTriangleAt(5);
  for (const std::array<int, 3>& axes :
       {std::array<int, 3>{3, 0, 1}, std::array<int, 3>{2, -1, 1}, std::array<int, 3>{2, 2, 1}}) {
    TrianglePlane plane{};
    const DexelWindow window{axes[0], axes[1], axes[2], 0, 1, 0, 1, 2, column.lines, column.lines};
    EXPECT_EQ(TestTriangleAgainstDexels(triangle, plane, window, column.set), 0);
    Vec3 point;
    EXPECT_EQ(IntersectSegmentTrianglePlane({0, 0, 1, -5}, triangle, axes[0], axes[1], axes[2],
                                            {0, 0, 0}, {0, 0, 10}, point),
              0);
  }
}

TEST(TestTriangleAgainstDexels, ColumnsOfEveryLengthAreReadWhole) {
  // A gap between intervals is no material.
  const OneColumn gapped({0, 2, 4, 6});
  EXPECT_EQ(gapped.Test(FlatTriangleAt(3)), 0);
  EXPECT_EQ(gapped.Test(FlatTriangleAt(5)), 1);
  // The longest column a set holds: material only in its last interval.
  std::vector<double> values;
  for (int n = 0; n < kMaxColumnValues; ++n) values.push_back(n);
  const OneColumn longest(values);
  EXPECT_EQ(longest.Test(FlatTriangleAt(kMaxColumnValues - 1.5)), 1);
  EXPECT_EQ(longest.Test(FlatTriangleAt(kMaxColumnValues - 2.5)), 0);
}

// Random triangles of every size about the top of a stock, many of them
// dipping into it by a corner or an edge only, on all three sets with the
// whole grid as the window: the answer is the one the test gave when it
// judged every column under the window.
TEST(TestTriangleAgainstDexels, SameAnswersAsJudgingEveryColumn) {
  DexelModel model;
  ASSERT_EQ(CreateBoxModel(model, {0, 0, 0, 20, 20, 10}, 0.5), kModelOk);
  const DexelWindow zSet{2, 0, 1, 0, model.LastX, 0, model.LastY, model.CountX, model.GridX,
                         model.GridY};
  const DexelWindow xSet{0, 1, 2, 0, model.LastY, 0, model.LastZ, model.CountY, model.GridY,
                         model.GridZ};
  const DexelWindow ySet{1, 2, 0, 0, model.LastZ, 0, model.LastX, model.CountZ, model.GridZ,
                         model.GridX};
  std::mt19937 random(11);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  int hits = 0, misses = 0;
  for (int n = 0; n < 20000; ++n) {
    const double size = std::array<double, 4>{0.3, 2.0, 8.0, 40.0}[n % 4];
    const Vec3 centre{-3 + 26 * unit(random), -3 + 26 * unit(random), 8 + 4 * unit(random)};
    std::array<double, 9> t;
    for (int v = 0; v < 3; ++v)
      for (int k = 0; k < 3; ++k) t[3 * v + k] = centre[k] + size * (unit(random) - 0.5);
    // A quarter of them flat on an axis plane, on a grid line or between.
    if (n % 8 < 2) t[2] = t[5] = t[8] = n % 8 == 0 ? 10.0 : centre[2];
    for (const DexelWindow* w : {&zSet, &xSet, &ySet}) {
      const DexelSet& set = w == &zSet ? model.ZSet() : w == &xSet ? model.XSet() : model.YSet();
      TrianglePlane plane{}, referencePlane{};
      const int32_t expected = reference::TestTriangleAgainstDexels(t, referencePlane, *w, set);
      ASSERT_EQ(TestTriangleAgainstDexels(t, plane, *w, set), expected)
          << "triangle " << n << " on the set along axis " << w->K;
      ++(expected == 1 ? hits : misses);
    }
  }
  EXPECT_GT(hits, 1000);
  EXPECT_GT(misses, 1000);
}

TEST(TransformPointToModel, AnIdentityMatrixWithATranslationMovesOnly) {
  DexelModel model;
  model.Placement = {1, 0, 0, 0, 1, 0, 0, 0, 1, 5, -2, 1};
  model.NegTranslation = {-5, 2, -1};
  Vec3 point{5, 0, 0};
  TransformPointToModel(model, point);
  EXPECT_EQ(point, (Vec3{0, 2, -1}));
}

TEST(TransformPartGeometry, TheBoxMovesByThePosition) {
  Vec3 lo, hi;
  TransformPartGeometry({-1, -2, 0}, {1, 2, 30}, {10, 20, 5}, lo, hi);
  EXPECT_EQ(lo, (Vec3{9, 18, 5}));
  EXPECT_EQ(hi, (Vec3{11, 22, 35}));
}

// Rotary 1 about X, rotary 2 about Z, plain axes; (sin 1, cos 1, sin 2, cos 2).
MachineKinematics Machine(int32_t type) {
  MachineKinematics k;
  k.RotaryType = type;
  k.HeadPosition = {0, 0, 100};
  k.TablePosition = {10, 0, 0};
  k.TableOffset = {0, 5, 0};
  k.HeadOffset = {5, 0, 50};
  return k;
}

using PartTransform = Vec3 (*)(const PartTransformFrame&, const Vec3&, const Vec3&);

TEST(TransformInterferencePart, EveryFormByTypeAtQuarterTurnsAndTranslationAtZero) {
  struct Case {
    std::string Name;
    PartTransform Transform;
    int32_t Type;
    Vec3 AtQuarterTurns;
  };
  const std::vector<Case> cases{
      {"Part on MIX", TransformInterferencePart, kRotaryMix, {-102, -9, 103}},
      {"Part4 on HEAD", TransformInterferencePart4, kRotaryHead, {1, 12, 3}},
      {"Part4 on MIX", TransformInterferencePart4, kRotaryMix, {1, 112, 103}},
      {"Part2 on HEAD", TransformInterferencePart2, kRotaryHead, {-4, 12, 8}},
      {"Part3 on TABLE", TransformInterferencePart3, kRotaryTable, {8, -4, 2}},
      {"Part5 on TABLE", TransformInterferencePart5, kRotaryTable, {1, 7, 2}},
      {"Part5 on MIX", TransformInterferencePart5, kRotaryMix, {8, -9, -7}},
  };
  const Vec3 position{1, 2, 3};
  const Vec3 p{0, 0, -10};
  for (const Case& c : cases) {
    const MachineKinematics k = Machine(c.Type);
    EXPECT_EQ(c.Transform(MakePartTransformFrame(k, {1, 0, 1, 0}), position, p), c.AtQuarterTurns)
        << c.Name;
    EXPECT_EQ(c.Transform(MakePartTransformFrame(k, {0, 1, 0, 1}), position, p),
              (Vec3{1, 2, -7}))
        << c.Name << " with both angles 0";
  }
}

TEST(ComputeRotaryRadii, TipDistancesFromBothAxesByType) {
  const ControllerDefinition controller;
  MachineKinematics k = Machine(kRotaryTable);
  k.TablePosition = {};
  k.TableOffset = {};
  EXPECT_EQ(ComputeRotaryRadii(k, controller, 50, {30, 40, 0, 0, 0}),
            (std::array<double, 2>{40, 50}));
  k = Machine(kRotaryHead);
  k.HeadOffset = {};
  EXPECT_EQ(ComputeRotaryRadii(k, controller, 50, {30, 40, 0, 0, 0}),
            (std::array<double, 2>{150, 0}));
  k = Machine(kRotaryMix);
  EXPECT_EQ(ComputeRotaryRadii(k, controller, 50, {0, 0, 0, 0, 0}),
            (std::array<double, 2>{150, 10}));
  // A quarter turn of rotary 1 swings the tip onto Y: rotary 2 now sees it
  // 150 out and 10 across.
  EXPECT_DOUBLE_EQ(ComputeRotaryRadii(k, controller, 50, {0, 0, 0, 90, 0})[1],
                   std::sqrt(150.0 * 150 + 10 * 10));
  EXPECT_EQ(ComputeRotaryRadii(Machine(kRotaryNone), controller, 50, {1, 2, 3, 4, 5}),
            (std::array<double, 2>{0, 0}));
}

}  // namespace
}  // namespace vestan
