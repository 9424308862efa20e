#include "simulation/session_tools.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model/tool_world.h"
#include "nc/plugin_path.h"
#include "nc/recording_plugins.h"
#include "support/current_folder.h"

namespace vestan {
namespace {

using testing::kBallTool;
using testing::kBullTool;
using testing::kFlatTool;
using testing::kImportTool;
using testing::ToolWorld;

// The fixture table's tools over a session: ball 2 (LENGTH 50), bull 3
// (LENGTH 60), IMPORT 13 (the cube of the model file fixtures, moved by
// (1, 2, 3)).
class SessionToolChange : public ::testing::Test, public ToolWorld {
 protected:
  SessionToolChange() {
    ReadFixtureTable();
    S.Defs.Settings.ToolBasePoint = kBaseLengthTop;  // books the protrusion
  }
  float Booked(int32_t tool) const { return S.Memory.Offsets.HGeometry[static_cast<size_t>(tool)]; }
};

TEST_F(SessionToolChange, BooksTheLengthOffsetAndTheBAxisVectorAfterTheSetUp) {
  Controller.Rotary[0].Letter = 'B';
  Compensation.BAxisLength = 1;
  Compensation.ProgramRotary1 = 30;
  Compensation.WorkOffsetRotary1 = 5;
  Change(kBallTool);  // no length-offset flag: nothing booked
  EXPECT_EQ(Booked(kBallTool), 0.0f);
  Compensation.ToolLengthOffsetOn = 1;
  Change(kBallTool);
  EXPECT_EQ(Booked(kBallTool), 50.0f);
  EXPECT_EQ(Compensation.PreviousToolLength, 50.0);
  EXPECT_EQ(Compensation.ToolLengthVector, Vec3{});  // the vector needs compensation in force
  Compensation.LengthCompensationActive = 1;
  Change(kBullTool);
  EXPECT_EQ(Booked(kBullTool), 60.0f);
  const double a = 35.0 * kRadiansPerDegree;
  EXPECT_NEAR(Compensation.ToolLengthVector[0], 60 * std::sin(a), 1e-12);
  EXPECT_NEAR(Compensation.ToolLengthVector[2], 60 * std::cos(a), 1e-12);
  Controller.Rotary[0].Letter = 'A';
  Compensation.ToolLengthVector = {};
  Change(kBallTool);
  EXPECT_EQ(Compensation.ToolLengthVector, Vec3{});

  // An undefined tool books nothing and leaves the shape.
  Mesh.FileName = "previous.stl";
  Change(17);
  EXPECT_EQ(Booked(17), 0.0f);
  EXPECT_EQ(Current.Tool.Defined, 0);
  EXPECT_EQ(Mesh.FileName, "previous.stl");

  // The session's cutting seam mounts a tool beside the current one: no
  // tool change, no booking, the length in force as it was.
  StartRunPass(S);
  Compensation.ToolLengthOffsetOn = 1;
  Change(kBallTool);
  S.Memory.Offsets.HGeometry[kBullTool] = 7.0f;
  EXPECT_EQ(S.Pass->Kernel.MountTool(kBullTool, 1.0).Tool.Tool.Kind, kToolBull);
  EXPECT_EQ(Current.Tool.Kind, kToolBall);
  EXPECT_EQ(Compensation.PreviousToolLength, 50.0);
  EXPECT_EQ(Booked(kBullTool), 7.0f);
}

TEST_F(SessionToolChange, AnImportedToolsShapeIsReadAgain) {
  const testing::CurrentFolder meshes(VESTAN_FIXTURES_DIR "/modelfiles");
  Mesh.Release();
  Change(kImportTool);
  EXPECT_EQ(Mesh.FileName, "cube_ascii.stl");
  EXPECT_EQ(Mesh.FacetCount, 12);
  EXPECT_EQ(Mesh.BoxMin, (Vec3{-4, -3, 3}));
  EXPECT_EQ(Mesh.BoxMax, (Vec3{6, 7, 13}));
  // Turned by the angle head in use: (y, z) -> (-z, y).
  Kinematics.ToolDirectionInUse = 1;
  Kinematics.AngleHeadA = 90;
  Change(kImportTool);
  EXPECT_EQ(Mesh.BoxMin, (Vec3{-4, -13, -3}));
  EXPECT_EQ(Mesh.BoxMax, (Vec3{6, -3, 7}));
  Change(kFlatTool);  // other kinds leave the shape
  EXPECT_EQ(Mesh.FacetCount, 12);
}

// A read plug-in's tool is made current by the session's tool change.
TEST_F(SessionToolChange, APluginsToolBecomesCurrent) {
  StartRunPass(S);
  RecordingReadPlugin plugin;
  plugin.Entries = {ReadPluginEntry::kTool};
  plugin.Tool.Tool.Kind = 1;
  plugin.Tool.Tool.Diameter = 8.0f;
  plugin.Tool.Tool.CuttingLength = 20.0f;
  S.Pass->Reader.Plugin = &plugin;
  OpenPluginNcProgram(S.Nc, NcPassOf(S), S.Pass->Reader);
  EXPECT_EQ(Tools.CurrentToolNumber, 0);
  EXPECT_EQ(Current.Tool.Defined, 1);
  EXPECT_EQ(Current.Tool.Kind, kToolBall);
  EXPECT_EQ(Current.Tool.Diameter, 8.0f);
}

}  // namespace
}  // namespace vestan
