// The view as the window shows it, beside the angles the settings give
// (ViewState): zoom, view centre, projection, window size, the table view
// options and the state of a mouse drag.
#pragma once

#include <cstdint>

#include "foundation/vector_math.h"

namespace vestan {

inline constexpr double kFieldOfView = 30.0;  // degrees, vertical
inline constexpr double kEyeDistance = -4.0;  // view units along the eye axis
inline constexpr double kNearPlane = 0.01;
inline constexpr double kFarPlane = 15.0;

struct ViewCamera {
  double Zoom = 1.0;
  // What the fit and reset keys return to; set by the main window.
  double HomeZoom = 1.0;
  // The point the view turns about, in view units (model units divided by
  // the display scale).
  Vec3 Centre{};
  double FieldOfView = kFieldOfView;
  double EyeDistance = kEyeDistance;
  // Client size in pixels and what SetViewSize derives from it.
  int32_t Width = 0;
  int32_t Height = 0;
  double Aspect = 1.0;
  double HalfWidth = 0.0;
  double HalfHeight = 0.0;
  // Pixels per view unit at unit distance: (H/2) / tan(field of view / 2).
  double FocalLength = 0.0;
  // Pixels per view unit at the view centre's depth in perspective: what a
  // pan divides by there, as the half height does in the parallel view.
  double PerspectiveScale = 0.0;
  // tan(field of view / 2), kept by SetProjection in perspective.
  double PerspectiveTangent = 0.0;
  // 1: the view turns with the rotary tables so that the work stays still.
  int32_t FollowTable = 0;
  // 1: the table is drawn where it is with the slides at zero.
  int32_t FixedTable = 0;
  // Set by every change of the view; the paint path clears it.
  int32_t RedrawRequested = 0;
};

// A cursor position in client pixels, y downwards.
struct ClientPoint {
  int32_t X = 0;
  int32_t Y = 0;
};

// Where the mouse drag stands.
struct ViewDrag {
  // Angle steps (2.5 degrees each) of the last rotation move and its axis
  // (1 azimuth, 2 elevation); a flick goes on with them.
  int32_t LastStep = 0;
  int32_t LastAxis = 0;
  // Tick count of the last drag move; 0 after a zoom or pan move.
  uint32_t LastTime = 0;
  // Last cursor position of the drag, client pixels.
  int32_t OriginX = 0;
  int32_t OriginY = 0;
};

// Takes a new client size: aspect, half sizes, focal length and the
// perspective pan scale. A size of 0 (a minimised window) keeps the last
// one, so that nothing divides by it; false then.
bool SetViewSize(ViewCamera& camera, int32_t width, int32_t height);

}  // namespace vestan
