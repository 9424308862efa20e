// The motion driver: golden move traces of short programs, each written by
// hand from the rules, and the rapid decomposition, scaling and corner
// geometry on their own.
#include "nc/motion_driver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "nc/dialect_parsers.h"
#include "nc/move_trace.h"
#include "nc/radius_compensation.h"
#include "nc/recording_plugins.h"

namespace vestan::testing {
namespace {

std::string Fixture(const std::string& name) {
  std::ifstream in(std::string(VESTAN_FIXTURES_DIR "/nc/motion/") + name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct Golden {
  const char* Name;
  const char* Controller = "";  // further controller definition lines
  Dialect Kind = Dialect::kDefault;
};

// Offsets D1 5, D2 0.01 and D3 6 for every program; rapids of 6000 per
// minute and acceleration 0.1 on every axis, stepped by 25.
std::vector<std::string> TraceOf(MotionPass& pass, const std::string& name) {
  OffsetMemory& offsets = pass.World->Memory.Offsets;
  offsets.DGeometry[1] = 5.0f;
  offsets.DGeometry[2] = 0.01f;
  offsets.DGeometry[3] = 6.0f;
  MachineDefinition& machine = pass.World->Defs.Machine;
  machine.RapidRate = {6000.0f, 6000.0f, 6000.0f};
  machine.RapidAcceleration = {0.1f, 0.1f, 0.1f};
  pass.World->Defs.Settings.Pitch.MovePitch = 25.0;
  return pass.Trace(Fixture(name + ".nc"));
}

TEST(MotionTrace, GoldenPrograms) {
  const std::vector<Golden> programs{
      {"square_g41"},
      {"square_g42"},
      {"corner135"},
      {"inner_g41"},
      {"reverse"},
      {"arc_in_out"},
      {"cycles"},
      {"z_only"},
      {"corner_arc_g39"},
      {"rapid_kind1", "G00MODE=ASYNC1\n"},
      {"rapid_kind2", "G00MODE=ASYNC2\n"},
      {"rotate"},
      {"rotate_mirror"},
      // Canned cycles in each dialect: incremental depths and R levels in
      // the planes, repeat count 0, OSP return levels, a motion code ending
      // the cycle, HEIDENHAIN cycle 200 from its parameters.
      {"cycles_g91"},
      {"cycles_mazak", "", Dialect::kMazak},
      {"cycles_osp", "", Dialect::kOsp},
      {"cycles_siemens", "", Dialect::kSiemens},
      {"cycle200_heidenhain", "", Dialect::kHeidenhain},
  };
  for (const Golden& g : programs) {
    MotionPass pass(g.Kind, g.Controller);
    const std::vector<std::string> got = TraceOf(pass, g.Name);
    const std::vector<std::string> want = Lines(Fixture(std::string(g.Name) + ".trace"));
    ASSERT_FALSE(want.empty()) << g.Name;
    EXPECT_EQ(got, want) << g.Name;
  }
}

// Under compensation a block that leaves the tool where it is in the plane
// (here a comment while G03 is modal) is no plane move: the start-up arc
// ends on the offset start of the full circle after it, inside the contour.
TEST(MotionTrace, ABlockWithoutAxisWordsUnderAModalArcIsNoPlaneMove) {
  // Offset 5 toward the centre: circle radius 20 becomes 15, fed at 15/20;
  // the start-up arc of radius 10 ends at radius 5, length (10 + 5) pi / 4.
  const std::vector<std::string> want{
      "mm=0 s=(0.0000,0.0000,0.0000) e=(60.0000,-10.0000,0.0000) F=0.0000",
      "mm=3 s=(60.0000,-10.0000,0.0000) e=(65.0000,0.0000,0.0000) c=(60.0000,0.0000,0.0000) "
      "ang=1.5708 len=11.7810 F=100.0000",
      "mm=3 s=(65.0000,0.0000,0.0000) e=(65.0000,0.0000,0.0000) c=(50.0000,0.0000,0.0000) "
      "ang=6.2832 len=94.2478 F=75.0000",
      "mm=1 s=(65.0000,0.0000,0.0000) e=(50.0000,0.0000,0.0000) F=100.0000"};
  MotionPass circle;
  circle.World->Memory.Offsets.DGeometry[1] = 5.0f;
  EXPECT_EQ(circle.Trace("G90 G00 X60. Y-10.\nG41 D1 G03 X70. Y0 I0 J10. F100.\n(CONTOUR)\n"
                         "G03 I-20.\nG40 G01 X50. Y0\nM30\n"),
            want);
}

// The program's end read while moves are still queued: they run first. A
// G40 without axis words is followed by a Z retract, read ahead by
// compensation; M30 ends the program held in memory (nothing after it is
// read ahead), the file's end a program read from its file.
TEST(MotionTrace, TheEndRunsTheMovesStillQueued) {
  const std::vector<std::string> want{
      "mm=0 s=(0.0000,0.0000,0.0000) e=(-10.0000,0.0000,0.0000) F=0.0000",
      "mm=1 s=(-10.0000,0.0000,0.0000) e=(0.0000,5.0000,0.0000) F=100.0000",
      "mm=1 s=(0.0000,5.0000,0.0000) e=(20.0000,5.0000,0.0000) F=100.0000",
      "mm=0 s=(20.0000,5.0000,0.0000) e=(20.0000,5.0000,50.0000) F=100.0000"};
  const std::string program =
      "G90 G00 X-10. Y0\nG41 G01 X0 Y0 D1 F100.\nX20.\nG40\nG00 Z50.\nM30\n";
  for (const bool memory : {true, false}) {
    MotionPass pass(Dialect::kDefault, memory ? "RUN TYPE=MEMORY\n" : "");
    pass.World->Memory.Offsets.DGeometry[1] = 5.0f;
    EXPECT_EQ(pass.Trace(memory ? program + "G00 X99.\n" : program), want) << memory;
    EXPECT_EQ(pass.Modal().EndState, kEndHandled) << memory;
  }
}

// The depth of a canned cycle in incremental mode goes from R, R from the
// initial level, in a subprogram as in the main program; a motion code ends
// the cycle, so the rapid after it drills nothing.
TEST(MotionTrace, IncrementalCycleInASubprogramAndTheRapidAfterIt) {
  MotionPass pass(Dialect::kDefault, "RUN TYPE=MEMORY\n");
  EXPECT_EQ(pass.Trace("G90 G00 X0 Y0 Z5.\nM98 P100\nG00 X20. Z10.\nM30\n"
                       "O0100\nG91 G81 X10. Z-7. R-3. F100.\nG90\nM99\n"),
            (std::vector<std::string>{
                "mm=0 s=(0.0000,0.0000,0.0000) e=(0.0000,0.0000,5.0000) F=0.0000",
                "mm=0 s=(0.0000,0.0000,5.0000) e=(10.0000,0.0000,5.0000) F=100.0000",
                "mm=0 s=(10.0000,0.0000,5.0000) e=(10.0000,0.0000,2.0000) F=100.0000",
                "mm=1 s=(10.0000,0.0000,2.0000) e=(10.0000,0.0000,-5.0000) F=100.0000",
                "mm=0 s=(10.0000,0.0000,-5.0000) e=(10.0000,0.0000,5.0000) F=100.0000",
                "mm=0 s=(10.0000,0.0000,5.0000) e=(20.0000,0.0000,10.0000) F=100.0000"}));
}

// A read plug-in's records through the driver: each with its motion, plane
// and feed.
TEST(MotionTrace, ReadPluginRecordsCarryTheirFeedAndPlane) {
  MotionPass pass;
  RecordingReadPlugin plugin;
  plugin.Entries = {ReadPluginEntry::kPath};
  PluginPathRecord rapid, line, arc;
  rapid.End = {10, 0, 5, 0, 0};
  line.Type = kMotionLinear;
  line.Feed = 250.0;
  line.End = {20, 0, 5, 0, 0};
  // A clockwise quarter in the ZX plane (Z first) about (10, 0, 5), from X 20
  // to Z 15.
  arc.Type = kMotionClockwise;
  arc.Kind = 18;
  arc.Feed = 80.0;
  arc.End = {10, 0, 15, 0, 0};
  arc.Centre = {10, 0, 5};
  plugin.Path = {rapid, line, arc};
  NcWorld& world = *pass.World;
  world.Records.ActiveReadPlugin = 0;
  pass.Reader.Plugin = &plugin;
  ResetNcModalState(world.Context, world.Records);
  ASSERT_EQ(OpenNcProgram(world.Records, pass.Reader), kNcProgramFromPlugin);
  std::vector<std::string> lines;
  for (int guard = 0; guard < 10 && pass.Modal().EndState != kEndHandled; ++guard) {
    NextNcMove(world.Context, world.Records, pass.Reader, pass.Driver);
    const bool moves = pass.Modal().MoveExists != 0;
    FinishMove(world.Context, world.Records);
    if (moves) lines.push_back(FormatMoveTrace(world.Context));
  }
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "mm=0 s=(0.0000,0.0000,0.0000) e=(10.0000,0.0000,5.0000) F=0.0000",
                       "mm=1 s=(10.0000,0.0000,5.0000) e=(20.0000,0.0000,5.0000) F=250.0000",
                       "mm=2 s=(20.0000,0.0000,5.0000) e=(10.0000,0.0000,15.0000) "
                       "c=(10.0000,0.0000,5.0000) ang=1.5708 len=15.7080 F=80.0000"}));
  EXPECT_EQ(pass.Modal().Plane.PlaneCode, 18);
}

// The initial level is where the block with the cycle code starts, in
// whatever order its G codes come.
TEST(MotionTrace, TheInitialLevelWhateverTheOrderOfTheCodes) {
  MotionPass pass;
  EXPECT_EQ(pass.Trace("G00 X0 Y0 Z50.\nG81 G98 X10. Z-5. R2. F100.\nG80\nM30\n"),
            (std::vector<std::string>{
                "mm=0 s=(0.0000,0.0000,0.0000) e=(0.0000,0.0000,50.0000) F=0.0000",
                "mm=0 s=(0.0000,0.0000,50.0000) e=(10.0000,0.0000,50.0000) F=100.0000",
                "mm=0 s=(10.0000,0.0000,50.0000) e=(10.0000,0.0000,2.0000) F=100.0000",
                "mm=1 s=(10.0000,0.0000,2.0000) e=(10.0000,0.0000,-5.0000) F=100.0000",
                "mm=0 s=(10.0000,0.0000,-5.0000) e=(10.0000,0.0000,50.0000) F=100.0000"}));
}

TEST(MotionTrace, InnerCornerInterference) {
  // Offsets 0.02 apart that never meet: a connecting move and one alarm
  // entry with the offset in force.
  MotionPass pass(Dialect::kDefault, "CHECK RADIUS OFFSET=LIST\n");
  TraceOf(pass, "reverse");
  ASSERT_EQ(pass.Interferences.size(), 1u);
  EXPECT_NEAR(pass.Interferences[0], 0.01, 1e-6);
  // Not without the check, nor in a data check.
  MotionPass unchecked;
  TraceOf(unchecked, "reverse");
  EXPECT_TRUE(unchecked.Interferences.empty());
  MotionPass dataCheck(Dialect::kDefault, "CHECK RADIUS OFFSET=LIST\n");
  dataCheck.Driver.Options.DataCheck = 1;
  TraceOf(dataCheck, "reverse");
  EXPECT_TRUE(dataCheck.Interferences.empty());
  // Overlapping offsets are trimmed without one.
  MotionPass trimmed(Dialect::kDefault, "CHECK RADIUS OFFSET=LIST\n");
  TraceOf(trimmed, "inner_g41");
  EXPECT_TRUE(trimmed.Interferences.empty());
}

TEST(MotionTrace, OffsetLargerThanAnArcRadius) {
  // G03 of radius 5 with an offset of 6 toward the centre: alarm 6 while the
  // check is on.
  const std::string program =
      "G00 X-10. Y0\nG41 G01 X0 Y0 D3 F100.\nG03 X10. Y0 I5. J0\n"
      "G01 X20.\nG40 X30.\nM30\n";
  for (const int32_t check : {1, 0}) {
    MotionPass pass(Dialect::kDefault, check != 0 ? "CHECK RADIUS OFFSET=STOP\n" : "");
    pass.World->Memory.Offsets.DGeometry[3] = 6.0f;
    pass.Trace(program);
    EXPECT_EQ(pass.Modal().AlarmCode, check != 0 ? kAlarmRadiusOffset : kAlarmNone) << check;
  }
}

// G69 ends the rotation at its own block end: a move read before it (under
// compensation, ahead of it) stays turned, and a rapid in the G69 block is
// not split while the rotation is being ended.
TEST(MotionTrace, RotationEndsAtItsOwnBlock) {
  const std::string compensated =
      "G68 X0 Y0 R90.\nG00 X0 Y-20.\nG41 G01 X0 Y0 D1 F100.\nX20.\n@\nG40 X5.\nM30\n";
  const auto with = [&](const std::string& block) {
    std::string text = compensated;
    text.replace(text.find('@'), 1, block);
    return text;
  };
  MotionPass ended, kept;
  ended.World->Memory.Offsets.DGeometry[1] = 5.0f;
  kept.World->Memory.Offsets.DGeometry[1] = 5.0f;
  const std::vector<std::string> withG69 = ended.Trace(with("G69"));
  const std::vector<std::string> withComment = kept.Trace(with("(G69)"));
  ASSERT_GE(withG69.size(), 3u);
  ASSERT_GE(withComment.size(), 3u);
  // The approach, the start-up and the X20 move, all turned.
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(withG69[i], withComment[i]) << i;
  EXPECT_EQ(withG69[2], "mm=1 s=(-5.0000,0.0000,0.0000) e=(-5.0000,20.0000,0.0000) F=100.0000");

  MotionPass rapid(Dialect::kDefault, "G00MODE=ASYNC1\n");
  EXPECT_EQ(rapid.Trace("G68 X0 Y0 R90.\nG01 X10. Y0 F100.\nG69 G00 X20. Y5. Z3.\nM30\n"),
            (std::vector<std::string>{
                "mm=1 s=(0.0000,0.0000,0.0000) e=(0.0000,10.0000,0.0000) F=100.0000",
                "mm=0 s=(0.0000,10.0000,0.0000) e=(20.0000,5.0000,3.0000) F=100.0000"}));
}

// Ending a rotation in the plane takes only the plane's axes from the tool;
// a mirrored axis outside it keeps its programmed value.
TEST(MotionTrace, RotationEndKeepsAMirroredNormalAxis) {
  MotionPass pass;
  EXPECT_EQ(pass.Trace("G51.1 Z0\nG68 X0 Y0 R90.\nG01 X10. Y0 Z-5. F100.\nG69\nG01 X20.\nM30\n"),
            (std::vector<std::string>{
                "mm=1 s=(0.0000,0.0000,0.0000) e=(0.0000,10.0000,5.0000) F=100.0000",
                "mm=1 s=(0.0000,10.0000,5.0000) e=(20.0000,10.0000,5.0000) F=100.0000"}));
}

// A cancel read right after the start-up block still runs its way back,
// whether or not the start-up block moves.
TEST(MotionTrace, CancelRightAfterTheStartUp) {
  const std::vector<std::string> wayBack{
      "mm=1 s=(0.0000,0.0000,0.0000) e=(10.0000,0.0000,0.0000) F=100.0000",
      "mm=1 s=(10.0000,0.0000,0.0000) e=(20.0000,5.0000,0.0000) F=100.0000",
      "mm=1 s=(20.0000,5.0000,0.0000) e=(40.0000,0.0000,0.0000) F=100.0000"};
  for (const char* program : {"G01 X10. Y0 F100.\nG41 G01 X20. Y0 D1\nG40 X40.\nM30\n",
                              "G01 X10. Y0 F100.\nG41 D1\nG01 X20. Y0\nG40 X40.\nM30\n"}) {
    MotionPass pass;
    pass.World->Memory.Offsets.DGeometry[1] = 5.0f;
    EXPECT_EQ(pass.Trace(program), wayBack) << program;
  }
}

TEST(MotionTrace, ReferenceReturnThroughTheIntermediatePoint) {
  const std::string program = "G00 X10. Y10. Z10.\nG28 Z20.\nG01 X20. F100.\nM30\n";
  // Reference point 1 at machine Z 300 under a work offset of Z 50; without
  // it the axis goes to the start position.
  for (const bool defined : {true, false}) {
    MotionPass pass;
    OffsetMemory& offsets = pass.World->Memory.Offsets;
    offsets.ReferencePoints[0] = {defined ? 1 : 0, {0, 0, 300, 0, 0}};
    offsets.WorkOffsets[1] = {0, 0, 50, 0, 0};
    pass.World->Defs.Settings.ControlPoint = {0, 0, 120, 0, 0};
    const std::string last = defined ? "250.0000" : "120.0000";
    const std::vector<std::string> want{
        "mm=0 s=(0.0000,0.0000,120.0000) e=(10.0000,10.0000,10.0000) F=0.0000",
        "mm=0 s=(10.0000,10.0000,10.0000) e=(10.0000,10.0000,20.0000) F=0.0000",
        "mm=0 s=(10.0000,10.0000,20.0000) e=(10.0000,10.0000," + last + ") F=0.0000",
        "mm=1 s=(10.0000,10.0000," + last + ") e=(20.0000,10.0000," + last + ") F=100.0000"};
    EXPECT_EQ(pass.Trace(program), want) << defined;
  }
}

TEST(MotionTrace, ReturnFromTheReferencePointToATarget) {
  // No code of the interpreter asks for this return: the comment stands for
  // the block that does, and leaves the state as such a block would. X and Y
  // are named; the intermediate point is the one G28 left.
  const std::string program =
      "G00 X10. Y10. Z10.\nG28 X50. Y60.\n(FROM REFERENCE)\nG01 X0 F100.\nM30\n";
  MotionPass pass;
  pass.World->Memory.Offsets.ReferencePoints[0] = {1, {200, 100, 300, 0, 0}};
  pass.Hooks.SeeComment = [](NcContext& context, const NcPassRecords&, std::string_view) {
    InterpreterState& in = context.Modal.Interp;
    in.ReferenceReturnMode = kReturnFromReference;
    in.IntermediateGiven = {1, 1, 0, 0, 0};
    in.TargetPoint = {30, 40, -99, 0, 0};
  };
  const std::vector<std::string> want{
      "mm=0 s=(0.0000,0.0000,0.0000) e=(10.0000,10.0000,10.0000) F=0.0000",
      "mm=0 s=(10.0000,10.0000,10.0000) e=(50.0000,60.0000,10.0000) F=0.0000",
      "mm=0 s=(50.0000,60.0000,10.0000) e=(200.0000,100.0000,10.0000) F=0.0000",
      // Back through the intermediate point; Z, not named, stays.
      "mm=0 s=(200.0000,100.0000,10.0000) e=(50.0000,60.0000,10.0000) F=0.0000",
      "mm=0 s=(50.0000,60.0000,10.0000) e=(30.0000,40.0000,10.0000) F=0.0000",
      "mm=1 s=(30.0000,40.0000,10.0000) e=(0.0000,40.0000,10.0000) F=100.0000"};
  EXPECT_EQ(pass.Trace(program), want);
  EXPECT_EQ(pass.Modal().ReferenceReturnStage, 0);
}

// The live move in machine coordinates (program position plus the composed
// work offset in force) and that offset's X and Z.
std::string MachineMove(const NcContext& context, const OffsetMemory& offsets) {
  const WorkOffsetValues& wo = offsets.ActiveWorkOffset;
  std::array<double, 3> start{}, end{};
  for (size_t i = 0; i < 3; ++i) {
    start[i] = context.Move.Start[i] + wo[i];
    end[i] = context.Move.End[i] + wo[i];
  }
  std::string out;
  AppendTuple(out, "", start);
  AppendTuple(out, ">", end);
  AppendTuple(out, " wo=", std::array<double, 2>{wo[0], wo[2]});
  return out;
}

// Steps the program to its end: the machine moves, and after each call
// whether a work-offset change was still pending.
std::vector<std::string> MachineMoves(MotionPass& pass, const std::string& text) {
  ScratchFolder folder;
  pass.Start(folder.Write("prog.nc", text));
  ResetMotionDriver(pass.Driver);
  NcContext& context = pass.World->Context;
  std::vector<std::string> moves;
  for (int guard = 0; guard < 100 && pass.Modal().EndState != kEndHandled; ++guard) {
    NextNcMove(context, pass.World->Records, pass.Reader, pass.Driver);
    if (pass.Modal().MoveExists == 0) continue;
    moves.push_back(MachineMove(context, pass.World->Memory.Offsets) +
                    (pass.Modal().Interp.OffsetChange.Pending != 0 ? " pending" : ""));
  }
  return moves;
}

// D1 is 5 and G55 is X 100, Z 10 from G54. Every comment stands for a block
// that changes to G55 under compensation: it leaves the change as the
// interpreter does, with the machine position kept.
void ChangeToG55OnComments(MotionPass& pass) {
  pass.World->Memory.Offsets.DGeometry[1] = 5.0f;
  pass.World->Memory.Offsets.WorkOffsets[2] = {100, 0, 10, 0, 0};
  pass.Hooks.SeeComment = [](NcContext& context, const NcPassRecords& records,
                             std::string_view) {
    CompensatedOffsetChange& change = context.Modal.Interp.OffsetChange;
    change.Old = records.Memory.Offsets.ActiveWorkOffset;
    records.Memory.Offsets.SelectedWorkOffset = 2;
    RecomposeWorkOffset(context, records);
    change.New = records.Memory.Offsets.ActiveWorkOffset;
    change.Pending = 1;
  };
}

TEST(WorkOffsetChange, UnderCompensationTheMachinePathStaysWhole) {
  struct Case {
    const char* Name;
    const char* Program;
    std::vector<std::string> Moves;
  };
  const std::vector<Case> cases{
      {"after a contour move and two Z moves",
       "G00 X0 Y-20. Z5.\nG41 G01 X0 Y0 D1 F100.\nX20.\nZ2.\nZ1.\n(NEW OFFSET)\n"
       "Y20.\nX-100.\nG40 Y40.\nM30\n",
       {"(0.0000,0.0000,0.0000)>(0.0000,-20.0000,5.0000) wo=(0.0000,0.0000)",
        "(0.0000,-20.0000,5.0000)>(0.0000,5.0000,5.0000) wo=(0.0000,0.0000)",
        // Ahead of the change: no corner to the next contour, the old offset.
        "(0.0000,5.0000,5.0000)>(20.0000,5.0000,5.0000) wo=(0.0000,0.0000) pending",
        "(20.0000,5.0000,5.0000)>(20.0000,5.0000,2.0000) wo=(0.0000,0.0000) pending",
        // The last Z move takes the new offset, its start and end shifted.
        "(20.0000,5.0000,2.0000)>(20.0000,5.0000,1.0000) wo=(100.0000,10.0000)",
        // Straight on to the next offset start, then the contour as usual.
        "(20.0000,5.0000,1.0000)>(15.0000,0.0000,1.0000) wo=(100.0000,10.0000)",
        "(15.0000,0.0000,1.0000)>(15.0000,15.0000,1.0000) wo=(100.0000,10.0000)",
        "(15.0000,15.0000,1.0000)>(0.0000,15.0000,1.0000) wo=(100.0000,10.0000)",
        "(0.0000,15.0000,1.0000)>(0.0000,40.0000,1.0000) wo=(100.0000,10.0000)"}},
      {"right after the start-up block",
       "G00 X0 Y-20. Z5.\nG41 G01 X0 Y0 D1 F100.\n(NEW OFFSET)\nY20.\nX-80.\nG40 Y40.\nM30\n",
       {"(0.0000,0.0000,0.0000)>(0.0000,-20.0000,5.0000) wo=(0.0000,0.0000)",
        // The start-up move offset along its own direction only.
        "(0.0000,-20.0000,5.0000)>(-5.0000,0.0000,5.0000) wo=(0.0000,0.0000) pending",
        "(-5.0000,0.0000,5.0000)>(-5.0000,20.0000,5.0000) wo=(100.0000,10.0000)",
        "(-5.0000,20.0000,5.0000)>(-5.0000,25.0000,5.0000) wo=(100.0000,10.0000)",
        "(-5.0000,25.0000,5.0000)>(0.0000,25.0000,5.0000) wo=(100.0000,10.0000)",
        "(0.0000,25.0000,5.0000)>(20.0000,25.0000,5.0000) wo=(100.0000,10.0000)",
        "(20.0000,25.0000,5.0000)>(20.0000,40.0000,5.0000) wo=(100.0000,10.0000)"}},
      {"before compensation",
       "G00 X0 Y-20. Z5.\n(NEW OFFSET)\nG41 G01 X-100. Y0 D1 F100.\nX-80.\nG40 Y20.\nM30\n",
       {"(0.0000,0.0000,0.0000)>(0.0000,-20.0000,5.0000) wo=(0.0000,0.0000)",
        "(0.0000,-20.0000,5.0000)>(0.0000,5.0000,5.0000) wo=(100.0000,10.0000)",
        "(0.0000,5.0000,5.0000)>(20.0000,5.0000,5.0000) wo=(100.0000,10.0000)",
        "(20.0000,5.0000,5.0000)>(20.0000,20.0000,5.0000) wo=(100.0000,10.0000)"}},
  };
  for (const Case& c : cases) {
    MotionPass pass;
    ChangeToG55OnComments(pass);
    EXPECT_EQ(MachineMoves(pass, c.Program), c.Moves) << c.Name;
  }
}

// G55 under compensation leaves the change itself: the same machine path as
// the change set by hand above, and none outside compensation.
TEST(WorkOffsetChange, G55UnderCompensationLeavesTheChange) {
  const std::string program =
      "G00 X0 Y-20. Z5.\nG41 G01 X0 Y0 D1 F100.\nX20.\nZ2.\nZ1.\n@\nY20.\nX-100.\nG40 Y40.\nM30\n";
  const auto with = [&](const std::string& block) {
    std::string text = program;
    text.replace(text.find('@'), 1, block);
    return text;
  };
  MotionPass byHook;
  ChangeToG55OnComments(byHook);
  const std::vector<std::string> expected = MachineMoves(byHook, with("(NEW OFFSET)"));
  ASSERT_FALSE(expected.empty());
  // A shift or a changed entry of the offset in force: the same change.
  for (const char* block : {"G55", "G52 X100. Z10.", "G10 L2 P1 X100. Z10."}) {
    MotionPass byBlock;
    byBlock.World->Memory.Offsets.DGeometry[1] = 5.0f;
    byBlock.World->Memory.Offsets.WorkOffsets[2] = {100, 0, 10, 0, 0};
    EXPECT_EQ(MachineMoves(byBlock, with(block)), expected) << block;
  }
  // Without compensation the interpreter's own shift is all there is.
  MotionPass plain;
  plain.World->Memory.Offsets.WorkOffsets[2] = {100, 0, 10, 0, 0};
  MachineMoves(plain, "G01 X20. F100.\nG55\nY20.\nM30\n");
  EXPECT_EQ(plain.Modal().Interp.OffsetChange.Pending, 0);
}

// A changed offset moves the coordinates, not the tool: after G10 L2 on
// the entry in force, G52, G92 or a HEIDENHAIN datum shift the tool stays
// where it is, and the next absolute move goes to the new coordinates.
TEST(WorkOffsetChange, AChangedOffsetLeavesTheToolWhereItIs) {
  struct Case {
    Dialect Kind;
    const char* Program;
    std::vector<std::string> Moves;  // in machine coordinates
  };
  const std::string atFive = "(0.0000,0.0000,0.0000)>(5.0000,0.0000,0.0000) wo=(0.0000,0.0000)";
  const std::vector<Case> cases{
      {Dialect::kDefault,
       "G90 G00 X5. Y0\nG10 L2 P1 X10.\nG00 X0 Y0\nM30\n",
       {atFive, "(5.0000,0.0000,0.0000)>(10.0000,0.0000,0.0000) wo=(10.0000,0.0000)"}},
      {Dialect::kDefault,
       "G90 G00 X5. Y0\nG52 X20. Y10.\nG00 X0 Y0\nM30\n",
       {atFive, "(5.0000,0.0000,0.0000)>(20.0000,10.0000,0.0000) wo=(20.0000,0.0000)"}},
      {Dialect::kDefault,
       "G90 G00 X5. Y0\nG92 X0 Y0\nG00 X10.\nM30\n",
       {atFive, "(5.0000,0.0000,0.0000)>(15.0000,0.0000,0.0000) wo=(5.0000,0.0000)"}},
      {Dialect::kHeidenhain,
       "L X+5 Y+0 FMAX\nCYCL DEF 7.0 DATUM SHIFT\nCYCL DEF 7.1 X+20\nL X+0 Y+0 FMAX\n",
       {atFive, "(5.0000,0.0000,0.0000)>(20.0000,0.0000,0.0000) wo=(20.0000,0.0000)"}},
  };
  for (const Case& c : cases) {
    MotionPass pass(c.Kind);
    EXPECT_EQ(MachineMoves(pass, c.Program), c.Moves) << c.Program;
  }
}

TEST(WorkOffsetChange, AQueuedPointStartsFromTheShiftedEnd) {
  // A right turn under G41 queues the corner's extension points behind the
  // offset move; a change left pending then is taken by the first point.
  const std::string program =
      "G00 X0 Y-20.\nG41 G01 X0 Y0 D1 F100.\nX20.\nY-20.\nG40 X40.\nM30\n";
  MotionPass pass;
  pass.World->Memory.Offsets.DGeometry[1] = 5.0f;
  ScratchFolder folder;
  pass.Start(folder.Write("prog.nc", program));
  ResetMotionDriver(pass.Driver);
  NcContext& context = pass.World->Context;
  OffsetMemory& offsets = pass.World->Memory.Offsets;
  for (int guard = 0; guard < 10 && pass.Driver.Points.empty(); ++guard)
    NextNcMove(context, pass.World->Records, pass.Reader, pass.Driver);
  ASSERT_FALSE(pass.Driver.Points.empty());
  const AxisPosition end = context.Move.End;
  const Vec3 point = pass.Driver.Points.front().Position;
  CompensatedOffsetChange& change = pass.Modal().Interp.OffsetChange;
  change = {1, {10, 20, 0, 0, 0}, offsets.ActiveWorkOffset};
  NextNcMove(context, pass.World->Records, pass.Reader, pass.Driver);
  EXPECT_EQ(context.Move.Start, (AxisPosition{end[0] - 10, end[1] - 20, end[2], 0, 0}));
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(context.Move.End[i], point[i]) << i;
  EXPECT_EQ(offsets.ActiveWorkOffset, (WorkOffsetValues{10, 20, 0, 0, 0}));
  EXPECT_EQ(change.Pending, 0);
}

TEST(DecomposeRapidMove, SameSpeedSmallestTravelFirst) {
  struct Case {
    const char* Name;
    AxisPosition End;
    std::vector<AxisPosition> Ends;  // none: the rapid stays whole
  };
  const std::vector<Case> cases{
      {"three travels", {10, -7, 3, 0, 0}, {{3, -3, 3, 0, 0}, {7, -7, 3, 0, 0}, {10, -7, 3, 0, 0}}},
      {"two equal, one shorter", {10, 10, 5, 0, 0}, {{5, 5, 5, 0, 0}, {10, 10, 5, 0, 0}}},
      {"rotary axes with the last", {4, 0, -2, 90, 0}, {{2, 0, -2, 0, 0}, {4, 0, -2, 90, 0}}},
      {"equal travels", {10, -10, 10, 0, 0}, {}},
      {"one axis", {0, 0, -20, 0, 0}, {}},
  };
  const RapidMachine machine;
  for (const Case& c : cases) {
    const RapidSubMoves r = DecomposeRapidMove(kRapidSameSpeed, {}, c.End, machine);
    ASSERT_EQ(r.Count, static_cast<int32_t>(c.Ends.size())) << c.Name;
    for (size_t i = 0; i < c.Ends.size(); ++i)
      EXPECT_EQ(r.Ends[i], c.Ends[i]) << c.Name << " " << i;
  }
  for (const int32_t kind : {kRapidWhole, kRapidWholeToo})
    EXPECT_EQ(DecomposeRapidMove(kind, {}, {10, -7, 3, 0, 0}, machine).Count, 0) << kind;
}

TEST(DecomposeRapidMove, AcceleratedProfilesEndExactly) {
  RapidMachine machine;
  machine.RapidRate = {6000, 6000, 6000};  // 100 per second
  machine.Acceleration = {100, 100, 100};
  machine.Pitch = 25;
  const AxisPosition end{100, 50, 0, 0, 0};
  const RapidSubMoves r = DecomposeRapidMove(kRapidAccelerated, {}, end, machine);
  ASSERT_EQ(r.Count, 4);
  EXPECT_DOUBLE_EQ(r.TotalTime, 2.0);
  // Y, 50 long, has stopped at 1.414 s; X decelerates over its last second.
  const std::vector<std::array<double, 2>> want{{12.5, 12.5}, {50, 41.42135623730951}, {87.5, 50}};
  for (int32_t i = 0; i < 3; ++i) {
    const AxisPosition at = NextAcceleratedRapidPoint(r, i);
    EXPECT_NEAR(at[0], want[static_cast<size_t>(i)][0], 1e-9) << i;
    EXPECT_NEAR(at[1], want[static_cast<size_t>(i)][1], 1e-9) << i;
  }
  EXPECT_EQ(NextAcceleratedRapidPoint(r, 3), end);
  // No profile without a positive speed and acceleration, nor for one step.
  for (const auto& [rate, acceleration, pitch] :
       std::vector<std::array<double, 3>>{{0, 100, 25},
                                          {6000, 0, 25},
                                          {-1, 100, 25},
                                          {6000, -5, 25},
                                          {6000, 100, 200},
                                          {6000, 100, 0}}) {
    RapidMachine m = machine;
    m.RapidRate[1] = rate;
    m.Acceleration[1] = acceleration;
    m.Pitch = pitch;
    EXPECT_EQ(DecomposeRapidMove(kRapidAccelerated, {}, end, m).Count, 0)
        << rate << " " << acceleration << " " << pitch;
  }
  // Nor for a travel beyond any double (found by fuzzing), of either kind.
  const double huge = std::numeric_limits<double>::max();
  for (const int32_t kind : {kRapidSameSpeed, kRapidAccelerated}) {
    EXPECT_EQ(DecomposeRapidMove(kind, {-huge, 0, 0, 0, 0}, {huge, 1, 0, 0, 0}, machine).Count, 0);
    EXPECT_EQ(DecomposeRapidMove(kind, {}, {std::nan(""), 10, 0, 0, 0}, machine).Count, 0);
  }
}

TEST(ApplyAxisScaling, PlaneAxesAboutTheCentre) {
  ScalingState s;
  s.On = 1;
  s.Centre = {10, 10, 0};
  s.Factors = {2, 3, 4};
  const Vec3 p{20, 5, 7};
  EXPECT_EQ(ApplyAxisScaling(s, 1, {0, 1, 2}, p), (Vec3{30, -5, 7}));
  EXPECT_EQ(ApplyAxisScaling(s, 1, {2, 0, 1}, p), (Vec3{28, 30, 5}));  // G18: Z, X, Y
  EXPECT_EQ(ApplyAxisScaling(s, 92, {0, 1, 2}, p), (Vec3{20, 5, 7}));
  s.Enabled[1] = 0;
  EXPECT_EQ(ApplyAxisScaling(s, 1, {0, 1, 2}, p), (Vec3{30, 5, 7}));
  s.Uniform = 1;
  s.UniformFactor = 0.5;
  EXPECT_EQ(ApplyAxisScaling(s, 1, {0, 1, 2}, p), (Vec3{15, 5, 7}));
  s.On = 0;
  EXPECT_EQ(ApplyAxisScaling(s, 1, {0, 1, 2}, p), (Vec3{20, 5, 7}));
}

TEST(ComputeOuterCornerPoints, ExtensionsByTurnAngle) {
  struct Case {
    const char* Name;
    Vec3 P1, P2;
    std::vector<Vec3> Points;
  };
  const double h = 5.0 * std::sqrt(0.5);
  // Corner at the origin, offset 5 to the left, turning right (clockwise).
  const std::vector<Case> cases{
      {"90 degrees: one point", {0, 5, 0}, {5, 0, 0}, {{5, 5, 0}, {5, 0, 0}}},
      {"135 degrees: two points r from the ends",
       {0, 5, 0},
       {h, -h, 0},
       {{5, 5, 0}, {2 * h, 0, 0}, {h, -h, 0}}},
      {"45 degrees", {0, 5, 0}, {h, h, 0}, {{5 * std::tan(kPi / 8), 5, 0}, {h, h, 0}}},
      {"ends together", {0, 5, 0}, {0.0004, 5.0004, 0}, {{0.0004, 5.0004, 0}}},
  };
  for (const Case& c : cases) {
    std::vector<QueuedPoint> points;
    ComputeOuterCornerPoints(kMotionClockwise, c.P1, c.P2, {0, 0, 0}, 5.0, 0, 1, points);
    ASSERT_EQ(points.size(), c.Points.size()) << c.Name;
    for (size_t i = 0; i < points.size(); ++i) {
      EXPECT_EQ(points[i].Mode, kMotionLinear) << c.Name;
      for (size_t k = 0; k < 2; ++k)
        EXPECT_NEAR(points[i].Position[k], c.Points[i][k], 1e-9) << c.Name << " " << i;
    }
  }
}

}  // namespace
}  // namespace vestan::testing

namespace vestan::testing {
namespace {

// Under compensation a move is handed out once the next block has been read:
// it comes with its own motion mode and cutting switch all the same.
TEST(MotionDriver, EachMoveIsHandedOutWithItsOwnModeAndCuttingSwitch) {
  MotionPass pass(Dialect::kDefault, "CUT OFF CODE=M51\nCUT ON CODE=M50\n");
  pass.World->Memory.Offsets.DGeometry[1] = 1.0f;
  ScratchFolder folder;
  pass.Start(folder.Write("switch.nc",
                          "G00 X-10. Y0\nG41 G00 X0 D1\nG01 X10. F100\nM51 X20.\nM50 G00 X30.\n"
                          "G40 X40.\nM30\n"));
  ResetMotionDriver(pass.Driver);
  NcContext& context = pass.World->Context;
  std::vector<std::pair<int32_t, int32_t>> seen;  // mode and switch of each move that moves
  for (int guard = 0; guard < 100 && pass.Modal().EndState != kEndHandled; ++guard) {
    NextNcMove(context, pass.World->Records, pass.Reader, pass.Driver);
    if (pass.Modal().MoveExists == 0) continue;
    EXPECT_EQ(pass.World->Run.MotionMode, context.Move.MotionMode);
    seen.emplace_back(pass.World->Run.MotionMode, pass.World->Run.CuttingEnabled);
  }
  EXPECT_EQ(seen, (std::vector<std::pair<int32_t, int32_t>>{
                      {0, 1}, {0, 1}, {1, 1}, {1, 0}, {0, 1}, {0, 1}}));
}

}  // namespace
}  // namespace vestan::testing
