#include "definitions/tool_direction.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vestan {
namespace {

TEST(ComputeDirectionAngles, TiltAndTurnOfADirection) {
  const double tilt45 = 45.0, steep = std::atan(std::sqrt(2.0)) * 180.0 / kPi;
  struct Case {
    Vec3 direction;
    double tilt, turn;
  } cases[] = {
      {{0, 0, 1}, 0, 0},        {{0, 0, -1}, 0, 0},  // along Z: nothing to turn
      {{0, 0, 0}, 0, 0},        {{0, 1, 1}, tilt45, 0}, {{0, -1, 1}, tilt45, 180},
      {{1, 0, 1}, tilt45, 90},  {{-1, 0, 0}, 90, -90},                         // in the XY plane
      {{1, -1, 1}, steep, -45}, {{1, 1, 0}, 90, 45},    {{0, 2, -2}, -45, 0},  // pointing down
  };
  for (const Case& c : cases) {
    double tilt = -1, turn = -1;
    ComputeDirectionAngles(c.direction, tilt, turn);
    EXPECT_NEAR(tilt, c.tilt, 1e-12)
        << c.direction[0] << "," << c.direction[1] << "," << c.direction[2];
    EXPECT_NEAR(turn, c.turn, 1e-12)
        << c.direction[0] << "," << c.direction[1] << "," << c.direction[2];
  }
}

TEST(ComputeDirectionFromAngles, UnitDirectionOfAnAngleHead) {
  struct Case {
    double a, b, c;
    Vec3 direction;
  } cases[] = {
      {0, 0, 0, {0, 0, 1}},    {0, 0, 90, {0, 0, 1}},  // a turn alone leaves +Z
      {90, 0, 0, {0, -1, 0}},  {-90, 0, 0, {0, 1, 0}}, {0, 90, 0, {1, 0, 0}},
      {0, -90, 0, {-1, 0, 0}}, {0, 90, 90, {0, 1, 0}}, {-90, 0, -90, {1, 0, 0}},
  };
  for (const Case& c : cases)  // exact at quarter turns
    EXPECT_EQ(ComputeDirectionFromAngles(c.a, c.b, c.c), c.direction)
        << c.a << " " << c.b << " " << c.c;
  const Vec3 d = ComputeDirectionFromAngles(30, 0, 90);
  EXPECT_NEAR(d[0], 0.5, 1e-15);
  EXPECT_NEAR(d[1], 0.0, 1e-15);
  EXPECT_NEAR(d[2], std::sqrt(0.75), 1e-15);
}

// The angles of a direction turn +Z back onto it when the head tilts about Y
// and turns by +-90.
TEST(ComputeDirectionAngles, AnglesOfAnXDirectionGiveItBack) {
  for (const Vec3& v : {Vec3{1, 0, 1}, Vec3{-1, 0, 2}}) {
    double tilt = 0, turn = 0;
    ComputeDirectionAngles(v, tilt, turn);
    const Vec3 d = ComputeDirectionFromAngles(tilt, 0, turn);
    const double length = VectorLength(v);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(d[k], v[k] / length, 1e-12) << v[0] << " " << k;
  }
}

}  // namespace
}  // namespace vestan
