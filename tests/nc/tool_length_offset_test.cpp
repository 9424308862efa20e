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
    OffsetMemory memory;
    memory.HWear[7] = 3;
    const LengthOffsetBooking booking =
        StoreToolLengthOffset(7, current, 90, c.mode, 100, memory, state);
    EXPECT_EQ(booking.HNumber, 7) << c.mode;
    EXPECT_EQ(booking.Geometry, c.geometry) << c.mode << " " << c.kind;
    EXPECT_EQ(booking.Wear, 0.0f) << c.mode;
    EXPECT_EQ(memory.HGeometry[7], c.geometry) << c.mode;
    EXPECT_EQ(memory.HWear[7], 0.0f) << c.mode;
    EXPECT_EQ(state.PreviousToolLength, c.previous) << c.mode << " " << c.kind;
  }
}

TEST(StoreToolLengthOffset, ToolsWithoutAnHNumberBookNoEntry) {
  CurrentTool current;
  current.Shank.ProtrusionLength = 60;
  for (int32_t tool : {0, 1000, -1}) {
    OffsetMemory memory;
    LengthCompensationState state;
    StoreToolLengthOffset(tool, current, 0, kBaseLengthTop, 0, memory, state);
    EXPECT_EQ(state.PreviousToolLength, 60.0) << tool;
    EXPECT_EQ(memory.HGeometry, OffsetMemory{}.HGeometry) << tool;
  }
}

TEST(ComputeToolLengthVector, TiltsThePreviousLength) {
  LengthCompensationState state;
  state.PreviousToolLength = 100;
  const ToolLengthVectorContext plain;
  ComputeToolLengthVector(0, plain, state);
  EXPECT_EQ(state.ToolLengthVector, (Vec3{0, 0, 100}));
  ComputeToolLengthVector(30, plain, state);
  EXPECT_NEAR(state.ToolLengthVector[0], 50, 1e-12);
  EXPECT_EQ(state.ToolLengthVector[1], 0.0);
  EXPECT_NEAR(state.ToolLengthVector[2], 100 * std::sqrt(0.75), 1e-12);
}

TEST(ComputeToolLengthVector, DialectForms) {
  LengthCompensationState state;
  state.PreviousToolLength = 100;
  // MAZAK: no tilt at all.
  ToolLengthVectorContext mazak;
  mazak.Mazak = 1;
  ComputeToolLengthVector(30, mazak, state);
  EXPECT_EQ(state.ToolLengthVector, (Vec3{0, 0, 100}));
  mazak.LatheMode = 1;  // in lathe mode the plain tilt
  ComputeToolLengthVector(90, mazak, state);
  EXPECT_NEAR(state.ToolLengthVector[0], 100, 1e-12);

  // OSP head after G353: A 90 degrees (sin 1, cos 0), B 30 (sin 0.5, cos
  // sqrt(0.75)); R = reach 150 - reference 50 = 100:
  // X = R sB cA = 0, Y = R sB sA = 50, Z = (cB - 1) R.
  ToolLengthVectorContext osp;
  osp.Osp = 1;
  osp.RotaryHead = 1;
  osp.LastGCode = 353;
  osp.SinA = 1;
  osp.CosA = 0;
  osp.SinB = 0.5;
  osp.CosB = std::sqrt(0.75);
  osp.Reach = 150;
  osp.ReachReference = 50;
  ComputeToolLengthVector(0, osp, state);
  EXPECT_EQ(state.ToolLengthVector, (Vec3{0, 50, (std::sqrt(0.75) - 1) * 100}));
  // Mode 5: R is the reach itself and Z adds the tool length.
  osp.LengthMode = kBaseArborTop;
  ComputeToolLengthVector(0, osp, state);
  EXPECT_EQ(state.ToolLengthVector, (Vec3{0, 75, (std::sqrt(0.75) - 1) * 150 + 100}));
  osp.LastGCode = 354;  // not after G353: the plain tilt
  ComputeToolLengthVector(0, osp, state);
  EXPECT_EQ(state.ToolLengthVector, (Vec3{0, 0, 100}));
}

}  // namespace
}  // namespace vestan
