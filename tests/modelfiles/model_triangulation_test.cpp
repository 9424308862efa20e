#include "modelfiles/model_triangulation.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "model/cut_world.h"
#include "model/tool_pose_cutting.h"
#include "model/tool_world.h"
#include "modelfiles/dme_file.h"
#include "modelfiles/model_file_commands.h"
#include "modelfiles/surface_mesh_support.h"
#include "platform/recording_host.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

using testing::Box;
using testing::BoxCut;
using testing::CylinderCutZ;
using testing::MeshReport;
using testing::Minus;
using testing::Plus;
using testing::ScratchFolder;

const WorkOffsetFrame kNoFrame{};

MeshReport SaveAndCheck(const DexelModel& model, const std::string& path, int32_t stlKind = 1,
                        int32_t inWork = 0, const WorkOffsetFrame& frame = kNoFrame) {
  std::string error;
  EXPECT_EQ(SaveWorkModel(model, path, stlKind, inWork, frame, &error), kSaveOk) << error;
  return testing::CheckMesh(testing::ReadMesh(path));
}

// Closed, every edge between exactly two facets wound against each other,
// normals out of the material, and the volume of the model's material within
// one layer of cells over its surface.
void ExpectSolidMesh(const MeshReport& mesh, const DexelModel& model, const std::string& name,
                     bool sheetsAllowed = false) {
  EXPECT_GT(mesh.Facets, 0u) << name;
  EXPECT_EQ(mesh.UnpairedEdges, 0u) << name << " " << mesh.FirstUnpaired;
  if (!sheetsAllowed) {
    EXPECT_EQ(mesh.SharedEdges, 0u) << name;
  }
  EXPECT_EQ(mesh.InvertedNormals, 0u) << name;
  EXPECT_NEAR(mesh.Volume, testing::MaterialVolume(model), mesh.Area * model.Pitch) << name;
}

// Solids written exactly into a grid 10 x 8 x 6 at pitch 1: faces between
// grid lines and on them.
TEST(ModelTriangulation, ExactSolidsGiveClosedMeshesOfTheirVolume) {
  const testing::LineSolid block = Box({-1, -1, -1}, {11, 9, 7});
  const struct {
    const char* name;
    testing::LineSolid solid;
  } cases[] = {
      {"box inside the grid", Box({0.3, 0.2, 0.4}, {8.6, 7.3, 5.5})},
      {"pocket", Minus(block, {BoxCut({2.5, 2.3, 3.4}, {7.5, 5.6, 7})})},
      {"pocket on grid lines", Minus(block, {BoxCut({2, 2, 3}, {7, 5, 7})})},
      {"step", Minus(block, {BoxCut({5.5, -1, 3.3}, {11, 9, 7})})},
      {"through hole", Minus(block, {CylinderCutZ(5, 4, 2.2, -1, 7)})},
      {"slot of one pitch on grid lines", Minus(block, {BoxCut({4, -1, 3}, {5, 9, 7})})},
      {"slot narrower than a pitch", Minus(block, {BoxCut({4.2, -1, 3.5}, {4.6, 9, 7})})},
      // The columns on both sides reach the top, the lines across the slot
      // do not: no rectangle may close its mouth.
      {"narrow slot from a grid line", Minus(block, {BoxCut({4, -1, 3.5}, {4.6, 9, 7})})},
      {"plates one above the other",
       Plus(Plus(Box({1, 1, 0.5}, {9, 7, 1.5}), Box({1, 1, 2.5}, {9, 7, 3.5})),
            Box({1, 1, 4.5}, {9, 7, 5.5}))},
  };
  ScratchFolder scratch;
  for (const auto& c : cases) {
    DexelModel model;
    testing::MakeSolidModel(model, {0, 0, 0}, {10, 8, 6}, 1.0, c.solid);
    ExpectSolidMesh(SaveAndCheck(model, scratch / "solid.stl"), model, c.name);
  }
}

// The cutting kernel's own surfaces: a slot by a flat end mill with its floor
// on a grid line, a 45 degree chamfer by the flat end mill tilted over an
// edge, and a groove of a ball end mill along a slanted line.
TEST(ModelTriangulation, KernelCutsGiveClosedMeshesOfTheirVolume) {
  struct Cuts : testing::CutWorld {
    testing::ToolWorld Tools;
    Cuts() {
      Tools.ReadFixtureTable();
      Run.MotionMode = 1;
      MakeBox({0, 0, 0, 20, 16, 10}, 0.5);
    }
    void Use(int32_t tool) {
      Tools.Set(tool);
      Tool = Tools.Current;
    }
  };
  const double s = std::sqrt(0.5);
  const struct {
    const char* name;
    std::function<void(Cuts&)> cut;
  } cases[] = {
      {"flat end mill slot",
       [](Cuts& w) {
         w.Use(testing::kFlatTool);  // diameter 10
         for (double x = 7; x <= 13; x += 0.25)
           CutToolPoseIntoModel(w.Cut, w.Model(), {x, 8, 6}, {0, 0, 1});
       }},
      {"chamfer",
       [s](Cuts& w) {
         w.Use(testing::kFlatTool);
         for (double y = -5; y <= 21; y += 0.5)
           CutToolPoseIntoModel(w.Cut, w.Model(), {20 - 2 * s, y, 10 - 2 * s}, {s, 0, s});
       }},
      {"ball end mill groove",
       [](Cuts& w) {
         w.Use(testing::kBallTool);  // diameter 10
         for (double t = 0; t <= 16; t += 0.25)
           CutToolPoseIntoModel(w.Cut, w.Model(), {2 + t, 3 + 0.6 * t, 8}, {0, 0, 1});
       }},
  };
  ScratchFolder scratch;
  for (const auto& c : cases) {
    Cuts world;
    const double before = testing::MaterialVolume(world.Model());
    c.cut(world);
    ASSERT_LT(testing::MaterialVolume(world.Model()), before - 10) << c.name;
    ExpectSolidMesh(SaveAndCheck(world.Model(), scratch / "cut.stl"), world.Model(), c.name);
  }
}

// Boxes and cylinders taken away at random places, many on grid lines:
// whatever the material, the mesh is closed and wound outward. Where cuts
// meet face to face the material left between them has no thickness; its
// two sides are surface of their own and may share edges with more.
TEST(ModelTriangulation, RandomCutsStayClosed) {
  ScratchFolder scratch;
  std::mt19937 random(20240611);
  const auto coordinate = [&](double lo, double hi) {
    const double v = std::uniform_real_distribution<double>(lo, hi)(random);
    switch (random() % 4) {
      case 0:
        return std::round(v);
      case 1:
        return std::round(v * 2) / 2;
      default:
        return v;
    }
  };
  for (int trial = 0; trial < 100; ++trial) {
    std::vector<testing::LineCut> cuts;
    for (int c = 1 + random() % 5; c > 0; --c) {
      if (random() % 3 == 0) {
        cuts.push_back(CylinderCutZ(coordinate(0, 10), coordinate(0, 8), coordinate(0.3, 3),
                                    coordinate(-1, 6), coordinate(2, 7)));
      } else {
        const Vec3 lo{coordinate(-1, 9), coordinate(-1, 7), coordinate(-1, 5)};
        cuts.push_back(BoxCut(lo, {lo[0] + coordinate(0.2, 5), lo[1] + coordinate(0.2, 5),
                                   lo[2] + coordinate(0.2, 5)}));
      }
    }
    const Vec3 lo{coordinate(-1, 2), coordinate(-1, 2), coordinate(-1, 2)};
    const Vec3 hi{coordinate(7, 11), coordinate(6, 9), coordinate(4, 7)};
    DexelModel model;
    testing::MakeSolidModel(model, {0, 0, 0}, {10, 8, 6}, 1.0, Minus(Box(lo, hi), cuts));
    ExpectSolidMesh(SaveAndCheck(model, scratch / "random.stl"), model,
                    "trial " + std::to_string(trial), true);
  }
}

TEST(ModelTriangulation, FullGridIsTwelveFacetsAndEmptyModelNone) {
  ScratchFolder scratch;
  DexelModel model;
  model.SlotCount = 1;
  ASSERT_EQ(CreateBoxModel(model, {0, 0, 0, 10, 8, 6}, 1.0), kModelOk);
  const MeshReport mesh = SaveAndCheck(model, scratch / "box.stl");
  EXPECT_EQ(mesh.Facets, 12u);
  EXPECT_EQ(mesh.UnpairedEdges + mesh.SharedEdges + mesh.InvertedNormals, 0u);
  EXPECT_DOUBLE_EQ(mesh.Volume, 480.0);

  for (DexelSet* set : {&model.XSet(), &model.YSet(), &model.ZSet()})
    for (int32_t c = 0; c < set->Columns; ++c) ASSERT_TRUE(SetDexelColumn(*set, c, {}, {}, {}));
  std::string error;
  ASSERT_EQ(SaveWorkModel(model, scratch / "empty.STL", 0, 0, kNoFrame, &error), kSaveOk) << error;
  EXPECT_EQ(ScratchFolder::Read(scratch / "empty.STL"), "solid\nendsolid\n");
  ASSERT_EQ(SaveWorkModel(model, scratch / "empty.stl", 2, 0, kNoFrame, &error), kSaveOk) << error;
  EXPECT_EQ(ScratchFolder::Read(scratch / "empty.stl"),
            std::string(80, ' ') + std::string(4, '\0'));
}

// A pillar reaching the top of the grid over one face cell: its top is one
// rectangle of two facets, and the surface around it meets its corners.
TEST(ModelTriangulation, ColumnsReachingAFaceInOnePlaceGiveOneCell) {
  ScratchFolder scratch;
  DexelModel model;
  testing::MakeSolidModel(model, {0, 0, 0}, {10, 8, 6}, 1.0,
                          Plus(Box({0, 0, 0}, {10, 8, 4.5}), Box({4, 3, 0}, {5, 4, 6})));
  const std::vector<StlTriangle> facets = [&] {
    SaveAndCheck(model, scratch / "pillar.stl");
    return testing::ReadMesh(scratch / "pillar.stl");
  }();
  ExpectSolidMesh(testing::CheckMesh(facets), model, "pillar");
  int top = 0;
  for (const StlTriangle& t : facets) {
    if (t[5] != 6 || t[8] != 6 || t[11] != 6) continue;
    ++top;
    EXPECT_EQ(t[2], 1);
    for (int v = 0; v < 3; ++v) {
      EXPECT_TRUE(t[3 + 3 * v] == 4 || t[3 + 3 * v] == 5);
      EXPECT_TRUE(t[4 + 3 * v] == 3 || t[4 + 3 * v] == 4);
    }
  }
  EXPECT_EQ(top, 2);
}

// Where a pocket's walls meet an outer rectangle's sides between its
// corners, the rectangle is written through those points.
TEST(ModelTriangulation, RectanglesPassThroughThePointsOthersUse) {
  ScratchFolder scratch;
  DexelModel model;
  testing::MakeSolidModel(
      model, {0, 0, 0}, {10, 8, 6}, 1.0,
      Minus(Box({-1, -1, -1}, {11, 9, 7}), {BoxCut({2.5, 2.5, 3.5}, {7.5, 5.5, 7})}));
  const MeshReport mesh = SaveAndCheck(model, scratch / "pocket.stl");
  ExpectSolidMesh(mesh, model, "pocket");
  // The bottom and the four sides stay whole rectangles, two facets each.
  const std::vector<StlTriangle> facets = testing::ReadMesh(scratch / "pocket.stl");
  int bottom = 0;
  for (const StlTriangle& t : facets) bottom += t[5] == 0 && t[8] == 0 && t[11] == 0;
  EXPECT_EQ(bottom, 2);
}

// Model coordinates go through the placement into world coordinates; with
// the work frame asked for, its origin comes off and its rotation is undone.
TEST(ModelTriangulation, PlacementAndWorkFrame) {
  ScratchFolder scratch;
  DexelModel model;
  model.SlotCount = 1;
  // X onto Y, Y onto -X, moved by (10, 20, 30).
  ASSERT_EQ(CreateBoxModelPlaced(model, {0, 0, 0, 4, 3, 2},
                                 {0, 1, 0, -1, 0, 0, 0, 0, 1, 10, 20, 30}, 1.0),
            kModelOk);
  const auto expectBox = [](const MeshReport& mesh, const Vec3& lo, const Vec3& hi,
                            const char* name) {
    EXPECT_EQ(mesh.UnpairedEdges + mesh.SharedEdges + mesh.InvertedNormals, 0u) << name;
    EXPECT_NEAR(mesh.Volume, 24, 1e-9) << name;
    for (int a = 0; a < 3; ++a) {
      EXPECT_NEAR(mesh.Low[a], lo[a], 1e-5) << name << " axis " << a;
      EXPECT_NEAR(mesh.High[a], hi[a], 1e-5) << name << " axis " << a;
    }
  };
  expectBox(SaveAndCheck(model, scratch / "world.stl"), {7, 20, 30}, {10, 24, 32}, "world");

  WorkOffsetFrame frame;
  frame.Origin = {10, 20, 30};
  frame.FrameOffset = 1;
  expectBox(SaveAndCheck(model, scratch / "work.stl", 1, 1, frame), {-3, 0, 0}, {0, 4, 2},
            "work, offset");
  expectBox(SaveAndCheck(model, scratch / "machine.stl", 1, 0, frame), {7, 20, 30}, {10, 24, 32},
            "machine, offset frame");
  frame.FrameRotated = 1;
  frame.Matrix = {0, 1, 0, -1, 0, 0, 0, 0, 1};
  frame.InverseMatrix = {0, -1, 0, 1, 0, 0, 0, 0, 1};
  expectBox(SaveAndCheck(model, scratch / "turned.stl", 1, 1, frame), {0, 0, 0}, {4, 3, 2},
            "work, turned");

  // A mirroring placement keeps the normals outward.
  model.Placement = {-1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  expectBox(SaveAndCheck(model, scratch / "mirror.stl"), {-4, 0, 0}, {0, 3, 2}, "mirrored");
}

// ASCII, binary and byte-swapped files hold the same facets.
TEST(ModelTriangulation, EveryFormHoldsTheSameFacets) {
  ScratchFolder scratch;
  DexelModel model;
  testing::MakeSolidModel(model, {0, 0, 0}, {10, 8, 6}, 1.0,
                          Minus(Box({-1, -1, -1}, {11, 9, 7}), {CylinderCutZ(5, 4, 2.2, 2, 7)}));
  std::string error;
  for (const auto& [name, kind] :
       {std::pair{"a.stl", 0}, std::pair{"b.stl", 1}, std::pair{"c.stl", 2}})
    ASSERT_EQ(SaveWorkModel(model, scratch / name, kind, 0, kNoFrame, &error), kSaveOk) << error;
  EXPECT_EQ(DetectStlKind(scratch / "a.stl"), kStlAscii);
  EXPECT_EQ(DetectStlKind(scratch / "c.stl"), kStlBinarySwapped);
  const std::vector<StlTriangle> ascii = testing::ReadMesh(scratch / "a.stl");
  const std::vector<StlTriangle> binary = testing::ReadMesh(scratch / "b.stl");
  EXPECT_EQ(testing::ReadMesh(scratch / "c.stl"), binary);
  ASSERT_EQ(ascii.size(), binary.size());
  for (size_t f = 0; f < ascii.size(); ++f)
    for (size_t k = 0; k < 12; ++k) ASSERT_NEAR(ascii[f][k], binary[f][k], 1e-6) << f << " " << k;
  EXPECT_EQ(std::filesystem::file_size(scratch / "b.stl"), 84 + 50 * binary.size());
}

// A save that fails on the way, a file grown past what may be written as on a
// full disk, reports it and leaves the previous file whole.
TEST(ModelTriangulation, FailedWritesKeepThePreviousFile) {
  ScratchFolder scratch;
  DexelModel model;
  testing::MakeSolidModel(model, {0, 0, 0}, {10, 8, 6}, 1.0,
                          Minus(Box({-1, -1, -1}, {11, 9, 7}), {CylinderCutZ(5, 4, 2.2, 2, 7)}));
  const std::string previous = scratch.Write("kept.stl", "previous");
  std::string error;

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const int32_t result = SaveWorkModel(model, previous, 1, 0, kNoFrame, &error);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(result, kSaveNotWritten);
  EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
  EXPECT_EQ(ScratchFolder::Read(previous), "previous");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.Path()),
                          std::filesystem::directory_iterator()),
            1);

  ::chmod(previous.c_str(), 0444);
  EXPECT_EQ(SaveWorkModel(model, previous, 1, 0, kNoFrame, &error), kSaveNotWritten);
  EXPECT_EQ(ScratchFolder::Read(previous), "previous");
  EXPECT_EQ(SaveWorkModel(model, scratch / "no/folder/a.stl", 1, 0, kNoFrame), kSaveTempNotCreated);
}

// Long work: the export counts every layer of cells.
TEST(ModelTriangulation, ProgressCountsTheLayers) {
  ScratchFolder scratch;
  DexelModel model;
  testing::MakeSolidModel(model, {0, 0, 0}, {10, 8, 6}, 1.0, Box({0.5, 0.5, 0.5}, {9.5, 7.5, 5.5}));
  RecordingHost host;
  ProgressState progress;
  progress.Display = &host;
  progress.Options.EnglishMode = 1;
  std::string error;
  ASSERT_EQ(SaveWorkModel(model, scratch / "p.stl", 1, 0, kNoFrame, &error, &progress), kSaveOk);
  EXPECT_EQ(progress.Total, 6u);
  EXPECT_EQ(progress.Counter, 6u);
  EXPECT_EQ(progress.Label, "STL output");
}

// The whole way a user takes: a DME file opened as the workpiece and saved
// again as STL by its name.
TEST(ModelTriangulation, DmeFileSavedAsStl) {
  ScratchFolder scratch;
  DexelModel cut;
  testing::MakeSolidModel(
      cut, {0, 0, 0}, {10, 8, 6}, 1.0,
      Minus(Box({-1, -1, -1}, {11, 9, 7}), {BoxCut({5.5, -1, 3.3}, {11, 9, 7})}));
  ASSERT_EQ(SaveWorkModel(cut, scratch / "work.dme", 0, 0, kNoFrame), kSaveOk);

  DexelModel model;
  ModelLoadSettings settings;
  CompressionApiCache api;
  ASSERT_EQ(OpenWorkModelFile(model, scratch / "work.dme", settings, kNoFrame, api).Result,
            kModelOk);
  const ModelFileOutcome saved =
      SaveWorkModelFile(model, scratch / "work.STL", 1, 0, kNoFrame, api);
  ASSERT_EQ(saved.Result, kSaveOk) << saved.Text;
  const MeshReport mesh = testing::CheckMesh(testing::ReadMesh(scratch / "work.STL"));
  ExpectSolidMesh(mesh, model, "step");
  EXPECT_NEAR(mesh.Volume, 480 - 4.5 * 8 * 2.7, mesh.Area * 1.0);
}

}  // namespace
}  // namespace vestan
