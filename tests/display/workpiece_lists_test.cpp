#include "display/workpiece_lists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "foundation/single_precision.h"
#include "gl_recorder.h"
#include "model/model_history.h"
#include "model/stock.h"
#include "modelfiles/model_triangulation.h"
#include "modelfiles/surface_mesh_support.h"
#include "support/mesh_check.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

using testing::GlRecorder;

constexpr double kScale = 500.0;

// The colours of a default colour set, and the style that draws with them.
struct Look {
  ColorSettings Colours;
  ColourMaterials Materials;
  WorkpieceStyle Style{Materials, Colours.Live};
  Look() { CreateColourMaterials(Colours, {}, Materials); }
};

double Area(const GlRecorder::Triangle& t) {
  return VectorLength(VectorCross(VectorSub(t.P[1], t.P[0]), VectorSub(t.P[2], t.P[0]))) / 2;
}

// The surface the lists draw, in model units, as STL facets for the mesh
// checks.
std::vector<StlTriangle> InModelUnits(const std::vector<GlRecorder::Triangle>& triangles) {
  std::vector<StlTriangle> facets;
  for (const GlRecorder::Triangle& t : triangles) {
    StlTriangle f{};
    for (int k = 0; k < 3; ++k) f[k] = t.Normal[k];
    for (int p = 0; p < 3; ++p)
      for (int k = 0; k < 3; ++k) f[3 + 3 * p + k] = t.P[p][k] * kScale;
    facets.push_back(f);
  }
  return facets;
}

// A box stock with a given number of history slots.
void MakeBox(DexelModel& model, const std::array<double, 6>& box, int32_t slots = 1) {
  model.SlotCount = slots;
  ASSERT_EQ(CreateBoxModel(model, box, 1.0), kModelOk);
}

CellRange Whole(const DexelModel& model) {
  return {{0, 0, 0}, {model.CountX - 2, model.CountY - 2, model.CountZ - 2}};
}

TEST(WorkpieceLists, AFullBlockIsSixMergedRectanglesFacingOut) {
  DexelModel model;
  MakeBox(model, {0, 0, 0, 5, 5, 5});
  ASSERT_EQ(model.BlockCount, 1);
  Look look;
  ModelRenderBuffers buffers;
  PrepareModelRenderBuffers(model, buffers);
  GlRecorder gl;
  ASSERT_EQ(BuildModelDisplayLists(gl, model, buffers, look.Style, kMeshSolid, Whole(model), 77),
            12);
  EXPECT_TRUE(gl.Errors.empty()) << gl.Errors.front();
  const GlRecorder::List& list = gl.Lists[77];
  ASSERT_EQ(list.Triangles.size(), 12u);
  EXPECT_EQ(list.MaterialChanges, 1);
  std::map<std::pair<int, int>, double> faces;  // (axis, side) -> area
  for (const GlRecorder::Triangle& t : list.Triangles) {
    EXPECT_EQ(t.Material, look.Materials.Pens[0]);
    // An axis normal, the triangle on that side of the box and wound with it.
    int axis = -1;
    for (int k = 0; k < 3; ++k)
      if (t.Normal[k] != 0) axis = k;
    ASSERT_GE(axis, 0);
    EXPECT_EQ(std::fabs(t.Normal[axis]), 1.0);
    const int side = t.Normal[axis] > 0;
    // Points go to GL in single precision.
    for (const Vec3& p : t.P) EXPECT_EQ(p[axis], RoundToSingle(side * 5 / kScale));
    EXPECT_GT(VectorDot(VectorCross(VectorSub(t.P[1], t.P[0]), VectorSub(t.P[2], t.P[0])),
                        t.Normal),
              0);
    faces[{axis, side}] += Area(t);
  }
  ASSERT_EQ(faces.size(), 6u);
  for (const auto& [face, area] : faces) EXPECT_NEAR(area, 25 / (kScale * kScale), 1e-10);

  // As outlines: the six rectangles as line loops in the work colour.
  GlRecorder outlines;
  PrepareModelRenderBuffers(model, buffers);
  ASSERT_EQ(BuildModelDisplayLists(outlines, model, buffers, look.Style, kMeshOutline,
                                   Whole(model), 77),
            12);
  ASSERT_EQ(outlines.Lists[77].Outlines.size(), 6u);
  for (const GlRecorder::Outline& o : outlines.Lists[77].Outlines) {
    EXPECT_EQ(o.P.size(), 4u);
    EXPECT_EQ(o.Colour, look.Materials.Pens[0]);
  }
  EXPECT_TRUE(outlines.Lists[77].Triangles.empty());
}

TEST(WorkpieceLists, TagsColourTheFacesAndASwitchedOffPenIsNotDrawn) {
  DexelModel model;
  MakeBox(model, {0, 0, 0, 5, 5, 5});
  // The top carries pen 3, the +X side is highlighted.
  for (int32_t c = 0; c < model.ZSet().Columns; ++c)
    if (DexelColumnCount(model.ZSet(), c) > 0) DexelColumnFlagsMutable(model.ZSet(), c).back() = 0x30;
  for (int32_t c = 0; c < model.XSet().Columns; ++c)
    if (DexelColumnCount(model.XSet(), c) > 0)
      DexelColumnFlagsMutable(model.XSet(), c).back() = kFlagMark;
  Look look;
  ModelRenderBuffers buffers;
  PrepareModelRenderBuffers(model, buffers);
  GlRecorder gl;
  ASSERT_EQ(BuildModelDisplayLists(gl, model, buffers, look.Style, kMeshSolid, Whole(model), 5),
            12);
  std::map<int, GlColour> colourOf;  // by normal direction code
  for (const GlRecorder::Triangle& t : gl.Lists[5].Triangles)
    colourOf[static_cast<int>(t.Normal[0] + 3 * t.Normal[1] + 9 * t.Normal[2])] = t.Material;
  EXPECT_EQ(colourOf[9], look.Materials.Pens[3]);
  EXPECT_EQ(colourOf[1], look.Materials.Highlight);
  EXPECT_EQ(colourOf[-9], look.Materials.Pens[0]);
  // Faces -X, +X, -Y, +Y, -Z, +Z in turn: the material changes only where the
  // colour does (work, highlight, work, pen 3), never inside triangles.
  EXPECT_EQ(gl.Lists[5].MaterialChanges, 4);
  EXPECT_TRUE(gl.Errors.empty());

  look.Colours.Live.PenShown[3] = 0;
  GlRecorder hidden;
  PrepareModelRenderBuffers(model, buffers);
  EXPECT_EQ(BuildModelDisplayLists(hidden, model, buffers, look.Style, kMeshSolid, Whole(model),
                                   5),
            10);
}

TEST(WorkpieceLists, ALoopTakesTheTagTwoOfATrianglesPointsShareElseTheWorkColour) {
  struct Case {
    int32_t t0, t1, t2, colour;
  } cases[] = {
      {0, 4, 4, 0},  // an untagged first point colours the whole loop
      {3, 3, 3, 3}, {3, 3, 5, 3}, {3, 5, 5, 5}, {3, 5, 3, 3},
      {3, 5, 7, 0},  // no two agree
      {3, 0, 3, 0},  {3, 3, 0, 0},  // an untagged second or third point
  };
  for (const Case& c : cases)
    EXPECT_EQ(LoopTriangleColour(c.t0, c.t1, c.t2), c.colour) << c.t0 << c.t1 << c.t2;
}

// Two blocks along X: cells 0-4 and 5-9.
class BlockListsTest : public ::testing::Test {
 protected:
  void Make(int32_t slots) {
    MakeBox(model, {0, 0, 0, 10, 5, 5}, slots);
    ASSERT_EQ(model.BlockCount, 2);
    AllocDisplayListIds(model, 1, 0, lists);
  }
  int32_t Count(int32_t block) const {
    return model.BlockLists[static_cast<size_t>(model.CurrentSlot) * kBlockListsPerSlot + block];
  }
  uint32_t Id(int32_t slot, int32_t block) const {
    return lists.Ids[static_cast<size_t>(slot) * kBlockListsPerSlot + block];
  }
  void Build() { BuildWorkpieceLists(gl, model, lists, look.Style); }

  DexelModel model;
  WorkpieceDisplayLists lists;
  Look look;
  GlRecorder gl;
};

TEST_F(BlockListsTest, AnEmptiedBlockIsCountedEmptyAndNeverBuiltAgain) {
  Make(1);
  EXPECT_TRUE(WorkpieceListsStale(model, lists));
  Build();
  EXPECT_FALSE(WorkpieceListsStale(model, lists));
  EXPECT_EQ(gl.Made, (std::vector<uint32_t>{35, 36}));
  EXPECT_GT(Count(0), 0);
  EXPECT_GT(Count(1), 0);
  CallWorkpieceLists(gl, model, lists, kMeshSolid);
  EXPECT_EQ(gl.Called, (std::vector<uint32_t>{35, 36}));

  // A cut leaves material only up to x = 4.5: the second block is empty.
  DexelModel cut;
  testing::MakeSolidModel(cut, {0, 0, 0}, {10, 5, 5}, 1.0, testing::Box({0, 0, 0}, {4.5, 5, 5}));
  model.Slots[0] = cut.Slots[0];
  model.BlockDirty = {1, 1};
  gl.Made.clear();
  Build();
  EXPECT_EQ(gl.Made, (std::vector<uint32_t>{35}));
  EXPECT_EQ(gl.Deleted, (std::vector<uint32_t>{35, 36}));
  EXPECT_GT(Count(0), 0);
  EXPECT_EQ(Count(1), kBlockEmpty);

  // Marked again, it is passed over.
  model.BlockDirty[1] = 1;
  gl.Made.clear();
  Build();
  EXPECT_TRUE(gl.Made.empty());
  EXPECT_EQ(model.BlockDirty[1], 0);
  gl.Called.clear();
  CallWorkpieceLists(gl, model, lists, kMeshSolid);
  EXPECT_EQ(gl.Called, (std::vector<uint32_t>{35}));
  EXPECT_TRUE(gl.Errors.empty());
}

TEST_F(BlockListsTest, HistorySlotsNeverRebuildAListAnotherSlotStillShows) {
  Make(3);
  Build();
  ASSERT_EQ(gl.Made, (std::vector<uint32_t>{35, 36}));

  // Slot 1 starts with slot 0's lists; its rebuilt block takes the id 1000 on.
  PushModelHistory(model);
  RotateDisplayListBuffer(model, lists);
  EXPECT_EQ(Id(1, 0), 35u);
  EXPECT_EQ(Id(1, 1), 36u);
  model.BlockDirty[0] = 1;
  gl.Made.clear();
  Build();
  EXPECT_EQ(gl.Made, (std::vector<uint32_t>{1035}));
  EXPECT_TRUE(gl.Deleted.empty());
  EXPECT_EQ(Id(1, 0), 1035u);

  // Slot 2: 35 and 1035 are both shown elsewhere.
  PushModelHistory(model);
  RotateDisplayListBuffer(model, lists);
  model.BlockDirty[0] = 1;
  gl.Made.clear();
  Build();
  EXPECT_EQ(gl.Made, (std::vector<uint32_t>{2035}));

  // Back round to slot 0, which takes slot 2's ids; 35 is free again and its
  // old list is replaced.
  PushModelHistory(model);
  ASSERT_EQ(model.CurrentSlot, 0);
  RotateDisplayListBuffer(model, lists);
  EXPECT_EQ(Id(0, 0), 2035u);
  model.BlockDirty[0] = 1;
  gl.Made.clear();
  Build();
  EXPECT_EQ(gl.Made, (std::vector<uint32_t>{35}));
  EXPECT_EQ(gl.Deleted, (std::vector<uint32_t>{35}));

  // Undo shows slot 2's lists as they were, without building.
  PopModelHistory(model);
  ASSERT_EQ(model.CurrentSlot, 2);
  gl.Made.clear();
  CallWorkpieceLists(gl, model, lists, kMeshSolid);
  EXPECT_EQ(gl.Called, (std::vector<uint32_t>{2035, 36}));
  EXPECT_TRUE(gl.Made.empty());
  EXPECT_TRUE(gl.Errors.empty());

  // Another work model numbers its blocks in its own range.
  WorkpieceDisplayLists second;
  AllocDisplayListIds(model, 1, 2, second);
  EXPECT_EQ(second.FreshId(3), 1u + 34 + 40000 + 3);
}

TEST_F(BlockListsTest, MeshModesDrawOutlinesOrTheDexelEndPoints) {
  Make(1);
  look.Style.MeshMode = kMeshOutline;
  Build();
  EXPECT_GT(Count(0), 0);
  for (const uint32_t id : {35u, 36u}) {
    EXPECT_TRUE(gl.Lists[id].Triangles.empty());
    EXPECT_FALSE(gl.Lists[id].Outlines.empty());
  }

  // The Z set's end points: entries blue, exits light blue.
  struct Case {
    int32_t mode;
    size_t points;
    GlColour entry, exit;
  } cases[] = {
      {2, 6 * 6 * 2, {1, 0, 0, 1}, {1, 0.5f, 0.5f, 1}},
      {3, 11 * 6 * 2, {0, 1, 0, 1}, {0.5f, 1, 0.5f, 1}},
      {4, 11 * 6 * 2, {0, 0, 1, 1}, {0.5f, 0.5f, 1, 1}},
      {5, (6 * 6 + 11 * 6 + 11 * 6) * 2, {1, 0, 0, 1}, {1, 0.5f, 0.5f, 1}},
  };
  look.Style.Zoom = 10;
  for (const Case& c : cases) {
    look.Style.MeshMode = c.mode;
    gl.Made.clear();
    Build();
    ASSERT_EQ(gl.Made.size(), 1u) << c.mode;
    const GlRecorder::List& points = gl.Lists[lists.PointList];
    EXPECT_EQ(points.Points.size(), c.points) << c.mode;
    EXPECT_EQ(points.PointSize, 5.0f);
    EXPECT_EQ(points.PointColours[0], c.entry) << c.mode;
    EXPECT_EQ(points.PointColours[1], c.exit) << c.mode;
  }
  gl.Called.clear();
  CallWorkpieceLists(gl, model, lists, 4);
  EXPECT_EQ(gl.Called, (std::vector<uint32_t>{lists.PointList}));

  // A hidden workpiece builds nothing and keeps its mark.
  MarkWorkpieceForRebuild(model, lists);
  look.Style.WorkDisplay = 0;
  gl.Made.clear();
  Build();
  EXPECT_TRUE(gl.Made.empty());
  EXPECT_TRUE(WorkpieceListsStale(model, lists));
  EXPECT_TRUE(gl.Errors.empty());
}

// A pocketed stock over twelve blocks, drawn and measured: what the block
// lists draw together encloses the material, faces outward, and matches the
// STL export of the same model.
TEST(WorkpieceLists, TheBlocksTogetherDrawTheClosedSurfaceOfTheMaterial) {
  const testing::LineSolid solid = testing::Minus(
      testing::Box({0, 0, 0}, {12, 10, 8}), {testing::BoxCut({2.5, 2.5, 4.5}, {9.5, 7.5, 9})});
  struct Case {
    const char* name;
    Placement placement;
  } cases[] = {
      {"in place", {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}},
      {"turned and moved", {0, 1, 0, -1, 0, 0, 0, 0, 1, 100, -20, 5}},
      {"mirrored", {-1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    DexelModel model;
    testing::MakeSolidModel(model, {0, 0, 0}, {12, 10, 8}, 1.0, solid);
    model.Placement = c.placement;
    ASSERT_GT(model.BlockCount, 4) << c.name;
    WorkpieceDisplayLists lists;
    AllocDisplayListIds(model, 1, 0, lists);
    Look look;
    GlRecorder gl;
    BuildWorkpieceLists(gl, model, lists, look.Style);
    CallWorkpieceLists(gl, model, lists, kMeshSolid);
    EXPECT_TRUE(gl.Errors.empty()) << c.name;
    const testing::MeshReport drawn = testing::CheckMesh(InModelUnits(gl.CalledTriangles()));
    EXPECT_EQ(drawn.InvertedNormals, 0u) << c.name;
    // The pocket's edges lie between grid lines: the cells along them cut
    // their corner with a chamfer of at most an eighth of a cell, over the
    // four walls' 3.5 and the floor's 24 of edge.
    EXPECT_NEAR(drawn.Volume, 960 - 7 * 5 * 3.5, (4 * 3.5 + 24) / 8) << c.name;

    // The export walks the same cells (its points, like the display's, are
    // single precision).
    testing::ScratchFolder folder;
    ASSERT_EQ(SaveModelStl(model, folder / "model.stl", 1, 0, WorkOffsetFrame{}), kFileReplaced);
    const testing::MeshReport exported = testing::CheckMesh(testing::ReadMesh(folder / "model.stl"));
    EXPECT_NEAR(drawn.Volume, exported.Volume, 1e-3) << c.name;
    EXPECT_NEAR(drawn.Area, exported.Area, 1e-3) << c.name;
    for (int k = 0; k < 3; ++k) {
      EXPECT_NEAR(drawn.Low[k], exported.Low[k], 1e-4) << c.name;
      EXPECT_NEAR(drawn.High[k], exported.High[k], 1e-4) << c.name;
    }
  }
}

}  // namespace
}  // namespace vestan
