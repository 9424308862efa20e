// Scaling, polar coordinates, the G68 rotation, tilted planes and their
// forms, rotated work offsets, the program position after tool-tip control,
// tool vectors from angles, and the interpreter's lookups.
#include "nc/coordinate_transforms.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "nc/nc_world.h"

namespace vestan {
namespace {

using testing::Dialect;
using testing::MakeNcWorld;

constexpr double kNear = 1e-12;

double Radians(double degrees) { return degrees * kRadiansPerDegree; }

void ExpectNear(const Vec3& got, const Vec3& want, const std::string& what) {
  for (size_t i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], kNear) << what << " [" << i << "]";
}

// Column-order matrices of quarter turns: X to X, Y to Z, Z to -Y for a
// quarter turn about X, and so on.
constexpr Matrix3 kIdentity{1, 0, 0, 0, 1, 0, 0, 0, 1};
constexpr Matrix3 kX90{1, 0, 0, 0, 0, 1, 0, -1, 0};
constexpr Matrix3 kY90{0, 0, -1, 0, 1, 0, 1, 0, 0};
constexpr Matrix3 kZ90{0, 1, 0, -1, 0, 0, 0, 0, 1};

TEST(ApplyScalingToAxis, ScalesTheAxesScalingCovers) {
  ScalingState s;
  s.On = 1;
  s.Centre = {1, 1, 1};
  s.Factors = {2, 3, 0.5};
  s.Enabled = {1, 1, 0};
  struct Case {
    int32_t uniform, axis;
    double value, expected;
  } cases[] = {
      {0, 0, 5, (5 - 1) * 2 + 1},  // the axis's own factor
      {0, 1, 4, (4 - 1) * 3 + 1},
      {1, 1, 4, (4 - 1) * 4 + 1},  // the uniform factor 4
      {0, 2, 7, 7},                // SCALE EFFECT off for Z
      {0, 3, 7, 7},                // a rotary axis
      {0, -1, 7, 7},
  };
  s.UniformFactor = 4;
  for (const Case& c : cases) {
    s.Uniform = c.uniform;
    double value = c.value;
    ApplyScalingToAxis(s, c.axis, value);
    EXPECT_EQ(value, c.expected) << c.axis << " uniform " << c.uniform;
  }
  s.On = 0;
  double value = 5;
  ApplyScalingToAxis(s, 0, value);
  EXPECT_EQ(value, 5);
}

TEST(PolarFromCartesian, RadiusAndAngleInAFullTurn) {
  struct Case {
    double x, y, radius, angle;
  } cases[] = {
      {3, 4, 5, std::acos(0.6) * kDegreesPerRadian},
      {0, -2, 2, 270},
      {-1, 0, 1, 180},
      {1, -1, std::sqrt(2.0), 315},
      {0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    double radius = -1, angle = -1;
    PolarFromCartesian(c.x, c.y, radius, angle);
    EXPECT_NEAR(radius, c.radius, kNear) << c.x << "," << c.y;
    EXPECT_NEAR(angle, c.angle, 1e-9) << c.x << "," << c.y;
  }
}

TEST(StartCoordinateRotation, SlotsAndTheirReplacement) {
  NcPlaneState plane;
  plane.PlaneAxes = {2, 0, 1};  // G18
  {                             // Neither R nor an axis word: the default angle, the plane's axes.
    CoordinateRotation r;
    StartCoordinateRotation(r, plane, 90.0);
    EXPECT_EQ(r.Count, 1);
    EXPECT_EQ(r.State, kRotationActive);
    EXPECT_EQ(r.Slots[0].Angle, 90.0);
    EXPECT_EQ(r.Slots[0].Cos, 0.0);  // exact
    EXPECT_EQ(r.Slots[0].Sin, 1.0);
    EXPECT_EQ(r.Slots[0].Axes, (std::array<int32_t, 3>{2, 0, 1}));
  }
  {  // A second G68 while one with an axis word is active replaces it.
    CoordinateRotation r;
    r.Slots[0].AxisWord = kRotationAxisJ;
    r.Slots[0].Angle = 45;
    StartCoordinateRotation(r, plane, 0.0);
    EXPECT_EQ(r.Slots[0].Axes, (std::array<int32_t, 3>{2, 0, 1}));
    r.Slots[1].Angle = 30;
    StartCoordinateRotation(r, plane, 0.0);
    EXPECT_EQ(r.Count, 1);
    EXPECT_EQ(r.Slots[0].Angle, 30);
    EXPECT_EQ(r.Slots[0].AxisWord, kRotationAxisNone);
    EXPECT_EQ(r.State, kRotationActive);
    // ... and a replacement by 0 ends the rotation.
    r.Slots[0].AxisWord = kRotationAxisK;
    r.Slots[1].AxisWord = kRotationAxisI;
    r.Slots[1].Angle = 0;
    StartCoordinateRotation(r, plane, 15.0);
    EXPECT_EQ(r.Count, 0);
    EXPECT_EQ(r.State, kRotationNone);
  }
  {  // Asked for, the second rotation stacks; a third is not taken.
    CoordinateRotation r;
    r.SecondRotation = 1;
    r.Slots[0].AxisWord = kRotationAxisK;
    r.Slots[0].Angle = 45;
    StartCoordinateRotation(r, plane, 0.0);
    r.Slots[1].Angle = 30;
    StartCoordinateRotation(r, plane, 0.0);
    EXPECT_EQ(r.Count, 2);
    StartCoordinateRotation(r, plane, 0.0);
    EXPECT_EQ(r.Count, 2);
  }
}

TEST(BuildPlaneRotation, AboutXThenYThenZ) {
  struct Case {
    std::array<double, 3> angles;
    Matrix3 expected;
  } cases[] = {
      {{90, 0, 0}, kX90},
      {{0, 90, 0}, kY90},
      {{0, 0, 90}, kZ90},
      // Ry(90) Rx(90): X to -Z, Y to X, Z to -Y.
      {{90, 90, 0}, {0, 0, -1, 1, 0, 0, 0, -1, 0}},
  };
  for (const Case& c : cases) {
    TiltedPlaneState plane;
    plane.Frame.Origin = {1, 2, 3};
    plane.Angles = c.angles;
    BuildPlaneRotation(plane);
    EXPECT_EQ(plane.Frame.Matrix, c.expected) << c.angles[0] << " " << c.angles[1];
    EXPECT_EQ(plane.Frame.Inverse, InvertMatrix3(c.expected));
    EXPECT_EQ(plane.Frame.Origin, (Vec3{0, 0, 0}));
  }
}

TEST(BuildTiltedPlaneMatrix, EveryRotationOrderCode) {
  // M = R(axis of angle 1) R(axis of angle 2) R(axis of angle 3), each
  // composed from the quarter turns: Rx takes Y to Z and Z to -Y, Ry takes
  // Z to X and X to -Z, Rz takes X to Y and Y to -X.
  const Matrix3 rxRy{0, 1, 0, 0, 0, 1, 1, 0, 0};  // X to Y, Y to Z, Z to X
  struct Case {
    int32_t code;
    std::array<double, 3> angles;
    Matrix3 expected;
  } cases[] = {
      {57, {90, 90, 0}, rxRy},                           // X, Y, Z
      {54, {90, 90, 0}, {0, 0, -1, 1, 0, 0, 0, -1, 0}},  // Y, X, Z: Ry Rx
      {27, {90, 0, 90}, {0, 1, 0, 0, 0, 1, 1, 0, 0}},    // Z, Y, X: Rz Rx
      {39, {0, 90, 90}, rxRy},                           // Z, X, Y
      {45, {0, 90, 90}, {0, 0, -1, -1, 0, 0, 0, 1, 0}},  // X, Z, Y: Rz Ry
      {30, {0, 90, 90}, {0, 1, 0, 0, 0, 1, 1, 0, 0}},    // Y, Z, X: Rz Rx
      {125, {0, 90, 45}, kY90},                          // Z, Y; angle 3 unused
      // Two projection angles, the second turning back: Ry(-90) Rz(90).
      {155, {90, 90, 0}, {0, 1, 0, 0, 0, -1, -1, 0, 0}},
      {185, {90, 0, 0}, kX90},
      {99, {90, 90, 90}, kIdentity},  // no such code: no turn
  };
  for (const Case& c : cases) {
    TiltedPlaneState plane;
    TiltedPlaneParams params;
    params.OrderCode = c.code;
    params.Angles = c.angles;
    BuildTiltedPlaneMatrix(plane, params);
    EXPECT_EQ(plane.Frame.Matrix, c.expected) << "code " << c.code;
    EXPECT_EQ(plane.Frame.Inverse, InvertMatrix3(c.expected)) << "code " << c.code;
  }

  // Projection angles are exact at 90 and 180 only; the others exact at
  // every quarter turn.
  TiltedPlaneState plane;
  TiltedPlaneParams params{0, 185, {-90, 0, 0}, {}, {}, 0};
  BuildTiltedPlaneMatrix(plane, params);
  EXPECT_NE(plane.Frame.Matrix[4], 0.0);
  EXPECT_NEAR(plane.Frame.Matrix[4], 0.0, 1e-15);
  params.OrderCode = 57;
  BuildTiltedPlaneMatrix(plane, params);
  EXPECT_EQ(plane.Frame.Matrix[4], 0.0);
}

TEST(BuildTiltedPlaneMatrix, AdditiveStartShiftsAndMoveFlag) {
  TiltedPlaneState plane;
  plane.Frame.Matrix = kZ90;
  TiltedPlaneParams params;
  params.OrderCode = 57;
  params.Angles = {90, 0, 0};
  params.ShiftBefore = {1, 2, 3};
  params.ShiftAfter = {0, 10, 0};
  params.Move = 1;
  EXPECT_EQ(BuildTiltedPlaneMatrix(plane, params), 1);
  EXPECT_EQ(plane.Frame.Matrix, kX90);  // not additive: from the identity
  // Origin = M * shift after + shift before = (0, 0, 10) + (1, 2, 3).
  EXPECT_EQ(plane.Frame.Origin, (Vec3{1, 2, 13}));
  params.Additive = 1;
  params.Move = 0;
  plane.Frame.Matrix = kZ90;
  EXPECT_EQ(BuildTiltedPlaneMatrix(plane, params), 0);
  // Rx(90) Rz(90): X to Y to Z, Y to -X, Z to -Y.
  EXPECT_EQ(plane.Frame.Matrix, (Matrix3{0, 0, 1, -1, 0, 0, 0, -1, 0}));
}

TEST(ApplyTiltedPlaneForm, EulerAnglesByDialect) {
  struct Case {
    Dialect dialect;
    int32_t code;
    bool applies;
    Matrix3 expected;
  } cases[] = {
      // Rz(90) Rx(90) Rz(0): X to Y, Y to Z, Z to X.
      {Dialect::kDefault, 0, true, {0, 1, 0, 0, 0, 1, 1, 0, 0}},
      {Dialect::kOsp, 313, true, {0, 1, 0, 0, 0, 1, 1, 0, 0}},
      // Rz(90) Ry(90): X to -Z, Y to -X, Z to Y.
      {Dialect::kOsp, 323, true, {0, 0, -1, -1, 0, 0, 0, 1, 0}},
      {Dialect::kOsp, 0, false, kIdentity},  // OSP needs a convention
  };
  for (const Case& c : cases) {
    auto w = MakeNcWorld(c.dialect);
    TiltedPlaneState& plane = w->Modal().TiltedPlane;
    plane.Angles = {90, 90, 0};
    plane.Code = c.code;
    w->Modal().WorkCoordinateDisplay = 0;
    EXPECT_FALSE(ApplyTiltedPlaneForm(w->Context, w->Records));
    EXPECT_EQ(plane.Frame.Matrix, c.expected) << c.code;
    EXPECT_EQ(plane.Active, c.applies ? 1 : 0) << c.code;
    EXPECT_EQ(w->Modal().WorkCoordinateDisplay, 1);
  }
}

TEST(ApplyTiltedPlaneForm, SpatialSwivelAndRotaryForms) {
  {  // PLANE SPATIAL: the three angles, the plane on, the length booked,
     // the rotary ends kept, the status bar refreshed in a run.
    auto w = MakeNcWorld(Dialect::kHeidenhain);
    NcModalState& m = w->Modal();
    m.TiltedPlane.Form = kTiltedSpatial;
    m.TiltedPlane.Angles = {90, 0, 0};
    m.TiltedPlane.Frame.Origin = {4, 5, 6};
    w->Context.Move.Start = {0, 0, 0, 10, 20};
    w->Context.Move.End = {1, 2, 3, 45, 90};
    w->Control.CuttingMode = kCuttingReal;
    EXPECT_FALSE(ApplyTiltedPlaneForm(w->Context, w->Records));
    EXPECT_EQ(m.TiltedPlane.Frame.Matrix, kX90);
    EXPECT_EQ(m.TiltedPlane.Frame.Origin, (Vec3{0, 0, 0}));
    EXPECT_EQ(m.TiltedPlane.State, 1);
    EXPECT_EQ(m.Length.LengthCompensationActive, 1);
    EXPECT_EQ(m.LengthOffsetNumber, m.Tools.CurrentToolNumber);  // booked
    EXPECT_EQ(w->Context.Move.End, (AxisPosition{1, 2, 3, 10, 20}));
    EXPECT_EQ(w->Host.Updates(ShellUpdate::kStatusBar), 1);
  }
  {  // CYCLE800: the swivel parameters, a move when they say so.
    auto w = MakeNcWorld(Dialect::kSiemens);
    NcModalState& m = w->Modal();
    m.TiltedPlane.Form = kTiltedSwivel;
    m.Swivel = {0, 57, {0, 90, 0}, {}, {}, 1};
    EXPECT_FALSE(ApplyTiltedPlaneForm(w->Context, w->Records));
    EXPECT_EQ(m.TiltedPlane.Frame.Matrix, kY90);
    EXPECT_EQ(m.MoveExists, 1);
    EXPECT_EQ(m.Length.LengthCompensationActive, 1);
    EXPECT_EQ(w->Host.Updates(ShellUpdate::kStatusBar), 0);  // no run going
  }
  {  // G254: the columns are the unit axes through the rotary axes. A head
     // C carrying A at (0, 90) takes X to X, Y to Z, Z to -Y: the plane's
     // tool axis, the third column, is -Y, where the head points the tool.
    auto w = MakeNcWorld();
    MachineKinematics& k = w->Defs.Kinematics;
    k.RotaryType = kRotaryHead;
    k.Rotary[0].Axis = 2;
    k.Rotary[1].Axis = 0;
    TiltedPlaneState& plane = w->Modal().TiltedPlane;
    plane.Form = kTiltedFromRotaryAxes;
    plane.Angles = {0, 90, 0};
    EXPECT_FALSE(ApplyTiltedPlaneForm(w->Context, w->Records));
    EXPECT_EQ(plane.Frame.Matrix, (Matrix3{1, 0, 0, 0, 0, 1, 0, -1, 0}));
    EXPECT_EQ(plane.Active, 1);
  }
}

TEST(ApplyTiltedPlaneForm, RotatedOffsetFormWritesTheTargetAndEnds) {
  auto w = MakeNcWorld(Dialect::kDefault, "MEMORY G54= (10,20,30,0,0)\n");
  TiltedPlaneState& plane = w->Modal().TiltedPlane;
  plane.Form = kTiltedRotatedOffset;
  plane.State = 1;
  plane.Active = 1;
  plane.Frame.Origin = {1, 2, 3};
  plane.Code = 55;  // into G55
  EXPECT_TRUE(ApplyTiltedPlaneForm(w->Context, w->Records));
  // No turns, no centres: the source's point plus the origin.
  EXPECT_EQ(w->Memory.Offsets.WorkOffsets[2], (WorkOffsetValues{11, 22, 33, 0, 0}));
  EXPECT_EQ(plane.State, 0);
  EXPECT_EQ(plane.Active, 0);
}

TEST(ComputeRotatedWorkOffsetFromPlane, TurnsAboutTheRotaryCentres) {
  auto w = MakeNcWorld();
  OffsetMemory& offsets = w->Memory.Offsets;
  w->Defs.Kinematics.TablePosition = {0, 0, -100};
  offsets.WorkOffsets[1] = {0, 0, 0, 90, 7};
  // (0, 10, 0) from the centre (0, 0, -100) is (0, 10, 100); the source's
  // 90 about X takes it to (0, -100, 10), back from the centre (0, -100, -90).
  ASSERT_TRUE(ComputeRotatedWorkOffsetFromPlane(w->Context, w->Records, 54, 0, 10, 0, 0, 0, 56));
  EXPECT_EQ(offsets.WorkOffsets[3], (WorkOffsetValues{0, -100, -90, 90, 7}));

  // The second angle turns about Z first, then the first about X:
  // (10, 0, 0) to (0, 10, 0) to (0, 0, 10).
  w->Defs.Kinematics.TablePosition = {};
  offsets.WorkOffsets[1] = {};
  ASSERT_TRUE(ComputeRotatedWorkOffsetFromPlane(w->Context, w->Records, 54, 10, 0, 0, 90, 90, 57));
  EXPECT_EQ(offsets.WorkOffsets[4], (WorkOffsetValues{0, 0, 10, 0, 0}));

  // Codes outside the table write nothing.
  const std::vector<WorkOffsetValues> before = offsets.WorkOffsets;
  EXPECT_FALSE(ComputeRotatedWorkOffsetFromPlane(w->Context, w->Records, 52, 1, 1, 1, 0, 0, 55));
  EXPECT_FALSE(ComputeRotatedWorkOffsetFromPlane(w->Context, w->Records, 54, 1, 1, 1, 0, 0, 254));
  EXPECT_EQ(offsets.WorkOffsets, before);
}

TEST(ComputeRotatedWorkOffset, TargetCodesAndTheStatedTurns) {
  auto w = MakeNcWorld(Dialect::kOsp, "MEMORY G54= (10,20,30,4,5)\n");
  OffsetMemory& offsets = w->Memory.Offsets;
  offsets.SelectedWorkOffset = 1;
  MachineKinematics& k = w->Defs.Kinematics;
  k.RotaryType = kRotaryTable;
  k.Rotary[0].Axis = 0;  // A
  k.Rotary[1].Axis = 2;  // C
  struct Case {
    int32_t code;
    size_t entry;
  } cases[] = {{55, 2}, {59, 6}, {1, 7}, {48, 54}};
  for (const Case& c : cases) {
    // No angles: the source plus the point; the rotary values the source's.
    ASSERT_TRUE(ComputeRotatedWorkOffset(w->Context, w->Records, {1, 2, 3, 0, 0}, c.code));
    EXPECT_EQ(offsets.WorkOffsets[c.entry], (WorkOffsetValues{11, 22, 33, 4, 5})) << c.code;
  }
  const std::vector<WorkOffsetValues> before = offsets.WorkOffsets;
  for (int32_t code : {0, 49, 54, 60})
    EXPECT_FALSE(ComputeRotatedWorkOffset(w->Context, w->Records, {1, 2, 3, 0, 0}, code)) << code;
  EXPECT_EQ(offsets.WorkOffsets, before);

  // Minus the programmed fifth value about C: (10, 0, 0) by -90 to (0, -10, 0).
  ASSERT_TRUE(ComputeRotatedWorkOffset(w->Context, w->Records, {10, 0, 0, 0, 90}, 55));
  ExpectNear({offsets.WorkOffsets[2][0], offsets.WorkOffsets[2][1], offsets.WorkOffsets[2][2]},
             {10, 20 - 10, 30}, "fifth");
  // Minus the machine's rotary 1 and back by it: no turn left.
  w->Context.Position.MachinePosition[3] = 30;
  ASSERT_TRUE(ComputeRotatedWorkOffset(w->Context, w->Records, {1, 2, 3, 0, 0}, 55));
  ExpectNear({offsets.WorkOffsets[2][0], offsets.WorkOffsets[2][1], offsets.WorkOffsets[2][2]},
             {11, 22, 33}, "first");
}

TEST(ResyncProgramPosition, FromTheMachinePositionIntoEveryCopy) {
  struct Case {
    Dialect dialect;
    int32_t direction;
    AxisPosition program;   // start, end and the interpreter's copies
    AxisPosition position;  // the position state's copy
  } cases[] = {
      // Machine (50, 60, 70, 1, 2) less the offset (1, 2, 3, 0, 1) and the
      // tool-length effect 100 - 95.
      {Dialect::kDefault, 0, {49, 58, 62, 1, 1}, {49, 58, 62, 1, 1}},
      {Dialect::kMazak, 1, {44, 58, 67, 1, 1}, {44, 58, 67, 1, 1}},  // along the direction X
      // No effect; the length axis Z less the length in force 40.
      {Dialect::kSiemens, 0, {49, 58, 27, 1, 1}, {49, 58, 67, 1, 1}},
      {Dialect::kHeidenhain, 0, {49, 58, 27, 1, 1}, {49, 58, 67, 1, 1}},
  };
  for (const Case& c : cases) {
    auto w = MakeNcWorld(c.dialect);
    const int dialect = static_cast<int>(c.dialect);
    w->Memory.Offsets.ActiveWorkOffset = {1, 2, 3, 0, 1};
    w->Defs.Kinematics.ToolDirectionInUse = c.direction;
    w->Defs.Kinematics.ToolDirection = {1, 0, 0};
    MachinePositionState& p = w->Context.Position;
    p.MachinePosition = {50, 60, 70, 1, 2};
    p.ReferenceLength = 100;
    p.ToolLength = 95.0f;
    w->Modal().Length.PreviousToolLength = 40;
    ResyncProgramPosition(w->Context, w->Records);
    EXPECT_EQ(w->Context.Move.Start, c.program) << dialect;
    EXPECT_EQ(w->Context.Move.End, c.program) << dialect;
    EXPECT_EQ(w->Modal().ProgramPosition, c.program) << dialect;
    EXPECT_EQ(w->Modal().DrawPosition, c.program) << dialect;
    EXPECT_EQ(p.ProgramPosition, c.position) << dialect;
    EXPECT_EQ(p.MachinePosition, (AxisPosition{50, 60, 70, 1, 2})) << dialect;
  }
}

TEST(ToolVectorFromAngles, EachOrientationConvention) {
  const double a = 30, b = 40, c = 50;
  const double sa = std::sin(Radians(a)), ca = std::cos(Radians(a));
  const double sb = std::sin(Radians(b)), cb = std::cos(Radians(b));
  const double sc = std::sin(Radians(c)), cc = std::cos(Radians(c));
  struct Case {
    int32_t convention;
    Vec3 expected;
  } cases[] = {
      {kOrientEuler, {sa * sb, -ca * sb, cb}},
      // Rz(a) Ry(b) Rx(c) (0, 0, 1): Rx gives (0, -sc, cc), Ry (sb cc, -sc,
      // cb cc), Rz turns X and Y.
      {kOrientRpy, {ca * sb * cc + sa * sc, sa * sb * cc - ca * sc, cb * cc}},
      {kOrientRpy2, {sb, -sa * cb, ca * cb}},
  };
  for (const Case& t : cases) {
    Vec3 v{9, 9, 9};
    ToolVectorFromAngles(t.convention, a, b, c, v);
    ExpectNear(v, t.expected, "convention " + std::to_string(t.convention));
  }
  Vec3 v{9, 9, 9};
  ToolVectorFromAngles(kOrientEuler, 90, 90, 0, v);
  EXPECT_EQ(v, (Vec3{1, 0, 0}));  // exact at quarter turns
  ToolVectorFromAngles(7, 10, 20, 30, v);
  EXPECT_EQ(v, (Vec3{1, 0, 0}));  // an unknown convention leaves it
}

TEST(FindToolByName, TheLowestDefinedToolOfThatName) {
  ToolTable table;
  EXPECT_EQ(FindToolByName(table, "ENDMILL"), 0);  // nothing allocated
  table.MaxToolNumber = 10;
  AllocToolTables(table);
  const auto define = [&](int32_t t, const char* name, int32_t defined) {
    table.Records[static_cast<size_t>(t)].Defined = defined;
    table.Records[static_cast<size_t>(t)].Name = name;
  };
  define(0, "ENDMILL", 1);  // tool 0 is no tool
  define(2, "DRILL", 1);
  define(3, "ENDMILL", 0);  // not defined
  define(5, "ENDMILL", 1);
  define(8, "ENDMILL", 1);
  EXPECT_EQ(FindToolByName(table, "ENDMILL"), 5);
  EXPECT_EQ(FindToolByName(table, "DRILL"), 2);
  EXPECT_EQ(FindToolByName(table, "END"), 0);  // the whole name
  EXPECT_EQ(FindToolByName(table, "ENDMILL2"), 0);
}

TEST(ParseToolCallExtras, DeltasAndSpeed) {
  struct Case {
    const char* text;
    double dl, dr;
    double speed;
  } cases[] = {
      {" Z S2000 DL+0.1", 0.1, 0, 2000},
      {" Z DR-0.05 DL+0.2 S1500", 0.2, -0.05, 1500},
      {" Z DL1 DR2 DL3", 1, 2, 777},  // a third D is not read; no S keeps the speed
      {" Z", 0, 0, 777},
      {" Z S1500.7", 0, 0, 1500},  // the whole number after S
  };
  for (const Case& c : cases) {
    NcModalState modal;
    modal.ToolCallDeltaLength = 9;
    modal.ToolCallDeltaRadius = 9;
    modal.SpindleSpeed = 777;
    ParseToolCallExtras(c.text, modal);
    EXPECT_EQ(modal.ToolCallDeltaLength, c.dl) << c.text;
    EXPECT_EQ(modal.ToolCallDeltaRadius, c.dr) << c.text;
    EXPECT_EQ(modal.SpindleSpeed, c.speed) << c.text;
  }
}

TEST(StartToolChangeRoute, WhichWordStartsTheRoute) {
  struct Case {
    int32_t atcType;
    ToolChangeWord word;
    int32_t blockTool, next;
    bool starts;
  } cases[] = {
      {kAtcDirect, ToolChangeWord::kT, 5, 5, true},   // DIRECT: a T word counts
      {kAtcDirect, ToolChangeWord::kT, 5, 1, false},  // the tool in the spindle
      {kAtcWait, ToolChangeWord::kT, 5, 5, false},    // WAIT: only M06
      {kAtcWait, ToolChangeWord::kM06, 5, 5, true},   {kAtcWait2, ToolChangeWord::kT, 5, 5, false},
      {kAtcWait2, ToolChangeWord::kM06, 1, 5, false},  // the block's T is in the spindle
      {kAtcWait2, ToolChangeWord::kM06, -1, 5, true},  // no T: the next tool
  };
  for (const Case& c : cases) {
    auto w = MakeNcWorld();
    MachineDefinition& machine = w->Defs.Machine;
    machine.AtcType = c.atcType;
    machine.ToolChangePositionGiven = 1;
    machine.ToolChangePosition = {0, 0, 500, 0, 0};
    machine.Route.StepCount = 2;
    machine.Route.Steps[0] = {0, 0, 1, 0, 0};
    machine.Route.Steps[1] = {1, 1, 0, 0, 0};
    NcModalState& m = w->Modal();
    m.Tools.CurrentToolNumber = 1;
    m.Tools.NextToolNumber = c.next;
    m.BlockTool = c.blockTool;
    m.Length.LengthCompensationActive = 1;
    m.PendingEnds.Count = 7;
    m.PendingEnds.ReadIndex = 3;
    const std::string what = std::to_string(c.atcType) + " " +
                             (c.word == ToolChangeWord::kT ? "T" : "M06") + " " +
                             std::to_string(c.blockTool);
    EXPECT_EQ(StartToolChangeRoute(w->Context, w->Records, c.word), c.starts) << what;
    EXPECT_EQ(m.PendingEnds.ReadIndex, 0) << what;
    if (!c.starts) {
      EXPECT_EQ(m.PendingEnds.Count, 0) << what;
      EXPECT_EQ(m.Length.LengthCompensationActive, 1) << what;
      continue;
    }
    EXPECT_EQ(m.PendingEnds.Count, 2) << what;
    ASSERT_EQ(m.PendingEnds.Entries.size(), 2u) << what;
    EXPECT_EQ(m.PendingEnds.Entries[0].AxisGiven, (std::array<int32_t, 5>{0, 0, 1, 0, 0}));
    EXPECT_EQ(m.PendingEnds.Entries[1].AxisGiven, (std::array<int32_t, 5>{1, 1, 0, 0, 0}));
    EXPECT_EQ(m.PendingEnds.Entries[1].Machine, (std::array<double, 5>{0, 0, 500, 0, 0}));
    EXPECT_EQ(m.Length.LengthCompensationActive, 0) << what;
  }

  // A machine without a route queues nothing.
  auto w = MakeNcWorld();
  w->Defs.Machine.AtcType = kAtcDirect;
  w->Modal().Tools.NextToolNumber = 5;
  EXPECT_FALSE(StartToolChangeRoute(w->Context, w->Records, ToolChangeWord::kM06));
  EXPECT_EQ(w->Modal().PendingEnds.Count, 0);
}

TEST(ComputeTiltedArcLength, TheLargerRadiiAtTheToolsReferencePoint) {
  const double tilt = Radians(30);  // L sin = 10 * 0.5 = 5
  const double quarter = kHalfPi;
  struct Case {
    int32_t motion, lengthMode;
    double expected;
  } cases[] = {
      {kMotionCounterClockwise, 1, (25.0 + 25.0) / 2 * quarter},  // r + 5
      {kMotionClockwise, 0, (25.0 + 25.0) / 2 * quarter},
      {kMotionClockwise, 1, 123.0},  // r - 5: inside, the length stays
      {kMotionCounterClockwise, 0, 123.0},
      {kMotionLinear, 1, 123.0},
  };
  for (const Case& c : cases) {
    double length = 123.0;
    ComputeTiltedArcLength(length, quarter, 20, 20, {10, tilt, tilt, c.motion, c.lengthMode});
    EXPECT_NEAR(length, c.expected, 1e-9) << c.motion << " " << c.lengthMode;
  }
  // Only the end leans out: (20 + 26) / 2 with the end radius 21 + 5.
  double length = 0.0;
  ComputeTiltedArcLength(length, 1.0, 20, 21, {10, 0.0, tilt, kMotionClockwise, 0});
  EXPECT_NEAR(length, (20.0 + 26.0) / 2, 1e-9);
}

}  // namespace
}  // namespace vestan
