// The machine position state through its four cases and back: machines of
// every rotary type built here and the shipped five-axis machine.
#include "machine/position_conversion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "definitions/definition_test_support.h"
#include "machine/forward_kinematics.h"

namespace vestan {
namespace {

constexpr double kNear = 1e-9;

void ExpectNear(const Vec3& got, const Vec3& want, const std::string& what) {
  for (size_t i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], kNear) << what << " [" << i << "]";
}
void ExpectNear(const AxisPosition& got, const AxisPosition& want, const std::string& what) {
  for (size_t i = 0; i < 5; ++i) EXPECT_NEAR(got[i], want[i], kNear) << what << " [" << i << "]";
}

// A rotary axis about coordinate axis a.
RotaryAxisGeometry About(int32_t a) {
  RotaryAxisGeometry g;
  g.Axis = a;
  g.OtherAxes = {(a + 1) % 3, (a + 2) % 3};
  return g;
}

// Machines of each rotary type, as a machine definition would give them.
MachineKinematics Head() {  // C carrying A
  MachineKinematics k;
  k.RotaryType = kRotaryHead;
  k.Rotary = {About(2), About(0)};
  k.HeadPosition = {5, -3, 150};
  k.HeadOffset = {0, 20, -10};
  return k;
}
MachineKinematics Table() {  // A carrying C
  MachineKinematics k;
  k.RotaryType = kRotaryTable;
  k.Rotary = {About(0), About(2)};
  k.TablePosition = {10, -20, -180};
  k.TableOffset = {5, 7, 30};
  k.SecondTableCentre = {15, -13, -180};  // the table position plus the offset in C's plane
  return k;
}
MachineKinematics Mix() {  // head B, table C
  MachineKinematics k;
  k.RotaryType = kRotaryMix;
  k.Rotary = {About(1), About(2)};
  k.HeadPosition = {0, 0, 200};
  k.TablePosition = {30, 40, -150};
  return k;
}

// One machine's conversion records.
struct Conversion {
  MachineKinematics Kinematics;
  ControllerDefinition Controller;
  StrokeLimits Limits;
  WorkOffsetValues Offset{};
  WorkpiecePlacement Placement;
  RotarySolveContext Solve;
  MachinePositionState State;
  PositionModalInputs Inputs;

  explicit Conversion(const MachineKinematics& kinematics) : Kinematics(kinematics) {
    State.ReferenceLength = 100.0;
    State.ToolLength = 100.0f;
  }
  PositionConverter Converter() {
    return {Kinematics, Controller, Limits, Offset, Placement, Solve, {}};
  }
  DerivedProgramPosition Update() { return UpdateMachinePosition(Converter(), Inputs, State); }
};

TEST(UpdateMachinePosition, PlainBlockOnANonRotaryMachine) {
  // No rotary type, no offset, no tool-length effect: the machine stands
  // where the program says; the tip lies the reference length below.
  Conversion c(MachineKinematics{});
  c.State.ProgramPosition = {10, 20, 30, 0, 0};
  EXPECT_FALSE(c.Update().Derived);
  EXPECT_EQ(c.State.MachinePosition, (AxisPosition{10, 20, 30, 0, 0}));
  EXPECT_EQ(c.State.ToolTip, (Vec3{10, 20, 30 - 100}));
  EXPECT_EQ(c.State.ToolAxis, (Vec3{0, 0, 1}));
  EXPECT_EQ(c.State.RotarySinCos, (std::array<double, 4>{0, 1, 0, 1}));

  // A tool 5 shorter than the reference length raises the machine by 5;
  // the work offset adds on all five axes.
  c.State.ToolLength = 95.0f;
  c.Offset = {1, 2, 3, 4, 5};
  c.Update();
  EXPECT_EQ(c.State.MachinePosition, (AxisPosition{11, 22, 30 + 3 + 5, 4, 5}));

  // With a tool direction the effect goes along it.
  c.Kinematics.ToolDirectionInUse = 1;
  c.Kinematics.ToolDirection = {1, 0, 0};
  c.Update();
  EXPECT_EQ(c.State.MachinePosition, (AxisPosition{11 + 5, 22, 33, 4, 5}));
}

TEST(UpdateMachinePosition, RotarySinesAreExactAtQuarterTurns) {
  Conversion c(Head());
  c.Controller.Rotary[1].DirectionSign = -1;
  c.State.ProgramPosition = {0, 0, 0, 90, 90};
  c.Update();
  // sin = the axis sign, cos = 0, exactly.
  EXPECT_EQ(c.State.RotarySinCos, (std::array<double, 4>{1, 0, -1, 0}));
}

TEST(UpdateMachinePosition, ReferencePointGivesTheProgramPosition) {
  Conversion c(Table());
  c.Offset = {1, 2, 3, 4, 5};
  c.State.ToolLength = 95.0f;  // effect 5
  c.Inputs.ReferenceReturnStage = kReferencePointReached;
  c.State.MachinePosition = {50, 60, 70, 10, 20};
  const DerivedProgramPosition derived = c.Update();
  EXPECT_EQ(c.State.ProgramPosition, (AxisPosition{49, 58, 67, 6, 15}));
  ASSERT_TRUE(derived.Derived);
  // The move's end and the commanded position lose the tool-length effect.
  EXPECT_EQ(derived.End, (AxisPosition{49, 58, 62, 6, 15}));
  EXPECT_EQ(derived.Commanded, (AxisPosition{49, 58, 62, 6, 15}));
  Vec3 tip, axis;
  ComputeToolTipAndAxis(c.Kinematics, c.Controller, 100.0, c.State.MachinePosition, tip, axis);
  EXPECT_EQ(c.State.ToolTip, tip);

  // The tool-length vector comes off the end's X and Z; tool-tip control
  // length, when no vector is in use, off the length axis.
  c.Inputs.LengthVectorInUse = 1;
  c.Inputs.LengthVector = {2, 9, 3};
  c.Inputs.ToolTipLength = 1;
  c.Inputs.ToolLengthInForce = 40;
  EXPECT_EQ(c.Update().End, (AxisPosition{49 - 2, 58, 62 - 3, 6, 15}));
  c.Inputs.LengthVectorInUse = 0;
  EXPECT_EQ(c.Update().End, (AxisPosition{49, 58, 62 - 40, 6, 15}));
}

TEST(UpdateMachinePosition, ToolTipControlOnAHead) {
  // C carrying A with no head offsets: the tip at the program point, A 90
  // lays the tool along -Y, so the spindle stands 100 along -Y of the tip.
  MachineKinematics k = Head();
  k.HeadPosition = {};
  k.HeadOffset = {};
  Conversion c(k);
  c.Inputs.ToolAxisMode = 1;
  c.Inputs.ToolLengthInForce = 100.0;
  c.State.ProgramPosition = {10, 20, 30, 0, 90};
  c.Update();
  EXPECT_EQ(c.State.ToolTip, (Vec3{10, 20, 30}));
  EXPECT_EQ(c.State.ToolAxis, (Vec3{0, -1, 0}));
  ExpectNear(c.State.MachinePosition, {10, 20 - 100, 30, 0, 90}, "head");
}

// Program positions, offsets and lengths that exercise every term.
struct TipCase {
  const char* name;
  MachineKinematics kinematics;
};

std::vector<TipCase> EveryRotaryType() {
  std::vector<TipCase> cases{{"HEAD", Head()}, {"TABLE", Table()}, {"MIX", Mix()}};
  testing::MachineHarness h;
  EXPECT_EQ(h.Read(VESTAN_DATA_DIR "/oguma5x.mtl").State, kFileRead);
  cases.push_back({"oguma5x.mtl", h.Kinematics});
  return cases;
}

TEST(UpdateMachinePosition, ToolTipControlReturnsThroughAdjustPositionOffsets) {
  for (const TipCase& t : EveryRotaryType()) {
    for (const int32_t keepOut : {0, 1}) {
      for (const WorkOffsetValues& offset :
           {WorkOffsetValues{5, -3, 2, 10, -15}, WorkOffsetValues{5, -3, 2, 0, 0}}) {
        const std::string what = std::string(t.name) +
                                 (keepOut != 0 ? " keeping offsets out" : "") + " rotary offset " +
                                 std::to_string(offset[3]);
        Conversion c(t.kinematics);
        c.Offset = offset;
        c.State.ToolLength = 20.0f;
        c.State.RotaryBaseAngles = {3, 4};
        c.State.TableRotationSinCos = ComputeRotarySinCos(c.Controller, {13, -11});
        c.Inputs.ToolAxisMode = 2;
        c.Inputs.ToolLengthInForce = 90.0;
        c.Inputs.KeepRotaryOffsetsOut = keepOut;
        const AxisPosition program{12.5, -40, 7, -25, 35};
        c.State.ProgramPosition = program;
        c.Update();
        // The tool tip is where the machine position puts the real tool.
        Vec3 tip, axis;
        ComputeToolTipAndAxis(c.Kinematics, c.Controller, c.State.ReferenceLength,
                              c.State.MachinePosition, tip, axis);
        ExpectNear(c.State.ToolTip, tip, what + ": tip");
        ExpectNear(c.State.ToolAxis, axis, what + ": axis");
        EXPECT_EQ(c.State.MachinePosition[3], -25 + offset[3] + 3) << what;
        EXPECT_EQ(c.State.MachinePosition[4], 35 + offset[4] + 4) << what;

        c.State.ProgramPosition = {};
        c.State.ProgramPosition[3] = program[3];  // the table test compares the angles
        c.State.ProgramPosition[4] = program[4];
        AdjustPositionOffsets(c.Converter(), c.Inputs, c.State, c.State.ToolTip, c.State.ToolAxis);
        ExpectNear(c.State.ProgramPosition, program, what + ": back");
      }
    }
  }
}

TEST(UpdateMachinePosition, MachinePositionGivenReturnsTheProgramPosition) {
  for (const TipCase& t : EveryRotaryType()) {
    Conversion c(t.kinematics);
    c.Offset = {5, -3, 2, 10, -15};
    c.State.ToolLength = 92.0f;
    const AxisPosition program{12.5, -40, 7, -25, 35};
    c.State.ProgramPosition = program;
    c.Update();
    const AxisPosition machine = c.State.MachinePosition;
    // G53, then G53.1: the machine position stays and the program follows.
    for (const int32_t g53 : {1, 0}) {
      c.State.ProgramPosition = {};
      c.Inputs.MachineCoordinates = g53;
      c.Inputs.LastGCode = g53 != 0 ? 53 : kToolAxisDirectionCode;
      const DerivedProgramPosition derived = c.Update();
      EXPECT_EQ(c.State.MachinePosition, machine) << t.name;
      ExpectNear(c.State.ProgramPosition, program, std::string(t.name) + ": program");
      EXPECT_EQ(derived.End, c.State.ProgramPosition) << t.name;
      EXPECT_EQ(derived.Commanded, c.State.ProgramPosition) << t.name;
    }
  }
}

TEST(UpdateMachinePosition, PolarAndCylindricalForms) {
  Conversion c(Mix());
  c.Offset = {1, 2, 3, 4, 5};
  c.Inputs.Polar = 1;
  c.Inputs.PolarAngleOffset = 10;
  c.State.ProgramPosition = {0, -5, 7, 8, 0};
  c.Update();
  // Radius 5 at 270 degrees, plus the offset angle, then the work offset.
  EXPECT_EQ(c.State.MachinePosition, (AxisPosition{5 + 1, 0 + 2, 7 + 3, 8 + 4, 280 + 5}));

  c.Inputs.Polar = 0;
  c.Inputs.Cylindrical = 1;
  c.Inputs.PlaneNormalAxis = 0;  // G19: X stays X
  c.Inputs.CylinderSourceAxis = 1;
  c.Inputs.CylinderDivisor = 0.5;
  c.State.ProgramPosition = {40, 30, 7, 8, 9};
  c.Update();
  EXPECT_EQ(c.State.MachinePosition, (AxisPosition{40 + 1, 0 + 2, 7 + 3, 8 + 4, 30 / 0.5 + 5}));
}

// Plane coordinates turned 90 degrees about X: plane Y is work Z, plane Z
// is work -Y; the plane origin at (1, 2, 3).
TiltedPlaneFrame QuarterTurnAboutX() {
  TiltedPlaneFrame plane;
  plane.Matrix = {1, 0, 0, 0, 0, 1, 0, -1, 0};
  plane.Inverse = InvertMatrix3(plane.Matrix);
  plane.Origin = {1, 2, 3};
  return plane;
}

TEST(UpdateMachinePosition, TiltedPlaneWithToolVectorOutput) {
  for (const TipCase& t : EveryRotaryType()) {
    Conversion c(t.kinematics);
    c.Offset = {5, -3, 2, 0, 0};
    c.State.ToolLength = 20.0f;
    c.Inputs.TiltedPlaneState = 1;
    c.Inputs.TiltedPlaneActive = 1;
    c.Inputs.TiltedPlane = QuarterTurnAboutX();
    const AxisPosition program{10, 20, 30, 0, 0};
    c.State.ProgramPosition = program;
    c.Update();
    const std::string what = t.name;
    // The plane's Z is the tool axis; the tip lies the tool's length below
    // the plane point: (10, -30 + 2 - 3, 20 + 3 + 2) less 20 along (0, -1, 0).
    ExpectNear(c.State.ToolAxis, {0, -1, 0}, what + ": axis");
    ExpectNear(c.State.ToolTip, {10 + 1 + 5, -30 + 2 - 3 + 20, 20 + 3 + 2}, what + ": tip");
    Vec3 tip, axis;
    ComputeToolTipAndAxis(c.Kinematics, c.Controller, c.State.ReferenceLength,
                          c.State.MachinePosition, tip, axis);
    ExpectNear(tip, c.State.ToolTip, what + ": machine");
    ExpectNear(axis, c.State.ToolAxis, what + ": machine axis");

    // G53.1 in the plane takes the tip back into plane coordinates.
    c.State.ProgramPosition = {0, 0, 0, 0, 0};
    c.Inputs.LastGCode = kToolAxisDirectionCode;
    c.Update();
    ExpectNear(
        Vec3{c.State.ProgramPosition[0], c.State.ProgramPosition[1], c.State.ProgramPosition[2]},
        {10, 20, 30}, what + ": back");
    c.Inputs.LastGCode = 0;

    // Mode 2 takes the stored angles as they are.
    c.Inputs.TiltedPlaneMode = 2;
    c.Inputs.TiltedPlaneAngles = {12, 34};
    c.State.ProgramPosition = program;
    c.Update();
    EXPECT_EQ(c.State.MachinePosition[3], 12) << what;
    EXPECT_EQ(c.State.MachinePosition[4], 34) << what;
  }
}

TEST(UpdateMachinePosition, TiltedPlaneOffOrWithoutPlane) {
  Conversion c(Table());
  c.State.ToolLength = 20.0f;
  c.Inputs.TiltedPlaneState = 1;  // output on, no plane: the tool direction, angles 0
  c.State.ProgramPosition = {10, 20, 30, 50, 60};
  c.Update();
  EXPECT_EQ(c.State.ToolAxis, (Vec3{0, 0, 1}));
  EXPECT_EQ(c.State.MachinePosition[3], 0);
  EXPECT_EQ(c.State.MachinePosition[4], 0);
  c.Inputs.RotaryProgrammedDirectly = 1;  // the run found A and C programmed apart
  c.Offset = {0, 0, 0, 1, 2};
  c.Update();
  EXPECT_EQ(c.State.MachinePosition[3], 51);
  EXPECT_EQ(c.State.MachinePosition[4], 62);
}

TEST(ConvertProgramToMachine, WritesItsOutputsAndLeavesTheState) {
  Conversion c(Head());
  c.Offset = {1, 2, 3, 0, 0};
  c.State.RotarySinCos = {9, 9, 9, 9};
  AxisPosition machine{};
  Vec3 tip, axis;
  EXPECT_FALSE(ConvertProgramToMachine(c.Converter(), c.Inputs, c.State, {10, 20, 30, 0, 90},
                                       machine, tip, axis)
                   .Derived);
  Conversion reference(Head());
  reference.Offset = c.Offset;
  reference.State.ProgramPosition = {10, 20, 30, 0, 90};
  reference.Update();
  EXPECT_EQ(machine, reference.State.MachinePosition);
  EXPECT_EQ(tip, reference.State.ToolTip);
  EXPECT_EQ(axis, reference.State.ToolAxis);
  EXPECT_EQ(c.State.MachinePosition, AxisPosition{});
  EXPECT_EQ(c.State.RotarySinCos, (std::array<double, 4>{9, 9, 9, 9}));

  // Machine position given in a tilted plane: the first form goes through
  // the plane, the second always takes the work offset off.
  c.Inputs.TiltedPlaneState = 1;
  c.Inputs.TiltedPlaneActive = 1;
  c.Inputs.TiltedPlane = QuarterTurnAboutX();
  c.Inputs.LastGCode = kToolAxisDirectionCode;
  c.State.ToolLength = 95.0f;  // effect 5
  ConvertProgramToMachine(c.Converter(), c.Inputs, c.State, {}, machine, tip, axis);
  const AxisPosition throughPlane = c.State.ProgramPosition;
  const DerivedProgramPosition derived =
      ConvertProgramToMachine2(c.Converter(), c.Inputs, c.State, {}, machine, tip, axis);
  const AxisPosition plain{machine[0] - 1, machine[1] - 2, machine[2] - 3 - 5, machine[3],
                           machine[4]};
  EXPECT_EQ(c.State.ProgramPosition, plain);
  EXPECT_EQ(derived.End, plain);
  EXPECT_NE(throughPlane, plain);
}

TEST(TransformPositionByMatrix, ConvertToModelCoordinatesUndoesIt) {
  const TiltedPlaneFrame plane = QuarterTurnAboutX();
  const WorkOffsetValues offset{5, -3, 2, 0, 0};
  WorkpiecePlacement placed;
  placed.Placed = 1;
  placed.Matrix = {0, 1, 0, -1, 0, 0, 0, 0, 1};  // 90 degrees about Z
  placed.Inverse = InvertMatrix3(placed.Matrix);
  placed.Translation = {100, 0, -50};
  const Vec3 p{10, 20, 30};
  // Not placed: M p + T + offset = (10, -30, 20) + (1, 2, 3) + (5, -3, 2).
  const Vec3 out = TransformPositionByMatrix(WorkpiecePlacement{}, plane, offset, p);
  EXPECT_EQ(out, (Vec3{16, -31, 25}));
  EXPECT_EQ(ConvertToModelCoordinates(WorkpiecePlacement{}, plane, offset, out), p);
  // Placed: the placement takes (11, -28, 23) to (28, 11, 23) + (100, 0, -50);
  // the work offset does not enter.
  const Vec3 onPlaced = TransformPositionByMatrix(placed, plane, offset, p);
  EXPECT_EQ(onPlaced, (Vec3{128, 11, -27}));
  ExpectNear(ConvertToModelCoordinates(placed, plane, offset, onPlaced), p, "placed");
}

TEST(PlacementOf, TakesTheModelsPlacement) {
  DexelModel model;
  model.Placement = {0, 1, 0, -1, 0, 0, 0, 0, 1, 7, 8, 9};
  model.InverseMatrix = {0, -1, 0, 1, 0, 0, 0, 0, 1};
  model.Placed = 1;
  const WorkpiecePlacement p = PlacementOf(model);
  EXPECT_EQ(p.Placed, 1);
  EXPECT_EQ(p.Matrix, (Matrix3{0, 1, 0, -1, 0, 0, 0, 0, 1}));
  EXPECT_EQ(p.Inverse, model.InverseMatrix);
  EXPECT_EQ(p.Translation, (Vec3{7, 8, 9}));
}

TEST(SavePositionState, CopiesTheLiveFields) {
  MachinePositionState state;
  state.ProgramPosition = {1, 2, 3, 4, 5};
  state.MachinePosition = {6, 7, 8, 9, 10};
  state.ToolTip = {11, 12, 13};
  state.ToolAxis = {0, 1, 0};
  SavePositionState(state, 7, {14, 15, 16, 17, 18});
  const SavedPositionState& saved = state.Saved;
  EXPECT_EQ(saved.ToolNumber, 7);
  EXPECT_EQ(saved.ProgramPosition, state.ProgramPosition);
  EXPECT_EQ(saved.MachinePosition, state.MachinePosition);
  EXPECT_EQ(saved.ActiveWorkOffset, (std::array<double, 5>{14, 15, 16, 17, 18}));
  EXPECT_EQ(saved.ToolTip, state.ToolTip);
  EXPECT_EQ(saved.ToolAxis, state.ToolAxis);
}

TEST(WorkOffset, AddAndSubtractAllFiveAxes) {
  const WorkOffsetValues offset{1, 2, 3, 4, 5};
  EXPECT_EQ(AddWorkOffset({10, 20, 30, 40, 50}, offset), (AxisPosition{11, 22, 33, 44, 55}));
  EXPECT_EQ(SubtractWorkOffset({10, 20, 30, 40, 50}, offset), (AxisPosition{9, 18, 27, 36, 45}));
}

}  // namespace
}  // namespace vestan
