#include "nc/tool_length_offset.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vestan {
namespace {

TEST(StoreToolLengthOffset, GeometryByLengthMode) {
  CurrentTool current;
  current.Tool.Kind = kToolBall;
  current.Tool.CornerRadius = 4;
  current.FullRadiusHeight = 3.5;
  current.Shank.ProtrusionLength = 60;
  struct Case {
    int32_t mode;
    int32_t kind;
    float bottomAngle;
    float geometry;
    double previous;
  } cases[] = {
      {kBaseBottom, kToolBall, 0, 0, 0},
      {kBaseBallCentre, kToolBall, 0, 4, 4},
      {kBaseBallCentre, kToolFlat, 0, 0, 0},  // only ball and taper-ball tools
      {kBaseFullRadiusCentre, kToolBall, 0, 3.5f, 3.5},
      {kBaseCornerHeight, kToolBull, 0, 4, 4},
      {kBaseCornerHeight, kToolDrill, 118, 0, 0},  // only without a bottom angle
      {kBaseLengthTop, kToolBall, 0, 60, 60},
      {kBaseArborTop, kToolBall, 0, 90, 190},  // plus the holder offset
  };
  for (const Case& c : cases) {
    current.Tool.Kind = c.kind;
    current.Tool.BottomAngle = c.bottomAngle;
    LengthCompensationState state;
    state.PreviousToolLength = -1;
    const LengthOffsetBooking booking = StoreToolLengthOffset(7, current, 90, c.mode, 100, state);
    EXPECT_EQ(booking.HNumber, 7) << c.mode;
    EXPECT_EQ(booking.Geometry, c.geometry) << c.mode << " " << c.kind;
    EXPECT_EQ(booking.Wear, 0.0f) << c.mode;
    EXPECT_EQ(state.PreviousToolLength, c.previous) << c.mode << " " << c.kind;
  }
}

TEST(ComputeToolLengthVector, TiltsThePreviousLength) {
  LengthCompensationState state;
  state.PreviousToolLength = 100;
  ComputeToolLengthVector(0, state);
  EXPECT_EQ(state.ToolLengthVector, (Vec3{0, 0, 100}));
  ComputeToolLengthVector(30, state);
  EXPECT_NEAR(state.ToolLengthVector[0], 50, 1e-12);
  EXPECT_EQ(state.ToolLengthVector[1], 0.0);
  EXPECT_NEAR(state.ToolLengthVector[2], 100 * std::sqrt(0.75), 1e-12);
}

}  // namespace
}  // namespace vestan
