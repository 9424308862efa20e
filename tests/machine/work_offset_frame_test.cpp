#include "machine/work_offset_frame.h"

#include <gtest/gtest.h>

#include <string>

namespace vestan {
namespace {

void ExpectNear(const Vec3& got, const Vec3& expected, const std::string& where) {
  for (size_t i = 0; i < 3; ++i)
    EXPECT_NEAR(got[i], expected[i], 1e-12) << where << " [" << i << "]";
}

// Column c of a column-order matrix.
Vec3 Column(const Matrix3& m, size_t c) { return {m[3 * c], m[3 * c + 1], m[3 * c + 2]}; }

// Rotary 1 about X, rotary 2 about Z (the machine definition's defaults).
MachineKinematics Machine(int32_t type) {
  MachineKinematics k;
  k.RotaryType = type;
  return k;
}

TEST(UpdateWorkOffsetFrame, WithoutRotaryTurnsTheFrameIsTheOffset) {
  const ControllerDefinition controller;
  struct Case {
    int32_t type;
    WorkOffsetValues offset;
    int32_t offsetFlag;
  } cases[] = {
      {kRotaryHead, {10, 20, 30, 45, 90}, 1},  // a head's rotary values turn no frame
      {kRotaryNone, {0, 0, 0, 0, 0}, 0},
      {kRotaryMix, {1, 0, 0, 30, 0}, 1},  // MIX turns only by its second axis
  };
  for (const Case& c : cases) {
    DisplayListTable display;
    WorkOffsetFrame frame;
    frame.FrameRotated = 1;
    UpdateWorkOffsetFrame(c.offset, Machine(c.type), controller, frame, display);
    EXPECT_EQ(frame.Origin, (Vec3{c.offset[0], c.offset[1], c.offset[2]})) << c.type;
    EXPECT_EQ(frame.FrameRotated, 0) << c.type;
    EXPECT_EQ(frame.FrameOffset, c.offsetFlag) << c.type;
    EXPECT_EQ(frame.Matrix, WorkOffsetFrame{}.Matrix) << c.type;
    EXPECT_EQ(frame.InverseMatrix, WorkOffsetFrame{}.Matrix) << c.type;
    EXPECT_EQ(frame.Rotary1, c.offset[3]) << c.type;
    EXPECT_EQ(frame.Rotary2, c.offset[4]) << c.type;
    EXPECT_TRUE(display.NeedsRebuild(kListCoordinateAxes)) << c.type;
  }
}

TEST(UpdateWorkOffsetFrame, TableMachinesTurnOriginAndAxes) {
  DisplayListTable display;
  ControllerDefinition controller;
  MachineKinematics table = Machine(kRotaryTable);
  table.TablePosition = {0, 0, 100};
  table.SecondTableCentre = {5, 5, 100};

  // Rotary 1 = 90 about X through (0, 0, 100): the origin (0, 0, 0) lies at
  // (0, 0, -100) from the centre and turns to (0, 100, 0) from it.
  WorkOffsetFrame frame;
  UpdateWorkOffsetFrame({0, 0, 0, 90, 0}, table, controller, frame, display);
  EXPECT_EQ(frame.FrameRotated, 1);
  EXPECT_EQ(frame.FrameOffset, 1);
  ExpectNear(frame.Origin, {0, 100, 100}, "A90");
  ExpectNear(Column(frame.Matrix, 0), {1, 0, 0}, "A90 X");
  ExpectNear(Column(frame.Matrix, 1), {0, 0, 1}, "A90 Y");  // Y turns up to Z
  ExpectNear(Column(frame.Matrix, 2), {0, -1, 0}, "A90 Z");

  // Rotary 2 = 90 about Z through (5, 5, 100): (15, 5, 0) is (10, 0, -100)
  // from it and turns to (0, 10, -100).
  UpdateWorkOffsetFrame({15, 5, 0, 0, 90}, table, controller, frame, display);
  ExpectNear(frame.Origin, {5, 15, 0}, "C90");
  ExpectNear(Column(frame.Matrix, 0), {0, 1, 0}, "C90 X");
  ExpectNear(Column(frame.Matrix, 1), {-1, 0, 0}, "C90 Y");

  // A reversed second axis turns the other way.
  controller.Rotary[1].DirectionSign = -1;
  UpdateWorkOffsetFrame({15, 5, 0, 0, 90}, table, controller, frame, display);
  ExpectNear(frame.Origin, {5, -5, 0}, "C-90");
  ExpectNear(Column(frame.Matrix, 0), {0, -1, 0}, "C-90 X");
}

TEST(UpdateWorkOffsetFrame, MixMachinesTurnAboutTheTablePosition) {
  DisplayListTable display;
  MachineKinematics mix = Machine(kRotaryMix);
  mix.TablePosition = {5, 5, 0};
  WorkOffsetFrame frame;
  // (5, 0, 0) is (0, -5, 0) from the table position; 90 about Z gives (5, 0, 0).
  UpdateWorkOffsetFrame({5, 0, 0, 0, 90}, mix, ControllerDefinition{}, frame, display);
  EXPECT_EQ(frame.FrameRotated, 1);
  ExpectNear(frame.Origin, {10, 5, 0}, "MIX");
}

TEST(UpdateWorkOffsetFrame, TheInverseUndoesTheRotation) {
  DisplayListTable display;
  MachineKinematics table = Machine(kRotaryTable);
  WorkOffsetFrame frame;
  UpdateWorkOffsetFrame({1, 2, 3, 30, 50}, table, ControllerDefinition{}, frame, display);
  const Vec3 p{3, -4, 7};
  ExpectNear(MultiplyMatrixVector(frame.InverseMatrix, MultiplyMatrixVector(frame.Matrix, p)), p,
             "inverse");
}

}  // namespace
}  // namespace vestan
