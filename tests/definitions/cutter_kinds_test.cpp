#include "definitions/cutter_kinds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <optional>
#include <string>

#include "definitions/tool_geometry.h"

namespace vestan {
namespace {

// Reads the cutter key at the start of line into record.
void ReadCutter(std::string_view line, ToolRecord& record, bool english = false) {
  const std::optional<CutterKey> key = MatchCutterKey(line, 0);
  ASSERT_TRUE(key.has_value()) << line;
  int32_t cursor = 0;
  ReadCutterKey(*key, cursor, line, record, english);
}

void ExpectSameCutter(const ToolRecord& got, const ToolRecord& want, const std::string& line) {
  EXPECT_EQ(got.Kind, want.Kind) << line;
  EXPECT_FLOAT_EQ(got.Diameter, want.Diameter) << line;
  EXPECT_FLOAT_EQ(got.CornerRadius, want.CornerRadius) << line;
  EXPECT_FLOAT_EQ(got.LowerCornerRadius, want.LowerCornerRadius) << line;
  EXPECT_FLOAT_EQ(got.CornerCentreRadius, want.CornerCentreRadius) << line;
  EXPECT_FLOAT_EQ(got.TipHeight, want.TipHeight) << line;
  EXPECT_FLOAT_EQ(got.BottomAngle, want.BottomAngle) << line;
  EXPECT_FLOAT_EQ(got.BottomAngleWidth, want.BottomAngleWidth) << line;
  EXPECT_FLOAT_EQ(got.TaperAngle, want.TaperAngle) << line;
  EXPECT_FLOAT_EQ(got.TaperWidth, want.TaperWidth) << line;
  EXPECT_FLOAT_EQ(got.SideParam, want.SideParam) << line;
  EXPECT_FLOAT_EQ(got.BladeWidth, want.BladeWidth) << line;
  EXPECT_FLOAT_EQ(got.NeckDiameter, want.NeckDiameter) << line;
  EXPECT_FLOAT_EQ(got.CuttingLength, want.CuttingLength) << line;
  EXPECT_EQ(got.Name, want.Name) << line;
}

float TaperWidthOf(float d, float r, float g, float a, float l, float w) {
  ComputeTaperToolWidth(d, r, g, a, l, w);
  return w;
}

TEST(CutterKinds, EveryKeyGivesItsKindAndDimensions) {
  const float taperBallD = static_cast<float>(TaperBallDiameter(1, 3));
  struct Case {
    std::string line;
    ToolRecord want;
  };
  const Case cases[] = {
      // The general cutter: the kind follows from the dimensions.
      {"CUTTER 10,5,0,5,0,0,30\n",
       {.Kind = kToolBall, .Diameter = 10, .CornerRadius = 5, .TipHeight = 5, .CuttingLength = 30}},
      {"CUTTER 10,0,0,0,0,0,30\n", {.Kind = kToolFlat, .Diameter = 10, .CuttingLength = 30}},
      {"CUTTER 10,2,0,2,0,0,30\n",
       {.Kind = kToolBull, .Diameter = 10, .CornerRadius = 2, .TipHeight = 2, .CuttingLength = 30}},
      {"CUTTER 10,-1,0,0,0,0,30\n",
       {.Kind = kToolDrill, .Diameter = 10, .CornerRadius = -1, .CuttingLength = 30}},
      {"CUTTER 3.3563985,2,0,2,0,10,30\n",
       {.Kind = kToolTaperBall,
        .Diameter = 3.3563985f,
        .CornerRadius = 2,
        .TipHeight = 2,
        .TaperAngle = 10,
        .CuttingLength = 30}},
      {"CUTTER 0,2,0,2,0,10,30\n",  // no diameter: only the taper ball rule could apply
       {.Kind = kToolDrill,
        .CornerRadius = 2,
        .TipHeight = 2,
        .TaperAngle = 10,
        .CuttingLength = 30}},
      {"CUTTER 10,2,0,2,30;3,0,30 \"SPOT\"\n",
       {.Kind = kToolDrill,
        .Diameter = 10,
        .CornerRadius = 2,
        .TipHeight = 2,
        .BottomAngle = 30,
        .BottomAngleWidth = 3,
        .CuttingLength = 30,
        .Name = "SPOT"}},
      {"CUTTER 10,0,0,0,0;3,0,30\n",  // a bottom width without a bottom angle is not read
       {.Kind = kToolFlat, .Diameter = 10, .CuttingLength = 30}},
      {"CUTTER 10,1,0,1,0,5;12,30\n",
       {.Kind = kToolDrill,
        .Diameter = 10,
        .CornerRadius = 1,
        .TipHeight = 1,
        .TaperAngle = 5,
        .TaperWidth = TaperWidthOf(10, 1, 0, 5, 30, 12),
        .CuttingLength = 30}},
      // The named kinds.
      {"BALL 10,40 \"BALL R5\"\n",
       {.Kind = kToolBall,
        .Diameter = 10,
        .CornerRadius = 5,
        .TipHeight = 5,
        .CuttingLength = 40,
        .Name = "BALL R5"}},
      {"FLAT 8,20\n", {.Kind = kToolFlat, .Diameter = 8, .CuttingLength = 20}},
      {"FLAT 1,2 \"Kegaki pen\"\n",
       {.Kind = kToolKegaki, .Diameter = 1, .CuttingLength = 2, .Name = "Kegaki pen"}},
      {"KEGAKI 0.5,1\n", {.Kind = kToolKegaki, .Diameter = 0.5f, .CuttingLength = 1}},
      {"BULL 12,2,25\n",
       {.Kind = kToolBull,
        .Diameter = 12,
        .CornerRadius = 2,
        .CornerCentreRadius = 4,
        .TipHeight = 2,
        .CuttingLength = 25}},
      {"BULL 12,-2,25\n",
       {.Kind = kToolDrill,
        .Diameter = 12,
        .CornerRadius = -2,
        .TipHeight = 2,
        .CuttingLength = 25}},
      {"BULL 12,0,25\n", {.Kind = kToolFlat, .Diameter = 12, .CuttingLength = 25}},
      {"TAPERBALL 1,3;8,40\n",
       {.Kind = kToolTaperBall,
        .Diameter = taperBallD,
        .CornerRadius = 1,
        .TaperAngle = 3,
        .TaperWidth = TaperWidthOf(taperBallD, 1, 0, 3, 40, 8),
        .CuttingLength = 40}},
      {"VERTICAL 10,2,30\n",
       {.Kind = kToolVertical, .Diameter = 10, .SideParam = 2, .CuttingLength = 30}},
      {"OVAL 10,3,6,20\n",
       {.Kind = kToolOval,
        .Diameter = 10,
        .CornerCentreRadius = 6,
        .TipHeight = 3,
        .CuttingLength = 20}},
      {"OVALR 10,3,6,1,20\n",
       {.Kind = kToolOval,
        .Diameter = 10,
        .CornerRadius = 1,
        .CornerCentreRadius = 6,
        .TipHeight = 3,
        .CuttingLength = 20}},
      {"T-THROW 20,3,2,2,8\n",
       {.Kind = kToolTThrow,
        .Diameter = 20,
        .CornerRadius = 2,
        .LowerCornerRadius = 2,
        .BladeWidth = 4,
        .NeckDiameter = 8,
        .CuttingLength = 15}},
      {"T-THROW 20;12,3,2,2,8\n",  // a width of its own: no radii
       {.Kind = kToolTThrow,
        .Diameter = 20,
        .TaperWidth = 12,
        .BladeWidth = 3,
        .NeckDiameter = 8,
        .CuttingLength = 15}},
      {"T-THROW 20;20,3,2,2,8\n",  // a width equal to the diameter keeps them
       {.Kind = kToolTThrow,
        .Diameter = 20,
        .CornerRadius = 2,
        .LowerCornerRadius = 2,
        .TaperWidth = 20,
        .BladeWidth = 4,
        .NeckDiameter = 8,
        .CuttingLength = 15}},
      {"SPHERE 6,3\n",
       {.Kind = kToolSphere, .Diameter = 6, .NeckDiameter = 3, .CuttingLength = 30}},
      {"RADIUS 20,5,10\n",
       {.Kind = kToolRadius,
        .Diameter = 20,
        .CornerRadius = 5,
        .TipHeight = 10,
        .CuttingLength = 5}},
      {"RADIUS 20,5,1\n",
       {.Kind = kToolRadius,
        .Diameter = 20,
        .CornerRadius = 5,
        .CornerCentreRadius = 2,
        .TipHeight = 1,
        .CuttingLength = 5}},
      {"DRILL 8,31,40 \"D8\"\n",
       {.Kind = kToolDrill,
        .Diameter = 8,
        .CornerCentreRadius = 4,
        .BottomAngle = 31,
        .CuttingLength = 40,
        .Name = "D8"}},
      {"DRILL 8,31,40\n",
       {.Kind = kToolDrill,
        .Diameter = 8,
        .CornerCentreRadius = 4,
        .BottomAngle = 31,
        .CuttingLength = 40,
        .Name = "\x83\x68\x83\x8a\x83\x8b"}},
      // Missing values read as 0; the kind is set all the same.
      {"BALL\n", {.Kind = kToolBall}},
      {"ball=10,40\n",
       {.Kind = kToolBall, .Diameter = 10, .CornerRadius = 5, .TipHeight = 5, .CuttingLength = 40}},
  };
  for (const Case& c : cases) {
    ToolRecord record;
    ReadCutter(c.line, record);
    ExpectSameCutter(record, c.want, c.line);
  }
}

TEST(CutterKinds, DrillDefaultNameFollowsTheLanguage) {
  ToolRecord record;
  ReadCutter("DRILL 5,30,20\n", record, /*english=*/true);
  EXPECT_EQ(record.Name, "Drill");
  ReadCutter("DRILL 5,30,20 \"\"\n", record, true);  // an empty name is a name
  EXPECT_EQ(record.Name, "");
  EXPECT_EQ(DefaultDrillName(false), "\x83\x68\x83\x8a\x83\x8b");
}

TEST(CutterKinds, FieldsAKeyDoesNotNameKeepTheirValues) {
  ToolRecord record;
  record.TaperAngle = 45;
  record.BladeWidth = 7;
  ReadCutter("DRILL 10,30,50\n", record);
  // The tip height comes from the taper angle held before the key.
  EXPECT_FLOAT_EQ(record.TipHeight, 5.0f);
  EXPECT_EQ(record.TaperAngle, 0.0f);
  EXPECT_EQ(record.BladeWidth, 7.0f);

  record.Name = "OLD";
  ReadCutter("SPHERE 6,3\n", record);  // no quotes: the old name goes
  EXPECT_FALSE(record.Name.has_value());
}

TEST(CutterKinds, LongerKeysWin) {
  EXPECT_EQ(MatchCutterKey("OVALR 1\n", 0), CutterKey::kOvalR);
  EXPECT_EQ(MatchCutterKey("oval 1\n", 0), CutterKey::kOval);
  EXPECT_EQ(MatchCutterKey("IMPORT-TOOL \"a.dxf\"\n", 0), CutterKey::kImportTool);
  EXPECT_EQ(MatchCutterKey("IMPORT \"a.stl\"\n", 0), CutterKey::kImport);
  EXPECT_EQ(MatchCutterKey("X BALL\n", 2), CutterKey::kBall);
  EXPECT_FALSE(MatchCutterKey("BAL\n", 0).has_value());
  EXPECT_FALSE(MatchCutterKey("BALL\n", 10).has_value());
}

TEST(CutterKinds, ImportKeysReadTheirFieldsAndName) {
  ToolRecord record;
  record.Kind = kToolBall;
  ReadCutter("IMPORT-TOOL \"tools\\form.dxf\"\n", record);
  EXPECT_EQ(record.ProfileFile, "tools\\form.dxf");
  EXPECT_EQ(record.Kind, kToolBall);  // no outline read: the kind stays
  EXPECT_EQ(record.Diameter, 10.0f);
  EXPECT_EQ(record.CuttingLength, 10.0f);

  ReadCutter("IMPORT \"probe.stl\",1.5,-2,30,6\n", record);
  EXPECT_EQ(record.Kind, kToolImportedMesh);
  EXPECT_EQ(record.Name, "probe.stl");
  EXPECT_EQ(record.ImportOffset, (std::array<double, 3>{1.5, -2, 30}));
  EXPECT_EQ(record.NeckDiameter, 6.0f);
}

}  // namespace
}  // namespace vestan
