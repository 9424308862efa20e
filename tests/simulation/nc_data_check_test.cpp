// The NC data check: the trapezoidal time model against hand-worked values,
// the feed segments merged and split, and whole programs checked through
// the session (extents, lengths, times, codes, processes).
#include "simulation/nc_data_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "simulation/session_runs.h"

namespace vestan {
namespace {

TEST(NcDataCheck, AccelMoveTimeByHand) {
  struct Case {
    const char* Name;
    double L, vs, vmax, ve, acc, Time;
  };
  const double a = 9800.0;
  // Too short for the full speed: the peak of sqrt(50 + a * 0.01 + 50).
  const double vp = std::sqrt(50.0 + a * 0.01 + 50.0);
  const Case cases[] = {
      {"cruise, zero speeds count as 10", 100, 0, 100, 0, 1,
       (100 - 2 * (10 + 100) * 0.5 * (90 / a)) / 100 + 2 * 90 / a},
      {"no length, no time", 0, 10, 100, 10, 1, 0.0},
      {"peak speed", 0.01, 10, 100, 10, 1, 2 * (vp - 10) / a},
      {"no acceleration: full speed", 50, 0, 100, 0, 0, 0.5},
      {"negative acceleration: full speed", 50, 0, 100, 0, -1, 0.5},
  };
  for (const Case& c : cases)
    EXPECT_NEAR(ComputeAccelMoveTime(c.L, c.vs, c.vmax, c.ve, c.acc), c.Time, 1e-12) << c.Name;
  EXPECT_NEAR(ComputeAccelMoveTime(100, 0, 100, 0, 1), 1.00827, 1e-5);
}

// Feed moves booked by segments: straight runs at one feed are one segment,
// corners and feed changes split them.
TEST(NcDataCheck, FeedSegmentsMergeAndSplit) {
  TimeModel model;
  model.RapidFeedLimit = 5000.0;
  model.CuttingAcceleration = {0.3, 0.3, 0.3};
  const auto time = [&](double L, double f0, double f, double f1) {
    return ComputeAccelMoveTime(L, f0 / 60, f / 60, f1 / 60, 0.3);
  };
  struct Move {
    Vec3 From, To;
    double Feed;
  };
  struct Case {
    const char* Name;
    std::vector<Move> Moves;
    double FeedTime;
  };
  const Case cases[] = {
      {"collinear at one feed: one segment", {{{0, 0, 0}, {10, 0, 0}, 1000}, {{10, 0, 0}, {30, 0, 0}, 1000}},
       time(30, 0, 1000, 0)},
      {"a right angle: two segments from and to rest",
       {{{0, 0, 0}, {10, 0, 0}, 1000}, {{10, 0, 0}, {10, 20, 0}, 1000}},
       time(10, 0, 1000, 0) + time(20, 0, 1000, 0)},
      {"feed drop joins at the lower feed",
       {{{0, 0, 0}, {10, 0, 0}, 1000}, {{10, 0, 0}, {30, 0, 0}, 500}},
       time(10, 0, 1000, 500) + time(20, 500, 500, 0)},
  };
  for (const Case& c : cases) {
    NcCheckResults r;
    for (const Move& m : c.Moves) {
      const Vec3 d{m.To[0] - m.From[0], m.To[1] - m.From[1], m.To[2] - m.From[2]};
      ComputeMoveTime(r, model, kMotionLinear, VectorLength(d), m.Feed, m.From, m.To, d);
    }
    FlushMoveTime(r, model);
    EXPECT_NEAR(r.FeedTime, c.FeedTime, 1e-12) << c.Name;
    EXPECT_NEAR(r.FeedLength, 30.0, 1e-12) << c.Name;
    EXPECT_EQ(r.CuttingFeedTime, r.FeedTime) << c.Name;
    EXPECT_EQ(r.Pending.Length, 0.0) << c.Name;
  }
}

struct CheckRun {
  testing::FolderSession Run;
  Session& S = Run.S;
  NcCheckResults R;
  CheckRun() {
    testing::ReadShippedDefinitions(S, Run.Folder.Path());
    S.Defs.Checks.RapidFeedrate = 5000.0;
  }
  int32_t Check(const std::string& text, int32_t mode = kCheckData) {
    S.Defs.Paths.NcProgram = Run.Folder.Write("c.nc", text);
    return CheckNcData(S, mode, R);
  }
};

TEST(NcDataCheck, EmptyProgramLeavesTheSentinels) {
  CheckRun c;
  EXPECT_EQ(c.Check("%\nM30\n%\n"), kCheckDone);
  for (const CheckExtents* e : {&c.R.Work, &c.R.Machine, &c.R.CuttingWork, &c.R.CuttingMachine})
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(e->Min[i], 9999999.0);
      EXPECT_EQ(e->Max[i], -9999999.0);
    }
  EXPECT_EQ(c.R.MinFeed, 9999999.0);
  EXPECT_EQ(c.R.MaxFeed, -9999999.0);
  EXPECT_EQ(c.R.FeedTime, 0.0);
}

TEST(NcDataCheck, ProgramThatCannotBeOpenedIsNoCleanCheck) {
  CheckRun c;
  c.S.Defs.Paths.NcProgram = c.Run.Folder.Path() + "/none.nc";
  EXPECT_EQ(CheckNcData(c.S, kCheckData, c.R), kCheckNotOpened);
  EXPECT_EQ(c.R.ProgramRead, 0);
  ASSERT_FALSE(c.Run.Host.Messages.empty());
  EXPECT_NE(c.Run.Host.Messages.back().Text.find("none.nc"), std::string::npos);
}

// The slot program: a rapid approach, a plunge and a cut along X at F500,
// a change to tool 2 (by the machine's change route, up at Z40 in work
// coordinates) and a cut along Y. G54 is at (-50, -50, 110); tool lengths
// put the tip at the programmed point.
TEST(NcDataCheck, LengthsExtentsCodesAndProcesses) {
  CheckRun c;
  const std::string program =
      "%\n"
      "G90 G54 G00 X-10. Y50. Z10.\n"
      "G01 Z-5. F500\n"
      "X60.\n"
      "G00 Z10.\n"
      "T2 M6\n"
      "G00 X20. Y20. Z10.\n"
      "G01 Z-2. F300 D12 H2\n"
      "Y40.\n"
      "G00 Z10.\n"
      "M30\n"
      "%\n";
  ASSERT_EQ(c.Check(program), kCheckDone);
  const NcCheckResults& r = c.R;
  EXPECT_NEAR(r.FeedLength, 15 + 70 + 12 + 20, 1e-9);
  EXPECT_NEAR(r.CuttingFeedLength, r.FeedLength, 1e-9);
  EXPECT_EQ(r.MaxFeed, 500.0);
  EXPECT_EQ(r.MinFeed, 300.0);
  EXPECT_EQ(r.MaxCuttingFeed, 500.0);
  // Cutting extents in work coordinates: the feed moves' ends.
  EXPECT_NEAR(r.CuttingWork.Min[0], -10.0, 1e-9);
  EXPECT_NEAR(r.CuttingWork.Max[0], 60.0, 1e-9);
  EXPECT_NEAR(r.CuttingWork.Min[2], -5.0, 1e-9);
  EXPECT_NEAR(r.CuttingWork.Max[2], -2.0, 1e-9);
  // Their span takes the starts too: the plunges cut from Z10.
  EXPECT_NEAR(r.CuttingSpan.Max[2] - r.CuttingMachine.Max[2], 12.0, 1e-9);
  EXPECT_NEAR(r.CuttingSpan.Min[2], r.CuttingMachine.Min[2], 1e-9);
  EXPECT_NEAR(r.CuttingMachine.Min[0], -60.0, 1e-9);
  EXPECT_NEAR(r.Work.Min[2], -5.0, 1e-9);
  EXPECT_NEAR(r.Work.Max[2], 40.0, 1e-9);
  EXPECT_EQ(r.DCodes[12], 1);
  EXPECT_EQ(r.HCodes[2], 1);
  EXPECT_EQ(r.ToolCodes[1], 1);
  EXPECT_EQ(r.ToolCodes[2], 1);
  ASSERT_EQ(r.ProcessCount, 2);
  EXPECT_EQ(r.Processes[1].Tool, 1);
  EXPECT_EQ(r.Processes[2].Tool, 2);
  EXPECT_NEAR(r.Processes[1].Time + r.Processes[2].Time + c.S.Defs.Machine.ToolChangeTime,
              r.RapidTime + r.FeedTime, 1e-9);
  // The session's tool and position are as before.
  EXPECT_EQ(c.S.Nc.Modal.Tools.CurrentToolNumber, 1);

  // Min-max: only the cutting extents.
  CheckRun m;
  ASSERT_EQ(m.Check(program, kCheckMinMax), kCheckDone);
  EXPECT_EQ(m.R.FeedLength, 0.0);
  EXPECT_EQ(m.R.Work.Max[2], -9999999.0);
  EXPECT_NEAR(m.R.CuttingWork.Max[0], 60.0, 1e-9);
}

// Under a coordinate rotation or a mirror image the check follows the tool
// where the block end turns it: a line's end and a NURBS curve's control
// points (a straight curve from X10 to X12, 2 long) turned by G68 R90 about
// the origin, or mirrored by G51.1 X0; the curve booked once, the block
// after it no curve again.
TEST(NcDataCheck, MovesAndCurvesWhereRotationAndMirrorTakeThem) {
  struct Case {
    const char* Name;
    const char* Start;
    const char* End;
    Vec3 CutMin, CutMax;
  };
  const Case cases[] = {
      {"rotation", "G68 X0 Y0 R90.", "G69", {0, 10, -1}, {0, 12, -1}},
      {"mirror", "G51.1 X0", "G50.1 X0", {-12, 0, -1}, {-10, 0, -1}},
  };
  for (const Case& k : cases) {
    CheckRun c;
    const std::string program = std::string("%\nG90 G54 G00 X0 Y0 Z10.\n") + k.Start +
                                "\nG01 X10. Y0 Z-1. F300\n"
                                "G6.2 P3 K0 X10. Y0 Z-1. R1. F500\n"
                                "K0 X10.5\nK0 X11.\nK1. X11.5\nK1. X12.\nK2.\nK2.\nK2.\n" +
                                k.End + "\nG00 Z10.\nM30\n%\n";
    ASSERT_EQ(c.Check(program), kCheckDone) << k.Name;
    const NcCheckResults& r = c.R;
    for (size_t a = 0; a < 3; ++a) {
      EXPECT_NEAR(r.CuttingWork.Min[a], k.CutMin[a], 1e-9) << k.Name << " axis " << a;
      EXPECT_NEAR(r.CuttingWork.Max[a], k.CutMax[a], 1e-9) << k.Name << " axis " << a;
      // G54 (-50, -50, 110) in machine coordinates.
      EXPECT_NEAR(r.CuttingMachine.Max[a] - r.CuttingWork.Max[a], a == 2 ? 110.0 : -50.0, 1e-9)
          << k.Name << " axis " << a;
    }
    // The line, then the curve once at F500.
    EXPECT_NEAR(r.FeedLength, std::hypot(10.0, 11.0) + 2.0, 1e-6) << k.Name;
    EXPECT_EQ(r.MaxFeed, 500.0) << k.Name;
  }
}

// Two stacked rotations in the XY plane, the last given first: 90 degrees
// about the origin, then 90 degrees about (1, 0); then X mirrored about 0.5.
// (2, 0) goes to (0, 2), to (-1, -1), to (2, -1); (1, 1) to (-1, 1), to
// (0, -2), to (1, -2). Z stays. The other order would give (1, 1) first.
TEST(NcDataCheck, UnwindTransformStackTurnsThenMirrorsTheControlPoints) {
  RunState run;
  NcContext nc{run};
  NurbsCurve& curve = nc.Nurbs;
  curve.X = {2, 1};
  curve.Y = {0, 1};
  curve.Z = {5, -3};
  curve.PointCount = 2;
  curve.Allocated = 1;
  CoordinateRotation& rotation = nc.Modal.Rotation;
  rotation.State = kRotationActive;
  rotation.Count = 2;
  rotation.Slots[0] = {90.0, 0.0, 1.0, {0, 1, 2}, {1, 0, 0}, kRotationAxisNone};
  rotation.Slots[1] = {90.0, 0.0, 1.0, {0, 1, 2}, {0, 0, 0}, kRotationAxisNone};
  nc.BlockEnd.Mirror.On = 1;
  nc.BlockEnd.Mirror.Mirrored = {1, 0, 0};
  nc.BlockEnd.Mirror.Centre = {0.5, 7, 7};
  UnwindTransformStack(nc);
  const std::vector<double> x{2, 1}, y{-1, -2}, z{5, -3};
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_NEAR(curve.X[i], x[i], 1e-12) << i;
    EXPECT_NEAR(curve.Y[i], y[i], 1e-12) << i;
    EXPECT_EQ(curve.Z[i], z[i]) << i;
  }

  // No rotation in force and no mirror: the points stay.
  rotation.State = kRotationNone;
  nc.BlockEnd.Mirror.On = 0;
  UnwindTransformStack(nc);
  EXPECT_EQ(curve.X, x);
}

// The check shows its progress under its label, by mode and language, and
// ends it.
// The check changes tools on its own copy of the tool table: tool 2's
// LENGTH2A raises its cutting length when it is made current, and the
// start of a pass clears the no-tool entry a plug-in left; after a check of
// a program changing to tool 2 the application's table is as before.
TEST(NcDataCheck, LeavesTheApplicationsToolTableAsItWas) {
  CheckRun c;
  Session& s = c.S;
  s.Defs.Paths.ToolTable = c.Run.Folder.Write(
      "t.ttl",
      "I 1\nMAGAZINE 1 FLAT 10,30 \"FLAT\"\nLENGTH 60\n"
      "MAGAZINE 2 BALL 6,12 \"BALL\"\nLENGTH2A 50,20,5,6\n");
  ASSERT_EQ(ReadToolTableInto(s).State, kFileRead);
  ToolTable& tools = s.Defs.Tools;
  tools.Records[0].Kind = kToolFlat;
  tools.Arbors[0].Present = 1;
  const ToolTable before = tools;
  ASSERT_EQ(c.Check("%\nG90 G54 G00 X0 Y0 Z10.\nT2 M6\nG01 Z-1. F300\nM30\n%\n"), kCheckDone);
  EXPECT_EQ(c.R.ToolCodes[2], 1);
  EXPECT_EQ(tools.Records, before.Records);
  EXPECT_EQ(tools.Arbors, before.Arbors);
  EXPECT_EQ(s.Tool.Tool.Kind, kToolFlat) << "tool 1 is current again";

  // What the check left alone: making tool 2 current raises its length.
  ToolTable copy = before;
  ToolChangeRecords change = ToolChangeOf(s, copy);
  SetCurrentTool(2, 0.0, change);
  EXPECT_GT(copy.Records[2].CuttingLength, 12.0f);
}

TEST(NcDataCheck, ProgressLabelsByModeAndLanguage) {
  struct Case {
    int32_t Mode;
    int32_t English;
    const char* Label;
  };
  const Case cases[] = {{kCheckData, 1, "Check Data"},
                        {kCheckData, 0, "データチェック"},
                        {kCheckMinMax, 1, "Check Min-Max"},
                        {kCheckMinMax, 0, "最大最小チェック"}};
  for (const Case& k : cases) {
    CheckRun c;
    c.S.Progress.Options.EnglishMode = k.English;
    std::vector<std::string> titles;
    c.S.Progress.RebuildWindowTitle = [&] { titles.push_back(c.S.Progress.TitleLabel); };
    ASSERT_EQ(c.Check("%\nG90 G54 G00 X0 Y0 Z10.\nG01 Z-1. F300\nX10.\nM30\n%\n", k.Mode),
              kCheckDone);
    // Shown at the start, cleared at the end.
    EXPECT_EQ(titles, (std::vector<std::string>{k.Label, ""})) << k.Label;
    using Call = RecordingHost::Call;
    int32_t last = -1;
    for (const RecordingHost::Event& e : c.Run.Host.Events)
      if (e.Kind == Call::kProgressPosition && e.Bar == 0) last = e.Value;
    EXPECT_GT(last, 900) << k.Label << ": the bar near its end after the last block";
    EXPECT_EQ(c.Run.Host.Events.back().Kind, Call::kShowProgress) << k.Label;
    EXPECT_EQ(c.Run.Host.Events.back().Value, 0) << k.Label;
  }
}

}  // namespace
}  // namespace vestan
