#include "machine/rotary_angles.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace vestan {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double Rad(double degrees) { return degrees * kRadiansPerDegree; }
double Deg(double radians) { return radians * kDegreesPerRadian; }

// The turn-by-turn loops that the bounded reductions must match bit for bit
// wherever the loops end.
int32_t LoopChooseNear(double previous, int32_t check, double minimum, double maximum,
                       double& angle) {
  const double p = previous * kRadiansPerDegree;
  double a = angle;
  if (a - p > kPi)
    while (a - p > kPi) a -= kTwoPi;
  else
    while (p - a > kPi) a += kTwoPi;
  if (check != 0) {
    if (a * kDegreesPerRadian < minimum) {
      for (int i = 0; i < 1000; ++i) {
        a += kTwoPi;
        if (a * kDegreesPerRadian > maximum) return 0;
        if (a * kDegreesPerRadian >= minimum) break;
      }
    } else if (a * kDegreesPerRadian > maximum) {
      for (int i = 0; i < 1000; ++i) {
        a -= kTwoPi;
        if (a * kDegreesPerRadian < minimum) return 0;
        if (a * kDegreesPerRadian <= maximum) break;
      }
    }
  }
  angle = a;
  return 1;
}

void LoopWrap360(double& angle, double minimum, double maximum) {
  if (angle < minimum)
    while (angle < minimum) angle += 360.0;
  else if (angle > maximum)
    while (angle > maximum) angle -= 360.0;
}

uint64_t Bits(double x) { return std::bit_cast<uint64_t>(x); }

TEST(ChooseRotaryAngleNear, NearThePreviousAngleAndInTheStroke) {
  struct Case {
    double previous;
    int32_t check;
    double minimum, maximum;
    double candidate;  // degrees
    int32_t result;
    double expected;  // degrees
  } cases[] = {
      {350, 0, 0, 0, -5, 1, 355},      // -5 + 360
      {350, 1, -180, 180, -5, 1, -5},  // 355 is above 180: back one turn
      {0, 1, 0, 90, -5, 0, -5},        // 355 jumps past 90
      {0, 1, 400, 500, 10, 0, 10},     // 370, then 730 past 500
      {0, 1, 700, 800, 10, 1, 730},    // two turns up
      {-400, 0, 0, 0, 170, 1, -550},   // within half a turn of -400
      {0, 1, 1e9, 2e9, 0, 1, 360000},  // 1000 turns, then taken as it is
  };
  for (const Case& c : cases) {
    double angle = Rad(c.candidate);
    EXPECT_EQ(ChooseRotaryAngleNear(c.previous, c.check, c.minimum, c.maximum, angle), c.result)
        << c.previous << " " << c.candidate;
    EXPECT_NEAR(Deg(angle), c.expected, 1e-6) << c.previous << " " << c.candidate;
  }
}

TEST(ChooseRotaryAngleNear, SameBitsAsTheLoopForEveryAngleAProgramReaches) {
  const double previous[] = {-7200, -725.5, -350, -0.3, 0, 10, 179.9, 359, 1000, 7200};
  const double angles[] = {-40, -7.1, -3.2, -kPi, -1e-3, 0, 0.5, kPi, 3.15, 6.3, 12.56, 40};
  for (const double p : previous)
    for (const double a : angles)
      for (const int32_t check : {0, 1}) {
        double fast = a, loop = a;
        const int32_t fastResult = ChooseRotaryAngleNear(p, check, -200, 300, fast);
        const int32_t loopResult = LoopChooseNear(p, check, -200, 300, loop);
        EXPECT_EQ(fastResult, loopResult) << p << " " << a;
        EXPECT_EQ(Bits(fast), Bits(loop)) << p << " " << a << " " << check;
      }
}

TEST(ChooseRotaryAngleNear, FarAndNonFiniteAnglesEndAtOnce) {
  // A million turns away: reduced in one step, congruent, within half a turn.
  double angle = 1e6 * kTwoPi + 0.25;
  ASSERT_EQ(ChooseRotaryAngleNear(0, 0, 0, 0, angle), 1);
  EXPECT_NEAR(angle, 0.25, 1e-6);
  angle = 1e300;
  ASSERT_EQ(ChooseRotaryAngleNear(90, 0, 0, 0, angle), 1);
  EXPECT_LE(std::fabs(angle - Rad(90)), kPi);
  for (const double bad : {kInf, -kInf, kNaN}) {
    double a = bad;
    EXPECT_EQ(ChooseRotaryAngleNear(0, 0, 0, 0, a), 0);
    double b = 1.0;
    EXPECT_EQ(ChooseRotaryAngleNear(bad, 0, 0, 0, b), 0);
    EXPECT_EQ(b, 1.0);
  }
}

TEST(WrapAngle360, WholeTurnsIntoTheRange) {
  const double angles[] = {-9000.5, -725, -360, -0.1, 0, 359.9, 360, 720.25, 9000.5, 20000.75};
  for (const double a : angles)
    for (const auto& range : {std::array<double, 2>{0, 360}, std::array<double, 2>{-180, 180},
                              std::array<double, 2>{-99999, 30}}) {
      double fast = a, loop = a;
      EXPECT_EQ(WrapAngle360(fast, range[0], range[1]), 1);
      LoopWrap360(loop, range[0], range[1]);
      EXPECT_EQ(Bits(fast), Bits(loop)) << a << " in " << range[0] << ".." << range[1];
    }
  // Far angles in one step: 1e6 - 2777 * 360 = 280; -1e6 + 2778 * 360 = 80.
  double a = 1e6;
  WrapAngle360(a, 0, 360);
  EXPECT_EQ(a, 280.0);
  a = -1e6;
  WrapAngle360(a, 0, 360);
  EXPECT_EQ(a, 80.0);
  a = 1e300;
  WrapAngle360(a, 0, 360);
  EXPECT_GE(a, 0.0);
  EXPECT_LE(a, 360.0);
  for (const double bad : {kInf, -kInf, kNaN}) {
    a = bad;
    EXPECT_EQ(WrapAngle360(a, 0, 360), 0);
    EXPECT_EQ(Bits(a), Bits(bad));
  }
}

TEST(GetRotaryAngleDelta, ShortestWayRound) {
  RotaryModalInputs plain, heidenhain, incremental;
  heidenhain.Heidenhain = 1;
  incremental.Incremental = 1;
  struct Case {
    const RotaryModalInputs* modal;
    double from, to, delta;
  } cases[] = {
      {&plain, 350, 10, 20},         {&plain, 10, 350, -20},        {&plain, 0, 180, 180},
      {&plain, 360, 180, 180},       {&heidenhain, 360, 180, -180},  // 0 -> 180 going down
      {&heidenhain, 0, 180, 180},    {&heidenhain, 0, -180, -180},   // -180 reduces to 180
      {&plain, -360, 10, 10},  // a negative whole turn reduces to 360
      {&plain, 180, 0, -180},  // 0 - 180: half a turn down stays -180
      {&incremental, 350, 10, -340},
  };
  for (const Case& c : cases)
    EXPECT_EQ(GetRotaryAngleDelta(*c.modal, c.from, c.to), c.delta) << c.from << " " << c.to;
}

TEST(WrapRotaryAngleIntoStroke, OneTurnAtMost) {
  StrokeLimits limits;
  limits.Enabled[3] = 1;
  limits.Minimum[3] = -30;
  limits.Maximum[3] = 200;
  struct Case {
    double a1;
    int32_t result;
    double wrapped;
  } cases[] = {{190, 1, 190}, {-170, 1, 190}, {250, 0, 250}, {-20, 1, -20}};
  for (const Case& c : cases) {
    double a1 = Rad(c.a1), a2 = Rad(-1000);  // rotary 2 has no stroke
    EXPECT_EQ(WrapRotaryAngleIntoStroke(limits, a1, a2), c.result) << c.a1;
    if (c.result == 1) {
      EXPECT_NEAR(Deg(a1), c.wrapped, 1e-9) << c.a1;
    }
    EXPECT_EQ(a2, Rad(-1000));
  }
}

TEST(IsRotarySignAllowed, OnlyAxesAboutXOrY) {
  MachineKinematics k;
  k.Rotary[0].Axis = 2;  // C
  k.Rotary[1].Axis = 0;  // A
  EXPECT_EQ(IsRotarySignAllowed(k, 1, -30, 20), 1);
  EXPECT_EQ(IsRotarySignAllowed(k, 1, 30, -20), 0);
  EXPECT_EQ(IsRotarySignAllowed(k, -1, 30, 20), 0);
  EXPECT_EQ(IsRotarySignAllowed(k, -1, 10, -5), 1);
  EXPECT_EQ(IsRotarySignAllowed(k, 0, -10, -5), 1);
}

TEST(GetTiltRotationAngle, ByRotationOrderCode) {
  RotaryModalInputs modal;
  modal.SwivelAngles = {11, 22, 33};
  const std::pair<int32_t, double> cases[] = {{27, 11}, {167, 11}, {30, 22}, {182, 22},
                                              {57, 33}, {173, 33}, {99, -1}};
  for (const auto& [code, angle] : cases) {
    modal.SwivelCode = code;
    EXPECT_EQ(GetTiltRotationAngle(modal, -1), angle) << code;
  }
}

TEST(CheckOverStroke, BeyondTheToleranceOfEnabledAxes) {
  StrokeLimits limits;
  limits.Enabled = {1, 0, 0, 0, 1};
  limits.Minimum = {-100, 0, 0, 0, -10};
  limits.Maximum = {100, 0, 0, 0, 10};
  ControllerDefinition controller;
  controller.Rotary[1].Letter = 'C';
  char letter = ' ';
  EXPECT_EQ(CheckOverStroke(limits, controller, {100.000005, 1e9, 0, 0, 0}, letter), -1);
  EXPECT_EQ(letter, ' ');
  EXPECT_EQ(CheckOverStroke(limits, controller, {0, 0, 0, 0, -10.00002}, letter), 4);
  EXPECT_EQ(letter, 'C');
  EXPECT_EQ(CheckOverStroke(limits, controller, {100.00002, 0, 0, 0, -10.00002}, letter), 0);
  EXPECT_EQ(letter, 'X');
}

}  // namespace
}  // namespace vestan
