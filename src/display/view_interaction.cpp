#include "display/view_interaction.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "display/machine_orientation.h"

namespace vestan {

void UpdateViewCentre(const Definitions& defs, const OffsetMemory& offsetMemory,
                      const ViewState& view, const WorkDocument& work,
                      const MachineDisplayFrame& display, ViewCamera& camera) {
  Vec3 centre{};
  const DexelModel& model = work.Workpiece();
  if (defs.Controller.ViewCentreGiven != 0) {
    centre = {defs.Controller.ViewCentre[0], defs.Controller.ViewCentre[1],
              defs.Controller.ViewCentre[2]};
  } else if (defs.Machine.ViewCentreGiven != 0) {
    centre = defs.Machine.ViewCentre;
  } else if (view.FixedViewCentre != 0) {
    centre = view.ViewCentre;
  } else if (work.WorkPresent != 0 && model.Allocated()) {
    for (size_t k = 0; k < 3; ++k) centre[k] = (model.MinCorner()[k] + model.MaxCorner()[k]) / 2.0;
  } else {
    const std::vector<WorkOffsetValues>& offsets = offsetMemory.WorkOffsets;
    const int32_t selected = offsetMemory.SelectedWorkOffset;
    for (size_t k = 0; k < 3 && !offsets.empty(); ++k) {
      centre[k] = offsets[0][k];
      if (selected > 0 && static_cast<size_t>(selected) < offsets.size())
        centre[k] += offsets[static_cast<size_t>(selected)][k];
    }
  }
  const Vec3 shown = MachineToDisplayCoordinates(display, centre);
  for (size_t k = 0; k < 3; ++k) camera.Centre[k] = shown[k] / view.DisplayScale;
}

void PanView(const ViewState& view, const ViewCamera& camera, int32_t orientation,
             double horizontal, double vertical, Vec3& point) {
  const double s =
      (view.Perspective != 0 ? camera.PerspectiveScale : camera.HalfHeight) * camera.Zoom;
  const double a = vertical / s, b = horizontal / s;
  const double sa = view.AzimuthSin, ca = view.AzimuthCos;
  const double se = view.ElevationSin, ce = view.ElevationCos;
  Vec3 d{sa * ce * a + ca * b, ca * ce * a - sa * b, se * a};
  if (orientation > 0) RemapByMachineOrientation(orientation, d);
  point = VectorAdd(point, d);
}

int32_t CursorToModelAt(const PickScene& scene, ClientPoint at, int32_t fallback, Vec3& point) {
  Vec3 hit;
  PickSource source;
  if (PickNearestWorkPoint(scene, at, hit, source) == 1) {
    const Vec3 shown = MachineToDisplayCoordinates(scene.Display, hit);
    for (size_t k = 0; k < 3; ++k) point[k] = shown[k] / scene.View.DisplayScale;
    return 1;
  }
  if (fallback == 1)
    PanView(scene.View, scene.Camera, scene.Orientation, at.X - scene.Camera.HalfWidth,
            scene.Camera.HalfHeight - at.Y, point);
  return 0;
}

int32_t CursorToModel(const PickScene& scene, ClientPoint cursor, int32_t fallback, Vec3& point) {
  if (cursor.X < 0 || cursor.X > scene.Camera.Width || cursor.Y < 0 ||
      cursor.Y > scene.Camera.Height)
    return 0;
  return CursorToModelAt(scene, cursor, fallback, point);
}

void TurnViewAngle(double& angle, double delta) {
  angle += delta;
  if (delta > 0.0 && angle >= 360.0)
    angle -= 360.0;
  else if (delta < 0.0 && angle < 0.0)
    angle += 360.0;
}

void DragRotateView(ViewState& view, ViewCamera& camera, ViewDrag& drag, int32_t mode,
                    int32_t orientation, ClientPoint cursor, uint32_t tick,
                    DisplayListTable& lists) {
  drag.LastTime = tick;
  const int32_t dx = cursor.X - drag.OriginX, dy = cursor.Y - drag.OriginY;
  // A view without a size yet has nothing to scale a move by.
  if (std::abs(dx) + std::abs(dy) < 3 || camera.HalfWidth <= 0.0 || camera.HalfHeight <= 0.0)
    return;
  if (mode == kDragRotate) {
    const bool vertical = std::abs(dx) <= std::abs(dy);
    const double move = vertical ? std::abs(dy) * 36.0 / camera.HalfHeight
                                 : std::abs(dx) * 72.0 / camera.HalfWidth;
    int32_t step = static_cast<int32_t>(std::min(std::floor(move + 0.5), 1e9));
    // Slow moves gather until a whole step is due.
    if (step == 0) return;
    if (vertical) {
      if (dy > 0) step = -step;
      const double before = view.Elevation;
      TurnViewAngle(view.Elevation, step * kDragAngleStep);
      if (view.Elevation != before) drag.LastAxis = 2;
    } else {
      if (dx < 0) step = -step;
      // Seen from below, the azimuth turns the other way.
      TurnViewAngle(view.Azimuth, (view.Elevation > 180.0 ? -step : step) * kDragAngleStep);
      drag.LastAxis = 1;
    }
    UpdateViewAngleTrig(view);
    lists.RequestRebuild(kListOverlay);
    drag.LastStep = step;
  } else if (mode == kDragZoom) {
    const bool horizontal = std::abs(dx) > std::abs(dy);
    const double d = horizontal ? dx : dy;
    const double h = horizontal ? camera.HalfWidth : camera.HalfHeight;
    if (d >= 1.0)
      camera.Zoom *= std::pow(1.1, 20.0 * d / h);
    else
      camera.Zoom /= std::pow(1.1, -20.0 * d / h);
    drag.LastTime = 0;
  } else if (mode == kDragPan) {
    PanView(view, camera, orientation, -dx, dy, camera.Centre);
    drag.LastTime = 0;
  }
  camera.RedrawRequested = 1;
  drag.OriginX = cursor.X;
  drag.OriginY = cursor.Y;
}

void ZoomViewStep(ViewCamera& camera, int16_t steps) {
  if (steps >= 1)
    camera.Zoom *= std::pow(1.1, steps);
  else
    camera.Zoom /= std::pow(1.1, -steps);
  camera.RedrawRequested = 1;
}

}  // namespace vestan
