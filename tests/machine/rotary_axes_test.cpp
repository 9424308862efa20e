#include "machine/rotary_axes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "machine/forward_kinematics.h"
#include "machine_world.h"

namespace vestan {
namespace {

using testing::MachineWorld;

const double kHalf = std::sqrt(0.5);

// A machine built in code: rotary type and the coordinate axis of each
// rotary axis, no inclination, signs +1.
MachineKinematics Machine(int32_t type, int axis1, int axis2) {
  MachineKinematics k;
  k.RotaryType = type;
  k.Rotary[0].Axis = axis1;
  k.Rotary[1].Axis = axis2;
  return k;
}

void ExpectNear(const Vec3& got, const Vec3& want, const std::string& what = "") {
  for (size_t i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], 1e-12) << what << " [" << i << "]";
}

TEST(Rotations, InclinedAxesTurnAboutTheirOwnLine) {
  double s, c;
  // Y tilted 45 degrees toward Z: u = (0, r, r), r = sqrt(1/2). Half a turn
  // takes Z to 2 (u.Z) u - Z = (0, 1, 0).
  GetAxisSinCos(180, 1, s, c);
  ExpectNear(RotateAboutAxisCentre({0, 0, 1}, kHalf, kHalf, s, c, 1, 2, 0), {0, 1, 0});
  ExpectNear(RotateAboutAxisCentre({0, kHalf, kHalf}, kHalf, kHalf, 0.3, std::sqrt(0.91), 1, 2, 0),
             {0, kHalf, kHalf}, "the axis itself");
  // X turned 45 degrees toward Y and tilted atan(1/sqrt 2) toward Z: the
  // diagonal (1, 1, 1); a third of a turn takes X to Y.
  const double tilt = std::atan(std::sqrt(0.5));
  GetAxisSinCos(120, 1, s, c);
  ExpectNear(
      RotateAboutAxis({1, 0, 0}, std::sin(tilt), std::cos(tilt), kHalf, kHalf, s, c, 0, 1, 2),
      {0, 1, 0});
  // An axis about Z has no partner axis for a vector: it turns as the basic
  // rotation does.
  GetAxisSinCos(90, 1, s, c);
  EXPECT_EQ(RotateAboutAxis({1, 2, 3}, 0.6, 0.8, 0.6, 0.8, s, c, 2, 0, 1), (Vec3{-2, 1, 3}));
  EXPECT_EQ(RotateInAxisPlane({1, 2, 3}, c, s, 2, 0, 1), (Vec3{-2, 1, 3}));
}

TEST(Rotations, InclinationAsTheMachineDefinitionGaveIt) {
  {
    // Angle and vector on the same axis: the angle, with its own tilt.
    MachineWorld world("ROTARY AXIS1=X\nAXIS1 ANGLE=30\nAXIS1 VECTOR=0,1,1\n");
    const RotaryAxisFrame frame = DescribeRotaryAxis(world.Kinematics(), 0);
    EXPECT_EQ(frame.Inclination, RotaryInclination::kAngle);
    EXPECT_DOUBLE_EQ(frame.TiltCos, std::sqrt(3.0) / 2);
    EXPECT_DOUBLE_EQ(frame.TiltSin, 0.5);
  }
  {
    // Two angles: rotary 1's only.
    MachineWorld world("ROTARY AXIS1=X\nAXIS1 ANGLE=30\nROTARY AXIS2=Y\nAXIS2 ANGLE=45\n");
    EXPECT_EQ(DescribeRotaryAxis(world.Kinematics(), 0).Inclination, RotaryInclination::kAngle);
    EXPECT_EQ(DescribeRotaryAxis(world.Kinematics(), 1).Inclination, RotaryInclination::kNone);
  }
  // A vector on an axis about Z, as a record built by hand might carry it:
  // no inclination, never the partner axis -1.
  MachineKinematics k = Machine(kRotaryHead, 2, 2);
  k.Rotary[1].VectorGiven = 1;
  k.Rotary[1].Tilted = 1;
  k.Rotary[1].TiltCos = 0.8;
  k.Rotary[1].TiltSin = 0.6;
  EXPECT_EQ(DescribeRotaryAxis(k, 1).Inclination, RotaryInclination::kNone);
  const ControllerDefinition controller;
  EXPECT_FALSE(AnyRotaryAxisInclined(k));
  ExpectNear(RotatePointThroughRotaryAxes(k, controller, {0, 90}, {1, 0, 5}), {0, 1, 5});
  // A record naming no coordinate axis turns nothing.
  k.Rotary[0].Axis = 7;
  EXPECT_EQ(DescribeRotaryAxis(k, 0).Axis, -1);
  EXPECT_EQ(RotatePointThroughRotaryAxes(k, controller, {90, 0}, {1, 2, 3}), (Vec3{1, 2, 3}));
}

TEST(ForwardKinematics, HeadAtQuarterTurnsIsExact) {
  const MachineKinematics k = Machine(kRotaryHead, 2, 0);
  const ControllerDefinition c;
  Vec3 tip, axis;
  // R1 about Z by 90 after R2 about X by 90: (0, 0, 1) -> (0, -1, 0) -> (1, 0, 0).
  ComputeToolTipAndAxis(k, c, 0.0, {0, 0, 0, 90, 90}, tip, axis);
  EXPECT_EQ(axis, (Vec3{1, 0, 0}));
  EXPECT_EQ(RotatePointThroughRotaryAxes2(k, c, {90, 90}), (Vec3{1, 0, 0}));
}

TEST(ForwardKinematics, TipsWorkedOutByHand) {
  const ControllerDefinition plain;
  ControllerDefinition reversedA;
  reversedA.Rotary[1].DirectionSign = -1;
  struct Case {
    const char* name;
    MachineKinematics k;
    const ControllerDefinition* controller;
    AxisPosition machine;
    double length;
    Vec3 tip, axis;
  };
  MachineKinematics head = Machine(kRotaryHead, 2, 0);
  head.HeadPosition = {0, 0, 50};
  head.HeadOffset = {10, 0, 0};
  MachineKinematics table = Machine(kRotaryTable, 0, 2);
  table.TablePosition = {0, 0, -100};
  table.TableOffset = {10, 0, 0};
  MachineKinematics none = Machine(kRotaryNone, 0, 2);
  none.ToolDirection = {0, -1, 0};
  none.ToolDirectionInUse = 1;
  const Case cases[] = {
      // A 90: the tool below the spindle swings to +Y, pointing back at it.
      {"HEAD A 90",
       Machine(kRotaryHead, 2, 0),
       &plain,
       {0, 0, 0, 0, 90},
       100,
       {0, 100, 0},
       {0, -1, 0}},
      {"HEAD A -90 by a reversed 90",
       Machine(kRotaryHead, 2, 0),
       &reversedA,
       {0, 0, 0, 0, 90},
       100,
       {0, -100, 0},
       {0, 1, 0}},
      // (0, 0, -150) less the head offset (10, 0, 0), turned 90 about Z:
      // (0, -10, -150), from (1, 2, 3).
      {"HEAD C 90 with head position and offset",
       head,
       &plain,
       {1, 2, 3, 90, 0},
       100,
       {1, -8, -147},
       {0, 0, 1}},
      {"TABLE A 90",
       Machine(kRotaryTable, 0, 2),
       &plain,
       {0, 0, 0, 90, 0},
       100,
       {0, 100, 0},
       {0, -1, 0}},
      // P = M - TP = (20, 0, 100); less the offset (10, 0, 0), turned 90
      // about Z to (0, 10, 100), the offset back: (10, 10, 100); plus TP.
      {"TABLE C 90 about the second table's centre",
       table,
       &plain,
       {20, 0, 0, 0, 90},
       0,
       {10, 10, 0},
       {0, 0, 1}},
      // The head turns the tip to (-100, 0, 0), the table to (0, -100, 0).
      {"MIX B 90, C 90",
       Machine(kRotaryMix, 1, 2),
       &plain,
       {0, 0, 0, 90, 90},
       100,
       {0, -100, 0},
       {0, 1, 0}},
      {"type 0 at 0, 0", none, &plain, {4, 5, 6, 0, 0}, 30, {4, 5, -24}, {0, -1, 0}},
  };
  for (const Case& c : cases) {
    Vec3 tip, axis;
    ComputeToolTipAndAxis(c.k, *c.controller, c.length, c.machine, tip, axis);
    ExpectNear(tip, c.tip, c.name);
    EXPECT_EQ(axis, c.axis) << c.name;
  }
}

TEST(ForwardKinematics, SmallAxisComponentsAreSnapped) {
  // sin(1e-8 degrees) is below 1e-9: the axis is Z exactly.
  const MachineKinematics k = Machine(kRotaryHead, 2, 0);
  EXPECT_EQ(RotatePointThroughRotaryAxes2(k, ControllerDefinition{}, {0, 1e-8}), (Vec3{0, 0, 1}));
  Vec3 tip, axis;
  ComputeToolTipAndAxis(k, ControllerDefinition{}, 0, {0, 0, 0, 0, 1e-8}, tip, axis);
  EXPECT_EQ(axis, (Vec3{0, 0, 1}));
}

TEST(ForwardKinematics, CorrectRotaryCentreTurnsWithTheTable) {
  const ControllerDefinition c;
  MachineKinematics table = Machine(kRotaryTable, 0, 2);
  table.TablePosition = {0, 0, -100};
  table.TableOffset = {10, 0, 0};
  // (20, 0, -100) - TP - TO' = (10, 0, 0); C 90: (0, 10, 0); + TO': (10, 10,
  // 0); A 0; + TP.
  Vec3 point{20, 0, -100};
  CorrectRotaryCentre(table, ComputeRotarySinCos(c, {0, 90}), point);
  ExpectNear(point, {10, 10, -100});

  MachineKinematics mix = Machine(kRotaryMix, 1, 2);
  mix.TablePosition = {5, 0, 40};
  point = {6, 0, 7};
  CorrectRotaryCentre(mix, ComputeRotarySinCos(c, {30, 90}), point);
  ExpectNear(point, {5, 1, 7}, "MIX: C only, about the table position");

  const MachineKinematics head = Machine(kRotaryHead, 2, 0);
  point = {6, 0, 7};
  CorrectRotaryCentre(head, ComputeRotarySinCos(c, {30, 90}), point);
  EXPECT_EQ(point, (Vec3{6, 0, 7}));
}

TEST(Rotations, CachedSinesTurnAsTheAnglesDo) {
  MachineWorld world("ROTARY TYPE=TABLE\nROTARY AXIS1=Y\nAXIS1 ANGLE=30\nROTARY AXIS2=Z\n",
                     "ROTARY2 DIRECTION=REVERSE\n");
  const RotaryAngles angles{25, -140};
  const RotarySinCos sc = ComputeRotarySinCos(world.Controller(), angles);
  const Vec3 p{3, -4, 5};
  EXPECT_EQ(RotateThroughRotaryAxesCached(world.Kinematics(), sc, p),
            RotatePointThroughRotaryAxes(world.Kinematics(), world.Controller(), angles, p));
  EXPECT_EQ(RotateThroughFirstRotaryAxisCached(world.Kinematics(), sc, p),
            RotatePointThroughRotaryAxes(world.Kinematics(), world.Controller(), {25, 0}, p));
}

}  // namespace
}  // namespace vestan
