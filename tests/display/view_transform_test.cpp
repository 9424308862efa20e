#include "display/view_transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "display/machine_orientation.h"
#include "display/view_mapping.h"
#include "view_world.h"

namespace vestan {
namespace {

using testing::ViewWorld;

constexpr int32_t kOrientationCodes[] = {0,  1,  2,  3,  10, 11, 12, 13, 20, 21,
                                         22, 23, 30, 31, 32, 33, 40, 41, 42, 43};

// glRotated's matrix from the axis-angle formula, independent of the code.
Matrix4 Rotated(double degrees, double x, double y, double z) {
  const double a = degrees * kPi / 180.0, c = std::cos(a), s = std::sin(a);
  const double u[3] = {x, y, z};
  Matrix4 m = IdentityMatrix4();
  for (int r = 0; r < 3; ++r)
    for (int col = 0; col < 3; ++col) {
      double v = (1 - c) * u[r] * u[col] + (r == col ? c : 0.0);
      const int k = 3 - r - col;  // the third index when r != col
      if (r != col) v += ((col - r + 3) % 3 == 1 ? -1 : 1) * s * u[k];
      m[4 * col + r] = v;
    }
  return m;
}

// The turns each code stands for, one glRotated after another.
Matrix4 OrientationTurns(int32_t code) {
  Matrix4 m = IdentityMatrix4();
  const int32_t tens = code / 10, last = code % 10;
  const std::vector<Matrix4> first = {IdentityMatrix4(),       Rotated(90, 0, 1, 0),
                                      Rotated(-90, 0, 1, 0), Rotated(90, 1, 0, 0),
                                      Rotated(-90, 1, 0, 0)};
  m = MultiplyMatrix4(m, first[static_cast<size_t>(tens)]);
  const double aboutZ[] = {0, 90, 180, -90};
  if (last > 0) m = MultiplyMatrix4(m, Rotated(aboutZ[last], 0, 0, 1));
  return m;
}

TEST(MachineOrientation, EveryCodeTurnsAsItsRotationsAndRemapsBack) {
  const Vec3 v{1.5, -2.25, 3.125};
  for (int32_t code : kOrientationCodes) {
    const Matrix4 turn = RotateByMachineOrientation(code);
    const Matrix4 expected = OrientationTurns(code);
    for (size_t k = 0; k < 16; ++k)
      EXPECT_NEAR(turn[k], expected[k], 1e-15) << "code " << code << " element " << k;
    Vec3 viewed = v;
    MapToViewOrientation(code, viewed);
    const Vec4 rotated = TransformVec4(expected, {v[0], v[1], v[2], 1});
    for (size_t k = 0; k < 3; ++k) EXPECT_NEAR(viewed[k], rotated[k], 1e-14) << code;
    Vec3 back = viewed;
    RemapByMachineOrientation(code, back);
    EXPECT_EQ(back, v) << "remap after map, code " << code;
    Vec3 again = v;
    RemapByMachineOrientation(code, again);
    MapToViewOrientation(code, again);
    EXPECT_EQ(again, v) << "map after remap, code " << code;
  }
}

TEST(MachineOrientation, UnlistedCodesTurnNothing) {
  const Vec3 v{1, 2, 3};
  for (int32_t code : {4, 5, 9, 14, 19, 24, 34, 39, 44, 50, 99, -1, -10}) {
    Vec3 a = v, b = v;
    RemapByMachineOrientation(code, a);
    MapToViewOrientation(code, b);
    EXPECT_EQ(a, v) << code;
    EXPECT_EQ(b, v) << code;
    EXPECT_EQ(RotateByMachineOrientation(code), IdentityMatrix4()) << code;
  }
}

// The window point of a display point through the two matrices, as OpenGL
// draws it, with y downwards.
WindowPoint ThroughMatrices(const ViewWorld& w, const Vec3& p) {
  ViewCamera camera = w.Camera;
  const Matrix4 projection = SetProjection(w.View, camera);
  const Matrix4 modelView = ApplyViewTransform(w.View, w.Camera, w.Orientation);
  const double s = w.View.DisplayScale;
  const Vec4 eye = TransformVec4(modelView, {p[0] / s, p[1] / s, p[2] / s, 1});
  const Vec4 clip = TransformVec4(projection, eye);
  WindowPoint out;
  out.X = (clip[0] / clip[3] + 1) / 2 * w.Camera.Width;
  out.Y = (1 - clip[1] / clip[3]) / 2 * w.Camera.Height;
  out.Depth = eye[2] - w.Camera.EyeDistance;
  return out;
}

TEST(ViewTransform, MatricesAndWindowMappingShowAPointOnTheSamePixel) {
  const std::vector<Vec3> points = {{0, 0, 0}, {120, -40, 35}, {-300, 250, -80}, {17.5, 3, 410}};
  for (int32_t perspective : {0, 1}) {
    for (int32_t code : {0, 3, 12, 21, 33, 41}) {
      for (const auto& [azimuth, elevation] :
           std::vector<std::pair<double, double>>{{315, 45}, {0, 90}, {30, 200}, {123.5, -17}}) {
        ViewWorld w(640, 480, perspective);
        w.Orientation = code;
        w.View.Azimuth = azimuth;
        w.View.Elevation = elevation;
        UpdateViewAngleTrig(w.View);
        w.Camera.Zoom = 1.7;
        w.Camera.Centre = {0.1, -0.05, 0.2};
        for (const Vec3& p : points) {
          const WindowPoint a = ModelToWindow(w.View, w.Camera, code, p);
          const WindowPoint b = ThroughMatrices(w, p);
          const std::string what = "perspective " + std::to_string(perspective) + " code " +
                                   std::to_string(code) + " azimuth " + std::to_string(azimuth);
          EXPECT_NEAR(a.X, b.X, 1e-9) << what;
          EXPECT_NEAR(a.Y, b.Y, 1e-9) << what;
          EXPECT_NEAR(a.Depth, b.Depth, 1e-12) << what;
        }
      }
    }
  }
}

TEST(ViewTransform, TheCentreLandsAtTheEyeDistanceAndTheMiddleOfTheWindow) {
  ViewWorld w(800, 600, 1);
  w.Orientation = 11;
  w.Camera.Zoom = 3;
  w.Camera.Centre = {0.4, 0.2, -0.1};
  const Matrix4 m = ApplyViewTransform(w.View, w.Camera, w.Orientation);
  const Vec4 eye = TransformVec4(m, {0.4, 0.2, -0.1, 1});
  EXPECT_NEAR(eye[0], 0, 1e-15);
  EXPECT_NEAR(eye[1], 0, 1e-15);
  EXPECT_NEAR(eye[2], kEyeDistance, 1e-15);
  const WindowPoint c = ModelToWindow(w.View, w.Camera, w.Orientation, {200, 100, -50});
  EXPECT_NEAR(c.X, 400, 1e-9);
  EXPECT_NEAR(c.Y, 300, 1e-9);
}

TEST(ViewTransform, ProjectionKeepsTheTangentOnlyInPerspective) {
  ViewWorld w(400, 200, 0);
  ViewCamera camera = w.Camera;
  const Matrix4 ortho = SetProjection(w.View, camera);
  EXPECT_EQ(camera.PerspectiveTangent, 0.0);
  // The parallel view spans (-aspect, aspect) x (-1, 1).
  const Vec4 corner = TransformVec4(ortho, {2, 1, -1, 1});
  EXPECT_NEAR(corner[0], 1, 1e-15);
  EXPECT_NEAR(corner[1], 1, 1e-15);
  w.View.Perspective = 1;
  SetProjection(w.View, camera);
  EXPECT_NEAR(camera.PerspectiveTangent, std::tan(15 * kPi / 180), 1e-15);
}

TEST(UpdateViewAngleTrig, QuarterTurnsAreExact) {
  ViewState view;
  for (const auto& [angle, sin, cos] :
       std::vector<std::tuple<double, double, double>>{{90, 1, 0}, {180, 0, -1}, {270, -1, 0},
                                                       {360, 0, 1}, {0, 0, 1}}) {
    view.Azimuth = view.Elevation = angle;
    UpdateViewAngleTrig(view);
    EXPECT_EQ(view.AzimuthSin, sin) << angle;
    EXPECT_EQ(view.AzimuthCos, cos) << angle;
    EXPECT_EQ(view.ElevationSin, sin) << angle;
    EXPECT_EQ(view.ElevationCos, cos) << angle;
  }
  view.Azimuth = 30;
  UpdateViewAngleTrig(view);
  EXPECT_DOUBLE_EQ(view.AzimuthSin, 0.5);
}

TEST(ViewCamera, ASizeOfZeroKeepsTheLastOne) {
  ViewCamera camera;
  ASSERT_TRUE(SetViewSize(camera, 5, 4));
  EXPECT_EQ(camera.Aspect, 1.25);
  EXPECT_EQ(camera.HalfWidth, 2.5);
  EXPECT_NEAR(camera.FocalLength, 2 / std::tan(15 * kPi / 180), 1e-12);
  EXPECT_NEAR(camera.PerspectiveScale, camera.FocalLength / 4, 1e-12);
  EXPECT_FALSE(SetViewSize(camera, 0, 0));
  EXPECT_FALSE(SetViewSize(camera, 100, 0));
  EXPECT_EQ(camera.Width, 5);
  EXPECT_EQ(camera.Aspect, 1.25);
}

}  // namespace
}  // namespace vestan
