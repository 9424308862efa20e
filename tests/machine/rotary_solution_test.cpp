#include "machine/rotary_solution.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "machine_world.h"

namespace vestan {
namespace {

using testing::MachineWorld;

// C about Z carrying A about X, no strokes.
constexpr const char* kHeadCA = "ROTARY TYPE=HEAD\nROTARY AXIS1=Z\nROTARY AXIS2=X\n";

void ExpectAngles(const RotaryAngles& got, const RotaryAngles& want, const std::string& what) {
  EXPECT_NEAR(got[0], want[0], 1e-9) << what;
  EXPECT_NEAR(got[1], want[1], 1e-9) << what;
}

TEST(RotarySolution, ToolAlongTheOuterAxisKeepsTheOuterAngle) {
  struct Case {
    const char* name;
    const char* machine;
    RotaryAngles previous;
    int32_t heidenhain, siemens, tilted, swivelCode;
    RotaryAngles expected;
  } cases[] = {
      {"HEAD: the previous C", kHeadCA, {37, 12}, 0, 0, 0, 0, {37, 0}},
      {"HEIDENHAIN with a tilted plane: SPC", kHeadCA, {37, 12}, 1, 0, 1, 0, {15, 0}},
      {"HEIDENHAIN without one", kHeadCA, {37, 12}, 1, 0, 0, 0, {37, 0}},
      {"SIEMENS: the swivel cycle's first angle", kHeadCA, {37, 12}, 0, 1, 1, 27, {25, 0}},
      {"SIEMENS with an unlisted code: the previous C", kHeadCA, {37, 12}, 0, 1, 1, 99, {37, 0}},
      {"TABLE with A under C: the previous C",
       "ROTARY TYPE=TABLE\nROTARY AXIS1=X\nROTARY AXIS2=Z\n",
       {12, 37},
       0,
       0,
       0,
       0,
       {0, 37}},
      {"MIX with B under C: C 0",
       "ROTARY TYPE=MIX\nROTARY AXIS1=Y\nROTARY AXIS2=Z\n",
       {12, 37},
       0,
       0,
       0,
       0,
       {0, 0}},
  };
  for (const Case& c : cases) {
    MachineWorld world(c.machine);
    world.Modal.Heidenhain = c.heidenhain;
    world.Modal.Siemens = c.siemens;
    world.Modal.TiltedPlaneActive = c.tilted;
    world.Modal.SpcAngle = 15;
    world.Modal.SwivelCode = c.swivelCode;
    world.Modal.SwivelAngles = {25, 26, 27};
    ExpectAngles(ChooseRotaryAnglesForToolAxis(world.Solver(), {0, 0, 2}, c.previous, {}),
                 c.expected, c.name);
    EXPECT_EQ(world.Context.PreviousAcceptCount, 1) << c.name;
  }
}

TEST(RotarySolution, TieBreaksBetweenTwoSolutions) {
  // Along +X a C-A head has (-90, -90) and (90, 90).
  struct Case {
    const char* name;
    RotaryAngles previous;
    RotaryAngles expected;
  } cases[] = {
      {"all equal: the first", {0, 0}, {-90, -90}},
      {"equal C moves: the smaller A move", {0, 10}, {90, 90}},
      // -90 comes to 270 beside 180: C moves 90 either way, A too.
      {"equal moves: the smaller C modulo 360", {180, 0}, {90, 90}},
      {"then the smaller A modulo 360", {0, 180}, {90, 90}},
  };
  for (const Case& c : cases) {
    MachineWorld world(kHeadCA);
    ExpectAngles(ChooseRotaryAnglesForToolAxis(world.Solver(), {1, 0, 0}, c.previous, {}),
                 c.expected, c.name);
    EXPECT_EQ(world.Context.PreviousAcceptCount, 2) << c.name;
  }
}

TEST(RotarySolution, DecisionOrderAndShortestRoute) {
  {
    // From (30, -40) the first solution keeps C, the second keeps A.
    MachineWorld world(kHeadCA);
    const Vec3 axis =
        RotatePointThroughRotaryAxes2(world.Kinematics(), world.Controller(), {30, 40});
    ExpectAngles(ChooseRotaryAnglesForToolAxis(world.Solver(), axis, {30, -40}, {}), {30, 40},
                 "HEAD: C first");
    world.Controller().AngleDecision = 1;
    ExpectAngles(ChooseRotaryAnglesForToolAxis(world.Solver(), axis, {30, -40}, {}), {-150, -40},
                 "HEAD, FANUC-2: A first");
  }
  {
    MachineWorld world("ROTARY TYPE=MIX\nROTARY AXIS1=Y\nROTARY AXIS2=Z\n");
    const Vec3 axis =
        RotatePointThroughRotaryAxes2(world.Kinematics(), world.Controller(), {30, 40});
    ExpectAngles(ChooseRotaryAnglesForToolAxis(world.Solver(), axis, {-30, 40}, {}), {30, 40},
                 "MIX: C first");
    world.Controller().AngleDecision = 1;
    ExpectAngles(ChooseRotaryAnglesForToolAxis(world.Solver(), axis, {-30, 40}, {}), {-30, -140},
                 "MIX, FANUC-2: B first");
  }
  {
    // C kept within 90..400 from 10: 5 goes up a turn to 365 (355 away, 5 the
    // short way), -175 comes to 185 (175 away).
    MachineWorld world(kHeadCA);
    const Vec3 axis =
        RotatePointThroughRotaryAxes2(world.Kinematics(), world.Controller(), {5, 30});
    RotaryRanges ranges;
    ranges.Enabled = {1, 0};
    ranges.Minimum = {90, 0};
    ranges.Maximum = {400, 0};
    ExpectAngles(ChooseRotaryAnglesForToolAxis(world.Solver(), axis, {10, 0}, ranges), {185, -30},
                 "plain moves");
    world.Modal.ShortestRoute[0] = 1;
    ExpectAngles(ChooseRotaryAnglesForToolAxis(world.Solver(), axis, {10, 0}, ranges), {365, 30},
                 "shortest route");
  }
}

TEST(RotarySolution, SolutionSignAndStrokes) {
  MachineWorld world(kHeadCA);
  const Vec3 axis = RotatePointThroughRotaryAxes2(world.Kinematics(), world.Controller(), {30, 40});
  const RotaryAngles previous{-150, -40};
  ExpectAngles(ChooseRotaryAnglesForToolAxis(world.Solver(), axis, previous, {}), {-150, -40},
               "nearest");
  world.Modal.SolutionSign = 1;
  ExpectAngles(ChooseRotaryAnglesForToolAxis(world.Solver(), axis, previous, {}), {-150, -40},
               "SEQ+ outside HEIDENHAIN");
  world.Modal.Heidenhain = 1;
  ExpectAngles(ChooseRotaryAnglesForToolAxis(world.Solver(), axis, previous, {}), {30, 40},
               "SEQ+ drops the negative A");
  EXPECT_EQ(world.Context.PreviousAcceptCount, 1);
  world.Modal.SolutionSign = -1;
  ExpectAngles(ChooseRotaryAnglesForToolAxis(world.Solver(), axis, {30, 40}, {}), {-150, -40},
               "SEQ- drops the positive A");

  // A within 50..60 holds neither 40 nor -40.
  world.Modal = {};
  RotaryRanges ranges;
  ranges.Enabled = {0, 1};
  ranges.Minimum = {0, 50};
  ranges.Maximum = {0, 60};
  ExpectAngles(ChooseRotaryAnglesForToolAxis(world.Solver(), axis, previous, ranges), {0, 0},
               "no solution in the stroke");
  EXPECT_EQ(world.Context.PreviousAcceptCount, 0);
}

TEST(RotarySolution, LongMoveWarning) {
  MachineWorld world(kHeadCA);
  std::vector<std::array<double, 4>> warnings;
  const LongRotaryMoveWarning warn = [&](double p1, double p2, double n1, double n2) {
    warnings.push_back({p1, p2, n1, n2});
  };
  const auto axisAt = [&](RotaryAngles angles) {
    return RotatePointThroughRotaryAxes2(world.Kinematics(), world.Controller(), angles);
  };
  RotaryRanges ranges;  // A within -10..100
  ranges.Enabled = {0, 1};
  ranges.Minimum = {0, -10};
  ranges.Maximum = {0, 100};
  const auto run = [&](const RotaryModalInputs& modal, bool inclinedSolver) {
    world.Modal = modal;
    warnings.clear();
    // A 5 and -5 both fit: two solutions.
    ChooseRotaryAnglesForToolAxis(world.Solver(warn), axisAt({30, 5}), {30, 5}, ranges);
    EXPECT_EQ(world.Context.PreviousAcceptCount, 2);
    // Only (-140, 50) fits (A -50 does not): C turns 170 degrees.
    const Vec3 axis = axisAt({-140, 50});
    const RotaryAngles got =
        inclinedSolver ? SolveRotaryAnglesWithCheck(world.Solver(warn), axis, {30, 5}, ranges)
                       : ChooseRotaryAnglesForToolAxis(world.Solver(warn), axis, {30, 5}, ranges);
    ExpectAngles(got, {-140, 50}, "the one solution");
    EXPECT_EQ(world.Context.PreviousAcceptCount, 1);
    return warnings;
  };
  RotaryModalInputs cutting;
  cutting.MotionMode = 1;
  cutting.ToolAxisMode = 2;
  cutting.CuttingMode = 1;
  // The previous pair and the new one.
  const auto warnedOnce = [](const std::vector<std::array<double, 4>>& got) {
    const std::array<double, 4> want{30, 5, -140, 50};
    if (got.size() != 1) return false;
    for (size_t i = 0; i < 4; ++i)
      if (std::fabs(got[0][i] - want[i]) > 1e-9) return false;
    return true;
  };
  EXPECT_TRUE(warnedOnce(run(cutting, false)));

  RotaryModalInputs rapid = cutting;
  rapid.MotionMode = 0;
  EXPECT_TRUE(run(rapid, false).empty());
  RotaryModalInputs angles = cutting;
  angles.ToolAxisMode = 1;
  EXPECT_TRUE(run(angles, false).empty());
  RotaryModalInputs idle = cutting;
  idle.CuttingMode = 0;
  EXPECT_TRUE(run(idle, false).empty());
  EXPECT_TRUE(warnedOnce(run(idle, true))) << "the inclined solver warns whether cutting or not";
  ranges.Enabled = {0, 0};
  ranges.Minimum = {0, 0};
  // Without strokes both solutions stay: no warning.
  world.Modal = cutting;
  world.Context.PreviousAcceptCount = 2;
  warnings.clear();
  ChooseRotaryAnglesForToolAxis(world.Solver(warn), axisAt({-140, 50}), {30, 5}, ranges);
  EXPECT_TRUE(warnings.empty());
}

TEST(RotarySolution, DegenerateLayouts) {
  {
    // Both axes about Z: nothing to solve.
    MachineWorld world("ROTARY TYPE=HEAD\nROTARY AXIS1=Z\nROTARY AXIS2=Z\n");
    ExpectAngles(ChooseRotaryAnglesForToolAxis(world.Solver(), {1, 0, 1}, {10, 20}, {}), {0, 0},
                 "same axes");
  }
  {
    // A table with C under A: C does not move a tool along Z, so it stays
    // and A tilts.
    MachineWorld world("ROTARY TYPE=TABLE\nROTARY AXIS1=Z\nROTARY AXIS2=X\n");
    const Vec3 axis =
        RotatePointThroughRotaryAxes2(world.Kinematics(), world.Controller(), {25, 35});
    ExpectAngles(ChooseRotaryAnglesForToolAxis(world.Solver(), axis, {25, 0}, {}), {25, 35},
                 "inner axis about Z");
  }
}

TEST(RotarySolution, AnAxisOutOfReachHasNoSolution) {
  {
    // A head tilted 45 degrees reaches no axis below the horizon; the
    // horizon itself it reaches.
    MachineWorld world("ROTARY TYPE=HEAD\nROTARY AXIS1=Z\nROTARY AXIS2=Y\nAXIS2 ANGLE=45\n");
    ExpectAngles(ChooseRotaryAnglesForToolAxis(world.Solver(), {1, 0, -1}, {10, 20}, {}), {0, 0},
                 "below the horizon");
    const RotaryAngles got = ChooseRotaryAnglesForToolAxis(world.Solver(), {1, 0, 0}, {0, 0}, {});
    const Vec3 axis = RotatePointThroughRotaryAxes2(world.Kinematics(), world.Controller(), got);
    EXPECT_NEAR(axis[0], 1, 1e-9);
    EXPECT_NEAR(axis[2], 0, 1e-9);
  }
  {
    // B tilted 30 degrees from Y toward Z turns Z on a cone about (0, cos 30,
    // sin 30) of half-angle 60 degrees: Z components down to cos 120 = -0.5.
    MachineWorld world("ROTARY TYPE=TABLE\nROTARY AXIS1=Y\nAXIS1 ANGLE=30\nROTARY AXIS2=Z\n");
    ExpectAngles(ChooseRotaryAnglesForToolAxis(world.Solver(), {0, 0, -1}, {10, 20}, {}), {0, 0},
                 "beyond the cone");
    const double s = std::sqrt(0.75);
    const RotaryAngles got =
        ChooseRotaryAnglesForToolAxis(world.Solver(), {s, 0, -0.5}, {0, 0}, {});
    const Vec3 axis = RotatePointThroughRotaryAxes2(world.Kinematics(), world.Controller(), got);
    EXPECT_NEAR(axis[0], s, 1e-9);
    EXPECT_NEAR(axis[2], -0.5, 1e-9);
  }
}

TEST(SolveRotaryAnglesFromVector, SmallestAnglesThatTheStrokesHold) {
  MachineWorld world(kHeadCA);
  const Vec3 axis = RotatePointThroughRotaryAxes2(world.Kinematics(), world.Controller(), {30, 40});
  const auto solve = [&](const Vec3& v) {
    return SolveRotaryAnglesFromVector(world.Kinematics(), world.Controller(), world.Modal,
                                       world.Limits(), v);
  };
  ExpectAngles(solve({0, 0, 1}), {0, 0}, "along Z: C 0 rather than -180");
  ExpectAngles(solve(axis), {30, 40}, "30 + 40 below 150 + 40");
  ExpectAngles(solve({1, 0, 0}), {-90, -90}, "a tie: the first");
  StrokeLimits& limits = world.Limits();
  limits.Enabled[3] = 1;  // C within 100..300: 30 fails, -150 + 360 fits
  limits.Minimum[3] = 100;
  limits.Maximum[3] = 300;
  ExpectAngles(solve(axis), {210, -40}, "turned into the C stroke");
  world.Modal.Heidenhain = 1;
  world.Modal.SolutionSign = 1;
  ExpectAngles(solve(axis), {0, 0}, "the sign drops the one that fits");
}

}  // namespace
}  // namespace vestan
