// The STL placement read from a matrix file, and the placement written to
// "matrix.txt" for inspection.
#include "modelfiles/placement_matrix_file.h"

#include <gtest/gtest.h>

#include <string>

#include "definitions/settings.h"
#include "modelfiles/dme_file.h"
#include "modelfiles/model_file_commands.h"
#include "modelfiles/model_file_support.h"
#include "modelfiles/stl_model_loading.h"
#include "platform/file_open.h"
#include "platform/recording_host.h"
#include "support/current_folder.h"
#include "support/scratch_folder.h"
#include "support/stl_meshes.h"

namespace vestan {
namespace {

using testing::ScratchFolder;

const Placement kGiven{1, 0, 0, 0, 1, 0, 0, 0, 1, 7, 8, 9};

TEST(PlacementMatrixFile, TwelveLinesFillThePlacementInOrder) {
  ScratchFolder scratch;
  const std::string path =
      scratch.Write("matrix.dat", "0\n1\n0\n-1\n0\n0\n0\n0\n1\n12.5 mm\r\n-3.25\n  0.1\nignored\n");
  Placement placement = kGiven;
  const PlacementMatrixRead read = ReadPlacementMatrix(path, placement);
  EXPECT_TRUE(read.Opened);
  EXPECT_EQ(read.Lines, 12);
  EXPECT_TRUE(read.Error.empty());
  EXPECT_EQ(placement, (Placement{0, 1, 0, -1, 0, 0, 0, 0, 1, 12.5, -3.25, 0.1}));
}

TEST(PlacementMatrixFile, ShortFilesKeepTheGivenValuesAndOddLinesReadAsTheyCan) {
  ScratchFolder scratch;
  Placement placement = kGiven;
  // Seven lines: a line without a number gives 0; a long line is one line.
  const std::string longLine = "2" + std::string(100, ' ') + "5\n";
  const std::string path = scratch.Write("seven.txt", "0\n1\nnone\n" + longLine + "0.5\n-0\n3\n");
  const PlacementMatrixRead read = ReadPlacementMatrix(path, placement);
  EXPECT_EQ(read.Lines, 7);
  EXPECT_EQ(placement, (Placement{0, 1, 0, 2, 0.5, 0, 3, 0, 1, 7, 8, 9}));

  // No file named, or one that does not open: nothing changes.
  placement = kGiven;
  EXPECT_FALSE(ReadPlacementMatrix("", placement).Opened);
  EXPECT_FALSE(ReadPlacementMatrix(scratch / "missing.txt", placement).Opened);
  EXPECT_EQ(placement, kGiven);

  // A value beyond any double is named and not taken.
  const PlacementMatrixRead huge =
      ReadPlacementMatrix(scratch.Write("huge.txt", "1\n1e999\n"), placement);
  EXPECT_EQ(huge.Error, "line 2 is not a finite number");
  EXPECT_EQ(placement, kGiven);
}

TEST(PlacementMatrixFile, TheStlLoadTakesItInMachineCoordinatesOnly) {
  ScratchFolder scratch;
  ModelLoadSettings settings;
  settings.Pitch = 1;
  settings.StlMatrixFile =
      scratch.Write("turn.txt", "0\n1\n0\n-1\n0\n0\n0\n0\n1\n20.00001\n0\n0\n");
  const std::string stl =
      scratch.Write("part.stl", testing::BinaryStl(testing::BoxMesh({0, 0, 0}, {2, 2, 2})));
  DexelModel model;
  ASSERT_EQ(LoadModelFileIdentity(model, stl, settings, {}), kModelOk);
  // Snapped: the near-whole translation is kept, the rotation is exact.
  EXPECT_EQ(model.Placement, (Placement{0, 1, 0, -1, 0, 0, 0, 0, 1, 20.00001, 0, 0}));
  EXPECT_EQ(model.Placed, 1);
  settings.ImportChoice = 1;
  ASSERT_EQ(LoadModelFileIdentity(model, stl, settings, {}), kModelOk);
  EXPECT_EQ(model.Placed, 0);

  // A matrix that cannot be used refuses the load, and says where.
  settings.ImportChoice = 0;
  RecordingHost host;
  ProgressState progress;
  progress.Display = &host;
  settings.StlMatrixFile = scratch.Write("flat.txt", "0\n0\n0\n0\n0\n0\n0\n0\n0\n");
  EXPECT_EQ(LoadModelFileIdentity(model, stl, settings, {}, &progress), kModelBadGrid);
  EXPECT_FALSE(model.Allocated());
  settings.StlMatrixFile = scratch.Write("inf.txt", "1\n0\n0\n0\n1e999\n");
  EXPECT_EQ(LoadModelFileIdentity(model, stl, settings, {}, &progress), kModelBadGrid);
  const std::vector<std::string> logs = host.Texts(RecordingHost::Call::kLog);
  ASSERT_EQ(logs.size(), 2u);
  EXPECT_NE(logs[0].find("cannot be inverted"), std::string::npos);
  EXPECT_NE(logs[1].find("inf.txt: line 5 is not a finite number"), std::string::npos);
}

TEST(PlacementMatrixFile, OpeningADmeFileShowsItsPlacementWhenAsked) {
  ScratchFolder scratch;
  const testing::CurrentFolder current(scratch.Path());
  DexelModel saved;
  testing::MakeSampleModel(saved, true);
  CompressionApiCache api;
  ASSERT_EQ(SaveWorkModelFile(saved, "work.dme", 0, 0, {}, api).Result, kSaveOk);
  ModelLoadSettings settings;
  DexelModel model;
  ASSERT_EQ(OpenWorkModelFile(model, "work.dme", settings, {}, api).Result, kModelOk);
  EXPECT_FALSE(std::filesystem::exists("matrix.txt"));
  settings.CheckMatrix = 1;
  ASSERT_EQ(OpenWorkModelFile(model, "work.dme", settings, {}, api).Result, kModelOk);
  EXPECT_EQ(ScratchFolder::Read("matrix.txt"),
            "0.000000\n1.000000\n0.000000\n-1.000000\n0.000000\n0.000000\n0.000000\n0.000000\n"
            "1.000000\n12.500000\n-3.250000\n0.100000\n");
}

TEST(PlacementMatrixFile, TheSettingsNameTheFileAndTheDebugOutput) {
  Settings settings;
  settings.StlAxis = -2;
  settings.ImportInWork = 1;
  settings.StlFilter = 1;
  settings.StlMatrix = "placement.txt";
  settings.CheckMatrix = 1;
  const ModelLoadSettings load = ModelLoadSettingsFrom(settings, 0.25);
  EXPECT_EQ(load.Pitch, 0.25);
  EXPECT_EQ(load.StlAxis, -2);
  EXPECT_EQ(load.ImportChoice, 1);
  EXPECT_EQ(load.StlFilter, 1);
  EXPECT_EQ(load.StlMatrixFile, "placement.txt");
  EXPECT_EQ(load.CheckMatrix, 1);
  EXPECT_EQ(load.ImportOverride, -1);
}

TEST(PlacementMatrixFile, DebugOutputWritesTwelveFixedLines) {
  ScratchFolder scratch;
  const Placement placement{0, 1, 0, -1, 0, 0, 0, 0, 1, 12.5, -3.25, 1.0 / 3};
  EXPECT_EQ(WriteMatrixDebug(placement, 0, scratch.Path()), 0);
  EXPECT_FALSE(std::filesystem::exists(scratch / "matrix.txt"));
  EXPECT_EQ(WriteMatrixDebug(placement, 1, scratch.Path()), kFileReplaced);
  EXPECT_EQ(ScratchFolder::Read(scratch / "matrix.txt"),
            "0.000000\n1.000000\n0.000000\n-1.000000\n0.000000\n0.000000\n0.000000\n0.000000\n"
            "1.000000\n12.500000\n-3.250000\n0.333333\n");
}

}  // namespace
}  // namespace vestan
