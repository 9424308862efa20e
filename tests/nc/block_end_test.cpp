// The block end position, the rotary warning report and the tool-length
// report line.
#include "nc/block_end.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nc/nc_modal_operations.h"
#include "nc/nc_world.h"
#include "platform/file_open.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

using testing::MakeNcWorld;
using testing::ScratchFolder;

void ExpectPosition(const AxisPosition& got, const AxisPosition& want, const std::string& name) {
  for (size_t i = 0; i < 5; ++i) EXPECT_NEAR(got[i], want[i], 1e-12) << name << " axis " << i;
}

TEST(FinishMove, SnapsNearZeroValuesAndKeepsThePreviousPosition) {
  auto w = MakeNcWorld();
  NcContext& c = w->Context;
  c.BlockEnd.Current = {1, 2, 3, 4, 5};
  c.Move.End = {4e-7, 2e-6, -9.9e-7, -1e-6, 10};
  FinishMove(c, w->Records);
  ExpectPosition(c.BlockEnd.Previous, {1, 2, 3, 4, 5}, "previous");
  EXPECT_EQ(c.Move.End[0], 0.0);
  EXPECT_EQ(c.Move.End[1], 2e-6);
  EXPECT_EQ(c.Move.End[2], 0.0);
  EXPECT_EQ(c.Move.End[3], -1e-6);
  ExpectPosition(c.BlockEnd.Current, c.Move.End, "current");
}

TEST(FinishMove, ToolLengthVectorOrExtraOffset) {
  auto w = MakeNcWorld();
  NcContext& c = w->Context;
  c.Modal.Length.ToolLengthVector = {3, 4, 100};
  c.Modal.Length.PreviousToolLength = 50;
  c.Move.End = {10, 10, 10, 0, 0};
  c.Modal.Length.BAxisLength = 1;
  FinishMove(c, w->Records);
  ExpectPosition(c.BlockEnd.Current, {13, 10, 110, 0, 0}, "vector: X and Z");
  c.Modal.Length.BAxisLength = 0;
  c.BlockEnd.ExtraLengthOffset = 1;
  FinishMove(c, w->Records);
  ExpectPosition(c.BlockEnd.Current, {10, 10, 60, 0, 0}, "extra offset on Z");
  c.Modal.ToolTipLength = 1;
  FinishMove(c, w->Records);
  ExpectPosition(c.BlockEnd.Current, {10, 10, 10, 0, 0}, "none under tool-tip control");
}

TEST(FinishMove, CoordinateRotationTurnsCounterClockwise) {
  auto w = MakeNcWorld();
  NcContext& c = w->Context;
  CoordinateRotation& r = c.Modal.Rotation;
  r.State = kRotationActive;
  r.Count = 1;
  r.Slots[0].Cos = 0.0;
  r.Slots[0].Sin = 1.0;
  r.Slots[0].Centre = {5, 0, 0};
  c.Move.End = {10, 0, -1, 0, 0};
  FinishMove(c, w->Records);
  ExpectPosition(c.BlockEnd.Current, {5, 5, -1, 0, 0}, "about (5, 0)");
  // An arc: centre and radial vectors turn with it.
  c.Move.MotionMode = kMotionCounterClockwise;
  c.Move.End = {15, 0, 0, 0, 0};
  c.Move.Centre = {10, 0, 0};
  c.Move.StartRadial = {-1, 0, 0};
  c.Move.EndRadial = {1, 0, 0};
  FinishMove(c, w->Records);
  ExpectPosition(c.BlockEnd.Current, {5, 10, 0, 0, 0}, "arc end");
  EXPECT_NEAR(c.Move.Centre[1], 5.0, 1e-12);
  EXPECT_NEAR(c.Move.StartRadial[1], -1.0, 1e-12);
  EXPECT_NEAR(c.Move.EndRadial[1], 1.0, 1e-12);
  // The G68 block itself is not turned.
  c.Move.MotionMode = kMotionLinear;
  c.Modal.LastGCode = 68;
  c.Move.End = {10, 0, 0, 0, 0};
  FinishMove(c, w->Records);
  ExpectPosition(c.BlockEnd.Current, {10, 0, 0, 0, 0}, "G68 block");
  // Under scaling the centre is scaled like the end already was: (5, 0) by
  // 2 is (10, 0), so an end of (12, 0) goes to (10, 2).
  c.Modal.LastGCode = 1;
  c.Modal.Scaling.On = 1;
  c.Modal.Scaling.Factors = {2, 2, 2};
  c.Move.End = {12, 0, 0, 0, 0};
  FinishMove(c, w->Records);
  ExpectPosition(c.BlockEnd.Current, {10, 2, 0, 0, 0}, "scaled centre");
}

TEST(FinishMove, RotationBeingEndedTakesTheEndBack) {
  auto w = MakeNcWorld();
  NcContext& c = w->Context;
  c.Modal.Rotation.State = kRotationActive;
  c.Modal.Rotation.Count = 1;
  c.Move.EndsRotation = 1;  // a G69 block without axis words
  c.BlockEnd.Current = {0, 10, 5, 0, 0};
  c.Move.End = {10, 0, 7, 0, 0};
  FinishMove(c, w->Records);
  ExpectPosition(c.Move.End, {0, 10, 7, 0, 0}, "plane axes from the current position");
  EXPECT_EQ(c.Modal.Rotation.State, kRotationNone);
  EXPECT_EQ(c.Modal.Rotation.Count, 0);
}

// A new pass (a run after a data check, say) starts with no mirror image,
// OSP rotation or angle correction, at the pass's start position.
TEST(FinishMove, APassResetStartsTheBlockEndAfresh) {
  auto w = MakeNcWorld();
  NcContext& c = w->Context;
  c.BlockEnd.Mirror.On = 1;
  c.BlockEnd.Mirror.Mirrored = {1, 0, 0};
  c.BlockEnd.OspRotation.State = kOspActive;
  c.BlockEnd.AngleCorrection = kOspActive;
  c.BlockEnd.Current = {9, 9, 9, 0, 0};
  c.BlockEnd.WarningOption = 1;
  ResetNcModalState(c, w->Records);
  EXPECT_EQ(c.BlockEnd.Mirror.On, 0);
  EXPECT_EQ(c.BlockEnd.Mirror.Mirrored, (std::array<int32_t, 3>{0, 0, 0}));
  EXPECT_EQ(c.BlockEnd.OspRotation.State, kOspOff);
  EXPECT_EQ(c.BlockEnd.AngleCorrection, kOspOff);
  ExpectPosition(c.BlockEnd.Current, c.Move.End, "current");
  EXPECT_EQ(c.BlockEnd.WarningOption, 1);  // the run's report option stays
}

TEST(FinishMove, MirrorImageReversesArcsOnlyForOnePlaneAxis) {
  struct Case {
    const char* Name;
    std::array<int32_t, 3> Mirrored;
    int32_t Plane;
    int32_t Mode;
    AxisPosition Current;
  };
  // G02 from (10, 0) to (0, -10) about the origin; mirror centre (1, 2, 3).
  const std::vector<Case> cases{
      {"X under G17", {1, 0, 0}, 17, kMotionCounterClockwise, {2, -10, 0, 0, 0}},
      {"Y under G17", {0, 1, 0}, 17, kMotionCounterClockwise, {0, 14, 0, 0, 0}},
      {"X and Y under G17", {1, 1, 0}, 17, kMotionClockwise, {2, 14, 0, 0, 0}},
      {"Z under G17", {0, 0, 1}, 17, kMotionClockwise, {0, -10, 6, 0, 0}},
      {"Z under G18", {0, 0, 1}, 18, kMotionCounterClockwise, {0, -10, 6, 0, 0}},
  };
  for (const Case& k : cases) {
    auto w = MakeNcWorld();
    NcContext& c = w->Context;
    c.Modal.Plane.PlaneCode = k.Plane;
    c.Modal.Plane.PlaneAxes =
        k.Plane == 17 ? std::array<int32_t, 3>{0, 1, 2} : std::array<int32_t, 3>{2, 0, 1};
    c.BlockEnd.Mirror = {1, k.Mirrored, {1, 2, 3}, 1};
    c.Move.MotionMode = kMotionClockwise;
    c.Move.End = {0, -10, 0, 0, 0};
    c.Move.Centre = {0, 0, 0};
    c.Move.StartRadial = {1, 0, 0};
    c.Move.EndRadial = {0, -1, 0};
    FinishMove(c, w->Records);
    EXPECT_EQ(c.Move.MotionMode, k.Mode) << k.Name;
    EXPECT_EQ(c.BlockEnd.Mirror.ReverseArc, k.Mode == kMotionClockwise ? 1 : 0) << k.Name;
    ExpectPosition(c.BlockEnd.Current, k.Current, k.Name);
    EXPECT_EQ(c.Move.StartRadial[0], k.Mirrored[0] != 0 ? -1.0 : 1.0) << k.Name;
  }
}

TEST(FinishMove, OspWorkOffsetRotationRoundTrips) {
  const std::array<int32_t, 3> axes{0, 1, 2};
  const double angle = 30.0, cs = std::cos(angle * kRadiansPerDegree),
               sn = std::sin(angle * kRadiansPerDegree);
  AxisPosition p{7, -3, 2, 0, 0};
  RotateThenOffsetPoint(p, axes, angle, cs, sn, {1, 2, 3});
  OffsetThenUnrotatePoint(p, axes, angle, cs, sn, {1, 2, 3});
  ExpectPosition(p, {7, -3, 2, 0, 0}, "round trip");
  AxisPosition q{1, 0, 0, 0, 0};
  RotateThenOffsetPoint(q, axes, 90.0, 0.0, 1.0, {0, 0, 0});
  ExpectPosition(q, {0, 1, 0, 0, 0}, "toward +second axis");
}

TEST(WarningReport, NamedAfterTheProgram) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"/cam/jobs/part.nc", "/cam/jobs/part_warning.txt"},
      {"/cam/jobs/part", "/cam/jobs/part_warning.txt"},
      {"/cam/v1.2/part", "/cam/v1.2/part_warning.txt"},
      {"C:\\cam\\part.v2.nc", "C:\\cam\\part.v2_warning.txt"},
      {"part.nc", "part_warning.txt"},
      {"part", "part_warning.txt"},
  };
  for (const auto& [program, report] : cases)
    EXPECT_EQ(WarningReportPath(program), report) << program;
}

TEST(WarningReport, LongRotaryMovesAreWrittenBesideTheProgram) {
  ScratchFolder folder;
  auto w = MakeNcWorld();
  NcContext& c = w->Context;
  w->Defs.Paths.NcProgram = folder / "part.nc";
  c.Modal.MainLineCounter = 12;
  c.Line.Assign("G01 B270.\n");
  CheckLongRotaryMove(c, w->Records, 0, 0, 0, 270);  // option off: nothing
  EXPECT_FALSE(CanOpenForReading(folder / "part_warning.txt"));
  c.BlockEnd.WarningOption = 1;
  CheckLongRotaryMove(c, w->Records, 0, 0, 0, 270);
  c.Subprograms.Depth = 1;
  c.Subprograms.Levels[0].Name = "SUB1";
  c.Subprograms.Levels[0].LineCounter = 3;
  c.Line.Assign("G01 A-90.\n");
  // As the rotary solutions report it.
  RotaryWarningReport(c, w->Records)(0, 270, -90, 270);
  EXPECT_EQ(c.BlockEnd.WarningCount, 2);
  c.BlockEnd.WarningStream.reset();
  EXPECT_EQ(ReadFileBytes(folder / "part_warning.txt").value_or(""),
            "<<< WARNING INFORMATION >>>\n-----------\n"
            "12:G01 B270.\n* Long movement of rotary axis *\n"
            "( 0.000000 , 0.000000 ) -> ( 0.000000 , 270.000000 )\n\n"
            "SUB1:3:G01 A-90.\n* Long movement of rotary axis *\n"
            "( 0.000000 , 270.000000 ) -> ( -90.000000 , 270.000000 )\n\n");
}

TEST(FormatToolLengthCheck, FieldsByCheckKindAndTool) {
  struct Case {
    const char* Name;
    int32_t Arbor, Height, Chip;
    int32_t English, Temporary, ArborDefined, CutterKind, ShapeKind;
    double Lu, Lt;
    std::string Line;
  };
  const std::vector<Case> cases{
      {"end mill, all checks", 1, 1, 1, 1, 0, 1, 3, 5, 20, 35,
       "T07:EM10:Length=  41.000:Lu= 21.000 or Lt= 36.000:Height=  13.500:TipW=   2.500\n"},
      {"drill: no Lu/Lt", 1, 0, 0, 1, 0, 1, 1, 0, 20, 35, "T07:EM10:Length=  41.000\n"},
      {"Lt not found", 1, 0, 0, 1, 0, 1, 3, 0, 20, -1,
       "T07:EM10:Length=  41.000:Lu= 21.000 or Lt= NG\n"},
      {"Lu not settled", 1, 0, 0, 1, 0, 1, 9, 0, 0, 35,
       "T07:EM10:Length=  41.000:Lu= Unsettled or Lt= Unsettled\n"},
      {"no arbor, temporary tool", 1, 0, 0, 1, 1, 0, 10, 0, 0, 0, "TMP:EM10:ARBOR not defined \n"},
      {"chip width of a shape kind 9", 0, 0, 1, 1, 0, 1, 3, 9, 0, 0, "T07:EM10:CenterH=   1.250\n"},
      {"chip width of another shape", 0, 0, 1, 1, 0, 1, 3, 1, 0, 0, "T07:EM10:NOT VERTICAL \n"},
      {"Japanese", 1, 1, 0, 0, 0, 1, 3, 0, 20, 35,
       "T07:EM10:突出=  41.000以上:首下= 21.000 or Lt= 36.000以上:刃長=  13.500以上\n"},
      {"no check in report mode", 2, 3, 0, 1, 0, 1, 3, 5, 20, 35, ""},
  };
  for (const Case& k : cases) {
    InterferenceCheckSettings checks;
    checks.ArborCheck = k.Arbor;
    checks.HeightCheck = k.Height;
    checks.ChipWidthCheck = k.Chip;
    const ToolLengthReportInputs in{
        checks, 1, k.English, 7, k.Temporary, "EM10", k.ArborDefined, k.CutterKind, k.ShapeKind};
    ToolLengthChecks results{k.Lu, k.Lt, 40.0, 12.5, 2.5, 1.25};
    int32_t present = 1;
    EXPECT_EQ(FormatToolLengthCheck(in, results, present), k.Line) << k.Name;
    if (k.Line.empty()) continue;
    EXPECT_EQ(present, 0) << k.Name;
    EXPECT_EQ(results.ArborClearLength, 0.0) << k.Name;
  }
  // No step cut since the last tool change: no line.
  InterferenceCheckSettings checks;
  checks.ArborCheck = 1;
  ToolLengthChecks results{};
  int32_t present = 0;
  EXPECT_EQ(FormatToolLengthCheck({checks, 1, 1, 7, 0, "EM10", 1, 3, 0}, results, present), "");
  present = 1;
  EXPECT_EQ(FormatToolLengthCheck({checks, 4, 1, 7, 0, "EM10", 1, 3, 0}, results, present), "");
}

}  // namespace
}  // namespace vestan
