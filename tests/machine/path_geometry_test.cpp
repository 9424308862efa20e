#include "machine/path_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace vestan {
namespace {

const double kHalf = std::sqrt(0.5);

void ExpectNear(const Vec3& got, const Vec3& want, const std::string& what) {
  for (size_t i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], 1e-12) << what << " [" << i << "]";
}

TEST(ToPolarCoordinates, RadiusAndAngleByQuadrant) {
  const double a = std::atan(4.0 / 3.0) * kDegreesPerRadian;
  struct Case {
    double x, y, radius, angle;
  } cases[] = {{-5, 0, 5, 180},     {5, 0, 5, 0},        {0, 0, 0, 0},
               {0, 2, 2, 90},       {0, -2, 2, 270},     {3, 4, 5, a},
               {3, -4, 5, 360 - a}, {-3, 4, 5, 180 - a}, {-3, -4, 5, 180 + a}};
  PolarInputs polar;
  polar.AngleOffset = 10;
  for (const Case& c : cases) {
    const AxisPosition out = ToPolarCoordinates({c.x, c.y, 7, 8, 99}, 1, polar);
    EXPECT_NEAR(out[0], c.radius, 1e-12) << c.x << " " << c.y;
    EXPECT_NEAR(out[4], c.angle + 10, 1e-12) << c.x << " " << c.y;
    EXPECT_EQ(out[1], 0.0);
    EXPECT_EQ(out[2], 7.0);
    EXPECT_EQ(out[3], 8.0);
  }
  polar.LengthVector = {1, 2, 3};
  EXPECT_EQ(ToPolarCoordinates({-5, 0, 7, 8, 0}, 1, polar)[0], 5.0) << "vector not in use";
  polar.LengthVectorInUse = 1;
  const AxisPosition withLength = ToPolarCoordinates({-5, 0, 7, 8, 0}, 1, polar);
  EXPECT_EQ(withLength[0], 6.0);
  EXPECT_EQ(withLength[2], 10.0);
  EXPECT_EQ(ToPolarCoordinates({-5, 0, 7, 8, 0}, 0, polar)[2], 7.0) << "length not asked for";
}

TEST(ComputeOffsetPoint, AlongTheUnitCombination) {
  // (3, 4, 0) / 5 * 2 + 5 * Z from (1, 1, 1).
  Vec3 out{0, 0, 0};
  ComputeOffsetPoint({1, 1, 1}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, 2, 3, 4, 5, out);
  ExpectNear(out, {2.2, 2.6, 6}, "offset");
  out = {9, 9, 9};
  ComputeOffsetPoint({1, 1, 1}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, 2, 0, 0, 5, out);
  EXPECT_EQ(out, (Vec3{9, 9, 9})) << "a zero combination leaves the output";
}

TEST(TurnVectorByPathAngle, QuarterTurnsInThePathFrame) {
  // The frame: tangent, side, and their cross product as normal.
  struct Case {
    const char* name;
    Vec3 tangent, side, vector;
    int32_t mode;
    Vec3 expected;
  } cases[] = {
      {"mode 0: the normal onto the tangent", {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, 0, {1, 0, 0}},
      {"mode 2: onto minus the tangent", {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, 2, {-1, 0, 0}},
      {"mode 1: onto minus the side", {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, 1, {0, -1, 0}},
      {"mode -1: onto the side", {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, -1, {0, 1, 0}},
      {"another mode leaves it", {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, 5, {0, 0, 1}},
      {"a tangent along Y", {0, 1, 0}, {-1, 0, 0}, {0, 0, 1}, 0, {0, 1, 0}},
      {"a rising tangent", {kHalf, 0, kHalf}, {0, 1, 0}, {-kHalf, 0, kHalf}, 0, {kHalf, 0, kHalf}},
  };
  for (const Case& c : cases) {
    Vec3 v = c.vector;
    TurnVectorByPathAngle(c.tangent, c.side, kHalfPi, c.mode, v);
    ExpectNear(v, c.expected, c.name);
  }
}

TEST(ComputeInterpolationPoint, VectorStepsAndThePathAngle) {
  RotaryModalInputs modal;
  ToolVectorSteps move;
  move.StartVector = {0, 0, 1};
  move.VectorStep = {0.1, 0, 0};
  Vec3 tangent{1, 0, 0}, vector;
  EXPECT_EQ(ComputeInterpolationPoint(modal, move, {0, 0, 0}, 3, tangent, vector), 0.0);
  ExpectNear(vector, {0.3, 0, 1}, "no path angle: the stepped vector");
  EXPECT_EQ(tangent, (Vec3{1, 0, 0}));

  // Clockwise at (10, 0) about the origin the tangent is -Y; the side is
  // tangent x (vector x tangent) = Z and the normal -X: mode 1 by 90 degrees
  // turns the vector from the side onto the normal.
  modal.MotionMode = 2;
  modal.PathAngles = {kHalfPi / 2, kHalfPi, kHalfPi / 4, 1};
  move.VectorStep = {0, 0, 0};
  EXPECT_DOUBLE_EQ(ComputeInterpolationPoint(modal, move, {10, 0, 5}, 2, tangent, vector), kHalfPi);
  ExpectNear(tangent, {0, -1, 0}, "clockwise tangent");
  ExpectNear(vector, {-1, 0, 0}, "turned vector");
  modal.MotionMode = 3;
  ComputeInterpolationPoint(modal, move, {10, 0, 5}, 2, tangent, vector);
  ExpectNear(tangent, {0, 1, 0}, "counter-clockwise tangent");
}

}  // namespace
}  // namespace vestan
