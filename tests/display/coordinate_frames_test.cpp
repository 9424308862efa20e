// The tilted working plane's frame in the coordinate axes list.
#include "display/coordinate_frames.h"

#include <gtest/gtest.h>

#include "display/scene.h"
#include "gl_recorder.h"
#include "scene_world.h"

namespace vestan {
namespace {

// A plane turned a quarter about Z with its origin 10 along X, in G54 at
// (-50, -50, 110): its origin lies at (-40, -50, 110) in the machine and its
// X axis points along machine Y.
TEST(TiltedPlaneFrame, IsDrawnInTheAxesListWhereThePlaneLies) {
  TiltedPlaneFrame plane;
  plane.Matrix = {0, 1, 0, -1, 0, 0, 0, 0, 1};
  plane.Origin = {10, 0, 0};
  const WorkOffsetValues g54{-50, -50, 110, 0, 0};
  const CoordinateFrame frame = BuildTiltedPlaneFrame(WorkpiecePlacement{}, plane, g54);
  EXPECT_EQ(frame.Origin, (Vec3{-40, -50, 110}));
  EXPECT_EQ(frame.ScaledAxes[0], (Vec3{0, 0.1, 0}));
  EXPECT_EQ(frame.ScaledAxes[1], (Vec3{-0.1, 0, 0}));
  EXPECT_EQ(frame.ScaledAxes[2], (Vec3{0, 0, 0.1}));
  EXPECT_EQ(MultiplyMatrixVector(frame.InverseAxes, {0, 1, 0}), (Vec3{1, 0, 0}));

  testing::SceneWorld world;
  Scene scene = world.Make();
  scene.TiltedPlaneAxes = &frame;
  testing::GlRecorder gl;
  BuildCoordinateAxesList(gl, scene);
  const auto& outlines = gl.Lists[kListCoordinateAxes].Outlines;
  ASSERT_EQ(outlines.size(), 6u) << "the machine origin's three axes, then the plane's";
  const Vec3 origin{-40.0 / 500, -50.0 / 500, 110.0 / 500};
  for (size_t k = 0; k < 3; ++k) {
    const auto& axis = outlines[3 + k];
    ASSERT_EQ(axis.P.size(), 2u);
    EXPECT_EQ(axis.P[0], origin);
    for (size_t c = 0; c < 3; ++c)
      EXPECT_DOUBLE_EQ(axis.P[1][c], origin[c] + frame.ScaledAxes[k][c]) << "axis " << k;
  }
  // In the light colours.
  EXPECT_EQ(outlines[3].Colour, (GlColour{1.0f, 0.5f, 0.5f, 1.0f}));
  EXPECT_EQ(outlines[4].Colour, (GlColour{0.5f, 1.0f, 0.5f, 1.0f}));
}

}  // namespace
}  // namespace vestan
