#include "display/view_camera.h"

#include <cmath>

namespace vestan {

bool SetViewSize(ViewCamera& camera, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return false;
  camera.Width = width;
  camera.Height = height;
  camera.Aspect = static_cast<double>(width) / height;
  camera.HalfWidth = width / 2.0;
  camera.HalfHeight = height / 2.0;
  camera.FocalLength = camera.HalfHeight / std::tan(camera.FieldOfView / 360.0 * kPi);
  camera.PerspectiveScale = camera.FocalLength / std::abs(camera.EyeDistance);
  return true;
}

}  // namespace vestan
