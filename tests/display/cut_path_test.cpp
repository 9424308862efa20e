// The cut path drawing through the session's definitions and a program run
// on the drawing's own interpreter: what each list holds (strips, colours,
// dashes, construction points), the path against the run's own steps, the
// second path's chords, the session left as it was, and lists 31 and 32 in
// the scene.
#include "display/cut_path.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "display/frame_readback.h"
#include "display/offscreen_context.h"
#include "display/scene.h"
#include "display/workpiece_lists.h"
#include "gl_recorder.h"
#include "gl_test_support.h"
#include "scene_world.h"
#include "nc/motion_driver.h"
#include "simulation/move_steps.h"
#include "simulation/run_loop.h"
#include "simulation/session_runs.h"

namespace vestan {
namespace {

using testing::GlRecorder;

// The shipped definitions (tool 1, G54 at -50, -50, 110, tool lengths that
// put the tip at the programmed point), the path drawn into list 31.
struct PathRun {
  testing::FolderSession Run;
  Session& S = Run.S;
  ColourMaterials Materials;
  GlRecorder Gl;

  explicit PathRun(double movePitch = 5.0) {
    testing::ReadShippedDefinitions(S, Run.Folder.Path());
    S.Defs.Settings.Pitch.MovePitch = movePitch;
    CreateColourMaterials(S.Defs.Colors, {}, Materials);
  }
  void Program(const std::string& text) {
    S.Defs.Paths.NcProgram = Run.Folder.Write("p.nc", "%\n" + text + "M30\n%\n");
  }
  const GlRecorder::List& Draw(const CutPathSwitches& switches = {}) {
    Gl = GlRecorder{};
    Gl.NewList(kListPath);
    Result = DrawCutPath(Gl, S, Materials, switches);
    Gl.EndList();
    EXPECT_TRUE(Gl.Errors.empty()) << Gl.Errors.front();
    return Gl.Lists[kListPath];
  }
  CutPathResult Result;
};

// The display point of program point (x, y, z) in G54.
Vec3 At(double x, double y, double z) { return {(x - 50) / 500, (y - 50) / 500, (z + 110) / 500}; }

void ExpectPoints(const std::vector<Vec3>& got, const std::vector<Vec3>& want, const char* what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (size_t i = 0; i < got.size(); ++i)
    for (size_t k = 0; k < 3; ++k) EXPECT_NEAR(got[i][k], want[i][k], 1e-9) << what << " point " << i;
}

std::vector<const GlRecorder::Outline*> Strips(const GlRecorder::List& list, bool stippled) {
  std::vector<const GlRecorder::Outline*> out;
  for (const auto& o : list.Outlines)
    if (o.Stippled == stippled) out.push_back(&o);
  return out;
}

constexpr char kLineAndArc[] =
    "G90 G54 G17 G00 X-20. Y-20. Z10.\n"
    "G01 X-10. F500\n"
    "G00 X10. Y0\n"
    "G03 X0 Y10. I-10. J0\n";

TEST(CutPath, FeedMovesAndArcsAreSteppedAtThePitchAndRapidsDashed) {
  PathRun r(5.0);
  r.Program(kLineAndArc);
  const GlRecorder::List& list = r.Draw();
  EXPECT_EQ(r.Result.ProgramTime, LastWriteTime(r.S.Defs.Paths.NcProgram));
  const auto feeds = Strips(list, false);
  ASSERT_EQ(feeds.size(), 2u);
  // 10 long at pitch 5: two steps.
  ExpectPoints(feeds[0]->P, {At(-20, -20, 10), At(-15, -20, 10), At(-10, -20, 10)}, "line");
  EXPECT_EQ(feeds[0]->Kind, GlPrimitive::kLineStrip);
  EXPECT_EQ(feeds[0]->Colour, r.Materials.TopPath);
  // A quarter of radius 10 is 15.7 long: four steps of 22.5 degrees.
  std::vector<Vec3> arc{At(10, 0, 10)};
  for (int i = 1; i <= 4; ++i) {
    const double a = i * std::numbers::pi / 8;
    arc.push_back(At(10 * std::cos(a), 10 * std::sin(a), 10));
  }
  ExpectPoints(feeds[1]->P, arc, "arc");
  // The rapids are dashed and end where the feed moves begin.
  const auto rapids = Strips(list, true);
  ASSERT_FALSE(rapids.empty());
  ExpectPoints({rapids.back()->P.back()}, {At(10, 0, 10)}, "rapid's end");
  EXPECT_NE(std::find(list.Calls.begin(), list.Calls.end(), "LineStipple 1 f0f0"), list.Calls.end());
  EXPECT_EQ(list.Calls.back(), "Disable LineStipple") << "stipple is left off";
  EXPECT_TRUE(list.Points.empty()) << "no construction points by default";
}

// The tool tips, one "%.4f" line a step, of the run's own loop over a
// program: the tool change, then the move.
std::string RunTips(const std::string& program, double pitch) {
  PathRun run(pitch);
  run.S.Defs.Settings.IgnoreG00 = 1;
  testing::MakeBoxStock(run.S, {-50, -50, 80, 50, 50, 110}, 0.5);
  run.Program(program);
  testing::StartProgram(run.S, run.S.Defs.Paths.NcProgram);
  std::string trace;
  run.S.Pass->Steps.PoseTrace = &trace;
  NcModalState& modal = run.S.Nc.Modal;
  while (modal.EndState != kEndHandled && modal.AlarmCode == kAlarmNone) {
    NextNcMove(run.S.Nc, NcPassOf(run.S), run.S.Pass->Reader, run.S.Pass->Driver);
    if (modal.AlarmCode != kAlarmNone || modal.EndState == kEndHandled) break;
    if (modal.ProgramStarted == 0) continue;
    RunToolChange(run.S);
    EXPECT_EQ(SimulateMove(run.S), MoveEnd::kNone) << program;
  }
  // Each trace line: tip, axis, status; the tip only.
  std::istringstream lines(trace);
  std::string tips, x, y, z, rest;
  while (lines >> x >> y >> z && std::getline(lines, rest)) tips += x + " " + y + " " + z + "\n";
  return tips;
}

std::string DrawnTips(const std::string& program, double pitch) {
  PathRun path(pitch);
  path.S.Defs.Settings.IgnoreG00 = 1;
  path.Program(program);
  std::string tips;
  for (const auto& strip : path.Draw().Outlines)
    for (size_t i = 1; i < strip.P.size(); ++i) {
      char line[128];
      const auto mm = [&](size_t k) {
        const double v = strip.P[i][k] * 500;
        return std::fabs(v) < 0.00005 ? 0.0 : v;
      };
      std::snprintf(line, sizeof line, "%.4f %.4f %.4f\n", mm(0), mm(1), mm(2));
      tips += line;
    }
  return tips;
}

// The path lies where the run's steps put the tool: the trace of the
// simulation's own steps against the drawn vertices, for lines, arcs, a
// helix and a drilling cycle.
TEST(CutPath, CoincidesWithTheRunsSteps) {
  const std::string program =
      "G90 G54 G17 G00 X-20. Y-20. Z10.\n"
      "G01 Z-2. F300\nG01 X-3.3 Y-7.1\n"
      "G02 X10. Y-20. R15.\n"
      "G03 X10. Y-20. Z-4. I-5. J0\n"
      "G00 Z10.\nG81 X20. Y20. Z-5. R2. F200\nX30.\nG80\n";
  const std::string run = RunTips(program, 0.7);
  ASSERT_GT(run.size(), 100u);
  EXPECT_EQ(DrawnTips(program, 0.7), run);
}

// The blocks that change where the tool stands without cutting, and a tool
// change with its new length, leave the drawn path on the run's steps.
TEST(CutPath, CoincidesWithTheRunThroughCoordinateBlocksAndToolChanges) {
  const char* const programs[] = {
      // G92 keeps the tool where it stands: the next move starts there.
      "G90 G54 G00 X-20. Y-20. Z10.\nG01 Z-2. F300\nG92 X0 Y0\nG01 X10. Y5.\nG00 Z10.\n",
      // A plane turned 90 degrees takes the tool's place into its
      // coordinates.
      "G90 G54 G00 X50.2 Y-10. Z10.\nG68.2 X0 Y0 Z0 I90. J0 K0\n"
      "G01 X-10. Y-50.2 Z-5. F500\nX60.\nG00 Z10.\n",
      // The new tool's length moves the tips of the following moves.
      "G90 G54 G00 X-20. Y-20. Z10.\nG01 Z-2. F300\nX-10.\nT2 M06\nG43 H2 G00 Z10.\n"
      "G01 Z-3. F300\nY-10.\n",
  };
  for (const char* program : programs) {
    const std::string run = RunTips(program, 0.7);
    ASSERT_GT(run.size(), 100u) << program;
    EXPECT_EQ(DrawnTips(program, 0.7), run) << program;
  }
}

TEST(CutPath, RapidsIgnoredOrHidden) {
  {
    PathRun r;
    r.S.Defs.Settings.IgnoreG00 = 1;
    r.Program("G90 G54 G00 X-20. Y-20. Z10.\nG00 X20.\nG00 Z50.\n");
    const GlRecorder::List& list = r.Draw();
    EXPECT_TRUE(list.Outlines.empty()) << "rapids only with IGNORE G00: an empty path";
    EXPECT_EQ(r.Result.Vertices, 0);
  }
  {
    PathRun r;
    r.Program(kLineAndArc);
    const GlRecorder::List& list = r.Draw({0, 1});
    ASSERT_EQ(list.Outlines.size(), 2u) << "Shift: the two feed moves only";
    EXPECT_TRUE(Strips(list, true).empty());
  }
}

TEST(CutPath, MovesWithinTheToleranceAndArcsOfNoLengthAreNotDrawn) {
  PathRun r;
  r.Program(
      "G90 G54 G17 G00 X-20. Y-20. Z10.\n"
      "G01 X-20.0004 F500\n"           // within the tolerance of 0.0005
      "G01 X-10.\n"
      "G02 X-10. Y-20. I0 J0\n");       // no radius, no length
  const auto feeds = Strips(r.Draw(), false);
  ASSERT_EQ(feeds.size(), 1u);
  ExpectPoints({feeds[0]->P.back()}, {At(-10, -20, 10)}, "the line");
}

TEST(CutPath, PenColouringHidesPensWithTheirConstructionPoints) {
  PathRun r;
  r.S.Defs.Settings.TopPathColorMode = 0;
  r.S.Defs.Settings.ConstructionPoint = 1;
  r.Program("G90 G54 G00 X-20. Y-20. Z10.\nG01 X-10. F500\n");
  const int32_t pen = r.S.Tool.PenNumber;
  {
    const GlRecorder::List& list = r.Draw();
    EXPECT_EQ(list.PointSize, 3.0f);
    const auto feeds = Strips(list, false);
    ASSERT_EQ(feeds.size(), 1u);
    EXPECT_EQ(feeds[0]->Colour, r.Materials.Pens[static_cast<size_t>(pen)]);
    // A point at the start of every drawn move.
    EXPECT_EQ(list.Points.size(), list.Outlines.size());
    EXPECT_EQ(list.PointColours.back(), r.Materials.Construction);
    ExpectPoints({list.Points.back()}, {At(-20, -20, 10)}, "the feed's construction point");
  }
  r.S.Defs.Colors.Live.PenPathFlag[static_cast<size_t>(pen)] = 0;
  const GlRecorder::List& hidden = r.Draw();
  EXPECT_TRUE(hidden.Outlines.empty());
  EXPECT_TRUE(hidden.Points.empty());
  // Outside pen colouring the flag does not hide.
  r.S.Defs.Settings.TopPathColorMode = 1;
  EXPECT_FALSE(r.Draw().Outlines.empty());
}

TEST(CutPath, ToolChangesColourTheFollowingMovesByTheirPen) {
  PathRun r;
  r.S.Defs.Settings.TopPathColorMode = 0;
  r.S.Defs.Settings.IgnoreG00 = 1;
  r.Program(
      "G90 G54 G00 X-20. Y-20. Z10.\nG01 X-10. F500\n"
      "T2 M06\nG90 G54 G00 X-20. Y-20. Z10.\nG01 X-10. F500\n");
  const std::vector<int32_t>& pens = r.S.Defs.Tools.Pens;
  ASSERT_GT(pens.size(), 2u);
  const int32_t before = r.S.Nc.Modal.Tools.CurrentToolNumber;
  const auto feeds = Strips(r.Draw(), false);
  ASSERT_EQ(feeds.size(), 2u);
  EXPECT_EQ(feeds[0]->Colour, r.Materials.Pens[static_cast<size_t>(pens[1])]);
  EXPECT_EQ(feeds[1]->Colour, r.Materials.Pens[static_cast<size_t>(pens[2])]);
  EXPECT_EQ(r.S.Nc.Modal.Tools.CurrentToolNumber, before) << "the session's tool stays";
}

}  // namespace
}  // namespace vestan

namespace vestan {
namespace {

// The tilting-table machine with A and C.
void UseFiveAxisMachine(PathRun& r) {
  const std::string controller = *ReadFileBytes(VESTAN_DATA_DIR "/hanuc.ctl");
  r.S.Defs.Paths.Controller =
      r.Run.Folder.Write("five.ctl", controller + "ROTARY1 CHAR=A\nROTARY2 CHAR=C\n");
  ASSERT_EQ(ReadControllerInto(r.S).State, kFileRead);
  r.S.Defs.Paths.Machine = VESTAN_DATA_DIR "/oguma5x.mtl";
  ASSERT_EQ(ReadMachineInto(r.S, 1).State, kFileRead);
}

// A move that only turns the rotary table: a curve about the table's axis in
// the full path, one chord in the second.
TEST(CutPath, RotaryOnlyMoveIsACurveInTheFullPathAndAChordInTheSecond) {
  PathRun r(2.0);
  UseFiveAxisMachine(r);
  r.S.Defs.Settings.IgnoreG00 = 1;
  r.Program("G90 G54 G00 X10. Y0 Z10. A0 C0\nG01 C90. F500\n");
  const auto full = Strips(r.Draw(), false);
  ASSERT_EQ(full.size(), 1u);
  const std::vector<Vec3> curve = full[0]->P;
  ASSERT_GT(curve.size(), 5u);
  // Every point as far from the C axis (vertical, through the workpiece's
  // turning centre) as the first: the curve is an arc about it.
  const Vec3 a = curve.front(), b = curve.back(), m = curve[curve.size() / 2];
  // The centre in the plane: equidistant from the ends and the middle.
  const double ax = a[0], ay = a[1], bx = b[0], by = b[1], mx = m[0], my = m[1];
  const double d = 2 * (ax * (by - my) + bx * (my - ay) + mx * (ay - by));
  ASSERT_GT(std::fabs(d), 1e-12) << "the points are not on a line";
  const double cx = ((ax * ax + ay * ay) * (by - my) + (bx * bx + by * by) * (my - ay) +
                     (mx * mx + my * my) * (ay - by)) / d;
  const double cy = ((ax * ax + ay * ay) * (mx - bx) + (bx * bx + by * by) * (ax - mx) +
                     (mx * mx + my * my) * (bx - ax)) / d;
  const double radius = std::hypot(ax - cx, ay - cy);
  for (const Vec3& p : curve) {
    EXPECT_NEAR(std::hypot(p[0] - cx, p[1] - cy), radius, 1e-9);
    EXPECT_NEAR(p[2], a[2], 1e-12);
  }
  // A quarter turn.
  EXPECT_NEAR((ax - cx) * (bx - cx) + (ay - cy) * (by - cy), 0.0, 1e-9);
  // The steps follow the pitch along the arc: 2 mm in the model.
  EXPECT_EQ(curve.size() - 1,
            static_cast<size_t>(std::ceil(radius * 500 * std::numbers::pi / 2 / 2.0)));

  const GlRecorder::List& second = r.Draw({1, 0});
  ASSERT_EQ(second.Outlines.size(), 1u);
  ExpectPoints(second.Outlines[0].P, {a, b}, "the chord");
  EXPECT_EQ(second.Outlines[0].Colour, r.Materials.SecondPath);
}

}  // namespace
}  // namespace vestan

namespace vestan {
namespace {

// Order 3 over the knots 0 0 0 1 1 2 2 2: the span between the equal knots
// has no points; the spans either side of 1 long take four steps at 0.3,
// landing on the knots.
TEST(CutPath, NurbsSpansOfEqualKnotsAreSkipped) {
  PathRun r(0.3);
  r.S.Defs.Settings.IgnoreG00 = 1;
  r.Program(
      "G90 G54 G00 X0 Y0 Z10.\n"
      "G6.2 P3 K0 X0 Y0 Z10. R1. F500\n"
      "K0 X0.5\nK0 X1.\nK1. X1.5\nK1. X2.\nK2.\nK2.\nK2.\n"
      "G01 Y1.\n");
  const GlRecorder::List& list = r.Draw();
  ASSERT_EQ(list.Outlines.size(), 2u);
  std::vector<Vec3> curve{At(0, 0, 10)};
  for (const double t : {0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 1.75, 2.0}) curve.push_back(At(t, 0, 10));
  ExpectPoints(list.Outlines[0].P, curve, "the curve");
  EXPECT_FALSE(list.Outlines[0].Stippled);
  ExpectPoints(list.Outlines[1].P, {At(2, 0, 10), At(2, 0.25, 10), At(2, 0.5, 10), At(2, 0.75, 10),
                                    At(2, 1, 10)},
               "the line after it starts at the curve's end");
}

}  // namespace
}  // namespace vestan

namespace vestan {
namespace {

TEST(CutPath, LeavesTheSessionAsItWasAndStopsAtTheAbort) {
  PathRun r(1.0);
  r.Program(
      "G90 G55 G00 X-20. Y-20. Z10.\nG10 L2 P1 X7. Y7. Z7.\nG92 X0 Y0\n"
      "G01 X10. F500\nT2 M06\nG54 G01 X30.\n");
  UpdateSessionPosition(r.S);
  const MachinePositionState position = r.S.Nc.Position;
  const WorkOffsetValues g54 = r.S.Memory.Offsets.WorkOffsets[1];
  const int32_t tool = r.S.Nc.Modal.Tools.CurrentToolNumber;
  const int32_t pen = r.S.Tool.PenNumber;
  const uint32_t mainLines = r.S.Nc.Modal.MainLineCounter;
  r.S.Control.LinePendingAtStop.store(1);
  for (int list = 1; list < kFixedListCount; ++list)
    r.S.Display.ClearRebuild(static_cast<DisplayList>(list));
  const GlRecorder::List& list = r.Draw();
  EXPECT_EQ(Strips(list, false).size(), 2u);
  EXPECT_EQ(r.S.Nc.Position.ProgramPosition, position.ProgramPosition);
  EXPECT_EQ(r.S.Nc.Position.MachinePosition, position.MachinePosition);
  EXPECT_EQ(r.S.Memory.Offsets.WorkOffsets[1], g54) << "G10 changed the drawing's copy only";
  EXPECT_EQ(r.S.Nc.Modal.Tools.CurrentToolNumber, tool);
  EXPECT_EQ(r.S.Tool.PenNumber, pen);
  EXPECT_EQ(r.S.Nc.Modal.MainLineCounter, mainLines);
  EXPECT_EQ(r.S.Control.LinePendingAtStop.load(), 1) << "the run's held line stays held";
  for (int list = 1; list < kFixedListCount; ++list)
    EXPECT_FALSE(r.S.Display.NeedsRebuild(static_cast<DisplayList>(list))) << "list " << list;

  // The stop key: the drawing ends after the block it is at, here the "%",
  // which draws nothing (no line from where the last drawing ended).
  r.S.Control.Abort.store(1);
  EXPECT_TRUE(r.Draw().Outlines.empty());
  EXPECT_TRUE(r.Result.Aborted);
}

TEST(CutPath, AProgramThatCannotBeOpenedDrawsNothingAndSaysWhich) {
  PathRun r;
  r.S.Defs.Paths.NcProgram = r.Run.Folder.Path() + "none.nc";
  EXPECT_TRUE(r.Draw().Outlines.empty());
  EXPECT_FALSE(r.Result.ProgramTime.has_value());
  ASSERT_FALSE(r.Run.Host.Messages.empty());
  EXPECT_NE(r.Run.Host.Messages.back().Text.find("none.nc"), std::string::npos);
  // No program chosen: nothing, and nothing said.
  r.Run.Host.Messages.clear();
  r.S.Defs.Paths.NcProgram.clear();
  EXPECT_TRUE(r.Draw().Outlines.empty());
  EXPECT_TRUE(r.Run.Host.Messages.empty());
}

// A scene of the session's program: the machine, tool and workpiece hidden,
// looking down on the path at 2 pixels to the millimetre.
struct PathScene : testing::SceneWorld {
  PathRun Path{1.0};
  PathScene() {
    Defs.Settings.MachineDisplay = 0;
    Defs.Settings.ToolDisplay = 0;
    Defs.Settings.WorkDisplay = 0;
    Defs.Settings.BasicAxis = 0;
    LookAt({-50, -70, 120}, 2.0);
    Path.Program("G90 G54 G00 X-20. Y-20. Z10.\nG01 X20. F500\n");
  }
  Scene Make() {
    Scene scene = SceneWorld::Make();
    scene.PathSource = &Path.S;
    return scene;
  }
};

TEST(CutPath, TheSceneBuildsBothPathListsOnlyInFramesWithNoRun) {
  PathScene w;
  w.Flags.RequestRebuild(kListPath);
  w.Flags.RequestRebuild(kListPath2);
  w.Flags.PathDisplay.store(1);
  w.Flags.PathDisplay2.store(1);
  SceneLists lists;
  for (const SceneFrameKind run : {SceneFrameKind::kRunRedraw, SceneFrameKind::kRunBusy}) {
    GlRecorder gl;
    Scene scene = w.Make();
    scene.Frame = run;
    DrawScene(gl, scene, lists);
    EXPECT_EQ(gl.Lists.count(kListPath), 0u);
    EXPECT_TRUE(w.Flags.NeedsRebuild(kListPath));
    EXPECT_TRUE(w.Flags.NeedsRebuild(kListPath2));
  }
  GlRecorder gl;
  DrawScene(gl, w.Make(), lists);
  EXPECT_TRUE(gl.Errors.empty());
  EXPECT_FALSE(w.Flags.NeedsRebuild(kListPath));
  EXPECT_FALSE(w.Flags.NeedsRebuild(kListPath2));
  EXPECT_EQ(lists.PathProgramTime, LastWriteTime(w.Path.S.Defs.Paths.NcProgram));
  EXPECT_EQ(lists.Path2ProgramTime, lists.PathProgramTime);
  const auto full = Strips(gl.Lists[kListPath], false);
  const auto chords = Strips(gl.Lists[kListPath2], false);
  ASSERT_EQ(full.size(), 1u);
  ASSERT_EQ(chords.size(), 1u);
  EXPECT_EQ(full[0]->P.size(), 41u) << "40 long at pitch 1";
  EXPECT_EQ(chords[0]->P.size(), 2u);
  EXPECT_EQ(full[0]->Colour, w.Path.Materials.TopPath);
  EXPECT_EQ(chords[0]->Colour, w.Path.Materials.SecondPath);
  EXPECT_EQ(gl.Lists[kListPath].Calls.front(), "Material");
  EXPECT_EQ(std::count(gl.Called.begin(), gl.Called.end(), kListPath), 1);
  EXPECT_EQ(std::count(gl.Called.begin(), gl.Called.end(), kListPath2), 1);
}

// The whole way: the path drawn into the list of a real context and the
// frame read back, the feed in the path colour where the program put it.
TEST(CutPath, ThePathShowsInTheFrameOffscreen) {
  OffscreenContext context;
  VESTAN_OPEN_CONTEXT_OR_END(context, 160, 120);
  OpenGlCalls gl;
  PathScene w;
  SceneLists lists;
  AllocDisplayListIds(w.Work.Workpiece(), gl.GenLists(kReservedListNames), 0, lists.Work);
  w.Flags.RequestRebuild(kListPath);
  w.Flags.PathDisplay.store(1);
  DrawScene(gl, w.Make(), lists);
  const FrameGeometry frame = MakeFrameGeometry(160, 120);
  std::vector<uint8_t> pixels;
  ASSERT_TRUE(ReadFrameBuffer(gl, frame, GlPixelFormat::kRgb, pixels));
  const auto pixel = [&](const Vec3& p) {
    const auto [x, y] = w.PixelOf(p);
    const uint8_t* at = &pixels[static_cast<size_t>(119 - y) * frame.RowBytes + 3 * static_cast<size_t>(x)];
    return std::array<int, 3>{at[0], at[1], at[2]};
  };
  // Machine (-70..-30, -70, 120): the feed along X in G54.
  EXPECT_EQ(pixel({-50, -70, 120}), (std::array<int, 3>{255, 0, 0}));
  EXPECT_EQ(pixel({-40, -70, 120}), (std::array<int, 3>{255, 0, 0}));
  EXPECT_EQ(pixel({-50, -60, 120}), (std::array<int, 3>{0, 0, 0}));
}

}  // namespace
}  // namespace vestan
