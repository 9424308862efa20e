// The view: rotation angles with their home copies and cached sines and
// cosines, perspective, and the fixed view centre.
#pragma once

#include <cmath>
#include <cstdint>

#include "foundation/vector_math.h"

namespace vestan {

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
};

// Recomputes the cached sines and cosines from the two angles.
inline void UpdateViewAngleTrig(ViewState& view) {
  view.AzimuthSin = std::sin(view.Azimuth * kRadiansPerDegree);
  view.AzimuthCos = std::cos(view.Azimuth * kRadiansPerDegree);
  view.ElevationSin = std::sin(view.Elevation * kRadiansPerDegree);
  view.ElevationCos = std::cos(view.Elevation * kRadiansPerDegree);
}

}  // namespace vestan
