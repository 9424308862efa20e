#include "model/mesh_tool_cutting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "model/cut_statistics.h"
#include "model/cut_world.h"
#include "model/model_history.h"
#include "model/tool_pose_cutting.h"
#include "model/tool_world.h"

namespace vestan {
namespace {

using testing::CutWorld;
using testing::ExpectSameModel;
using testing::ExpectValues;
using testing::ToolWorld;

// A facet of three vertices; the cutter does not read the normal.
StlTriangle Facet(const Vec3& a, const Vec3& b, const Vec3& c) {
  return {0, 0, 0, a[0], a[1], a[2], b[0], b[1], b[2], c[0], c[1], c[2]};
}

// The mesh's facet count and box, as the STL reader leaves them.
void Finish(ImportedToolMesh& mesh) {
  mesh.FacetCount = static_cast<int32_t>(mesh.Triangles.size());
  mesh.BoxMin = {1e11, 1e11, 1e11};
  mesh.BoxMax = {-1e11, -1e11, -1e11};
  for (const StlTriangle& t : mesh.Triangles) {
    for (int v = 0; v < 3; ++v) {
      for (int k = 0; k < 3; ++k) {
        mesh.BoxMin[k] = std::min(mesh.BoxMin[k], t[3 + 3 * v + k]);
        mesh.BoxMax[k] = std::max(mesh.BoxMax[k], t[3 + 3 * v + k]);
      }
    }
  }
}

// A closed box of 12 facets, each side split along a diagonal.
void AddBox(ImportedToolMesh& mesh, const Vec3& low, const Vec3& high) {
  const auto corner = [&](int i) {
    return Vec3{(i & 1) ? high[0] : low[0], (i & 2) ? high[1] : low[1], (i & 4) ? high[2] : low[2]};
  };
  // The sides as corner indexes around each face.
  const int sides[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                           {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  for (const auto& s : sides) {
    mesh.Triangles.push_back(Facet(corner(s[0]), corner(s[1]), corner(s[2])));
    mesh.Triangles.push_back(Facet(corner(s[0]), corner(s[2]), corner(s[3])));
  }
  Finish(mesh);
}

// A closed cylinder about the Z axis from z 0 to height: n side quads of two
// facets and a fan of n facets at each end, 4n facets. The rim starts a
// quarter step past the X axis, so no rim vertex lies on an axis line through
// the centre.
void AddCylinder(ImportedToolMesh& mesh, double radius, double height, int n) {
  const auto rim = [&](int k, double z) {
    const double a = kTwoPi * (k + 0.25) / n;
    return Vec3{radius * std::cos(a), radius * std::sin(a), z};
  };
  for (int k = 0; k < n; ++k) {
    const Vec3 b0 = rim(k, 0), b1 = rim(k + 1, 0), t0 = rim(k, height), t1 = rim(k + 1, height);
    mesh.Triangles.push_back(Facet(b0, b1, t1));
    mesh.Triangles.push_back(Facet(b0, t1, t0));
    mesh.Triangles.push_back(Facet({0, 0, 0}, b1, b0));
    mesh.Triangles.push_back(Facet({0, 0, height}, t0, t1));
  }
  Finish(mesh);
}

// A closed double pyramid: the ring of four and an apex on either side.
void AddDoublePyramid(ImportedToolMesh& mesh, const std::array<Vec3, 4>& ring, const Vec3& top,
                      const Vec3& bottom) {
  for (int k = 0; k < 4; ++k) {
    mesh.Triangles.push_back(Facet(ring[k], ring[(k + 1) % 4], top));
    mesh.Triangles.push_back(Facet(ring[(k + 1) % 4], ring[k], bottom));
  }
  Finish(mesh);
}

// A cut world with a mesh tool held by the machine the reference length
// above its tool origin.
struct MeshWorld : CutWorld {
  ImportedToolMesh Mesh;
  MachinePositionState Position;

  MeshWorld() {
    Cut.Records.Mesh = &Mesh;
    Cut.Records.Position = &Position;
    Position.ReferenceLength = 100;
  }
  // Puts the mesh's tool origin at tip: tool coordinates become model
  // coordinates moved by tip.
  void Place(const Vec3& tip) {
    const double top = tip[2] + Position.ReferenceLength;
    Position.ToolFrame = {1, 0, 0, 0, 1, 0, 0, 0, 1, tip[0], tip[1], top};
  }
  // Cuts with every column of the grid in range.
  void CutAt(const Vec3& tip) {
    Place(tip);
    SetSegment(tip, {0, 0, 1}, 0);
    CutWithMeshTool(Cut, Model());
  }
  std::vector<double> Crossings(int direction, int32_t a, int32_t b) const {
    const CrossingSet& set = Cut.MeshCrossings.Directions[direction];
    const int32_t entry = set.Entry[static_cast<size_t>(ColumnIndex(direction, a, b))];
    if (entry < 0) return {};
    const std::span<const double> values = set.Touched[static_cast<size_t>(entry)].Values();
    return {values.begin(), values.end()};
  }
};

TEST(MeshToolCrossings, AColumnTakesAtMostTheColumnLimit) {
  CrossingColumn column;
  for (int32_t k = 0; k < kDexelStride; ++k) ASSERT_TRUE(AppendDoubleToArray(column, k));
  EXPECT_TRUE(column.Spill.empty());
  // The ninth moves the list out of its inline slots.
  ASSERT_TRUE(AppendDoubleToArray(column, kDexelStride));
  ASSERT_EQ(column.Spill.size(), static_cast<size_t>(kDexelStride + 1));
  for (int32_t k = kDexelStride + 1; k < kMaxColumnValues; ++k)
    ASSERT_TRUE(AppendDoubleToArray(column, k));
  EXPECT_FALSE(AppendDoubleToArray(column, -1));
  EXPECT_EQ(column.Count, kMaxColumnValues);
  EXPECT_EQ(column.Spill.size(), static_cast<size_t>(kMaxColumnValues));
  const std::span<const double> values = column.Values();
  for (int32_t k = 0; k < kMaxColumnValues; ++k) ASSERT_EQ(values[k], k);
}

TEST(MeshToolCrossings, CrossingsPastTheColumnLimitAreLeftOut) {
  // 10001 facets share their apex (3, 3, 5.5), which only the Z line (3, 3)
  // meets: the first 10000 are kept, the last is counted and left out.
  MeshWorld w;
  w.MakeBox({0, 0, 0, 6, 6, 10}, 1.0);
  constexpr int kFacets = kMaxColumnValues + 1;
  for (int k = 0; k < kFacets; ++k) {
    const double a0 = kTwoPi * k / kFacets, a1 = kTwoPi * (k + 1) / kFacets;
    w.Mesh.Triangles.push_back(Facet({3, 3, 5.5},
                                     {3 + 0.3 * std::cos(a0), 3 + 0.3 * std::sin(a0), 7.5},
                                     {3 + 0.3 * std::cos(a1), 3 + 0.3 * std::sin(a1), 7.5}));
  }
  Finish(w.Mesh);
  w.Place({0, 0, 0});
  ASSERT_TRUE(CollectMeshToolCrossings(w.Cut, w.Model()));
  const std::vector<double> crossings = w.Crossings(kDirectionZ, 3, 3);
  EXPECT_EQ(crossings.size(), static_cast<size_t>(kMaxColumnValues));
  EXPECT_EQ(crossings, std::vector<double>(kMaxColumnValues, 5.5));
  EXPECT_EQ(w.Cut.MeshCrossings.IgnoredCrossings, 1);
  ClearMeshToolCrossings(w.Cut.MeshCrossings);
  // Equal values only: the line has nothing to cut.
  w.CutAt({0, 0, 0});
  EXPECT_EQ(w.Column(kDirectionZ, 3, 3), (std::vector<double>{0, 10}));
}

TEST(MeshToolCutting, SpinTurnsQuarterTurnsExactly) {
  struct Case {
    double degrees;
    Vec3 expected;  // (1, 2, 3) turned
  };
  const Case cases[] = {
      {0, {1, 2, 3}},      {90, {-2, 1, 3}},  {-270, {-2, 1, 3}},
      {-90, {2, -1, 3}},   {270, {2, -1, 3}}, {180, {-1, -2, 3}},
      {-180, {-1, -2, 3}}, {360, {1, 2, 3}},  {-360, {1, 2, 3}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SpinToolPoint(c.degrees, {1, 2, 3}), c.expected) << c.degrees;
  EXPECT_EQ(SpinToolPoint(90, {1, 0, 7}), (Vec3{0, 1, 7}));
  // Other angles by their cosine and sine: (1, 2) turned by 30 degrees.
  const double c = std::sqrt(3.0) / 2, s = 0.5;
  const Vec3 turned = SpinToolPoint(30, {1, 2, 3});
  EXPECT_NEAR(turned[0], c - 2 * s, 1e-15);
  EXPECT_NEAR(turned[1], s + 2 * c, 1e-15);
  EXPECT_EQ(turned[2], 3);
}

TEST(MeshToolCutting, MergeCollapsesRunsOfEqualValues) {
  struct Case {
    std::vector<double> in, out;
  };
  const Case cases[] = {
      {{1, 2, 2, 3}, {1, 2, 3}},  // touching intervals (1, 2), (2, 3)
      {{1, 2, 3, 4}, {1, 2, 3, 4}},
      {{1, 1, 1, 4}, {1, 4}},
      {{2, 2}, {}},
      {{5}, {}},
      {{1, 1 + 1e-12, 3}, {1, 3}},  // within the touching tolerance
      {{1, 1 + 1e-6, 3}, {1, 1 + 1e-6, 3}},
  };
  for (const Case& c : cases) {
    std::vector<double> values = c.in;
    int32_t count = static_cast<int32_t>(values.size());
    MergeTouchingIntervals(count, values);
    values.resize(static_cast<size_t>(count));
    EXPECT_EQ(values, c.out) << ::testing::PrintToString(c.in);
  }
}

TEST(MeshToolCutting, ExtentsArePairsOnTheColumnsMaterial) {
  // The crossings of Z line (2, 2) of a box (0, 10) along Z.
  struct Case {
    std::vector<double> in, out;
    const char* name;
  };
  const Case cases[] = {
      {{7, 3}, {3, 7}, "two, reversed"},
      {{12, 15}, {}, "above the material"},
      {{-5, -1}, {}, "below the material"},
      {{10, 15}, {10, 15}, "touching the top still meets it"},
      {{4, 4}, {}, "no length"},
      {{5}, {5}, "a single crossing stays"},
      {{7, 3, 3}, {3, 7}, "the first two equal"},
      {{3, 7, 7}, {3, 7}, "the last two equal"},
      {{7, 3, 3, 7, 3, 7}, {3, 7}, "a vertex of three facets at each end"},
      {{2, 4, 4, 6}, {2, 4, 4, 6}, "an even count without trims is kept"},
      {{2, 4, 4, 6, 8}, {2, 4, 6, 8}, "an odd count is merged"},
      {{3, 5, 4}, {3, 4, 5}, "three: cut from the first to the last"},
      {{20, 11, 12, 13}, {}, "all above"},
      {{9, 1, 8, 2, 7, 3, 6, 4, 5, 0.5}, {0.5, 1, 2, 3, 4, 5, 6, 7, 8, 9}, "ten, long"},
      {{1, 1, 2, 3, 4, 5, 6, 7, 8, 8}, {1, 2, 3, 4, 5, 6, 7, 8}, "ten trimmed to eight"},
      {{3, 3 + 1e-12, 7}, {3 + 1e-12, 7}, "ends within the touching tolerance"},
  };
  for (const Case& c : cases) {
    MeshWorld w;
    w.MakeBox({0, 0, 0, 4, 4, 10}, 1.0);
    MeshToolCrossings crossings;
    AllocCutWorkArrays(crossings, w.Model());
    CrossingSet& set = crossings.Directions[kDirectionZ];
    CrossingColumn& column = set.Open(2, 2);
    for (double v : c.in) ASSERT_TRUE(AppendDoubleToArray(column, v));
    UpdateColumnExtents(w.Model().ZSet(), set);
    const std::span<const double> values = column.Values();
    EXPECT_EQ(std::vector<double>(values.begin(), values.end()), c.out) << c.name;
    // A list that fits its inline slots again holds no long array.
    if (column.Count <= kDexelStride) {
      EXPECT_EQ(column.Spill.capacity(), 0u) << c.name;
    }
  }
}

TEST(MeshToolCutting, AClosedMeshGivesOnePairPerPassage) {
  // Two closed boxes, one above the other; a Z line through both passes the
  // surface four times and loses both intervals.
  MeshWorld w;
  w.MakeBox({0, 0, 0, 8, 8, 10}, 1.0);
  AddBox(w.Mesh, {2.3, 1.4, 1.2}, {5.6, 5.3, 3.7});
  AddBox(w.Mesh, {2.3, 1.4, 6.2}, {5.6, 5.3, 8.7});
  w.Place({0, 0, 0});
  ASSERT_TRUE(CollectMeshToolCrossings(w.Cut, w.Model()));
  std::vector<double> z = w.Crossings(kDirectionZ, 3, 3);
  std::sort(z.begin(), z.end());
  ExpectValues(z, {1.2, 3.7, 6.2, 8.7}, "crossings");
  for (int32_t i = 0; i <= 8; ++i)
    for (int32_t j = 0; j <= 8; ++j)
      EXPECT_EQ(w.Crossings(kDirectionZ, i, j).size() % 2, 0u) << i << ", " << j;
  ClearMeshToolCrossings(w.Cut.MeshCrossings);

  w.CutAt({0, 0, 0});
  ExpectValues(w.Column(kDirectionZ, 3, 3), {0, 1.2, 3.7, 6.2, 8.7, 10}, "through both");
  ExpectValues(w.Column(kDirectionX, 3, 2), {0, 2.3, 5.6, 8}, "X line y 3, z 2");
  ExpectValues(w.Column(kDirectionY, 7, 4), {0, 1.4, 5.3, 8}, "Y line z 7, x 4");
  EXPECT_EQ(w.Column(kDirectionZ, 2, 3), (std::vector<double>{0, 10})) << "beside them";
  // Between two cuts no crossing is held.
  for (const CrossingSet& set : w.Cut.MeshCrossings.Directions) EXPECT_EQ(set.Used, 0);
  // Along Z: 3 x 4 lines inside (x 3..5, y 2..5), cell weight 1, each losing
  // 2.5 + 2.5 in two pieces.
  EXPECT_NEAR(w.Cut.Grids[kContextZ].RemovedVolume, 12 * 5.0, 1e-9);
  EXPECT_EQ(w.Cut.Grids[kContextZ].RemovedCount, 12 * 4);

  // Released lists are made again for the next cut: the boxes one line over.
  FreeCutWorkArrays(w.Cut.MeshCrossings);
  w.CutAt({0, 1, 0});
  ExpectValues(w.Column(kDirectionZ, 3, 6), {0, 1.2, 3.7, 6.2, 8.7, 10}, "moved along Y");
}

TEST(MeshToolCutting, ASharedVertexCountsOnce) {
  // An octahedron about (4, 4, 5): apexes at z 2 and 8.5, equator radius 2.5.
  // Each apex and equator vertex is shared by four facets.
  MeshWorld w;
  w.MakeBox({0, 0, 0, 8, 8, 10}, 1.0);
  AddDoublePyramid(w.Mesh, {{{6.5, 4, 5}, {4, 6.5, 5}, {1.5, 4, 5}, {4, 1.5, 5}}}, {4, 4, 8.5},
                   {4, 4, 2});
  w.Place({0, 0, 0});
  ASSERT_TRUE(CollectMeshToolCrossings(w.Cut, w.Model()));
  std::vector<double> z = w.Crossings(kDirectionZ, 4, 4);
  std::sort(z.begin(), z.end());
  EXPECT_EQ(z, (std::vector<double>{2, 2, 2, 2, 8.5, 8.5, 8.5, 8.5}));
  ClearMeshToolCrossings(w.Cut.MeshCrossings);

  w.CutAt({0, 0, 0});
  EXPECT_EQ(w.Column(kDirectionZ, 4, 4), (std::vector<double>{0, 2, 8.5, 10}));
  EXPECT_EQ(w.Column(kDirectionX, 4, 5), (std::vector<double>{0, 1.5, 6.5, 8}));  // y 4, z 5
  // The X line at y 4, z 6 runs over the edges from the equator's X vertices
  // up to the top apex, each shared by two facets; the pyramid is 2.5 * 2.5 /
  // 3.5 wide there on each side.
  const double half = 2.5 * 2.5 / 3.5;
  ExpectValues(w.Column(kDirectionX, 4, 6), {0, 4 - half, 4 + half, 8}, "over the edges");
}

TEST(MeshToolCutting, ALineAlongSharedEdgesIsCutWhole) {
  // A double pyramid over the ring A B C D in the plane y 4, apexes at y 7.2
  // and 0.7. The X line at y 4, z 4 runs over the ring edges D-A (x 1.1) and
  // B-C, each shared by an upper and a lower facet whose planes give values
  // a rounding apart. Those count as one crossing: the line loses 1.1 to
  // B-C's x at z 4, 5.7 + 0.5 * (4 - 1.9) / 4.1.
  MeshWorld w;
  w.MakeBox({0, 0, 0, 8, 8, 10}, 1.0);
  AddDoublePyramid(w.Mesh, {{{1.1, 4, 2.3}, {5.7, 4, 1.9}, {6.2, 4, 6}, {1.1, 4, 6.5}}},
                   {3.2, 7.2, 4.1}, {3.9, 0.7, 4.4});
  w.Place({0, 0, 0});
  ASSERT_TRUE(CollectMeshToolCrossings(w.Cut, w.Model()));
  std::vector<double> x = w.Crossings(kDirectionX, 4, 4);
  std::sort(x.begin(), x.end());
  ASSERT_EQ(x.size(), 4u);
  ClearMeshToolCrossings(w.Cut.MeshCrossings);

  w.CutAt({0, 0, 0});
  ExpectValues(w.Column(kDirectionX, 4, 4), {0, 1.1, 5.7 + 0.5 * 2.1 / 4.1, 8}, "y 4, z 4");
}

TEST(MeshToolCutting, AFacetParallelToADirectionCrossesNone) {
  struct Case {
    std::array<Vec3, 3> facet;
    std::array<bool, 3> crosses;  // X, Y, Z lines
  };
  const Case cases[] = {
      // In the plane x 3.5: along X only.
      {{{{3.5, 1.2, 1.3}, {3.5, 6.7, 2.1}, {3.5, 3.3, 8.8}}}, {true, false, false}},
      // In the plane z 4.5: along Z only.
      {{{{1.2, 1.3, 4.5}, {6.7, 2.1, 4.5}, {3.3, 6.8, 4.5}}}, {false, false, true}},
      // Slanted: every direction.
      {{{{1.2, 1.3, 1.1}, {6.7, 2.1, 4.6}, {3.3, 6.8, 8.2}}}, {true, true, true}},
  };
  for (const Case& c : cases) {
    MeshWorld w;
    w.MakeBox({0, 0, 0, 8, 8, 10}, 1.0);
    w.Mesh.Triangles.push_back(Facet(c.facet[0], c.facet[1], c.facet[2]));
    Finish(w.Mesh);
    w.Place({0, 0, 0});
    ASSERT_TRUE(CollectMeshToolCrossings(w.Cut, w.Model()));
    for (int d = 0; d < 3; ++d)
      EXPECT_EQ(w.Cut.MeshCrossings.Directions[d].Used > 0, c.crosses[d])
          << "direction " << d << " facet at " << c.facet[0][0];
  }
}

TEST(MeshToolCutting, AFacetWithoutAreaCrossesNothing) {
  // A facet whose vertices lie on one line through the Z lines (2..6, 3):
  // its plane is not a number. It must not add the vertex (3, 3, 4) to the
  // box's line, nor non-numbers to the others.
  std::unique_ptr<MeshWorld> worlds[2] = {std::make_unique<MeshWorld>(),
                                          std::make_unique<MeshWorld>()};
  for (int k = 0; k < 2; ++k) {
    MeshWorld& w = *worlds[k];
    w.MakeBox({0, 0, 0, 8, 8, 10}, 1.0);
    AddBox(w.Mesh, {2.3, 1.4, 1.2}, {5.6, 5.3, 3.7});
    if (k == 1) w.Mesh.Triangles.push_back(Facet({2, 3, 4}, {3, 3, 4}, {6, 3, 4}));
    w.CutAt({0, 0, 0});
  }
  ExpectSameModel(worlds[0]->Model(), worlds[1]->Model(), "facet without area");
  ExpectValues(worlds[1]->Column(kDirectionZ, 3, 3), {0, 1.2, 3.7, 10}, "the box's line");
}

TEST(MeshToolCutting, LongCrossingListsAreCut) {
  // Five boxes stacked along Z: ten crossings per line, kept past the inline
  // slots, cut into a column of twelve values.
  MeshWorld w;
  w.MakeBox({0, 0, 0, 6, 6, 20}, 1.0);
  std::vector<double> expected{0};
  for (int k = 0; k < 5; ++k) {
    const double low = 1.5 + 3.5 * k, high = low + 1.75;
    AddBox(w.Mesh, {2.3, 1.4, low}, {4.6, 4.3, high});
    expected.push_back(low);
    expected.push_back(high);
  }
  expected.push_back(20);
  w.CutAt({0, 0, 0});
  EXPECT_EQ(w.Column(kDirectionZ, 3, 3), expected);
  for (const CrossingSet& set : w.Cut.MeshCrossings.Directions)
    for (const CrossingColumn& column : set.Touched) EXPECT_EQ(column.Spill.capacity(), 0u);
}

TEST(MeshToolCutting, TheMeshIsSpunAndHeldByTheMachine) {
  // A box beside the tool axis, x 2.2..3.6, y -0.4..0.45 in tool
  // coordinates, with the tip 8 up at (4, 4): Z line (7, 4) runs through it.
  // Spun by 90 degrees it stands at x -0.45..0.4, y 2.2..3.6 from the tip,
  // over line (4, 7).
  for (const double spin : {0.0, 90.0}) {
    MeshWorld w;
    w.MakeBox({0, 0, 0, 10, 10, 10}, 1.0);
    AddBox(w.Mesh, {2.2, -0.4, 0}, {3.6, 0.45, 3});
    w.Run.ToolSpinAngle = spin;
    w.CutAt({4, 4, 8});
    const std::vector<double> cut{0, 8}, whole{0, 10};
    EXPECT_EQ(w.Column(kDirectionZ, 7, 4), spin == 0 ? cut : whole) << spin;
    EXPECT_EQ(w.Column(kDirectionZ, 4, 7), spin == 0 ? whole : cut) << spin;
  }
}

TEST(MeshToolCutting, TheMeshIsPlacedByTheToolFrame) {
  // The machine holds the tool turned to lie along +X (its Y across stays
  // Y), its origin the reference length back along it from (3, 4, 5). A box
  // of the tool's z 0..3 then lies at x 3..6; the X line (4, 5) runs through it.
  MeshWorld w;
  w.MakeBox({0, 0, 0, 10, 10, 10}, 1.0);
  AddBox(w.Mesh, {-1.2, -1.3, 0}, {1.1, 1.4, 3});
  const double ref = w.Position.ReferenceLength;
  // Tool X to -Z, Y to Y, Z to +X.
  w.Position.ToolFrame = {0, 0, -1, 0, 1, 0, 1, 0, 0, 3 + ref, 4, 5};
  w.SetSegment({3, 4, 5}, {1, 0, 0}, 0);
  CutWithMeshTool(w.Cut, w.Model());
  EXPECT_EQ(w.Column(kDirectionX, 4, 5), (std::vector<double>{0, 3, 6, 10}));
  // Its tool x, -1.2 to 1.1, runs down the machine's Z from 6.2 to 3.9.
  EXPECT_EQ(w.Column(kDirectionZ, 4, 4), (std::vector<double>{0, 3.9, 6.2, 10}));
  EXPECT_EQ(w.Column(kDirectionZ, 2, 4), (std::vector<double>{0, 10}));
  // Every direction counts the lines its facets tried.
  for (const CutGridContext& grid : w.Cut.Grids) EXPECT_GT(grid.VisitedColumns, 0) << grid.AxisW;
}

// Random meshes and poses: the columns visited by the facets' rows cut
// exactly as the plain scan of every column in the facets' boxes, and the
// crossed columns, cut one by one, exactly as the steps taken in turn over
// whole ranges (extents of every direction, then the ranges rows outer).
TEST(MeshToolCutting, RowScanIsBitIdenticalToThePlainScan) {
  std::mt19937 random(11);
  std::uniform_real_distribution<double> unit(0, 1);
  for (int round = 0; round < 12; ++round) {
    std::unique_ptr<MeshWorld> worlds[2] = {std::make_unique<MeshWorld>(),
                                            std::make_unique<MeshWorld>()};
    const int n = 5 + static_cast<int>(unit(random) * 30);
    const double radius = 1 + unit(random) * 4;
    const Vec3 low{std::round(unit(random) * 4) - 3, std::round(unit(random) * 4) - 3, 0};
    for (int k = 0; k < 2; ++k) {
      MeshWorld& w = *worlds[k];
      w.MakeBox({0, 0, 0, 16, 16, 10}, 0.5);
      // Odd meshes and a box on grid lines, whose vertices and edges lie on
      // dexel lines.
      AddCylinder(w.Mesh, radius, 6, n);
      AddBox(w.Mesh, low, {low[0] + 2, low[1] + 1.5, 4});
      // Every other round pins far off: the crossed columns fill little of
      // the box around them.
      if (round % 2 == 1) {
        AddBox(w.Mesh, {7.2, 7.2, 0}, {7.8, 7.8, 5});
        AddBox(w.Mesh, {-7.8, -7.8, 0}, {-7.2, -7.2, 5});
      }
      w.Cut.PlainColumnScan = k == 0;
    }
    for (int pose = 0; pose < 6; ++pose) {
      // Tips on grid lines half of the time.
      Vec3 tip{unit(random) * 16, unit(random) * 16, 4 + unit(random) * 6};
      if (pose % 2 == 0)
        for (double& t : tip) t = std::round(t * 2) / 2;
      const double spin = pose % 3 == 0 ? 0.0 : unit(random) * 360;
      for (auto& w : worlds) {
        w->Run.ToolSpinAngle = spin;
        std::fill(w->Model().BlockDirty.begin(), w->Model().BlockDirty.end(), 0);
        w->Place(tip);
        w->SetSegment(tip, {0, 0, 1}, 0);
        // Every third pose a range about the tip that leaves part of the
        // mesh out, as the pose's index box may.
        if (pose % 3 == 1) {
          for (CutGridContext& grid : w->Cut.Grids) {
            const auto near = [&](int axis) {
              return static_cast<int32_t>(std::round(tip[axis] / 0.5));
            };
            grid.RangeU0 = near(grid.AxisU) - 3;
            grid.RangeU1 = near(grid.AxisU) + 4;
            grid.RangeV0 = near(grid.AxisV) - 2;
            grid.RangeV1 = near(grid.AxisV) + 5;
          }
        }
        CutWithMeshTool(w->Cut, w->Model());
      }
      const std::string where = "round " + std::to_string(round) + " pose " + std::to_string(pose);
      ExpectSameModel(worlds[0]->Model(), worlds[1]->Model(), where);
      for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(worlds[0]->Cut.Grids[c].RemovedVolume, worlds[1]->Cut.Grids[c].RemovedVolume)
            << where;
        EXPECT_EQ(worlds[0]->Cut.Grids[c].RemovedCount, worlds[1]->Cut.Grids[c].RemovedCount)
            << where;
        EXPECT_EQ(worlds[0]->Model().SetByDirection(c).RefusedWrites,
                  worlds[1]->Model().SetByDirection(c).RefusedWrites)
            << where;
      }
      EXPECT_EQ(worlds[0]->Cut.MeshCrossings.IgnoredCrossings,
                worlds[1]->Cut.MeshCrossings.IgnoredCrossings)
          << where;
    }
  }
}

// A cut world whose current tool comes from the fixture table, cut pose by
// pose.
struct PathWorld : MeshWorld {
  ToolWorld Tools;
  explicit PathWorld(int32_t tool) {
    Tools.ReadFixtureTable();
    Tools.Set(tool);
    Tool = Tools.Current;
    Run.MotionMode = 1;
  }
  void Pose(const Vec3& tip) {
    Place(tip);
    CutToolPoseIntoModel(Cut, Model(), tip, {0, 0, 1});
  }
};

TEST(MeshToolCutting, ACylinderMeshCutsAsTheFlatTool) {
  // The fixture's FLAT tool is 10 across with 25 of cutting length; the
  // mesh is a closed cylinder of the same size. Both cut a slot 20 long and
  // 4 deep.
  constexpr double kPitch = 0.25, kLength = 20, kDepth = 4;
  PathWorld flat(testing::kFlatTool), mesh(testing::kImportTool);
  AddCylinder(mesh.Mesh, 5, 25, 250);
  for (PathWorld* w : {&flat, &mesh}) {
    w->MakeBox({0, 0, 0, 40, 30, 20}, kPitch, 2);
    PushModelHistory(w->Model());
    for (double x = 10; x <= 10 + kLength + 1e-9; x += kPitch) w->Pose({x, 15, 20 - kDepth});
  }
  const double flatVolume = -ComputeCutAmountStats(flat.Model());
  const double meshVolume = -ComputeCutAmountStats(mesh.Model());
  // The slot: 20 * 10 * 4 and the tool's ends, pi 5^2 4; one cell layer over
  // its surface.
  constexpr double kRadius = 5;
  const double slot = kLength * 2 * kRadius * kDepth + kPi * kRadius * kRadius * kDepth;
  const double layer = kPitch * (2 * kLength * kDepth + 2 * kRadius * kLength +
                                 2 * kPi * kRadius * kDepth + kPi * kRadius * kRadius);
  EXPECT_NEAR(flatVolume, slot, layer);
  EXPECT_NEAR(meshVolume, flatVolume, layer);
  EXPECT_EQ(mesh.Run.MoveCutFlag, 1);
  EXPECT_EQ(mesh.Run.ProcessCutFlags, (std::vector<int32_t>{1}));
  // The walls: a Y line through the middle of the slot at half depth, within
  // the polygon's chord depth r (1 - cos(pi / 250)) of the circle.
  const std::vector<double> walls = mesh.Column(kDirectionY, static_cast<int32_t>(18 / kPitch), 80);
  const double chord = kRadius * (1 - std::cos(kPi / 250));
  ASSERT_EQ(walls.size(), 4u);
  EXPECT_NEAR(walls[1], 10 + chord / 2, chord / 2);
  EXPECT_NEAR(walls[2], 20 - chord / 2, chord / 2);
}

TEST(MeshToolCutting, NegligibleRapidRemovalIsNoCut) {
  // A sliver box around the Z line (3, 3), 0.0004 high, below the stock's
  // top grid line: only that line loses material, 0.0004 x cell area 1.
  struct Case {
    int32_t motion;
    double height;
    int32_t moveCut;
  };
  const Case cases[] = {{kMotionRapid, 0.0004, 0}, {1, 0.0004, 1}, {kMotionRapid, 0.5, 1}};
  for (const Case& c : cases) {
    PathWorld w(testing::kImportTool);
    w.MakeBox({0, 0, 0, 6, 6, 10}, 1.0);
    AddBox(w.Mesh, {-0.01, -0.01, 0}, {0.01, 0.01, c.height});
    w.Run.MotionMode = c.motion;
    w.Pose({3, 3, 9.9995});
    const std::string where = std::to_string(c.motion) + " " + std::to_string(c.height);
    EXPECT_EQ(w.Run.MoveCutFlag, c.moveCut) << where;
    EXPECT_EQ(w.Run.ProcessCutFlags, (std::vector<int32_t>{1})) << where;
    if (c.height < 0.001) {
      EXPECT_EQ(w.Cut.Grids[kContextX].RemovedVolume, 0) << where;
    }
    EXPECT_NEAR(w.Cut.Grids[kContextZ].RemovedVolume, std::min(c.height, 0.0005), 1e-12) << where;
  }
}

}  // namespace
}  // namespace vestan
