// Slicing STL meshes onto dexel lines: the normals and transforms of a
// vertex, the raw hits of the standard slicer on boxes, quads and slanted
// facets, and the one-side slicer on a mushroom.
#include "modelfiles/stl_slicing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "model/box_models.h"
#include "model/triangle_geometry.h"
#include "modelfiles/model_file_support.h"
#include "modelfiles/stl_file.h"
#include "support/scratch_folder.h"
#include "support/stl_meshes.h"

namespace vestan {
namespace {

using testing::BoxMesh;
using testing::MakeGrid;
using testing::Mesh;
using testing::ScratchFolder;

// The raw hits of a column, sorted (they come in the order of the facets).
testing::ColumnContents HitsAt(const DexelModel& model, int direction, int32_t first,
                               int32_t second) {
  testing::ColumnContents hits =
      testing::ReadColumn(model, direction, testing::ColumnAt(model, direction, first, second));
  std::vector<std::pair<double, uint8_t>> sorted;
  for (size_t i = 0; i < hits.Values.size(); ++i) sorted.push_back({hits.Values[i], hits.Flags[i]});
  std::sort(sorted.begin(), sorted.end());
  for (size_t i = 0; i < sorted.size(); ++i) std::tie(hits.Values[i], hits.Flags[i]) = sorted[i];
  return hits;
}

TEST(NormalizeFacetNormal, KeepsFortyFiveDegreePlanesExact) {
  struct Case {
    Vec3 In;
    Vec3 Out;
  };
  const double third = 1 / std::sqrt(3.0);
  const Case cases[] = {
      {{0, 3, -3}, {0, 1, -1}},           {{-2, 0, -2}, {-1, 0, -1}}, {{5, -5, 0}, {1, -1, 0}},
      {{-5, 5, 0}, {-1, 1, 0}},           {{3, 4, 0}, {0.6, 0.8, 0}}, {{0, 0, -7}, {0, 0, -1}},
      {{2, 2, 2}, {third, third, third}},
  };
  for (const Case& c : cases) {
    Vec3 out{9, 9, 9};
    NormalizeFacetNormal(c.In, out);
    for (int k = 0; k < 3; ++k)
      EXPECT_NEAR(out[k], c.Out[k], 1e-15) << c.In[0] << " " << c.In[1] << " " << c.In[2];
  }
  Vec3 out{9, 9, 9};
  NormalizeFacetNormal({0, 0, 0}, out);
  EXPECT_EQ(out, (Vec3{9, 9, 9}));
}

TEST(StlImportTransform, ScaleAndMirrorOfPointsAndNormals) {
  StlImportOptions options;
  options.Scale = {1, 0, 0};
  options.ScaleRate = {2, 1, 1};
  options.ScaleCentre = {10, 0, 0};
  options.Mirror = {0, 0, 1};
  options.MirrorCentre = {0, 0, 5};
  Vec3 p{11, 3, 1};
  ScaleMirrorStlPoint(options, p);
  EXPECT_EQ(p, (Vec3{12, 3, 9}));
  // One axis scaled: the normal cannot follow and is dropped.
  Vec3 n{0, 0, 1};
  ScaleMirrorStlNormal(options, n);
  EXPECT_EQ(n, (Vec3{0, 0, 0}));
  // All three alike: it stays, negated on the mirrored axis.
  options.Scale = {1, 1, 1};
  options.ScaleRate = {2, 2, 2};
  n = {0.6, 0, 0.8};
  ScaleMirrorStlNormal(options, n);
  EXPECT_EQ(n, (Vec3{0.6, 0, -0.8}));
}

TEST(StlImportTransform, PlacementTakesFileVerticesIntoModelCoordinates) {
  WorkOffsetFrame frame;
  frame.Origin = {100, 50, 0};
  frame.FrameOffset = 1;
  frame.FrameRotated = 1;
  frame.Matrix = {0, 1, 0, -1, 0, 0, 0, 0, 1};  // a quarter turn about Z
  frame.InverseMatrix = {0, -1, 0, 1, 0, 0, 0, 0, 1};
  DexelModel model;

  // A model placed as the work frame, file in work coordinates: nothing moves.
  model.Placement = {0, 1, 0, -1, 0, 0, 0, 0, 1, 100, 50, 0};
  StlImportTransform t;
  SetupStlImportTransform(t, model, 1, frame);
  EXPECT_EQ(t.Active, 0);
  Vec3 p{1.25, -3.5, 7};
  PlaceStlPoint(t, p);
  EXPECT_EQ(p, (Vec3{1.25, -3.5, 7}));

  // Identity placement, file in machine coordinates: nothing to do.
  model.Placement = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  SetupStlImportTransform(t, model, 0, frame);
  EXPECT_EQ(t.Active, 0);

  // A placed model, file in machine coordinates: the placement's inverse.
  model.Placement = {0, 1, 0, -1, 0, 0, 0, 0, 1, 10, 20, 30};
  SetupStlImportTransform(t, model, 0, frame);
  EXPECT_EQ(t.Active, 1);
  EXPECT_EQ(t.Rotate, 1);
  EXPECT_EQ(t.Translate, 1);
  const Vec3 local{1, 2, 3};
  p = TransformPointAffine(model.Placement, local);
  PlaceStlPoint(t, p);
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(p[k], local[k], 1e-12);

  // The same model, file in work coordinates: through the frame first.
  SetupStlImportTransform(t, model, 1, frame);
  p = local;
  PlaceStlPoint(t, p);
  const Vec3 machine = TransformPointAffine({0, 1, 0, -1, 0, 0, 0, 0, 1, 100, 50, 0}, local);
  const Vec3 expected = MultiplyMatrixVector(InvertMatrix3(PlacementMatrix(model.Placement)),
                                             VectorSub(machine, {10, 20, 30}));
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(p[k], expected[k], 1e-12);
  Vec3 n{1, 0, 0};
  RotateStlNormal(t, n);  // turned by the frame, then back by the model
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(n[k], (Vec3{1, 0, 0})[k], 1e-15);

  ResetStlImportFlags(t);
  EXPECT_EQ(t.Active + t.PlacementPrepared + t.Translate + t.Rotate, 0);
}

TEST(LineClearlyMissesTriangle, NeverSkipsALineTheExactTestWouldHit) {
  // Random triangles of every scale and shape, points on and near their
  // edges and vertices, inside and outside: a skipped point is one the exact
  // test calls outside.
  std::mt19937 random(35);
  std::uniform_real_distribution<double> unit(-1, 1);
  std::uniform_int_distribution<int> small(-3, 3);
  int skipped = 0;
  for (int n = 0; n < 20000; ++n) {
    const double scale = std::pow(10.0, small(random));
    const Vec3 shift{unit(random) * 1000, unit(random) * 1000, 0};
    std::array<double, 9> t{};
    for (int k = 0; k < 3; ++k)
      for (int a = 0; a < 2; ++a)
        t[3 * k + a] = n % 3 == 0 ? small(random) * scale : shift[a] + unit(random) * scale;
    if (n % 7 == 0) {  // a sliver: the third vertex close to the first edge
      for (int a = 0; a < 2; ++a) t[6 + a] = (t[a] + t[3 + a]) / 2 + unit(random) * scale * 1e-7;
    }
    const int k = n % 3, l = (k + 1) % 3;
    const double s = unit(random) * 1.5;
    const double offset = unit(random) * scale * std::pow(10.0, -small(random) - 4);
    const double ex = t[3 * l] - t[3 * k], ey = t[3 * l + 1] - t[3 * k + 1];
    // Along an edge (beyond its ends too), pushed off it by a little.
    double u = t[3 * k] + s * ex - offset * ey, v = t[3 * k + 1] + s * ey + offset * ex;
    if (n % 5 == 0) {
      u = t[3 * k];
      v = t[3 * k + 1] + offset;
    }
    const Vec3 point{u, v, 0};
    if (detail::LineClearlyMissesTriangle(t, 0, 1, u, v)) {
      ++skipped;
      ASSERT_EQ(IntersectTriangleWithLine(t, 0, 1, point), 0)
          << n << ": " << t[0] << " " << t[1] << " " << t[3] << " " << t[4] << " " << t[6] << " "
          << t[7] << " at " << u << " " << v;
    }
  }
  EXPECT_GT(skipped, 5000);
}

struct Slicing : ::testing::Test {
  ScratchFolder Scratch;
  DexelModel Model;
  Vec3 Max{}, Min{};

  std::string Write(const Mesh& mesh, bool ascii = false) {
    return Scratch.Write(ascii ? "mesh.stl" : "mesh.STL",
                         ascii ? testing::AsciiStl(mesh) : testing::BinaryStl(mesh));
  }
  int32_t Slice(const std::string& path, StlSliceAxes axes) {
    return SliceStlIntoModel(DetectStlKind(path), path, axes, Model, Max, Min, {});
  }
};

TEST_F(Slicing, ClosedBoxGivesTwoHitsPerLineAndFlagsOnItsRim) {
  MakeGrid(Model, {0, 0, 0}, {6, 5, 4}, 1.0);
  for (const bool ascii : {false, true}) {
    const std::string path = Write(BoxMesh({1, 1, 0.5}, {4, 3, 2.5}), ascii);
    ASSERT_EQ(Slice(path, kSliceZ), kModelOk);
    // Inside the rectangle, away from every facet edge: one hit per face.
    testing::ColumnContents hits = HitsAt(Model, kDirectionZ, 2, 2);
    EXPECT_EQ(hits.Values, (std::vector<double>{0.5, 2.5}));
    EXPECT_EQ(hits.Flags, (std::vector<uint8_t>{0, 0}));
    // On the rim x = 1: the edge of one facet of each face, flagged.
    hits = HitsAt(Model, kDirectionZ, 1, 2);
    EXPECT_EQ(hits.Values, (std::vector<double>{0.5, 2.5}));
    EXPECT_EQ(hits.Flags, (std::vector<uint8_t>{kHitFirstMin, kHitFirstMin}));
    // Through the corner (1, 1): every facet at that vertex gives its hit.
    hits = HitsAt(Model, kDirectionZ, 1, 1);
    EXPECT_EQ(hits.Values, (std::vector<double>{0.5, 0.5, 2.5, 2.5}));
    for (uint8_t f : hits.Flags)
      EXPECT_EQ(f & (kHitFirstMin | kHitSecondMin), kHitFirstMin | kHitSecondMin);
    // Outside: nothing.
    EXPECT_TRUE(HitsAt(Model, kDirectionZ, 5, 2).Values.empty());
    EXPECT_EQ(Max[2], 2.5);
    EXPECT_EQ(Min[2], 0.5);
    // Along X through the middle of the box's YZ faces.
    ASSERT_EQ(Slice(path, kSliceX), kModelOk);
    EXPECT_EQ(HitsAt(Model, kDirectionX, 2, 1).Values, (std::vector<double>{1, 4}));
  }
}

TEST_F(Slicing, LineThroughTheDiagonalOfAQuadTakesTheEdgeValueFromBoth) {
  // A quad whose diagonal A-C runs along x = 2, rising from z 0 to 2.
  const Vec3 a{2, 0, 0}, b{4, 2, 1}, c{2, 4, 2}, d{0, 2, 1};
  MakeGrid(Model, {0, 0, -1}, {5, 5, 4}, 1.0);
  ASSERT_EQ(Slice(Write({{a, b, c}, {a, c, d}}), kSliceZ), kModelOk);
  EXPECT_EQ(HitsAt(Model, kDirectionZ, 2, 1).Values, (std::vector<double>{0.5, 0.5}));
  EXPECT_EQ(HitsAt(Model, kDirectionZ, 2, 2).Values, (std::vector<double>{1, 1}));
  EXPECT_EQ(HitsAt(Model, kDirectionZ, 2, 3).Values, (std::vector<double>{1.5, 1.5}));
}

TEST_F(Slicing, FortyFiveDegreeFacetKeepsAnExactPlane) {
  // z = x over a right triangle; pitch 0.1 puts the lines off binary values.
  MakeGrid(Model, {0, 0, 0}, {21, 21, 21}, 0.1);
  ASSERT_EQ(Slice(Write({{{{0, 0, 0}, {2, 0, 2}, {0, 2, 0}}}}), kSliceZ), kModelOk);
  int checked = 0;
  for (int32_t i = 1; i < 20; ++i)
    for (int32_t j = 1; i + j < 20; ++j) {
      const testing::ColumnContents hits = HitsAt(Model, kDirectionZ, i, j);
      ASSERT_EQ(hits.Values.size(), 1u) << i << " " << j;
      EXPECT_EQ(hits.Values[0], Model.GridX[i]) << i << " " << j;
      ++checked;
    }
  EXPECT_GT(checked, 100);
}

TEST_F(Slicing, FacetsAlongTheLineAndOutsideTheGridGiveNothing) {
  MakeGrid(Model, {0, 0, 0}, {5, 5, 5}, 1.0);
  // A wall standing along Z, and a facet beyond the grid.
  const Mesh mesh{{{{2, 0, 0}, {2, 4, 0}, {2, 4, 4}}}, {{{10, 10, 1}, {12, 10, 1}, {10, 12, 2}}}};
  ASSERT_EQ(Slice(Write(mesh), kSliceZ), kModelOk);
  for (int32_t c = 0; c < Model.ZSet().Columns; ++c)
    EXPECT_EQ(DexelColumnCount(Model.ZSet(), c), 0);
}

TEST_F(Slicing, TooManyFacetsOnOneLineAreRefused) {
  MakeGrid(Model, {0, 0, 0}, {3, 3, 3}, 1.0);
  Mesh stack;
  for (int k = 0; k <= kMaxColumnValues; ++k)
    stack.push_back({{{0.5, 0.5, k * 1e-4}, {1.5, 0.5, k * 1e-4}, {0.5, 1.5, k * 1e-4}}});
  EXPECT_EQ(Slice(Write(stack), kSliceZ), kModelBadGrid);
  for (int32_t c = 0; c < Model.ZSet().Columns; ++c)
    EXPECT_EQ(DexelColumnCount(Model.ZSet(), c), 0);
  stack.pop_back();
  EXPECT_EQ(Slice(Write(stack), kSliceZ), kModelOk);
  EXPECT_EQ(DexelColumnCount(Model.ZSet(), testing::ColumnAt(Model, kDirectionZ, 1, 1)),
            kMaxColumnValues);
}

TEST_F(Slicing, OneSideFillsFromTheGridBottomUpToTheHighestSurface) {
  // A mushroom on a grid wider than its cap.
  MakeGrid(Model, {-8, -8, 0}, {17, 17, 10}, 1.0);
  const std::string path = Write(testing::MushroomMesh());
  Max = {8, 8, 9};
  Min = {-8, -8, 0};
  SliceStlIntoModelA(DetectStlKind(path), path, kSliceZ, 1, Model, Max, Min, {});
  const auto column = [&](int32_t i, int32_t j) {
    return testing::Column(Model, kDirectionZ, i, j);
  };
  EXPECT_EQ(column(8, 8), (std::vector<double>{0, 9}));    // over the stem
  EXPECT_EQ(column(4, 8), (std::vector<double>{0, 9}));    // under the cap: buried
  EXPECT_EQ(column(15, 15), (std::vector<double>{0, 0}));  // over no facet: empty
  EXPECT_EQ(Max[2], 9);

  // From below: the stem's foot where it stands, the cap's underside beside.
  Max = {8, 8, 9};
  Min = {-8, -8, 0};
  SliceStlIntoModelA(DetectStlKind(path), path, kSliceZ, -1, Model, Max, Min, {});
  EXPECT_EQ(column(8, 8), (std::vector<double>{0, 9}));
  EXPECT_EQ(column(4, 8), (std::vector<double>{6, 9}));
  EXPECT_EQ(column(15, 15), (std::vector<double>{9, 9}));
  EXPECT_EQ(Min[2], 0);
}

TEST_F(Slicing, BoundsAfterScaleAndMirror) {
  const std::string path = Write(BoxMesh({1, 2, 3}, {4, 5, 6}));
  Vec3 max, min;
  ASSERT_TRUE(MeasureStlBounds(DetectStlKind(path), path, {}, max, min));
  EXPECT_EQ(min, (Vec3{1, 2, 3}));
  EXPECT_EQ(max, (Vec3{4, 5, 6}));
  StlImportOptions mirrored;
  mirrored.Mirror = {1, 0, 0};
  ASSERT_TRUE(MeasureStlBounds(DetectStlKind(path), path, mirrored, max, min));
  EXPECT_EQ(min[0], -4);
  EXPECT_EQ(max[0], -1);
  // No facets, or a vertex that is not a number: no bounds.
  const std::string empty = Scratch.Write("empty.stl", testing::BinaryStl({}));
  EXPECT_FALSE(MeasureStlBounds(DetectStlKind(empty), empty, {}, max, min));
  const std::string broken =
      Write({{{{0, 0, 0}, {1, 0, 0}, {0, std::numeric_limits<double>::quiet_NaN(), 0}}}});
  EXPECT_FALSE(MeasureStlBounds(DetectStlKind(broken), broken, {}, max, min));
}

}  // namespace
}  // namespace vestan
