#include "nc/plugin_path.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "nc/nc_modal_operations.h"
#include "nc/nc_world.h"
#include "nc/recording_plugins.h"

namespace vestan::testing {
namespace {

// A world with an allocated tool table and a reader with the plug-ins.
struct PluginPass {
  PluginPass() : World(MakeNcWorld()) {
    AllocToolTables(World->Defs.Tools);
    World->Defs.Settings.ControlPoint = {};
    ResetNcModalState(World->Context, World->Records);
    Reader.Plugin = &Read;
    Reader.CommentTools = &Comment;
    Reader.MakePluginToolCurrent = [this] { ++MadeCurrent; };
  }
  ToolRecord& Entry0() { return World->Defs.Tools.Records[0]; }

  std::unique_ptr<NcWorld> World;
  LoadedNcProgram Program;
  NcReader Reader{Program};
  RecordingReadPlugin Read;
  RecordingCommentPlugin Comment;
  int MadeCurrent = 0;
};

TEST(MapPluginToolKind, KindsAndTheirExtraValues) {
  struct Case {
    int32_t Kind;
    int32_t Mapped;
    std::array<double, 2> Radii;
    bool ShapeKept;
  };
  const Case cases[] = {
      {1100, kToolDrill, {1.0, 2.0}, false}, {1000, kToolDrill, {1.0, 0.0}, false},
      {103, kToolBull, {0.0, 2.0}, false},   {107, kToolTThrow, {0.0, 2.0}, true},
      {7, kToolTThrow, {1.0, 0.0}, true},    {2, kToolFlat, {1.0, 0.0}, false},
  };
  for (const Case& c : cases) {
    PluginTool tool;
    tool.Tool.Kind = c.Kind;
    tool.ExtraRadii = {1.0, 2.0};
    tool.ShapeValues = {3.0, 4.0, 5.0};
    MapPluginToolKind(tool);
    EXPECT_EQ(tool.Tool.Kind, c.Mapped) << c.Kind;
    EXPECT_EQ(tool.ExtraRadii, c.Radii) << c.Kind;
    EXPECT_EQ(tool.ShapeValues[0], c.ShapeKept ? 3.0 : 0.0) << c.Kind;
  }
}

// The module writes its name into 96 bytes: what comes back is cut at its
// terminator and never longer than the buffer allows.
TEST(MapPluginToolKind, NamesAreBounded) {
  PluginTool tool;
  tool.Name = std::string(200, 'N');
  MapPluginToolKind(tool);
  EXPECT_EQ(tool.Name.size(), kPluginToolNameBytes - 1);
  tool.Name = std::string("END MILL\0garbage", 16);
  MapPluginToolKind(tool);
  EXPECT_EQ(tool.Name, "END MILL");
}

TEST(NormalizePluginTool, DerivedDimensionsByKind) {
  struct Case {
    int32_t Kind;
    float Diameter, R1, R2, TaperAngle;
    float ExpectDiameter, ExpectR1, ExpectR2, ExpectFlat;
  };
  const float h = static_cast<float>(std::sqrt(3.0));
  const Case cases[] = {
      {kToolBall, 10.0f, 0.0f, 0.0f, 0.0f, 10.0f, 5.0f, 5.0f, 0.0f},
      {kToolBull, 10.0f, 2.0f, 0.0f, 0.0f, 10.0f, 2.0f, 2.0f, 3.0f},
      {kToolTaperBall, 0.0f, 2.0f, 0.0f, 0.0f, 4.0f, 2.0f, 0.0f, 0.0f},
      {kToolRadius, 10.0f, 2.0f, 1.0f, 0.0f, 10.0f, 2.0f, 1.0f, 3.0f - h},
      {kToolRadius, 10.0f, 2.0f, 3.0f, 0.0f, 10.0f, 2.0f, 3.0f, 1.0f},
      {kToolFlat, 10.0f, 1.0f, 1.0f, 0.0f, 10.0f, 1.0f, 1.0f, 0.0f},
  };
  for (const Case& c : cases) {
    ToolRecord tool;
    tool.Kind = c.Kind;
    tool.Diameter = c.Diameter;
    tool.CornerRadius = c.R1;
    tool.LowerCornerRadius = c.R2;
    tool.TaperAngle = c.TaperAngle;
    NormalizePluginTool(tool);
    EXPECT_FLOAT_EQ(tool.Diameter, c.ExpectDiameter) << c.Kind;
    EXPECT_FLOAT_EQ(tool.CornerRadius, c.ExpectR1) << c.Kind;
    EXPECT_FLOAT_EQ(tool.LowerCornerRadius, c.ExpectR2) << c.Kind;
    EXPECT_NEAR(tool.CornerCentreRadius, c.ExpectFlat, 1e-5) << c.Kind;
  }
}

TEST(OpenPluginNcProgram, ToolAndStartPointFromTheModule) {
  PluginPass pass;
  pass.World->Defs.Paths.NcProgram = "part.nc";
  pass.Read.Entries = {ReadPluginEntry::kOpen, ReadPluginEntry::kTool, ReadPluginEntry::kArbor,
                       ReadPluginEntry::kStartPoint};
  pass.Read.Tool.Tool.Kind = 1;
  pass.Read.Tool.Tool.Diameter = 8.0f;
  pass.Read.Tool.Name = "BALL 8";
  pass.Read.Arbor.StepCount = 2;
  pass.Read.StartPoint = {1.0, 2.0, 100.0, 0.0, 0.0};
  pass.World->Modal().Tools.CurrentToolNumber = 5;
  OpenPluginNcProgram(pass.World->Context, pass.World->Records, pass.Reader);
  EXPECT_EQ(pass.Read.Calls, (std::vector<std::string>{"VSREADOPEN part.nc", "VSREADTOOL",
                                                       "VSREADARBOR", "VSREADSTARTPOINT"}));
  EXPECT_EQ(pass.Entry0().Kind, kToolBall);
  EXPECT_FLOAT_EQ(pass.Entry0().CornerRadius, 4.0f);
  EXPECT_EQ(pass.Entry0().Name, std::optional<std::string>("BALL 8"));
  EXPECT_EQ(pass.World->Defs.Tools.Arbors[0].StepCount, 2);
  EXPECT_EQ(pass.World->Modal().Tools.CurrentToolNumber, 0);
  EXPECT_EQ(pass.World->Modal().Length.PluginTool, 1);
  EXPECT_EQ(pass.MadeCurrent, 1);
  const AxisPosition start{1.0, 2.0, 100.0, 0.0, 0.0};
  EXPECT_EQ(pass.World->Defs.Settings.ControlPoint, start);
  EXPECT_EQ(pass.World->Modal().ProgramPosition, start);
  EXPECT_EQ(pass.World->Context.Move.End, start);
}

TEST(OpenPluginNcProgram, MissingEntriesAreSkipped) {
  PluginPass pass;
  pass.Read.Entries = {ReadPluginEntry::kPath};
  pass.Entry0().Kind = -1;
  OpenPluginNcProgram(pass.World->Context, pass.World->Records, pass.Reader);
  EXPECT_TRUE(pass.Read.Calls.empty());
  EXPECT_EQ(pass.Entry0().Kind, -1);
  EXPECT_EQ(pass.MadeCurrent, 0);
}

TEST(PluginPathRecords, PathBeforeIjkAndThePreviewApart) {
  PluginPass pass;
  pass.Read.Entries = {ReadPluginEntry::kPath, ReadPluginEntry::kPathIjk};
  PluginPathRecord record;
  record.Kind = 18;
  record.LineNumber = 7;
  pass.Read.Path = {record, record};
  int32_t delivered = 0;
  EXPECT_EQ(FetchPluginPathRecord(pass.Reader, delivered), 1);
  EXPECT_EQ(delivered, 1);
  EXPECT_EQ(pass.Reader.Record.Kind, 18);
  EXPECT_EQ(PeekPluginPathRecord(pass.Reader, delivered), 1);
  EXPECT_EQ(pass.Reader.Preview.LineNumber, 7);
  EXPECT_EQ(FetchPluginPathRecord(pass.Reader, delivered), 0);
  EXPECT_EQ(delivered, 0);
  EXPECT_EQ(pass.Reader.Record.Delivered, 0);
  EXPECT_EQ(pass.Read.Calls, (std::vector<std::string>{"VSREADPATH", "VSREADPATH", "VSREADPATH"}));
  pass.Reader.Plugin = nullptr;
  EXPECT_EQ(FetchPluginPathRecord(pass.Reader, delivered), 0);
  EXPECT_EQ(delivered, 0);
}

// The IJK form names no plane: its records are of kind 17 (XY), their
// motion type as delivered.
TEST(PluginPathRecords, AnIjkRecordKeepsItsMotion) {
  PluginPass pass;
  pass.Read.Entries = {ReadPluginEntry::kPathIjk};
  PluginPathRecord record;
  record.Type = kMotionClockwise;
  record.Kind = 19;
  record.Feed = 300.0;
  pass.Read.Path = {record};
  int32_t delivered = 0;
  EXPECT_EQ(FetchPluginPathRecord(pass.Reader, delivered), 1);
  EXPECT_EQ(pass.Reader.Record.Type, kMotionClockwise);
  EXPECT_EQ(pass.Reader.Record.Kind, kPluginIjkRecordKind);
  EXPECT_DOUBLE_EQ(pass.Reader.Record.Feed, 300.0);
}

TEST(RunNcCommentPlugin, EachKindUntilItAsksToStop) {
  PluginPass pass;
  pass.Comment.Entries = {CommentPluginEntry::kTool, CommentPluginEntry::kArbor};
  pass.Comment.Tool.Tool.Kind = 103;
  pass.Comment.Tool.Tool.Diameter = 10.0f;
  pass.Comment.Tool.Tool.CornerRadius = 1.0f;
  pass.Comment.ToolStatus = kCommentPluginDone;
  pass.Comment.ArborStatus = 0;
  pass.World->Context.Line.Assign("T1 (BULL D10 R1)\n");

  // Off: not called.
  RunNcCommentPlugin(pass.World->Context, pass.World->Records, pass.Reader);
  EXPECT_TRUE(pass.Comment.Calls.empty());

  pass.Reader.CommentPluginOn = 1;
  RunNcCommentPlugin(pass.World->Context, pass.World->Records, pass.Reader);
  ASSERT_EQ(pass.Comment.Calls.size(), 2u);
  EXPECT_EQ(pass.Comment.Calls[0].Text, "T1 (BULL D10 R1)\n");
  EXPECT_EQ(pass.Entry0().Kind, kToolBull);
  EXPECT_FLOAT_EQ(pass.Entry0().CornerCentreRadius, 4.0f);
  EXPECT_EQ(pass.MadeCurrent, 1);

  // The tool asked not to be called again; the holder did not deliver.
  RunNcCommentPlugin(pass.World->Context, pass.World->Records, pass.Reader);
  ASSERT_EQ(pass.Comment.Calls.size(), 3u);
  EXPECT_EQ(pass.Comment.Calls[2].Entry, CommentPluginEntry::kArbor);
  EXPECT_EQ(pass.MadeCurrent, 1);
}

}  // namespace
}  // namespace vestan::testing
