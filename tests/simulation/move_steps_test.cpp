// The per-step work of the run through the session: programs read,
// interpreted, driven and cut step by step, each pose traced as
// "tip X Y Z axis X Y Z StepStatus"; step counts, the bounds on them, the
// redraw handshake and the coordinate-state blocks.
#include "simulation/move_steps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "model/cut_statistics.h"
#include "model/recording_cutting.h"
#include "nc/motion_driver.h"
#include "simulation/run_loop.h"
#include "simulation/session_runs.h"

namespace vestan {
namespace {

// A session with the shipped definitions (tool 1, D10 flat, G54 at -50,
// -50, 110, the machine's strokes), rapids not interpolated so that the
// trace holds the feed moves, and a box stock 100 x 100 x 30 on the vice
// whose top is at program Z 0.
struct StepRun {
  testing::FolderSession Run;
  Session& S = Run.S;
  std::string Trace;
  std::vector<MoveEnd> Ends;
  // Put in the pass's place of the kernel when set.
  CuttingSeam* Cutter = nullptr;

  explicit StepRun(double movePitch) {
    testing::ReadShippedDefinitions(S, Run.Folder.Path());
    S.Defs.Settings.Pitch.MovePitch = movePitch;
    S.Defs.Settings.IgnoreG00 = 1;
    testing::MakeBoxStock(S, {-50, -50, 80, 50, 50, 110}, 0.5);
  }

  // Runs the program; the trace of every pose is kept.
  void Program(const std::string& text) {
    testing::StartProgram(S, Run.Folder.Write("p.nc", "%\n" + text + "M30\n%\n"));
    S.Pass->Steps.PoseTrace = &Trace;
    if (Cutter != nullptr) S.Pass->Cutter = Cutter;
    NcModalState& modal = S.Nc.Modal;
    while (modal.EndState != kEndHandled && modal.AlarmCode == kAlarmNone) {
      NextNcMove(S.Nc, NcPassOf(S), S.Pass->Reader, S.Pass->Driver);
      if (modal.AlarmCode != kAlarmNone || modal.EndState == kEndHandled) break;
      const MoveEnd end = SimulateMove(S);
      Ends.push_back(end);
      if (end != MoveEnd::kNone) break;
    }
  }

  double Removed() { return -ComputeCutAmountStats(S.Work.Workpiece()); }
};

// Tip of program point (x, y, z) with the shipped tool and offsets.
std::string Pose(double x, double y, double z, int status) {
  char line[128];
  std::snprintf(line, sizeof line, "%.4f %.4f %.4f 0.0000 0.0000 1.0000 %d\n", x - 50, y - 50,
                z + 110, status);
  return line;
}

// The table machine: A tilts about X through the table centre (0, 0, -180),
// C turns about Z; the tool tip is seen from the table, so a turn of the
// table turns the tip the same way about the axis.
struct TableRun : StepRun {
  explicit TableRun(double movePitch) : StepRun(movePitch) {
    S.Defs.Paths.Machine = std::string(VESTAN_DATA_DIR) + "/oguma5x.mtl";
    EXPECT_EQ(ReadMachineInto(S, 1).State, kFileRead);
    EXPECT_EQ(ReadToolTableInto(S).State, kFileRead);
    // Tool 1 alone, not one of a layout of tools.
    S.Defs.Tools.Layout = ToolLayout{};
  }
};

// A traced pose: "-0.0000" is written as 0.
std::string TipPose(const Vec3& tip, const Vec3& axis, int status) {
  auto clean = [](double v) { return std::fabs(v) < 0.00005 ? 0.0 : v; };
  char line[128];
  std::snprintf(line, sizeof line, "%.4f %.4f %.4f %.4f %.4f %.4f %d\n", clean(tip[0]),
                clean(tip[1]), clean(tip[2]), clean(axis[0]), clean(axis[1]), clean(axis[2]),
                status);
  return line;
}

TEST(MoveSteps, StepCountsAndTheirBounds) {
  struct Case {
    double Length, Pitch;
    int64_t Steps;
  };
  const std::vector<Case> cases = {
      {10.0, 0.3, 34}, {0.6, 0.3, 2},  {0.0, 0.3, 1},   {1e-9, 0.3, 1},
      {1e7, 0.1, 100'000'000},         {1e7, 0.05, -1},  // beyond the bound
      {10.0, 0.0, -1}, {10.0, -1.0, -1}, {NAN, 0.3, -1}, {10.0, INFINITY, -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(InterpolationStepCount(c.Length, c.Pitch), c.Steps) << c.Length << " at " << c.Pitch;
  // A turn of 90 degrees at mean radius 100 is a quarter circle of 157.08.
  EXPECT_NEAR(90.0 * RotaryLengthFactor(100.0, 100.0), 50.0 * std::numbers::pi, 1e-12);
}

TEST(MoveSteps, LineOfTenMillimetresTakes34StepsEndingOnItsEnd) {
  StepRun run(0.3);
  run.Program("G90 G54 G00 X-20. Y-20. Z10.\nG01 X-10. F500\n");
  std::string expected;
  for (int i = 1; i <= 33; ++i) expected += Pose(-20.0 + i * (10.0 / 34), -20, 10, kStepFeed);
  expected += Pose(-10, -20, 10, kStepFeed);
  EXPECT_EQ(run.Trace, expected);
  EXPECT_EQ(run.S.Pass->Steps.Steps, 34);
}

TEST(MoveSteps, ArcsAndSpiralsStepByAngleAndRadius) {
  const double c = std::cos(std::numbers::pi / 8), s = std::sin(std::numbers::pi / 8),
               h = std::sqrt(0.5);
  {
    StepRun run(5.0);
    run.Program("G90 G54 G17 G00 X10. Y0 Z10.\nG03 X0 Y10. I-10. J0 F500\n");
    EXPECT_EQ(run.Trace, Pose(10 * c, 10 * s, 10, 2) + Pose(10 * h, 10 * h, 10, 2) +
                             Pose(10 * s, 10 * c, 10, 2) + Pose(0, 10, 10, 2));
  }
  {
    // Radius 10 to 12 over 90 degrees: 17.28 long, 4 steps of radius
    // 10.5, 11, 11.5, 12.
    StepRun run(5.0);
    run.S.Defs.Controller.RTolerance = 0.0f;
    run.Program("G90 G54 G17 G00 X10. Y0 Z10.\nG03 X0 Y12. I-10. J0 F500\n");
    EXPECT_EQ(run.Trace, Pose(10.5 * c, 10.5 * s, 10, 2) + Pose(11 * h, 11 * h, 10, 2) +
                             Pose(11.5 * s, 11.5 * c, 10, 2) + Pose(0, 12, 10, 2));
  }
}

TEST(MoveSteps, CuttingStepsShowContactAndTheSlotIsRemoved) {
  StepRun run(1.0);
  run.Program("G90 G54 G00 X-10. Y50. Z-2.\nG01 X10. F500\n");
  // From X-10 the tool (radius 5) touches the stock's face at X-5 without
  // removing anything: steps 1 to 5 show a feed move, 6 to 20 cut.
  std::string expected;
  for (int i = 1; i <= 20; ++i) expected += Pose(-10 + i, 50, -2, i <= 5 ? kStepFeed : kStepCutting);
  EXPECT_EQ(run.Trace, expected);
  EXPECT_GT(run.Removed(), 0.0);
}

// The ordinary tool cuts every step's pose through the pass's seam and
// nowhere else: a stand-in in the kernel's place sees each pose once and the
// stock stays whole.
TEST(MoveSteps, EveryStepCutsItsPoseThroughThePassSeam) {
  StepRun run(1.0);
  RecordingCutting cutter;
  run.Cutter = &cutter;
  run.Program("G90 G54 G00 X-10. Y50. Z-2.\nG01 X10. F500\n");
  std::string expected, seen;
  for (int i = 1; i <= 20; ++i) expected += Pose(-10 + i, 50, -2, kStepFeed);
  for (const RecordingCutting::Call& call : cutter.Calls) {
    EXPECT_FALSE(call.Mount);
    seen += TipPose(call.Tip, call.Axis, kStepFeed);
  }
  EXPECT_EQ(run.Trace, expected);
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(run.Removed(), 0.0);
}

// On a gang head every step mounts the other tool, cuts it, and cuts the
// current tool, all through the pass's seam.
TEST(MoveSteps, AGangHeadCutsEveryToolThroughThePassSeam) {
  StepRun run(1.0);
  run.S.Defs.Paths.ToolTable = run.Run.Folder.Write(
      "gang.ttl",
      "I 1\n"
      "MAGAZINE 1 FLAT 10,30 \"FLAT END MILL D10\"\nLENGTH 60\nLAYOUT1 0,0,0\n"
      "MAGAZINE 2 FLAT 10,30 \"FLAT END MILL D10\"\nLENGTH 60\nLAYOUT1 0,40,0\n");
  ASSERT_EQ(ReadToolTableInto(run.S).State, kFileRead);
  ASSERT_EQ(run.S.Defs.Tools.Layout.Count, 2);
  RecordingCutting cutter;
  run.Cutter = &cutter;
  run.Program("G90 G54 G00 X-10. Y50. Z-2.\nG01 X10. F500\n");
  ASSERT_EQ(cutter.Calls.size(), 20u * 4);
  std::string expected, seen;
  for (int i = 1; i <= 20; ++i) expected += Pose(-10 + i, 50, -2, kStepFeed);
  for (size_t k = 0; k < cutter.Calls.size(); k += 4) {
    EXPECT_TRUE(cutter.Calls[k].Mount && cutter.Calls[k].Tool == 2) << k;
    EXPECT_FALSE(cutter.Calls[k + 1].Mount) << k;
    EXPECT_TRUE(cutter.Calls[k + 2].Mount && cutter.Calls[k + 2].Tool == -1) << k;
    EXPECT_FALSE(cutter.Calls[k + 3].Mount) << k;
    seen += TipPose(cutter.Calls[k + 3].Tip, cutter.Calls[k + 3].Axis, kStepFeed);
  }
  EXPECT_EQ(run.Trace, expected);
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(run.Removed(), 0.0);
}

TEST(MoveSteps, TheShippedMachineCutsTheStockOnItsViceWithinItsStrokes) {
  StepRun run(1.0);
  run.S.Defs.Settings.IgnoreG00 = 0;
  ASSERT_NE(run.S.Defs.Limits.Enabled[2], 0);
  run.Program("G90 G54 G00 X-10. Y50. Z10.\nG01 Z-1. F500\nX110.\nY-10.\nG00 Z100.\n");
  // From the control point over the stock, down, across and out: no move
  // passes a stroke (nor the tool's cutting-load limit).
  ASSERT_GE(run.Ends.size(), 5u);
  for (const MoveEnd end : run.Ends) EXPECT_EQ(end, MoveEnd::kNone);
  EXPECT_EQ(run.S.Nc.Modal.AlarmCode, kAlarmNone);
  EXPECT_GT(run.Removed(), 0.0);
}

TEST(MoveSteps, MovesBelowTheToleranceAndG92BlocksCutNothing) {
  StepRun run(0.3);
  run.Program("G90 G54 G00 X50. Y50. Z-2.\nG01 X50.0001 F500\nG92 X0 Y0\nG01 X1. F500\n");
  // The tiny move is jumped; after G92 the tool at X50 is X0: the last move
  // ends at program X51 of G54.
  EXPECT_EQ(run.Trace.substr(run.Trace.rfind('\n', run.Trace.size() - 2) + 1),
            Pose(51.0001, 50, -2, kStepCutting));
  EXPECT_EQ(run.Trace.find(Pose(50.0001, 50, -2, kStepCutting)), std::string::npos);
}

TEST(MoveSteps, UnderRotationTheStepsRunBetweenTheTurnedPlaces) {
  StepRun run(2.0);
  run.Program(
      "G90 G54 G00 X10. Y10. Z10.\nG68 X0 Y0 R90.\nG01 F500\nG01 X12.\nG01 Y0\n"
      "G03 X0 Y12. I-12. J0\n");
  // Turned 90 degrees about the origin, X12 Y10 is X-10 Y12: from X10 Y10
  // that is 20.0998 long, 11 steps at pitch 2; the G01 without words takes
  // none. Y0 then is X12 Y0, turned X0 Y12: 10 long, 5 steps from X-10 Y12.
  std::string expected;
  for (int i = 1; i <= 11; ++i) expected += Pose(10 - 20.0 * i / 11, 10 + 2.0 * i / 11, 10, kStepFeed);
  for (int i = 1; i <= 5; ++i) expected += Pose(-10 + 2.0 * i, 12, 10, kStepFeed);
  // The quarter circle from X12 Y0 to X0 Y12 about the origin runs, turned,
  // from 90 to 180 degrees: 18.85 long, 10 steps of 9 degrees.
  for (int i = 1; i <= 10; ++i) {
    const double a = (90.0 + 9.0 * i) * std::numbers::pi / 180.0;
    expected += Pose(12 * std::cos(a), 12 * std::sin(a), 10, kStepFeed);
  }
  EXPECT_EQ(run.Trace, expected);
}

TEST(MoveSteps, UnderAMirrorImageTheStepsRunBetweenTheMirroredPlaces) {
  StepRun run(2.0);
  run.Program("G90 G54 G00 X10. Y10. Z10.\nG51.1 X0\nG01 X20. F500\nG01 Y14.\n");
  // Mirrored about X0, X20 is X-20: 30 from where the tool stands, 15 steps
  // at pitch 2; then Y14 keeps X-20.
  std::string expected;
  for (int i = 1; i <= 15; ++i) expected += Pose(10 - 2.0 * i, 10, 10, kStepFeed);
  expected += Pose(-20, 12, 10, kStepFeed) + Pose(-20, 14, 10, kStepFeed);
  EXPECT_EQ(run.Trace, expected);
}

TEST(MoveSteps, G92UnderRotationOrMirrorImageLeavesTheToolWhereItStands) {
  struct Case {
    const char* Program;
    double Pitch;
    std::vector<double> Xs;  // G54 X of each step of the last move
    double Y;
  };
  const std::vector<Case> cases = {
      // X12 Y10 turned 90 degrees stands at X-10 Y12; G92 X0 Y0 puts the
      // origin at X12 Y10, where X2 Y0 turned is X0 Y2: X12 Y12 of G54.
      {"G90 G54 G00 X10. Y10. Z10.\nG68 X0 Y0 R90.\nG01 X12. F500\nG92 X0 Y0\nG01 X2.\n", 2.0,
       {-8, -6, -4, -2, 0, 2, 4, 6, 8, 10, 12}, 12.0},
      // X20 Y14 mirrored stands at X-20 Y14; G92 X0 Y0 puts the origin at
      // X20 Y14, where X5 mirrored is X-5: X15 Y14 of G54.
      {"G90 G54 G00 X-20. Y14. Z10.\nG51.1 X0\nG01 X20. F500\nG92 X0 Y0\nG01 X5.\n", 5.0,
       {-15, -10, -5, 0, 5, 10, 15}, 14.0},
  };
  for (const Case& c : cases) {
    StepRun run(c.Pitch);
    run.Program(c.Program);
    // The last move runs from where the tool stood, not from the place it
    // had before G92.
    std::string expected;
    for (const double x : c.Xs) expected += Pose(x, c.Y, 10, kStepFeed);
    const std::string& trace = run.Trace;
    ASSERT_GE(trace.size(), expected.size()) << c.Program;
    EXPECT_EQ(trace.substr(trace.size() - expected.size()), expected) << c.Program;
    EXPECT_EQ(run.S.Pass->Steps.Steps, static_cast<int64_t>(c.Xs.size())) << c.Program;
  }
}

TEST(MoveSteps, ATiltedPlaneStartsFromWhereTheToolStands) {
  struct Case {
    const char* Blocks;
    std::vector<std::array<double, 2>> Steps;  // G54 X, Y
  };
  const std::vector<Case> cases = {
      // The plane of G54 itself: from X10 Y10 on to X20.
      {"G68.2 X0 Y0 Z0 I0 J0 K0\nG01 X20. Y10. Z10. F500\n",
       {{12, 10}, {14, 10}, {16, 10}, {18, 10}, {20, 10}}},
      // Turned 90 degrees about Z: the tool at X10 Y10 stands at plane X10
      // Y-10; plane X20 Y-10 is X10 Y20 of G54.
      {"G68.2 X0 Y0 Z0 I90. J0 K0\nG01 X20. Y-10. Z10. F500\n",
       {{10, 12}, {10, 14}, {10, 16}, {10, 18}, {10, 20}}},
  };
  for (const Case& c : cases) {
    StepRun run(2.0);
    run.Program(std::string("G90 G54 G00 X10. Y10. Z10.\n") + c.Blocks);
    std::string expected;
    for (const std::array<double, 2>& at : c.Steps) expected += Pose(at[0], at[1], 10, kStepFeed);
    EXPECT_EQ(run.Trace, expected) << c.Blocks;
  }
}

// The whole run: the slot of tool 1, 5 deep and 70 long from outside the
// stock, along X at Y50.2 of G54, and the same slot programmed in a plane
// turned 90 degrees about Z, where it runs along Y at X50.2: the square
// stock on its square grid loses the same volume either way.
TEST(MoveSteps, ARunCutsTheSameSlotInATurnedPlane) {
  const std::vector<std::string> programs = {
      "G90 G54 G00 X-10. Y50.2 Z10.\nG01 Z-5. F500\nX60.\nG00 Z10.\n",
      "G90 G54 G00 X50.2 Y-10. Z10.\nG68.2 X0 Y0 Z0 I90. J0 K0\n"
      "G01 X-10. Y-50.2 Z-5. F500\nX60.\nG00 Z10.\n",
  };
  std::vector<double> removed;
  for (const std::string& program : programs) {
    StepRun run(0.5);
    run.S.Defs.Limits = StrokeLimits{};
    run.S.Defs.Tools.Layout = ToolLayout{};
    for (ToolLimitRecord& limit : run.S.Defs.Tools.Limits) limit = ToolLimitRecord{};
    run.S.Control.CuttingMode.store(kCuttingShowResult);
    run.S.Defs.Paths.NcProgram = run.Run.Folder.Write("slot.nc", "%\n" + program + "M30\n%\n");
    EXPECT_EQ(SimulationThreadProc(run.S), 0) << program;
    EXPECT_EQ(run.S.Nc.Modal.AlarmCode, kAlarmNone) << program;
    removed.push_back(run.Removed());
  }
  ASSERT_GT(removed[0], 0.0);
  EXPECT_NEAR(removed[1], removed[0], 1e-9 * removed[0]);
}

TEST(MoveSteps, PolarInterpolationStartsWithoutCutting) {
  StepRun run(1.0);
  run.Program("G90 G54 G00 X50. Y50. Z-2.\nG12.1\nG01 X51. F500\nG13.1\n");
  EXPECT_EQ(std::count(run.Trace.begin(), run.Trace.end(), '\n'), 1) << run.Trace;
}

TEST(MoveSteps, PolarInterpolationTurnsRadiusAndAngleIntoXAndYAndBack) {
  TableRun run(6.0);
  // G54 on the table's axis, 110 up.
  run.S.Memory.Offsets.WorkOffsets[1] = {0, 0, 110, 0, 0};
  run.Program("G90 G54 G00 X20. Y0 Z10. A0 C30.\nG12.1\nG01 X0 Y20. F500\nG13.1\n");
  // Radius 20 at 30 degrees is X17.3205 Y10; the line to X0 Y20 is 20 long:
  // 4 steps at pitch 6, the tip (seen from the table) on the straight line.
  const double x0 = 20 * std::cos(std::numbers::pi / 6), y0 = 10;
  std::string expected;
  for (int i = 1; i <= 4; ++i)
    expected += TipPose({x0 - x0 * i / 4, y0 + (20 - y0) * i / 4, 120}, {0, 0, 1}, kStepFeed);
  EXPECT_EQ(run.Trace, expected);
  // The end takes X0 Y20 back into radius 20 at 90 degrees.
  const AxisPosition& at = run.S.Nc.Position.ProgramPosition;
  EXPECT_NEAR(at[0], 20.0, 1e-9);
  EXPECT_NEAR(at[1], 0.0, 1e-9);
  EXPECT_NEAR(at[4], 90.0, 1e-9);
  EXPECT_EQ(run.S.Nc.Move.Start, run.S.Nc.Move.End);
}

TEST(MoveSteps, CylindricalInterpolationTakesTheRotaryIntoTheLinearAxisAndBack) {
  struct Case {
    const char* Program;
    double X, C;
  };
  const std::vector<Case> cases = {
      {"G07.1 C10.\n", 300.0, 0.0},       // C30 times 10 on X, C at 0
      {"G07.1 C10.\nG07.1 C0\n", 300.0, 30.0},  // and X divided by 10 again
  };
  for (const Case& c : cases) {
    TableRun run(5.0);
    run.Program(std::string("G90 G54 G00 X0 Y0 Z10. A0 C30.\n") + c.Program);
    const AxisPosition& at = run.S.Nc.Position.ProgramPosition;
    EXPECT_DOUBLE_EQ(at[0], c.X) << c.Program;
    EXPECT_DOUBLE_EQ(at[4], c.C) << c.Program;
    EXPECT_TRUE(run.Trace.empty()) << c.Program;
  }
}

TEST(MoveSteps, CancellingWithoutRotationLeavesTheToolWhereItStands) {
  // Along Z, and along a machine's tool direction.
  for (const bool direction : {false, true}) {
    StepRun run(1.0);
    if (direction) {
      run.S.Defs.Kinematics.ToolDirectionInUse = 1;
      run.S.Defs.Kinematics.ToolDirection = {0.6, 0.0, 0.8};
    }
    run.Program("G90 G54 G00 X10. Y10. Z10.\nG69\n");
    ASSERT_NE(ToolLengthEffect(run.S.Nc.Position), 0.0);
    const AxisPosition& at = run.S.Nc.Position.ProgramPosition;
    for (size_t a = 0; a < 5; ++a)
      EXPECT_NEAR(at[a], a < 3 ? 10.0 : 0.0, 1e-5) << direction << " axis " << a;
    EXPECT_EQ(run.S.Nc.Move.Start, at);
  }
}

TEST(MoveSteps, ALayoutToolStartsOnceAsARapidShiftedByTheLayoutOffsets) {
  struct Case {
    int32_t Previous;  // the layout tool before, or tool 0
    Vec3 Shift;
  };
  for (const Case& c : {Case{2, {30, 5, -2}}, Case{0, {130, 5, -2}}}) {
    StepRun run(1.0);
    ToolLayout& layout = run.S.Defs.Tools.Layout;
    layout.Placed[2] = layout.Placed[3] = 1;
    layout.Count = 2;
    layout.Position[2] = {100, 0, 0};
    layout.Position[3] = {130, 5, -2};
    testing::StartProgram(run.S, run.Run.Folder.Write(
                                     "p.nc", "%\nG90 G54 G01 X10. Y10. Z10. F500\nX20.\nM30\n%\n"));
    run.S.Nc.Modal.Tools.CurrentToolNumber = 3;
    run.S.Changer.LayoutShift = 1;
    run.S.Changer.PreviousLayoutTool = c.Previous;
    NcContext& nc = run.S.Nc;
    for (int block = 0; block < 2; ++block) {
      NextNcMove(nc, NcPassOf(run.S), run.S.Pass->Reader, run.S.Pass->Driver);
      const AxisPosition before = nc.Move.Start;
      ASSERT_TRUE(HandleSpecialBlock(run.S));
      const Vec3 shift = block == 0 ? c.Shift : Vec3{};
      for (size_t a = 0; a < 3; ++a)
        EXPECT_DOUBLE_EQ(nc.Move.Start[a], before[a] + shift[a]) << c.Previous << " " << block;
      EXPECT_EQ(nc.Run.MotionMode, block == 0 ? kMotionRapid : kMotionLinear) << c.Previous;
      nc.Move.Start = nc.Move.End;
    }
    EXPECT_EQ(run.S.Changer.LayoutShift, 0);
  }
}

TEST(MoveSteps, OverStrokeEndsTheMoveAtTheStepThatPassesTheStroke) {
  StepRun run(1.0);
  run.S.Defs.Limits.Enabled[0] = 1;
  run.S.Defs.Limits.Maximum[0] = -45.5;  // machine X of program X 4.5
  run.S.Defs.Limits.Minimum[0] = -1000.0;
  run.Program("G90 G54 G00 X0 Y0 Z10.\nG01 X10. F500\nG01 Y10.\n");
  EXPECT_EQ(run.Ends.back(), MoveEnd::kOverStroke);
  EXPECT_EQ(run.S.Pass->Steps.OverStrokeAxis, 0);
  EXPECT_EQ(run.Trace, Pose(1, 0, 10, 2) + Pose(2, 0, 10, 2) + Pose(3, 0, 10, 2) + Pose(4, 0, 10, 2));
}

TEST(MoveSteps, LockedRotaryAxisRaisesItsAlarmBeforeCutting) {
  for (size_t axis = 0; axis < 2; ++axis) {
    StepRun run(0.3);
    testing::StartProgram(run.S, run.Run.Folder.Write("p.nc", "%\nM30\n%\n"));
    NcContext& nc = run.S.Nc;
    nc.Run.MotionMode = kMotionLinear;
    nc.Move.Start = {50, 50, -2, 0, 0};
    nc.Move.End = {51, 50, -2, 0, 0};
    nc.Move.End[3 + axis] = 90.0;
    nc.Modal.Interp.RotaryLocked[axis] = 1;
    const double before = run.Removed();
    EXPECT_EQ(InterpolateMove(run.S), MoveEnd::kAlarm);
    EXPECT_EQ(nc.Modal.AlarmCode, axis == 0 ? kAlarmRotaryLock : kAlarmRotaryUnlock);
    EXPECT_EQ(run.Removed(), before);
  }
}

TEST(MoveSteps, RotaryMovesOnTheTableMachineStepByArcLengthAtTheMeanRadius) {
  TableRun run(30.0);
  ASSERT_EQ(run.S.Defs.Controller.Rotary[1].Letter, 'C');
  run.Program("G90 G54 G00 X0 Y0 Z50. A0 C0\nG01 C90. F500\nA-30.\n");
  const double deg = std::numbers::pi / 180.0;
  // Machine X-50 Y-50 Z160 is 70.711 from C's axis: 90 degrees are 111.07
  // long, 4 steps of 22.5 degrees at pitch 30.
  std::string expected;
  for (int i = 1; i <= 4; ++i) {
    const double c = 22.5 * i * deg;
    expected += TipPose({-50 * std::cos(c) + 50 * std::sin(c), -50 * std::sin(c) - 50 * std::cos(c),
                         160},
                        {0, 0, 1}, kStepFeed);
  }
  // From the table centre the point is (-50, -50, 340), 343.66 from A's
  // axis: 30 degrees are 179.94 long, 6 steps of -5 degrees; the tilted
  // point then turns the 90 degrees of C.
  for (int i = 1; i <= 6; ++i) {
    const double a = -5.0 * i * deg;
    const double y = -50 * std::cos(a) - 340 * std::sin(a);
    const double z = -50 * std::sin(a) + 340 * std::cos(a);
    expected += TipPose({-y, -50, z - 180}, {std::sin(a), 0, std::cos(a)}, kStepFeed);
  }
  EXPECT_EQ(run.Trace, expected);
  EXPECT_EQ(run.S.Pass->Steps.Steps, 6);
  for (const MoveEnd end : run.Ends) EXPECT_EQ(end, MoveEnd::kNone);
}

TEST(MoveSteps, ToolVectorModeTurnsTheToolAxisBetweenItsVectors) {
  TableRun run(30.0);
  run.Program("G90 G54 G00 X0 Y0 Z50. A0 C0\nG43.5 H01\nG01 I0 J0.5 K0.8660254 F500\n");
  // A-30 tilts the tool to (0, 0.5, 0.866) as seen from the table: 179.94
  // long at radius 343.66, 6 steps; the axis of each is the straight
  // blend of the two vectors made unit. G43.5 took the tool where it stood
  // (tip X-50 Y-50 Z160) as the point programmed with H01 (100): the point
  // lies 100 less the tool's own length below the tip, and the real tip
  // turns about it at that distance along the axis.
  const double beyond = 100.0 - run.S.Nc.Position.ToolLength;
  std::string expected;
  for (int i = 1; i <= 6; ++i) {
    const double t = i / 6.0;
    const Vec3 v{0, 0.5 * t, (1 - t) + 0.8660254 * t};
    const double l = std::sqrt(v[1] * v[1] + v[2] * v[2]);
    const Vec3 axis{0, v[1] / l, v[2] / l};
    expected += TipPose({-50, -50 + beyond * axis[1], 160 - beyond + beyond * axis[2]}, axis,
                        kStepFeed);
  }
  EXPECT_EQ(run.Trace, expected);
  EXPECT_NEAR(run.S.Nc.Position.MachinePosition[3], -30.0, 1e-5);
  EXPECT_NEAR(run.S.Nc.Position.MachinePosition[4], 0.0, 1e-9);
}

TEST(MoveSteps, ToolTipControlStartsWhereTheToolStands) {
  {
    // H01 is 100, more than the tool's own length: the program position
    // becomes the point that far below the tip, so the tool does not jump;
    // X10 then moves the tip 10 along X at its height, in steps of 3.
    TableRun run(3.0);
    run.Program("G90 G54 G00 X0 Y0 Z50. A0 C0\nG43.5 H01\nG01 X10. F500\n");
    ASSERT_LT(run.S.Nc.Position.ToolLength, 100.0f);
    EXPECT_EQ(run.Trace, TipPose({-50 + 10.0 / 4, -50, 160}, {0, 0, 1}, kStepFeed) +
                             TipPose({-45, -50, 160}, {0, 0, 1}, kStepFeed) +
                             TipPose({-50 + 30.0 / 4, -50, 160}, {0, 0, 1}, kStepFeed) +
                             TipPose({-40, -50, 160}, {0, 0, 1}, kStepFeed));
  }
  {
    // The table turned: its angles become the base of the program's frame,
    // the program's rotary values 0, and the machine stays as it stood.
    const std::string to = "G90 G54 G00 X0 Y0 Z50. A-30. C30.\n";
    TableRun before(30.0);
    before.Program(to);
    const AxisPosition machine = before.S.Nc.Position.MachinePosition;
    const Vec3 tip = before.S.Nc.Position.ToolTip;
    TableRun run(30.0);
    run.Program(to + "G43.5 H01\n");
    const MachinePositionState& position = run.S.Nc.Position;
    for (size_t a = 0; a < 5; ++a) EXPECT_NEAR(position.MachinePosition[a], machine[a], 1e-9) << a;
    for (size_t a = 0; a < 3; ++a) EXPECT_NEAR(position.ToolTip[a], tip[a], 1e-9) << a;
    EXPECT_EQ(position.ProgramPosition[3], 0.0);
    EXPECT_EQ(position.ProgramPosition[4], 0.0);
    EXPECT_EQ(position.RotaryBaseAngles, (std::array<double, 2>{-30.0, 30.0}));
    EXPECT_EQ(run.S.Nc.Move.Start, position.ProgramPosition);
  }
}

// A gang head: tools 1 and 2 mounted together (LAYOUT1 places), so every
// step cuts through the multi-tool pass. Tool 2 is set up beside tool 1,
// never made current: under G43.5 H01 each step of X10 moves the tip 2.5
// along X at its height, as with tool 1 alone (no jump of H01's 100 after
// the first step), and the tool table, H01 and the length in force are as
// they were. Tool 2 runs through the stock: the steps cut.
TEST(MoveSteps, AGangHeadKeepsTheToolTheRunCutsWith) {
  TableRun run(3.0);
  Session& s = run.S;
  s.Defs.Paths.ToolTable = run.Run.Folder.Write(
      "gang.ttl",
      "I 1\n"
      "MAGAZINE 1 FLAT 10,30 \"FLAT END MILL D10\"\nLENGTH 60\nLAYOUT1 0,0,0\n"
      "MAGAZINE 2 BALL 6,12 \"BALL END MILL R3\"\nLENGTH 50\nLAYOUT1 0,40,0\n");
  ASSERT_EQ(ReadToolTableInto(s).State, kFileRead);
  ASSERT_EQ(s.Defs.Tools.Layout.Count, 2);
  const ToolTable table = s.Defs.Tools;
  run.Program("G90 G54 G00 X0 Y0 Z50. A0 C0\nG43.5 H01\nG01 X10. F500\n");
  EXPECT_EQ(run.Trace, TipPose({-50 + 10.0 / 4, -50, 160}, {0, 0, 1}, kStepCutting) +
                           TipPose({-45, -50, 160}, {0, 0, 1}, kStepCutting) +
                           TipPose({-50 + 30.0 / 4, -50, 160}, {0, 0, 1}, kStepCutting) +
                           TipPose({-40, -50, 160}, {0, 0, 1}, kStepCutting));
  EXPECT_EQ(s.Nc.Modal.Tools.CurrentToolNumber, 1);
  EXPECT_EQ(s.Tool.Tool.Kind, kToolFlat);
  EXPECT_EQ(s.Nc.Modal.Length.PreviousToolLength, 100.0);
  EXPECT_EQ(s.Memory.Offsets.HGeometry[1], 100.0f);
  EXPECT_EQ(s.Memory.Offsets.HGeometry[2], 95.5f);
  // The run's start clears the no-tool entry 0; the tools stay.
  for (size_t t = 1; t < table.Entries(); ++t) {
    EXPECT_EQ(s.Defs.Tools.Records[t], table.Records[t]) << t;
    EXPECT_EQ(s.Defs.Tools.Lengths[t], table.Lengths[t]) << t;
  }
  // Tool 2 stood 40 along Y from tool 1 at the last step.
  EXPECT_EQ(s.Pass->MultiTool.Records[2].Machine[1] - s.Pass->MultiTool.Records[1].Machine[1],
            40.0);
}

TEST(MoveSteps, ALockedRotaryAxisStopsTheRunBeforeItsMoveIsCut) {
  struct Case {
    const char* Program;
    int32_t Alarm;
    size_t Poses;
  };
  const std::vector<Case> cases = {
      {"M10\nG01 A-10. F500\n", kAlarmRotaryLock, 0},
      {"M12\nG01 X10. C10. F500\n", kAlarmRotaryUnlock, 0},
      // Locked and unlocked again: the turn is cut; a locked C does not
      // hold A.
      {"M10\nM11\nG01 A-10. F500\n", kAlarmNone, 2},
      {"M12\nG01 A-10. F500\n", kAlarmNone, 2},
  };
  for (const Case& c : cases) {
    TableRun run(30.0);
    ControllerTables& tables = run.S.Defs.Controller.Tables;
    tables.RotaryLockCodes = {"M10", "M11", "M12", "M13"};
    run.Program(std::string("G90 G54 G00 X0 Y0 Z50. A0 C0\n") + c.Program);
    EXPECT_EQ(run.S.Nc.Modal.AlarmCode, c.Alarm) << c.Program;
    EXPECT_EQ(static_cast<size_t>(std::count(run.Trace.begin(), run.Trace.end(), '\n')), c.Poses)
        << c.Program;
    if (c.Alarm != kAlarmNone) EXPECT_EQ(run.Ends.back(), MoveEnd::kAlarm) << c.Program;
  }
}

TEST(MoveSteps, PitchOfZeroAndEndlessMovesEndTheRunWithAnAlarm) {
  for (const double pitch : {0.0, -0.5, 1e-9}) {
    StepRun run(pitch);
    run.Program("G90 G54 G00 X0 Y0 Z10.\nG01 X200. F500\n");
    EXPECT_EQ(run.S.Nc.Modal.AlarmCode, kAlarmMoveSteps) << pitch;
    EXPECT_EQ(run.Ends.back(), MoveEnd::kAlarm);
    EXPECT_TRUE(run.Trace.empty());
  }
}

TEST(MoveSteps, RedrawHandshakesFallAtTheSkipViewInterval) {
  StepRun run(1.0);
  run.S.RunView.Window = 1;
  run.S.Defs.Settings.SkipView = 5;
  run.S.Defs.Checks.Interference = 0;
  run.S.Control.CuttingMode.store(kCuttingReal);
  std::vector<int> at;
  run.Run.Host.OnSleep = [&](int32_t) {
    at.push_back(static_cast<int>(std::count(run.Trace.begin(), run.Trace.end(), '\n')));
    run.S.Control.RedrawRequest.store(0);
  };
  run.Program("G90 G54 G00 X0 Y0 Z10.\nG01 X12. F500\n");
  EXPECT_EQ(at, (std::vector<int>{5, 10, 12}));
}

TEST(MoveSteps, AbortEndsTheMoveAtTheNextStep) {
  StepRun run(1.0);
  run.S.RunView.Window = 1;
  run.S.Defs.Settings.SkipView = 1;
  run.S.Control.CuttingMode.store(kCuttingReal);
  run.Run.Host.OnSleep = [&](int32_t) { run.S.Control.Abort.store(1); };
  run.Program("G90 G54 G00 X0 Y0 Z10.\nG01 X12. F500\n");
  EXPECT_EQ(run.Ends.back(), MoveEnd::kAbort);
  EXPECT_EQ(std::count(run.Trace.begin(), run.Trace.end(), '\n'), 1);
}

}  // namespace
}  // namespace vestan

namespace vestan {
namespace {

// The table machine under a controller of another dialect (the shipped
// controller's offsets: G54 at -50, -50, 110).
struct DialectRun : StepRun {
  DialectRun(double movePitch, const char* controller) : StepRun(movePitch) {
    S.Defs.Paths.Controller = std::string(VESTAN_FIXTURES_DIR) + "/definitions/" + controller;
    EXPECT_EQ(ReadControllerInto(S).State, kFileRead);
    S.Defs.Paths.Machine = std::string(VESTAN_DATA_DIR) + "/oguma5x.mtl";
    EXPECT_EQ(ReadMachineInto(S, 1).State, kFileRead);
    EXPECT_EQ(ReadToolTableInto(S).State, kFileRead);
    S.Defs.Tools.Layout = ToolLayout{};
  }
};

// The hand-worked plane of the table machine: turned -90 degrees about X,
// its tool axis is work +Y. A alone points the tool there: A-90 shows the
// tool, seen from the table, along (0, -sin A, cos A) = (0, 1, 0); C stays
// 0 (A+90 C180 lies beyond A's stroke of -120 to 30). G54 X0 Y0 Z50 puts
// the tip at X-50 Y-50 Z160 with the rotaries at 0, 340 above the table
// centre (0, 0, -180); A-90 carries that point to Y340 Z-130 (the tool's
// own length is 0), which is work X0 Y390 Z-240 and, in the plane, X0
// Y240 Z390.
constexpr const char* kToTiltedPlaneStart = "G90 G54 G00 X0 Y0 Z50. A0 C0\n";
constexpr const char* kToTiltedPlaneStartHeidenhain = "L X+0 Y+0 Z+50 A+0 C+0 FMAX\n";

// The tip of machine X, with the table machine's Y-50 Z160, turned by A.
Vec3 TableTip(double x, double a) {
  const double r = a * std::numbers::pi / 180.0;
  return {x, -50 * std::cos(r) - 340 * std::sin(r), -50 * std::sin(r) + 340 * std::cos(r) - 180};
}

// SIEMENS: G68.2 takes the rotary ends to the plane's solution with the
// rotary move flagged pending. Its X, Y, Z words make it a move, from where
// the tool stands in the plane to there: the table turns to A-90 in n
// steps, the tool cut where the turning table has it (the tip of machine
// X-50, A = -90 i/n). X10 then runs in the plane at A-90.
TEST(SpecialBlocks, SiemensPlaneSetsTheRotaryEndsAndThePendingFlag) {
  DialectRun run(2.5, "siemens.ctl");
  run.S.Defs.Settings.IgnoreG00 = 0;
  run.Program(std::string(kToTiltedPlaneStart) +
              "G01 F500\nG68.2 X0 Y0 Z0 I0 J-90. K0\nX10.\n");
  // The rapid to the start (its steps StepStatus 0), the turn, the four
  // steps of X10.
  const std::string& trace = run.Trace;
  std::string tail;
  for (const double x : {-47.5, -45.0, -42.5, -40.0})
    tail += TipPose({x, 340, -130}, {0, 1, 0}, kStepFeed);
  ASSERT_GE(trace.size(), tail.size());
  EXPECT_EQ(trace.substr(trace.size() - tail.size()), tail);
  // The feed steps: those of the turn and the four.
  int64_t n = -4;
  for (size_t at = trace.find(" 2\n"); at != std::string::npos; at = trace.find(" 2\n", at + 1))
    ++n;
  ASSERT_GT(n, 1);
  std::string turn;
  for (int64_t i = 1; i <= n; ++i) {
    const double a = -90.0 * static_cast<double>(i) / static_cast<double>(n);
    const double r = a * std::numbers::pi / 180.0;
    turn += TipPose(TableTip(-50, a), {0, -std::sin(r), std::cos(r)}, kStepFeed);
  }
  EXPECT_EQ(trace.substr(trace.size() - tail.size() - turn.size(), turn.size()), turn);
  const NcContext& nc = run.S.Nc;
  EXPECT_EQ(nc.Modal.TiltedPlane.RotarySolution, (RotaryAngles{-90, 0}));
  EXPECT_EQ(nc.Modal.TiltedPlane.RotaryProgrammedDirectly, 1);
  for (size_t a = 0; a < 5; ++a)
    EXPECT_NEAR(nc.Move.End[a], (AxisPosition{10, 240, 390, -90, 0})[a], 1e-9) << a;
  EXPECT_NEAR(nc.Position.MachinePosition[3], -90, 1e-9);
}

// HEIDENHAIN: PLANE SPATIAL leaves the rotary axes where they stand; the
// next move turns the ones it does not name to the plane's solution, the
// tool cut where the turning table has it at every step (A = -90 i/n, the
// tip of machine X -50 + 10 i/n). Standing there, a move that names no
// rotary axis clears the pending flag and runs in the plane; one that names
// C keeps it and turns C as programmed, A staying at the solution.
TEST(SpecialBlocks, HeidenhainPlaneTurnsTheRotariesWithTheNextMove) {
  const std::string plane = std::string(kToTiltedPlaneStartHeidenhain) +
                            "PLANE SPATIAL SPA-90 SPB+0 SPC+0\nL X+10 F500\n";
  {
    DialectRun run(2.5, "heidenhain.ctl");
    run.Program(plane);
    const int64_t n = run.S.Pass->Steps.Steps;
    ASSERT_GT(n, 4);
    std::string expected;
    for (int64_t i = 1; i <= n; ++i) {
      const double t = static_cast<double>(i) / static_cast<double>(n);
      const double a = -90 * t, r = a * std::numbers::pi / 180.0;
      expected += TipPose(TableTip(-50 + 10 * t, a), {0, -std::sin(r), std::cos(r)}, kStepFeed);
    }
    EXPECT_EQ(run.Trace, expected);
    const NcContext& nc = run.S.Nc;
    EXPECT_EQ(nc.Modal.TiltedPlane.RotarySolution, (RotaryAngles{-90, 0}));
    EXPECT_EQ(nc.Modal.TiltedPlane.RotaryProgrammedDirectly, 1);
    for (size_t a = 0; a < 5; ++a)
      EXPECT_NEAR(nc.Move.End[a], (AxisPosition{10, 240, 390, -90, 0})[a], 1e-9) << a;
  }
  struct Case {
    const char* Block;
    int32_t Pending;
    double C;
  };
  for (const Case& c : {Case{"L X+20 F500\n", 0, 0.0}, Case{"L X+20 C+10. F500\n", 1, 10.0}}) {
    DialectRun run(2.5, "heidenhain.ctl");
    run.Program(plane + c.Block);
    const NcContext& nc = run.S.Nc;
    EXPECT_EQ(nc.Modal.TiltedPlane.RotaryProgrammedDirectly, c.Pending) << c.Block;
    EXPECT_NEAR(nc.Position.MachinePosition[3], -90, 1e-9) << c.Block;
    EXPECT_NEAR(nc.Position.MachinePosition[4], c.C, 1e-9) << c.Block;
    if (c.Pending == 0) {
      // Four steps of 2.5 along plane X, which is work X.
      const std::string& trace = run.Trace;
      std::string expected;
      for (const double x : {-37.5, -35.0, -32.5, -30.0})
        expected += TipPose({x, 340, -130}, {0, 1, 0}, kStepFeed);
      ASSERT_GE(trace.size(), expected.size());
      EXPECT_EQ(trace.substr(trace.size() - expected.size()), expected);
    }
  }
}

// The whole run in each dialect: the program read, driven and cut by the
// simulation thread ends with the tool where the hand-worked plane puts it.
TEST(SpecialBlocks, ARunInEachDialectEndsInTheTiltedPlane) {
  struct Case {
    const char* Controller;
    std::string Program;
  };
  const std::vector<Case> cases = {
      {"siemens.ctl",
       std::string(kToTiltedPlaneStart) + "G68.2 X0 Y0 Z0 I0 J-90. K0\nG01 X20. F500\n"},
      {"heidenhain.ctl", std::string(kToTiltedPlaneStartHeidenhain) +
                             "PLANE SPATIAL SPA-90 SPB+0 SPC+0\nL X+10 F500\nL X+20 F500\n"},
  };
  for (const Case& c : cases) {
    DialectRun run(2.5, c.Controller);
    run.S.Control.CuttingMode.store(kCuttingShowResult);
    run.S.Defs.Paths.NcProgram = run.Run.Folder.Write("plane.nc", "%\n" + c.Program + "M30\n%\n");
    EXPECT_EQ(SimulationThreadProc(run.S), 0) << c.Controller;
    const MachinePositionState& position = run.S.Nc.Position;
    EXPECT_EQ(run.S.Nc.Modal.AlarmCode, kAlarmNone) << c.Controller;
    EXPECT_EQ(TipPose(position.ToolTip, position.ToolAxis, 0),
              TipPose({-30, 340, -130}, {0, 1, 0}, 0))
        << c.Controller;
    EXPECT_NEAR(position.MachinePosition[3], -90, 1e-9) << c.Controller;
  }
}

// G254 makes the plane of the rotary axes as they stand: its tool axis is
// where they point the tool, so no dialect turns them. At A-30 the tool is
// seen from the table along (0, 0.5, 0.866); the plane's Y axis is (0,
// 0.866, -0.5), its X axis work X. The tip of G54 X0 Y0 Z50 (machine X-50
// Y-50 Z160 at A0) turns with the table to X-50 Y126.699 Z139.449, and X10
// in the plane then moves it 10 along work X in four steps of 2.5.
TEST(SpecialBlocks, G254KeepsTheRotaryAxesWhereTheyStandInEveryDialect) {
  struct Case {
    const char* Controller;  // none: the shipped one
    const char* Program;
  };
  const std::vector<Case> cases = {
      {nullptr, "G90 G54 G00 X0 Y0 Z50. A-30. C0\nG254\nG01 X10. F500\n"},
      {"siemens.ctl", "G90 G54 G00 X0 Y0 Z50. A-30. C0\nG254\nG01 X10. F500\n"},
      {"heidenhain.ctl", "L X+0 Y+0 Z+50 A-30. C+0 FMAX\nG254\nL X+10 F500\n"},
  };
  const double c = std::sqrt(3.0) / 2.0;
  const Vec3 tip = TableTip(-50, -30);
  ASSERT_NEAR(tip[1], 126.69873, 1e-5);
  ASSERT_NEAR(tip[2], 139.44864, 1e-5);
  std::string expected;
  for (const double x : {-47.5, -45.0, -42.5, -40.0})
    expected += TipPose({x, tip[1], tip[2]}, {0, 0.5, c}, kStepFeed);
  for (const Case& k : cases) {
    std::unique_ptr<StepRun> run;
    if (k.Controller == nullptr)
      run = std::make_unique<TableRun>(2.5);
    else
      run = std::make_unique<DialectRun>(2.5, k.Controller);
    run->Program(k.Program);
    const char* what = k.Controller == nullptr ? "hanuc.ctl" : k.Controller;
    EXPECT_EQ(run->Trace, expected) << what;
    const MachinePositionState& position = run->S.Nc.Position;
    EXPECT_NEAR(position.MachinePosition[3], -30, 1e-9) << what;
    EXPECT_NEAR(position.MachinePosition[4], 0, 1e-9) << what;
  }
}

// The work-offset shift in force (state 1): the block after a move to
// X10 Y10 Z10 of G54, by its code and the shift amount. Taking the position
// afresh makes the program position the machine position less G54 in all
// five axes; a block that is skipped is not cut.
TEST(SpecialBlocks, TheWorkOffsetShiftSkipsBlocksAndTakesThePositionFromTheMachine) {
  struct Case {
    const char* What;
    int32_t Code;
    double Amount;
    int32_t PlaneState;
    int32_t ShiftState;
    bool Goes;            // the block goes on to be cut
    bool Retaken;         // the program position taken from the machine
    int32_t StateAfter;
    double AmountAfter;
  };
  const std::vector<Case> cases = {
      {"G354 takes the position", 354, 0.0, 0, 1, false, true, 0, 0.0},
      {"a shifted block takes it and is skipped", 1, 5.0, 0, 1, false, true, 1, 5.0},
      {"without an amount only skipped", 1, 0.0, 0, 1, false, false, 1, 0.0},
      {"a tilted plane skips and clears the amount", 1, 5.0, 1, 1, false, false, 1, 0.0},
      {"G255 ends the shift", 255, 5.0, 0, 1, false, false, 0, 5.0},
      {"state 2 is cleared and the block goes on", 1, 5.0, 0, 2, true, false, 0, 5.0},
  };
  for (const Case& c : cases) {
    StepRun run(2.0);
    run.Program("G90 G54 G00 X10. Y10. Z10.\n");
    NcContext& nc = run.S.Nc;
    const AxisPosition before = nc.Position.ProgramPosition;
    nc.Modal.LastGCode = c.Code;
    nc.Run.MotionMode = kMotionLinear;
    nc.Modal.Interp.AnyAxisGiven = 1;
    nc.Modal.Interp.WorkOffsetShiftState = c.ShiftState;
    nc.Modal.Interp.WorkOffsetShiftAmount = c.Amount;
    nc.Modal.TiltedPlane.State = c.PlaneState;
    nc.Move.Start = before;
    nc.Move.End = before;
    nc.Move.End[0] = 20;
    EXPECT_EQ(HandleSpecialBlock(run.S), c.Goes) << c.What;
    EXPECT_EQ(nc.Modal.Interp.WorkOffsetShiftState, c.StateAfter) << c.What;
    EXPECT_EQ(nc.Modal.Interp.WorkOffsetShiftAmount, c.AmountAfter) << c.What;
    if (c.Retaken) {
      const WorkOffsetValues& g54 = run.S.Memory.Offsets.ActiveWorkOffset;
      AxisPosition at{};
      for (size_t a = 0; a < 5; ++a) at[a] = nc.Position.MachinePosition[a] - g54[a];
      EXPECT_EQ(nc.Position.ProgramPosition, at) << c.What;
      EXPECT_EQ(nc.Move.Start, at) << c.What;
      EXPECT_EQ(nc.Move.End, at) << c.What;
      EXPECT_EQ(nc.BlockEnd.Current, at) << c.What;
      EXPECT_EQ(nc.Move.Centre, (Vec3{at[0], at[1], at[2]})) << c.What;
    } else if (!c.Goes) {
      EXPECT_EQ(nc.Position.ProgramPosition, before) << c.What;
    }
  }
}

}  // namespace
}  // namespace vestan
