// The view: rotation angles with their home copies and cached sines and
// cosines, perspective, the fixed view centre, the display scale and the
// model rotation of the display.
#pragma once

#include <cstdint>

#include "foundation/vector_math.h"

namespace vestan {

// A turn of the models on display about one axis through a centre.
struct DisplayModelRotation {
  int32_t Mode = 0;  // 1: the models are shown turned
  Vec3 Centre{};
  int32_t Axis = 0;  // 0 X, 1 Y, 2 Z
  double Cos = 1.0;
  double Sin = 0.0;
};

struct ViewState {
  // Degrees. The home copies are what the home-view command returns to.
  double Azimuth = 315.0;
  double HomeAzimuth = 315.0;
  double Elevation = 45.0;
  double HomeElevation = 45.0;
  // Kept by UpdateViewAngleTrig.
  double AzimuthSin = 0.0;
  double AzimuthCos = 1.0;
  double ElevationSin = 0.0;
  double ElevationCos = 1.0;
  int32_t Perspective = 1;
  // 1: the view turns about ViewCentre rather than an automatic centre.
  int32_t FixedViewCentre = 0;
  Vec3 ViewCentre{};
  // Model coordinates are divided by it for the display.
  double DisplayScale = 500.0;
  DisplayModelRotation ModelRotation;
};

// Recomputes the cached sines and cosines from the two angles, exact at
// multiples of 90 degrees so that a view along an axis sees it end-on.
inline void UpdateViewAngleTrig(ViewState& view) {
  GetAxisSinCos(view.Azimuth, 1, view.AzimuthSin, view.AzimuthCos);
  GetAxisSinCos(view.Elevation, 1, view.ElevationSin, view.ElevationCos);
}

}  // namespace vestan
