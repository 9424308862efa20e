#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <utility>

#include "nc/nc_modal_operations.h"
#include "nc/nc_words.h"
#include "nc/nc_world.h"
#include "nc/tool_length_offset.h"

namespace vestan {
namespace {

using testing::Dialect;
using testing::NcWorld;

std::unique_ptr<NcWorld> MakeWorld(Dialect dialect = Dialect::kDefault,
                                   std::string_view lines = {}) {
  return testing::MakeNcWorld(dialect, lines);
}

TEST(ControllerBuilders, EachDialectAsItsFileGivesIt) {
  struct Case {
    Dialect dialect;
    int32_t product, osp, mazak, siemens, heidenhain, decimalPoint, workOffset;
  } cases[] = {
      {Dialect::kDefault, kProductDefault, 0, 0, 0, 0, 0, 1},
      {Dialect::kOsp, kProductOsp, 1, 0, 0, 0, 0, 0},  // OSP selects no work offset
      {Dialect::kMazak, kProductDefault, 0, 1, 0, 0, 0, 1},
      {Dialect::kSiemens, kProductDefault, 0, 0, 1, 0, 0, 1},
      {Dialect::kHeidenhain, kProductHeidenhain, 0, 0, 0, 1, 3, 1},  // numbers as written
  };
  for (const Case& c : cases) {
    auto w = MakeWorld(c.dialect);
    const ControllerDefinition& ctl = w->Defs.Controller;
    const int dialect = static_cast<int>(c.dialect);
    EXPECT_EQ(ctl.productCode, c.product) << dialect;
    EXPECT_EQ(ctl.isOsp, c.osp) << dialect;
    EXPECT_EQ(ctl.isMazak, c.mazak) << dialect;
    EXPECT_EQ(ctl.isSiemens, c.siemens) << dialect;
    EXPECT_EQ(ctl.isHeidenhain, c.heidenhain) << dialect;
    EXPECT_EQ(ctl.DecimalPointMode, c.decimalPoint) << dialect;
    EXPECT_EQ(w->Memory.Offsets.SelectedWorkOffset, c.workOffset) << dialect;
  }
}

TEST(ResetNcModalState, GivesTheStartStateOfAPass) {
  auto w = MakeWorld(Dialect::kDefault,
                     "INITIAL PLANE=ZX\nRETURN LEVEL=G99\nDECIMAL POINT=YES\n"
                     "TOOL CENTER CONTROL=TYPE1\nCUT ON CODE=M50\nEOR=%\n"
                     "MEMORY EXOFS= (1,1,1,0,0)\nMEMORY G54= (10,20,30,0,0)\n");
  NcModalState& m = w->Modal();
  NcContext& c = w->Context;
  w->Defs.Settings.ControlPoint = {1, 2, 3, 4, 5};
  w->Tool.Reach = 150;
  w->Tool.ReachReference = 50;
  w->Control.CuttingMode = kCuttingReal;
  AllocToolTables(w->Defs.Tools);
  w->Defs.Tools.Records[0].Kind = 5;
  w->Defs.Tools.Records[0].Name = "PLUGGED";
  w->Defs.Tools.Arbors[0].Present = 1;

  // What an earlier pass left behind.
  m.CommentPlugin = {2, 2, 2};
  m.Plane.PlaneCode = 19;
  m.LastGCode = 353;
  m.MoveExists = 1;
  m.CycleMoveCount = 4;
  m.OffsetMoveCount = 2;
  m.PendingEnds.Count = 3;
  m.PendingEnds.ReadIndex = 1;
  m.TransformState = 2;
  m.RadiusOffset = 5;
  m.LeadAngle = 3;
  m.TiltAngle = 4;
  m.ToolAxisNormal = {0, 0, 1};
  m.Feed = 300;
  m.EndState = kEndHandled;
  m.AlarmCode = kAlarmRadiusOffset;
  m.BlockLine = 7;
  m.ShownLine = 8;
  m.MainLineCounter = 9;
  m.WorkOffsetTransforms[3][0] = 9;
  m.RotationAngle = 30;
  m.RotationCos = 0.5;
  m.RotationSin = 0.5;
  m.WorkCoordinateDisplay = 0;
  m.Tools.NextToolNumber = 7;
  m.ToolChangeState = 3;
  m.CannedCycle = 81;
  m.HeidenhainCycle = 83;
  m.ReportCounters = {1, 2, 3, 4};
  m.ProgramLengthWear = 0.5f;
  m.Rotation.Count = 1;
  m.Rotation.State = kRotationActive;
  m.TiltedPlane.State = 1;
  m.TiltedPlane.Active = 1;
  w->Position.RotaryBaseAngles = {3, 4};
  c.RotarySolve.PreviousAcceptCount = 2;
  c.Move.ToolAxisStart = {1, 0, 0};
  c.Move.ToolAxisEnd = {0, 1, 0};
  c.Move.Start = {7, 8, 9, 0, 0};  // where the last pass's last move began
  c.Move.End = {7, 8, 19, 0, 0};
  c.Subprograms.Depth = 2;
  c.Subprograms.Levels[1].Name = "O100";
  c.Subprograms.Levels[1].LineCounter = 12;
  c.Subprograms.Folder = "nc/";
  c.Snapshots.SaveEachProcess = 1;
  m.MotionMode = w->Run.MotionMode = c.Move.MotionMode = kMotionClockwise;
  m.CuttingEnabled = w->Run.CuttingEnabled = c.Move.CuttingEnabled = 1;

  ResetNcModalState(c, w->Records);

  EXPECT_EQ(m.CommentPlugin.Tool + m.CommentPlugin.ToolLength + m.CommentPlugin.Arbor, 0);
  EXPECT_EQ(m.Plane.PlaneCode, 18);  // INITIAL PLANE=ZX
  EXPECT_EQ(m.PlaneCodeAtStart, 18);
  EXPECT_EQ(m.Plane.PlaneAxes, (std::array<int32_t, 3>{2, 0, 1}));
  EXPECT_EQ(m.Plane.ToolLengthAxis, 2);  // FANUC-A: program Z
  EXPECT_EQ(c.Subprograms.Depth, 0);
  EXPECT_EQ(c.Subprograms.Levels[1].Name, "");
  EXPECT_EQ(c.Subprograms.Folder, "nc/");  // the loaded program's folder stays
  EXPECT_EQ(m.LastGCode, 0);
  EXPECT_EQ(m.ToolAxisMode, 1);         // TYPE1
  // Only an ON code: runs start with cutting off, in G00; the live move too.
  for (const auto& [mode, cut] : {std::pair{m.MotionMode, m.CuttingEnabled},
                                  std::pair{w->Run.MotionMode, w->Run.CuttingEnabled},
                                  std::pair{c.Move.MotionMode, c.Move.CuttingEnabled}}) {
    EXPECT_EQ(mode, kMotionRapid);
    EXPECT_EQ(cut, 0);
  }
  EXPECT_EQ(m.MoveExists, 0);
  EXPECT_EQ(m.CycleMoveCount + m.OffsetMoveCount, 0);
  EXPECT_EQ(m.PendingEnds.Count, 0);
  EXPECT_EQ(m.PendingEnds.ReadIndex, 0);
  EXPECT_EQ(m.TransformState, 0);
  EXPECT_EQ(m.RadiusOffset, 0.0);
  EXPECT_EQ(c.Move.ToolAxisStart, (Vec3{}));
  EXPECT_EQ(c.Move.ToolAxisEnd, (Vec3{}));
  EXPECT_EQ(m.ToolAxisNormal, (Vec3{}));
  EXPECT_EQ(m.LeadAngle + m.TiltAngle + m.Feed, 0.0);
  EXPECT_EQ(m.EndState, kEndRunning);
  EXPECT_EQ(m.AlarmCode, kAlarmNone);
  EXPECT_EQ(m.BlockLine + m.ShownLine, 0);
  EXPECT_EQ(m.MainLineCounter, 0u);
  EXPECT_EQ(m.WorkOffsetTransforms[3], (WorkOffsetValues{}));
  EXPECT_EQ(m.WorkCoordinateDisplay, 1);
  EXPECT_EQ(m.ReturnLevel, 0);  // G99
  EXPECT_EQ(m.RotationCos, 1.0);
  EXPECT_EQ(m.RotationAngle + m.RotationSin, 0.0);
  EXPECT_EQ(m.Tools.NextToolNumber, kNoTool);
  EXPECT_EQ(m.ToolChangeState, -1);

  // EXOFS (1, 1, 1) + G54 (10, 20, 30).
  const WorkOffsetValues composed{11, 21, 31, 0, 0};
  EXPECT_EQ(w->Memory.Offsets.ActiveWorkOffset, composed);
  EXPECT_EQ(m.WorkOffsetAtStart, composed);
  EXPECT_EQ(m.SelectedWorkOffsetAtStart, 1);
  EXPECT_EQ(m.WorkOffsetsAtStart[1], (WorkOffsetValues{10, 20, 30, 0, 0}));
  EXPECT_TRUE(w->Display.NeedsRebuild(kListCoordinateAxes));
  EXPECT_EQ(w->Frame.Origin, (Vec3{11, 21, 31}));
  EXPECT_EQ(w->Frame.FrameOffset, 1);

  EXPECT_EQ(w->Defs.Tools.Records[0].Kind, -1);
  EXPECT_FALSE(w->Defs.Tools.Records[0].Name.has_value());
  EXPECT_EQ(w->Defs.Tools.Arbors[0], ArborRecord{});
  EXPECT_EQ(m.CannedCycle, kNoCannedCycle);
  EXPECT_EQ(m.HeidenhainCycle, kNoCannedCycle);
  EXPECT_EQ(m.DecimalPointMode, 1);  // DECIMAL POINT=YES
  EXPECT_EQ(m.ProgramStarted, 0);    // waiting for "%"

  const AxisPosition start{1, 2, 3, 4, 5};
  EXPECT_EQ(m.ProgramPosition, start);
  EXPECT_EQ(m.DrawPosition, start);
  EXPECT_EQ(c.Move.End, start);
  // No move in flight: a line before the first move (the "%") travels nowhere.
  EXPECT_EQ(c.Move.Start, start);
  // Start + composed offset, Z raised by reach 150 - reference 50.
  EXPECT_EQ(w->Position.MachinePosition, (AxisPosition{1 + 11, 2 + 21, 3 + 31 + 100, 4, 5}));
  EXPECT_EQ(w->Position.ProgramPosition, start);
  EXPECT_EQ(w->Position.PreviousRotaryAngles, (std::array<double, 2>{4, 5}));
  EXPECT_EQ(w->Position.RotaryBaseAngles, (std::array<double, 2>{}));
  EXPECT_EQ(c.RotarySolve.PreviousAcceptCount, 0);
  EXPECT_EQ(m.Rotation.Count, 0);
  EXPECT_EQ(m.Rotation.State, kRotationNone);
  EXPECT_EQ(m.TiltedPlane.State, 0);
  EXPECT_EQ(m.TiltedPlane.Active, 0);
  EXPECT_EQ(m.ReportCounters, (std::array<int32_t, 4>{}));
  EXPECT_EQ(m.ProgramLengthWear, 0.0f);
  EXPECT_EQ(m.CyclePointModes.size(), kCyclePointCapacity);
  EXPECT_EQ(m.CyclePointValues.size(), kCyclePointCapacity);
  EXPECT_EQ(c.Snapshots.SaveEachProcess, 0);
  EXPECT_EQ(w->Host.Updates(ShellUpdate::kStatusBar), 1);  // a run is going
}

TEST(ResetNcModalState, DefinitionsChooseTheVariants) {
  {  // A plug-in delivered tool keeps the no-tool entry; no run, no status bar.
    auto w = MakeWorld(Dialect::kDefault, "EOR=%\n");
    AllocToolTables(w->Defs.Tools);
    w->Defs.Tools.Records[0].Kind = 5;
    w->Modal().Length.PluginTool = 1;
    w->Records.ActiveReadPlugin = 0;
    ResetNcModalState(w->Context, w->Records);
    EXPECT_EQ(w->Defs.Tools.Records[0].Kind, 5);
    EXPECT_EQ(w->Modal().ProgramStarted, 1);  // a read plug-in has no start character
    EXPECT_EQ(w->Host.Updates(ShellUpdate::kStatusBar), 0);
    EXPECT_EQ(w->Run.CuttingEnabled, 1);
  }
  {  // A lathe controller: lathe mode and the ZX plane.
    auto w = MakeWorld(Dialect::kDefault, "TYPE=LATHE\n");
    ResetNcModalState(w->Context, w->Records);
    EXPECT_EQ(w->Modal().LatheMode, 1);
    EXPECT_EQ(w->Modal().Plane.PlaneCode, 18);
  }
  {  // FANUC-B in the ZX plane: the plane's normal, Y, carries the length.
    auto w = MakeWorld(Dialect::kDefault, "LENGTH OFFSET TYPE=FANUC-B\nINITIAL PLANE=ZX\n");
    ResetNcModalState(w->Context, w->Records);
    EXPECT_EQ(w->Modal().Plane.ToolLengthAxis, 1);
  }
  {  // A mapping that reverses G17 gives the reversed plane.
    auto w = MakeWorld();
    w->Defs.Controller.Planes.Codes = {-17, 18, 19};
    ResetNcModalState(w->Context, w->Records);
    EXPECT_EQ(w->Modal().Plane.PlaneCode, -17);
    EXPECT_EQ(w->Modal().Plane.PlaneAxes, (std::array<int32_t, 3>{0, 1, 2}));
  }
  {  // A table machine whose work offset turns the table turns the work frame.
    auto w = MakeWorld(Dialect::kDefault, "MEMORY G54= (10,0,0,0,90)\n");
    w->Defs.Kinematics.RotaryType = kRotaryTable;
    ResetNcModalState(w->Context, w->Records);
    EXPECT_EQ(w->Frame.FrameRotated, 1);
    EXPECT_NEAR(w->Frame.Origin[1], 10, 1e-12);  // (10, 0) turned 90 about Z
  }
  {  // HEIDENHAIN clears the route flags that no ROUTE line fixed.
    auto w = MakeWorld(Dialect::kHeidenhain, "ROTARY2 ROUTE=SHORTEST\n");
    EXPECT_EQ(w->Memory.ShortestRoute, (std::array<uint8_t, 2>{0, 1}));  // as the file sets it
    w->Memory.ShortestRoute[0] = 1;
    ResetNcModalState(w->Context, w->Records);
    EXPECT_EQ(w->Memory.ShortestRoute, (std::array<uint8_t, 2>{0, 1}));
    EXPECT_EQ(w->Modal().DecimalPointMode, kDecimalPointNormal);
  }
}

TEST(ResetNcModalState, BooksTheLengthAndTakesTheVectorOffTheStart) {
  struct Case {
    Dialect dialect;
    const char* lines;
    double startB;
    Vec3 vector;  // length 60 tilted as the dialect says
  } cases[] = {
      // MAZAK: the vector stays along Z whatever B is.
      {Dialect::kMazak, "ROTARY1 CHAR=B\n", 30, {0, 0, 60}},
      // Automatic tool offset: tilted by B = 30: (60 sin 30, 0, 60 cos 30).
      {Dialect::kDefault,
       "ROTARY1 CHAR=B\nAUTOMATIC TOOL OFFSET=YES\n",
       30,
       {60 * std::sin(30 * kRadiansPerDegree), 0, 60 * std::cos(30 * kRadiansPerDegree)}},
      // First rotary axis A: no vector is taken (it stays zero).
      {Dialect::kMazak, "ROTARY1 CHAR=A\n", 30, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    auto w = MakeWorld(c.dialect, c.lines);
    w->Defs.Settings.ControlPoint = {1, 2, 3, c.startB, 0};
    w->Defs.Settings.ToolBasePoint = kBaseLengthTop;
    w->Tool.Shank.ProtrusionLength = 60;
    w->Modal().Tools.CurrentToolNumber = 7;
    w->Modal().Length.BAxisLength = 1;
    ResetNcModalState(w->Context, w->Records);
    const NcModalState& m = w->Modal();
    EXPECT_EQ(m.Length.PreviousToolLength, 60.0) << c.lines;
    EXPECT_EQ(w->Memory.Offsets.HGeometry[7], 60.0f) << c.lines;
    EXPECT_EQ(m.LengthOffsetNumber, 7) << c.lines;
    for (size_t i = 0; i < 3; ++i) EXPECT_NEAR(m.Length.ToolLengthVector[i], c.vector[i], 1e-12);
    // The end and the drawing copy lose the vector's X and Z; the program
    // position keeps the start.
    for (const AxisPosition* p : {&std::as_const(w->Context.Move.End), &m.DrawPosition}) {
      EXPECT_NEAR((*p)[0], 1 - c.vector[0], 1e-12) << c.lines;
      EXPECT_EQ((*p)[1], 2.0) << c.lines;
      EXPECT_NEAR((*p)[2], 3 - c.vector[2], 1e-12) << c.lines;
    }
    EXPECT_EQ(m.ProgramPosition, (AxisPosition{1, 2, 3, c.startB, 0}));
    EXPECT_EQ(w->Context.Move.Start, w->Context.Move.End) << c.lines;
  }
}

TEST(ResetNcModalState, AutomaticLengthAloneBooksWithoutAVector) {
  auto w = MakeWorld(Dialect::kDefault, "AUTO LENGTH OFFSET=YES\n");
  w->Defs.Settings.ToolBasePoint = kBaseLengthTop;
  w->Tool.Shank.ProtrusionLength = 60;
  w->Modal().Tools.CurrentToolNumber = 3;
  ResetNcModalState(w->Context, w->Records);
  EXPECT_EQ(w->Modal().Length.PreviousToolLength, 60.0);
  EXPECT_EQ(w->Context.Move.End[2], w->Defs.Settings.ControlPoint[2]);
}

TEST(SelectPlaneAxes, MapsThroughTheControllersPlaneCodes) {
  struct Case {
    std::array<int32_t, 3> codes;
    int32_t plane;
    int32_t mapped;
    std::array<int32_t, 3> axes;
  } cases[] = {
      {{17, 18, 19}, 17, 17, {0, 1, 2}},   {{17, 18, 19}, 18, 18, {2, 0, 1}},
      {{17, 18, 19}, 19, 19, {1, 2, 0}},   {{-17, 18, 19}, 17, -17, {0, 1, 2}},
      {{17, 18, 19}, 42, 19, {1, 2, 0}},   // anything else counts as 19
      {{17, 18, 19}, -17, 19, {1, 2, 0}},  // so does a negative code
      {{17, 18, -19}, 19, -19, {1, 2, 0}}, {{18, 17, 19}, 17, 18, {2, 0, 1}},
      {{17, -18, 19}, 18, -18, {2, 0, 1}},
  };
  for (const Case& c : cases) {
    NcPlaneState plane;
    plane.PlaneCode = c.plane;
    SelectPlaneAxes({c.codes, {0, 1, 2}}, plane);
    EXPECT_EQ(plane.PlaneCode, c.mapped) << c.plane << " via " << c.codes[0];
    EXPECT_EQ(plane.PlaneAxes, c.axes) << c.plane << " via " << c.codes[0];
  }
}

TEST(ClearRotaryWrapFlags, OnlyAxesThatTurnFullyAndAreNotFixed) {
  struct Case {
    int32_t enabled;
    double minimum, maximum;
    bool fixed;
    uint8_t after;  // the flag was 1, value 0
  } cases[] = {
      {1, -180, 180, false, 0},                           // a stroke of exactly 360
      {1, 0, 359.9, false, 1},                            // less than a turn keeps it
      {0, 0, 10, false, 0},                               // no stroke limit
      {1, -720, 720, false, 0}, {1, -180, 180, true, 1},  // ROUTE=SHORTEST fixes it
  };
  for (const Case& c : cases) {
    ControllerDefinition controller;
    StrokeLimits limits;
    std::array<uint8_t, 2> routes{1, 1};
    for (size_t k = 0; k < 2; ++k) {
      controller.Rotary[k].ShortestRoute = {1, static_cast<uint8_t>(c.fixed ? 1 : 0)};
      limits.Enabled[3 + k] = c.enabled;
      limits.Minimum[3 + k] = c.minimum;
      limits.Maximum[3 + k] = c.maximum;
    }
    ClearRotaryWrapFlags(0, controller, limits, routes);
    for (size_t k = 0; k < 2; ++k)
      EXPECT_EQ(routes[k], c.after) << c.minimum << " " << c.maximum << " axis " << k;
  }
  // Each axis by its own stroke.
  ControllerDefinition controller;
  StrokeLimits limits;
  std::array<uint8_t, 2> routes{};
  limits.Enabled = {0, 0, 0, 1, 1};
  limits.Maximum = {0, 0, 0, 360, 90};
  ClearRotaryWrapFlags(1, controller, limits, routes);
  EXPECT_EQ(routes, (std::array<uint8_t, 2>{1, 0}));
}

TEST(EndMotionRecord, AnEmptyQueueLeavesTheMoveStandingAtItsEnd) {
  auto w = MakeWorld();
  w->Context.Move.Start = {9, 9, 9, 9, 9};
  w->Context.Move.End = {1, 2, 3, 4, 5};
  w->Run.MotionMode = w->Modal().MotionMode = kMotionLinear;
  w->Modal().MoveExists = 1;
  EXPECT_EQ(EndMotionRecord(w->Context, w->Memory.Offsets), 0);
  EXPECT_EQ(w->Run.MotionMode, kMotionRapid);
  EXPECT_EQ(w->Context.Move.MotionMode, kMotionRapid);
  EXPECT_EQ(w->Modal().MotionMode, kMotionRapid);
  EXPECT_EQ(w->Context.Move.Start, w->Context.Move.End);
  EXPECT_EQ(w->Modal().MoveExists, 0);
}

TEST(EndMotionRecord, TakesTheQueuedEndsInWorkCoordinates) {
  auto w = MakeWorld();
  w->Memory.Offsets.ActiveWorkOffset = {10, 20, 30, 0, 0};
  w->Context.Move.End = {1, 2, 3, 0, 0};
  PendingMoveEnds& queue = w->Modal().PendingEnds;
  queue.Entries = {{{1, 0, 1, 0, 0}, {50, 0, 80, 0, 0}},  // X and Z
                   {{0, 1, 0, 0, 0}, {0, 22, 0, 0, 0}}};  // Y where it already is
  queue.Count = 2;

  ASSERT_EQ(EndMotionRecord(w->Context, w->Memory.Offsets), 1);
  EXPECT_EQ(w->Context.Move.Start, (AxisPosition{1, 2, 3, 0, 0}));
  EXPECT_EQ(w->Context.Move.End, (AxisPosition{50 - 10, 2, 80 - 30, 0, 0}));
  EXPECT_EQ(w->Modal().MoveExists, 1);

  ASSERT_EQ(EndMotionRecord(w->Context, w->Memory.Offsets), 1);
  EXPECT_EQ(w->Context.Move.End, (AxisPosition{40, 22 - 20, 50, 0, 0}));
  EXPECT_EQ(w->Modal().MoveExists, 0);  // 22 - 20 is where Y stood

  EXPECT_EQ(EndMotionRecord(w->Context, w->Memory.Offsets), 0);
  EXPECT_EQ(queue.Count, 0);
  EXPECT_EQ(queue.ReadIndex, 0);

  // A count beyond the entries held reads only those.
  queue.Count = 5;
  queue.Entries.resize(1);
  EXPECT_EQ(EndMotionRecord(w->Context, w->Memory.Offsets), 1);
  EXPECT_EQ(EndMotionRecord(w->Context, w->Memory.Offsets), 0);
  EXPECT_EQ(queue.Count, 0);
}

TEST(ApplyToolLengthOffset, ModesAndProgrammedToolPoints) {
  struct Case {
    int32_t mode;
    int32_t point;  // AUTO LENGTH POSITION
    float geometry;
    float wear;
    double length;
  } cases[] = {
      // Ball tool: corner radius 4, F-centre 3.5, protrusion 60, profile 90,
      // holder offset 100, program wear 0.25.
      {0, 0, 0, 0, 0},  // no mode books nothing
      {1, 2, 4, 0, 4},  // modes 1-3 take no tool point
      {2, 0, 3.5f, 0, 3.5},
      {3, 1, 4, 0, 4},
      {4, 0, 60, 0.25f, 60.25},    // BOTTOM books the program's wear
      {4, 1, 60 - 4, 0, 56},       // BALL-CENTER
      {4, 2, 60 - 3.5f, 0, 56.5},  // F-CENTER
      {4, 3, 60 - 4, 0, 56},       // R-HEIGHT
      {5, 0, 90, 0.25f, 90.25 + 100},
      {5, 2, 90 - 3.5f, 0, 86.5 + 100},
  };
  for (const Case& c : cases) {
    auto w = MakeWorld();
    w->Tool.Tool.Kind = kToolBall;
    w->Tool.Tool.CornerRadius = 4;
    w->Tool.FullRadiusHeight = 3.5;
    w->Tool.Shank.ProtrusionLength = 60;
    w->Profile.ProfileHeight = 90;
    w->Defs.Kinematics.ToolHolderOffset = 100;
    w->Defs.Settings.ToolBasePoint = c.mode;
    w->Defs.Controller.AutoLengthPosition = c.point;
    NcModalState& m = w->Modal();
    m.Tools.CurrentToolNumber = 7;
    m.ProgramLengthWear = 0.25f;
    EXPECT_EQ(ApplyToolLengthOffset(m, w->Records), c.mode);
    EXPECT_EQ(w->Memory.Offsets.HGeometry[7], c.geometry) << c.mode << "/" << c.point;
    EXPECT_EQ(w->Memory.Offsets.HWear[7], c.wear) << c.mode << "/" << c.point;
    EXPECT_EQ(m.Length.PreviousToolLength, c.length) << c.mode << "/" << c.point;
    EXPECT_EQ(m.ToolLengthCopy, c.length) << c.mode << "/" << c.point;
    EXPECT_EQ(m.LengthOffsetNumber, 7);
  }
}

TEST(ApplyToolLengthOffset, AToolWithoutAnHNumberBooksNoEntry) {
  auto w = MakeWorld();
  w->Defs.Settings.ToolBasePoint = kBaseLengthTop;
  w->Tool.Shank.ProtrusionLength = 60;
  w->Modal().Tools.CurrentToolNumber = 1000;
  w->Modal().ProgramLengthWear = 0.5f;
  ApplyToolLengthOffset(w->Modal(), w->Records);
  EXPECT_EQ(w->Modal().Length.PreviousToolLength, 60.5);
  EXPECT_EQ(w->Memory.Offsets.HGeometry, OffsetMemory{}.HGeometry);
  EXPECT_EQ(w->Memory.Offsets.HWear, OffsetMemory{}.HWear);
}

TEST(ComputeToolLengthVector, TakesTheLiveRotaryEndsWithTheirSigns) {
  auto w = MakeWorld(Dialect::kOsp, "ROTARY1 DIRECTION=REVERSE\n");
  w->Defs.Kinematics.RotaryType = kRotaryHead;
  w->Modal().LastGCode = 353;
  w->Modal().Length.PreviousToolLength = 100;
  w->Context.Move.End = {0, 0, 0, 90, 30};
  w->Tool.Reach = 150;
  w->Tool.ReachReference = 50;
  ComputeToolLengthVector(0, w->Context, w->Records);
  // A reversed: sin(-90) = -1, cos 0; R = 150 - 50:
  // X = R sB cA = 0, Y = R sB sA = -50, Z = (cB - 1) R.
  const Vec3& v = w->Modal().Length.ToolLengthVector;
  EXPECT_NEAR(v[0], 0, 1e-12);
  EXPECT_NEAR(v[1], -50, 1e-12);
  EXPECT_NEAR(v[2], (std::cos(30 * kRadiansPerDegree) - 1) * 100, 1e-12);
}

// A move with every field told apart by its base value.
NcMove NumberedMove(double base, int32_t line) {
  NcMove move;
  move.SourceLine = line;
  move.MotionMode = kMotionLinear;
  move.Start = {base, base, base, 0, 0};
  move.End = {base + 1, base, base, 0, 0};
  move.StartRadius = base + 2;
  move.EndRadius = base + 3;
  move.Length = base + 4;
  move.Feed = base + 5;
  move.RotationAxis = {base, 0, 0};
  move.ToolAxisStart = {1, 0, 0};
  move.ToolAxisEnd = {0, 1, 0};
  move.CuttingEnabled = line % 2;
  move.LeadAngle = base;
  return move;
}

TEST(ShiftLookAheadMoves, AdvancesBothStreamsAndStoresTheLiveMove) {
  auto w = MakeWorld();
  LookAheadMoves& a = w->Context.LookAhead;
  a.ProgramCurrent = NumberedMove(100, 3);
  a.OffsetCurrent = NumberedMove(200, 3);
  a.OffsetNext = NumberedMove(300, 4);
  w->Context.Move = NumberedMove(400, 99);
  w->Modal().MainLineCounter = 12;

  ShiftLookAheadMoves(w->Context);
  EXPECT_EQ(a.ProgramPrevious.Start[0], 100.0);
  EXPECT_EQ(a.OffsetPrevious.Start[0], 200.0);
  EXPECT_EQ(a.OffsetCurrent.Start[0], 300.0);
  EXPECT_EQ(a.ProgramCurrent.Start[0], 400.0);
  EXPECT_EQ(a.ProgramCurrent.SourceLine, 12);   // the main line counter
  EXPECT_EQ(a.ProgramCurrent.Feed, 300 + 5.0);  // the next offset move's feed
  // No rotation and no tool-vector mode: those fields stay as they were.
  EXPECT_EQ(a.ProgramCurrent.RotationAxis, (Vec3{100, 0, 0}));
  EXPECT_EQ(a.ProgramCurrent.LeadAngle, 400.0);  // the kinds travel always

  // In a subprogram the innermost level's counter; with a rotation in force
  // its fields travel.
  w->Context.Subprograms.Depth = 2;
  w->Context.Subprograms.Levels[1].LineCounter = 40;
  w->Modal().TransformState = 1;
  ShiftLookAheadMoves(w->Context);
  EXPECT_EQ(a.ProgramCurrent.SourceLine, 40);
  EXPECT_EQ(a.ProgramCurrent.RotationAxis, (Vec3{400, 0, 0}));
}

TEST(RestoreMoves, CopyTheRecordsBackWithTheirState) {
  auto w = MakeWorld();
  LookAheadMoves& a = w->Context.LookAhead;
  a.ProgramPrevious = NumberedMove(100, 5);
  a.ProgramCurrent = NumberedMove(200, 6);
  a.OffsetPrevious = NumberedMove(300, 5);
  a.OffsetCurrent = NumberedMove(400, 6);
  NcModalState& m = w->Modal();

  w->Context.Move = NumberedMove(900, 1);
  RestoreCurrentMove(w->Context);
  EXPECT_EQ(w->Context.Move.Start[0], 200.0);
  EXPECT_EQ(w->Context.Move.Feed, 205.0);
  EXPECT_EQ(m.BlockLine, 6);
  EXPECT_EQ(w->Context.Move.CuttingEnabled, 0);                // line 6 had cutting off
  EXPECT_EQ(m.CuttingEnabled, 1);                              // the switch in force stays
  EXPECT_EQ(w->Context.Move.RotationAxis, (Vec3{900, 0, 0}));  // no rotation: kept
  EXPECT_EQ(w->Context.Move.LeadAngle, 900.0);                 // no tool-vector mode: kept

  // Tool-vector mode with a lead angle: the tool-axis fields travel and the
  // normal is their cross product.
  m.ToolAxisMode = kToolAxisVector;
  m.LeadAngle = 5;
  w->Context.Move = NumberedMove(900, 1);
  RestoreCurrentOffsetMove(w->Context);
  EXPECT_EQ(w->Context.Move.Start[0], 400.0);  // offset geometry
  EXPECT_EQ(w->Context.Move.EndRadius, 403.0);
  EXPECT_EQ(w->Context.Move.Length, 404.0);
  EXPECT_EQ(w->Context.Move.Feed, 205.0);  // the programmed move's feed
  EXPECT_EQ(w->Context.Move.LeadAngle, 200.0);
  EXPECT_EQ(m.ToolAxisNormal, (Vec3{0, 0, 1}));  // X cross Y
  EXPECT_EQ(m.BlockLine, 6);

  RestorePreviousOffsetMove(w->Context);
  EXPECT_EQ(w->Context.Move.Start[0], 300.0);
  EXPECT_EQ(w->Context.Move.Feed, 105.0);
  EXPECT_EQ(m.BlockLine, 5);
  EXPECT_EQ(w->Context.Move.CuttingEnabled, 1);
}

}  // namespace
}  // namespace vestan
