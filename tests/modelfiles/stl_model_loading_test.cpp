// STL models onto a dexel grid: the column clean-up, the grid around a mesh
// or on a workpiece's grid, the one-side loads, the refusals, and the volume
// of sliced meshes against the solid they enclose.
#include "modelfiles/stl_model_loading.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "model/box_models.h"
#include "model/difference_painting.h"
#include "model/stock.h"
#include "modelfiles/dme_file.h"
#include "modelfiles/model_file_commands.h"
#include "modelfiles/model_file_support.h"
#include "platform/recording_host.h"
#include "support/scratch_folder.h"
#include "support/stl_meshes.h"

namespace vestan {
namespace {

using testing::BoxMesh;
using testing::Mesh;
using testing::ScratchFolder;

testing::ColumnContents Read(const DexelModel& model, int direction, int32_t first,
                             int32_t second) {
  return testing::ReadColumn(model, direction, testing::ColumnAt(model, direction, first, second));
}

// The material of one set: its intervals times the cell area of a line.
double SetVolume(const DexelModel& model, int direction) {
  const DexelSet& set = model.SetByDirection(direction);
  double volume = 0;
  for (int32_t c = 0; c < set.Columns; ++c) {
    const auto v = DexelColumnValues(set, c);
    for (size_t m = 0; m + 1 < v.size(); m += 2) volume += v[m + 1] - v[m];
  }
  return volume * model.Pitch * model.Pitch;
}

struct StlLoading : ::testing::Test {
  ScratchFolder Scratch;
  ModelLoadSettings Settings;
  WorkOffsetFrame Frame;
  RecordingHost Host;
  ProgressState Progress;
  DexelModel Model;

  void SetUp() override {
    Settings.Pitch = 1.0;
    Progress.Display = &Host;
    Progress.Options.EnglishMode = 1;
  }
  std::string Write(const Mesh& mesh, const std::string& name = "part.STL") {
    return Scratch.Write(name, testing::BinaryStl(mesh));
  }
  int32_t Load(const std::string& path) {
    return LoadModelFileIdentity(Model, path, Settings, Frame, &Progress);
  }
  std::vector<std::string> Logs() const { return Host.Texts(RecordingHost::Call::kLog); }
};

TEST(StlColumns, NormalizingMergesTouchesAndPairsSingleHits) {
  struct Case {
    const char* Name;
    std::vector<double> Raw;
    std::vector<uint8_t> RawFlags;
    std::vector<double> Values;
    std::vector<uint8_t> Flags;
    std::vector<int32_t> Attributes;
  };
  const Case cases[] = {
      {"two hits at one edge", {3, 1, 1}, {0, 1, 4}, {1, 3}, {5, 0}, {1, 0}},
      {"a tangent touch", {2, 3, 1}, {0, 0, 0}, {1, 3}, {0, 0}, {0, 0}},
      {"a single hit", {2.5}, {8}, {2.5, 2.5}, {8, 8}, {0, 0}},
      {"two hits swapped", {4, 1}, {1, 2}, {1, 4}, {2, 1}, {0, 0}},
      {"five left odd for the repair",
       {5, 1, 4, 2, 3},
       {0, 0, 0, 0, 0},
       {1, 2, 3, 4, 5},
       {0, 0, 0, 0, 0},
       {0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    DexelModel model;
    testing::MakeGrid(model, {0, 0, 0}, {3, 3, 6}, 1.0);
    const int32_t column = testing::ColumnAt(model, kDirectionZ, 1, 1);
    ASSERT_TRUE(SetDexelColumn(model.ZSet(), column, c.Raw, c.RawFlags,
                               std::vector<int32_t>(c.Raw.size(), 0)));
    NormalizeColumns(model);
    const testing::ColumnContents got = Read(model, kDirectionZ, 1, 1);
    EXPECT_EQ(got.Values, c.Values) << c.Name;
    EXPECT_EQ(got.Flags, c.Flags) << c.Name;
    EXPECT_EQ(got.Attributes, c.Attributes) << c.Name;
    ClearDexelTags(model);
    const testing::ColumnContents cleared = Read(model, kDirectionZ, 1, 1);
    EXPECT_EQ(cleared.Values, c.Values) << c.Name;
    EXPECT_EQ(cleared.Flags, std::vector<uint8_t>(c.Values.size(), 0)) << c.Name;
  }
}

TEST(StlColumns, ClippingToTheGridBounds) {
  struct Case {
    std::vector<double> In;
    std::vector<double> Out;
    std::vector<uint8_t> Flags;
  };
  // Bounds 2 and 8; the input flags are 7.
  const Case cases[] = {
      {{3, 5}, {3, 5}, {7, 7}},              // inside
      {{0, 1}, {}, {}},                      // below
      {{8, 9}, {}, {}},                      // starting at the high bound
      {{0, 5}, {2, 5}, {0, 7}},              // cut at the low bound
      {{3, 10}, {3, 8}, {7, 0}},             // cut at the high bound
      {{0, 10}, {2, 8}, {0, 0}},             // both
      {{0, 2, 4, 5}, {2, 4, 5}, {7, 7, 7}},  // a value on the bound starts it
      {{0, 1, 4, 9}, {2, 4, 8}, {0, 7, 0}},  // a gap at the low bound: left odd
      {{1, 3, 6, 8, 9, 12}, {2, 3, 6, 8}, {0, 7, 7, 7}},
  };
  for (const Case& c : cases) {
    std::vector<double> values = c.In;
    std::vector<uint8_t> flags(values.size(), 7);
    std::vector<int32_t> attributes(values.size(), 9);
    int32_t count = static_cast<int32_t>(values.size());
    ClipColumnToRange(count, values, flags, attributes, 2, 8);
    values.resize(count);
    flags.resize(count);
    EXPECT_EQ(values, c.Out) << c.In.size() << " " << c.In.front();
    EXPECT_EQ(flags, c.Flags) << c.In.size() << " " << c.In.front();
  }
}

TEST_F(StlLoading, GridAroundTheMeshStartsAtWholeNumbers) {
  ASSERT_EQ(Load(Write(BoxMesh({-0.4, 2.7, 0}, {3.2, 5.1, 2}))), kModelOk);
  EXPECT_EQ(Model.OriginX, -1);
  EXPECT_EQ(Model.OriginY, 2);
  EXPECT_EQ(Model.OriginZ, 0);
  // ceil((3.2 + 1) / 1) + 1, ceil((5.1 - 2) / 1) + 1, ceil(2 / 1) + 1.
  EXPECT_EQ(Model.CountX, 6);
  EXPECT_EQ(Model.CountY, 5);
  EXPECT_EQ(Model.CountZ, 3);
  // An inner line holds the box once, its values to float precision.
  EXPECT_EQ(Read(Model, kDirectionZ, 2, 1).Values, (std::vector<double>{0, 2}));
  EXPECT_EQ(Read(Model, kDirectionX, 1, 1).Values,
            (std::vector<double>{RoundToSingle(-0.4), RoundToSingle(3.2)}));
  // The corners are the world box of the material; the whole grid is new.
  EXPECT_EQ(Model.MaxCorner()[2], 2);
  EXPECT_EQ(Model.RangeLastX, Model.LastX);
  EXPECT_EQ(Model.SideFlags(), (std::array<uint8_t, 6>{1, 1, 1, 1, 1, 1}));
  // Progress under its label, ended before the clean-up, which is named in
  // the status bar until the model is finished.
  EXPECT_EQ(Progress.Label, "Reading STL");
  std::vector<std::string> status;
  for (const RecordingHost::Event& e : Host.Events)
    if (e.Kind == RecordingHost::Call::kStatusText && e.Value == 0) status.push_back(e.Text);
  EXPECT_EQ(status, (std::vector<std::string>{"", "データ整合中", ""}));
}

TEST_F(StlLoading, AFlatMeshStillGetsTwoGridPoints) {
  ASSERT_EQ(Load(Write({{{{0, 0, 1}, {4, 0, 1}, {4, 4, 1}}}, {{{0, 0, 1}, {4, 4, 1}, {0, 4, 1}}}})),
            kModelOk);
  EXPECT_EQ(Model.CountZ, 2);
  EXPECT_EQ(Model.OriginZ, 1);
  EXPECT_EQ(Read(Model, kDirectionZ, 1, 2).Values, (std::vector<double>{1, 1}));
}

TEST_F(StlLoading, OneSideFromAboveBuriesTheUndercut) {
  Settings.StlAxis = 3;
  ASSERT_EQ(Load(Write(testing::MushroomMesh())), kModelOk);
  // The grid starts at the mesh's minimum exactly.
  EXPECT_EQ(Model.OriginX, -6);
  EXPECT_EQ(Model.OriginZ, 0);
  // Every Z line from the bottom to the cap's top; the X and Y sets under it.
  EXPECT_EQ(Read(Model, kDirectionZ, 6, 6).Values, (std::vector<double>{0, 9}));
  EXPECT_EQ(Read(Model, kDirectionZ, 1, 6).Values, (std::vector<double>{0, 9}));
  EXPECT_EQ(Read(Model, kDirectionX, 6, 3).Values, (std::vector<double>{-6, 6}));
  EXPECT_EQ(Read(Model, kDirectionY, 3, 1).Values, (std::vector<double>{-6, 6}));
  EXPECT_EQ(Model.SideFlags(), (std::array<uint8_t, 6>{1, 1, 1, 1, 0, 1}));
}

TEST_F(StlLoading, OneSideFromBelowEndsTheGridAtTheMeshTop) {
  Settings.StlAxis = -3;
  Settings.Pitch = 0.5;
  ASSERT_EQ(Load(Write(BoxMesh({0, 0, 0.25}, {2, 2, 2.9}))), kModelOk);
  EXPECT_EQ(Model.CountZ, 7);
  EXPECT_EQ(Model.GridZ.back(), RoundToSingle(2.9));
  EXPECT_EQ(Model.SideFlags(), (std::array<uint8_t, 6>{1, 1, 1, 1, 1, 0}));
  EXPECT_EQ(Read(Model, kDirectionZ, 2, 2).Values,
            (std::vector<double>{RoundToSingle(0.25), RoundToSingle(2.9)}));
  // From the side, X: the grid ends at the maximum x.
  Settings.StlAxis = -1;
  ASSERT_EQ(Load(Write(BoxMesh({0.3, 0, 0}, {2, 2, 2}))), kModelOk);
  EXPECT_EQ(Model.GridX.back(), 2);
  EXPECT_EQ(Model.SideFlags(), (std::array<uint8_t, 6>{1, 0, 1, 1, 1, 1}));
}

TEST_F(StlLoading, FilterFillsASingleDropout) {
  // A top with a crack: one Z line falls between facets that do not meet.
  Mesh mesh = BoxMesh({0, 0, 0}, {8, 8, 4});
  mesh.erase(mesh.begin() + 2, mesh.begin() + 4);  // the top face
  testing::Append(mesh, {{{{0, 0, 4}, {3.9, 0, 4}, {3.9, 8, 4}}},
                         {{{0, 0, 4}, {3.9, 8, 4}, {0, 8, 4}}},
                         {{{4.1, 0, 4}, {8, 0, 4}, {8, 8, 4}}},
                         {{{4.1, 0, 4}, {8, 8, 4}, {4.1, 8, 4}}}});
  Settings.StlAxis = 3;
  ASSERT_EQ(Load(Write(mesh)), kModelOk);
  EXPECT_EQ(Read(Model, kDirectionZ, 4, 4).Values, (std::vector<double>{0, 0}));
  Settings.StlFilter = 1;
  ASSERT_EQ(Load(Write(mesh)), kModelOk);
  EXPECT_EQ(Read(Model, kDirectionZ, 4, 4).Values, (std::vector<double>{0, 4}));
}

TEST_F(StlLoading, SlicedVolumeMatchesTheSolidWithinOneCellLayer) {
  struct Case {
    const char* Name;
    Mesh Shape;
    double Pitch;
  };
  const Case cases[] = {
      {"box", BoxMesh({0.3, 0.2, 0.1}, {8.3, 6.2, 5.1}), 0.5},
      {"box turned 45 degrees",
       testing::TurnedAboutZ(BoxMesh({-4, -3, 0}, {4, 3, 6}), 45, {0, 0, 0}), 0.5},
      {"geodesic sphere", testing::GeodesicSphere(6, 8, {1, 2, 3}), 0.5},
      {"geodesic sphere, fine", testing::GeodesicSphere(6, 8, {1, 2, 3}), 0.2},
      {"mushroom", testing::MushroomMesh(), 0.5},
  };
  for (const Case& c : cases) {
    Settings.Pitch = c.Pitch;
    ASSERT_EQ(Load(Write(c.Shape)), kModelOk) << c.Name;
    const Mesh stored = testing::AsStored(c.Shape);
    const double volume = testing::EnclosedVolume(stored);
    const double layer = testing::SurfaceArea(stored) * c.Pitch;
    for (int d : {kDirectionZ, kDirectionX, kDirectionY})
      EXPECT_NEAR(SetVolume(Model, d), volume, layer) << c.Name << ", set " << d;
    // Every column pairs up.
    for (int d : {kDirectionZ, kDirectionX, kDirectionY}) {
      const DexelSet& set = Model.SetByDirection(d);
      for (int32_t col = 0; col < set.Columns; ++col)
        ASSERT_EQ(DexelColumnCount(set, col) % 2, 0) << c.Name << ", set " << d << " " << col;
    }
  }
  EXPECT_EQ(testing::GeodesicSphere(6, 8, {0, 0, 0}).size(), 1280u);
}

TEST_F(StlLoading, AsciiAndByteSwappedFilesSliceAsBinaryOnes) {
  const Mesh sphere = testing::AsStored(testing::GeodesicSphere(5, 6, {0.5, 0, 0}));
  Settings.Pitch = 0.5;
  ASSERT_EQ(Load(Write(sphere)), kModelOk);
  DexelModel binary = std::move(Model);
  Model = DexelModel{};
  ASSERT_EQ(Load(Scratch.Write("part.stl", testing::AsciiStl(sphere))), kModelOk);
  testing::ExpectSameModel(binary, Model);
  Model = DexelModel{};
  ASSERT_EQ(Load(Scratch.Write("part.stl", testing::BinaryStl(sphere, true))), kModelOk);
  testing::ExpectSameModel(binary, Model);
}

TEST_F(StlLoading, RefusalsLeaveNoModelAndSayWhy) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* Name;
    std::string Bytes;
    const char* Reason;
  };
  Mesh stack;
  for (int k = 0; k <= kMaxColumnValues; ++k)
    stack.push_back({{{0.5, 0.5, k * 1e-4}, {2, 0.5, k * 1e-4}, {0.5, 2, k * 1e-4}}});
  const Case cases[] = {
      {"not an STL", "nothing here", "not a readable STL file"},
      {"no facets", testing::BinaryStl({}), "no facets"},
      {"a vertex not a number", testing::BinaryStl({{{{0, 0, 0}, {1, nan, 0}, {0, 1, 1}}}}),
       "not a finite number"},
      {"a line through too many facets", testing::BinaryStl(stack), "more than 10000 facets"},
  };
  for (const Case& c : cases) {
    Host.Events.clear();
    ASSERT_TRUE(CreateBoxModel(Model, {0, 0, 0, 1, 1, 1}, 1.0) == kModelOk);
    EXPECT_EQ(Load(Scratch.Write("bad.stl", c.Bytes)), kModelBadGrid) << c.Name;
    EXPECT_FALSE(Model.Allocated()) << c.Name;
    EXPECT_EQ(Model.CountX, 0) << c.Name;
    ASSERT_EQ(Logs().size(), 1u) << c.Name;
    EXPECT_NE(Logs()[0].find(c.Reason), std::string::npos) << Logs()[0];
  }
  // A pitch of 0, and a grid beyond memory.
  Settings.Pitch = 0;
  EXPECT_EQ(Load(Write(BoxMesh({0, 0, 0}, {1, 1, 1}))), kModelBadGrid);
  Settings.Pitch = 0.01;
  Settings.MemoryLimit = 1 << 20;
  EXPECT_EQ(Load(Write(BoxMesh({0, 0, 0}, {100, 100, 100}))), kModelNoMemory);
  EXPECT_FALSE(Model.Allocated());
}

TEST_F(StlLoading, WorkpieceCoordinatesPlaceTheModelInTheWorkFrame) {
  Frame.Origin = {100, 50, 0};
  Frame.FrameOffset = 1;
  Settings.ImportChoice = 1;
  ASSERT_EQ(Load(Write(BoxMesh({0, 0, 0}, {2, 2, 2}))), kModelOk);
  EXPECT_EQ(Model.Placement, (Placement{1, 0, 0, 0, 1, 0, 0, 0, 1, 100, 50, 0}));
  EXPECT_EQ(Model.Placed, 1);
  // The grid is in the file's coordinates; the corners are where it stands.
  EXPECT_EQ(Model.OriginX, 0);
  EXPECT_EQ(Model.MinCorner()[0], 100);
}

struct OnGrid : StlLoading {
  DexelModel Work;
  void SetUp() override {
    StlLoading::SetUp();
    ASSERT_EQ(CreateBoxModel(Work, {0, 0, 0, 10, 8, 6}, 0.5), kModelOk);
  }
  int32_t LoadOnGrid(const std::string& path, int32_t stlAxis = 0) {
    return LoadStlModelOnGrid(Model, path, Work, stlAxis, Settings, Frame, &Progress);
  }
};

TEST_F(OnGrid, TheModelSharesTheWorkpiecesGridLinesShiftedByFiveCells) {
  ASSERT_EQ(LoadOnGrid(Write(BoxMesh({2, 2, 1}, {8, 6, 5}))), kModelOk);
  EXPECT_EQ(Model.SlotCount, 1);
  EXPECT_EQ(Model.CountX, Work.CountX + 10);
  EXPECT_EQ(Model.CountZ, Work.CountZ + 10);
  for (int32_t i = 0; i < Work.CountX; ++i) EXPECT_NEAR(Model.GridX[i + 5], Work.GridX[i], 1e-12);
  for (int32_t k = 0; k < Work.CountZ; ++k) EXPECT_NEAR(Model.GridZ[k + 5], Work.GridZ[k], 1e-12);
  // x = 2, y = 2 (work indexes 4, 4): on the box's rim.
  EXPECT_EQ(Read(Model, kDirectionZ, 9, 9).Values, (std::vector<double>{1, 5}));
  EXPECT_EQ(Read(Model, kDirectionZ, 15, 13).Values, (std::vector<double>{1, 5}));
  EXPECT_TRUE(Read(Model, kDirectionZ, 8, 13).Values.empty());
  EXPECT_NEAR(SetVolume(Model, kDirectionZ), 6 * 4 * 4,
              testing::SurfaceArea(BoxMesh({2, 2, 1}, {8, 6, 5})) * 0.5);
  EXPECT_EQ(Model.Placement, Work.Placement);
}

TEST_F(OnGrid, MeshBeyondTheGridIsClippedToIt) {
  ASSERT_EQ(LoadOnGrid(Write(BoxMesh({-10, 2, 1}, {30, 6, 5}))), kModelOk);
  EXPECT_EQ(Read(Model, kDirectionX, 10, 10).Values, (std::vector<double>{-2.5, 12.5}));
}

TEST_F(OnGrid, PlacedWorkpieceTakesTheFileThroughItsPlacement) {
  // The workpiece turned a quarter about Z and moved: the file, in machine
  // coordinates, lands in its model coordinates.
  Work.Placement = {0, 1, 0, -1, 0, 0, 0, 0, 1, 20, 0, 0};
  FinishModelPlacement(Work);
  const Mesh machine{BoxMesh({20 - 6, 2, 1}, {20 - 2, 8, 5})};  // model box x 2..8, y 2..6
  ASSERT_EQ(LoadOnGrid(Write(machine)), kModelOk);
  EXPECT_EQ(Read(Model, kDirectionZ, 15, 13).Values, (std::vector<double>{1, 5}));
  EXPECT_NEAR(SetVolume(Model, kDirectionX), 6 * 4 * 4, 48);
}

TEST_F(OnGrid, OneShotOverrideStandsInForTheImportChoiceOnce) {
  Frame.Origin = {1, 0, 0};
  Frame.FrameOffset = 1;
  const std::string path = Write(BoxMesh({2, 2, 1}, {8, 6, 5}));
  Settings.ImportOverride = 1;
  ASSERT_EQ(LoadOnGrid(path), kModelOk);
  // In work coordinates the box stands from x = 3 to 9.
  EXPECT_TRUE(Read(Model, kDirectionZ, 10, 13).Values.empty());
  EXPECT_EQ(Read(Model, kDirectionZ, 22, 13).Values, (std::vector<double>{1, 5}));
  EXPECT_EQ(Settings.ImportOverride, -1);
  EXPECT_EQ(Settings.ImportChoice, 0);
  // Used up: the next load is in machine coordinates again.
  ASSERT_EQ(LoadOnGrid(path), kModelOk);
  EXPECT_EQ(Read(Model, kDirectionZ, 10, 13).Values, (std::vector<double>{1, 5}));
}

TEST_F(OnGrid, NothingLoadedIsAFailure) {
  const std::string box = Write(BoxMesh({2, 2, 1}, {8, 6, 5}));
  EXPECT_EQ(
      LoadOnGrid(Scratch.Write("part.dme", testing::BinaryStl(BoxMesh({2, 2, 1}, {8, 6, 5})))),
      kModelBadGrid);
  EXPECT_FALSE(Model.Allocated());
  EXPECT_EQ(LoadOnGrid(Write({}, "empty.stl")), kModelBadGrid);
  EXPECT_EQ(LoadOnGrid(Write(BoxMesh({100, 100, 100}, {101, 101, 101}), "far.stl")), kModelBadGrid);
  EXPECT_FALSE(Model.Allocated());
  EXPECT_EQ(Model.CountX, 0);
  DexelModel none;
  EXPECT_EQ(LoadStlModelOnGrid(Model, box, none, 0, Settings, Frame), kModelBadGrid);
}

TEST_F(OnGrid, OpenedAsTheBasicModelItDrivesTheDifferencePainting) {
  WorkDocument document;
  ASSERT_EQ(CreateBoxModel(document.Workpiece(), {0, 0, 0, 10, 8, 6}, 0.5), kModelOk);
  document.WorkPresent = 1;
  DifferenceSettings difference;
  const auto marked = [&document] {
    int64_t count = 0;
    const DexelSet& set = document.Workpiece().ZSet();
    for (int32_t c = 0; c < set.Columns; ++c)
      for (uint8_t f : DexelColumnFlags(set, c)) count += (f & kFlagMark) != 0;
    return count;
  };
  // The part as the stock: nothing stands out.
  ModelFileOutcome opened = OpenBasicModelFile(document, Write(BoxMesh({0, 0, 0}, {10, 8, 6})),
                                               Settings, Frame, &Progress);
  ASSERT_EQ(opened.Result, kModelOk);
  EXPECT_EQ(document.BasicModelLoaded, 1);
  ASSERT_EQ(PaintModelDifference(document, difference, Progress), kModelOk);
  EXPECT_EQ(marked(), 0);
  // A smaller part: the stock's top stands out over it.
  opened = OpenBasicModelFile(document, Write(BoxMesh({2, 2, 1}, {8, 6, 5})), Settings, Frame,
                              &Progress);
  ASSERT_EQ(opened.Result, kModelOk);
  ASSERT_EQ(PaintModelDifference(document, difference, Progress), kModelOk);
  EXPECT_GT(marked(), 0);
  const testing::ColumnContents top = Read(document.Workpiece(), kDirectionZ, 10, 8);
  EXPECT_NE(top.Flags.back() & kFlagMark, 0);
  // A file that cannot be read leaves no basic model.
  opened = OpenBasicModelFile(document, Scratch.Write("broken.stl", "nothing"), Settings, Frame);
  EXPECT_EQ(opened.Result, kModelBadGrid);
  EXPECT_EQ(opened.Text, "Data Destroyed!");
  EXPECT_EQ(document.BasicModelLoaded, 0);
  EXPECT_FALSE(document.BasicModel.Allocated());
}

TEST_F(StlLoading, OpenedAsTheWorkpieceItSavesAndReopensAsDme) {
  CompressionApiCache api;
  Settings.Pitch = 0.5;
  const std::string stl = Scratch.Write("part.stl", testing::AsciiStl(testing::MushroomMesh(3, 4)));
  ModelFileOutcome opened = OpenWorkModelFile(Model, stl, Settings, Frame, api, &Progress);
  ASSERT_EQ(opened.Result, kModelOk);
  EXPECT_TRUE(opened.Text.empty());
  EXPECT_NEAR(SetVolume(Model, kDirectionZ), 4 * 4 * 6 + 12 * 12 * 3,
              testing::SurfaceArea(testing::MushroomMesh()) * 0.5);
  const std::string dme = Scratch / "part.dme";
  ASSERT_EQ(SaveWorkModelFile(Model, dme, 0, 0, Frame, api).Result, kSaveOk);
  DexelModel again;
  ASSERT_EQ(OpenWorkModelFile(again, dme, Settings, Frame, api).Result, kModelOk);
  testing::ExpectSameModel(Model, again);
  // A broken STL is reported as a damaged file.
  opened = OpenWorkModelFile(Model, Scratch.Write("bad.stl", "solid\n"), Settings, Frame, api);
  EXPECT_EQ(opened.Result, kModelBadGrid);
  EXPECT_EQ(opened.Text, "Data Destroyed!");
  EXPECT_EQ(opened.Caption, "Data error");
}

}  // namespace
}  // namespace vestan
