// A view of a box workpiece for the display tests: the view angles, a
// camera of a given size, the workpiece document and the display frame of
// a machine whose table stands still.
#pragma once

#include <gtest/gtest.h>

#include <array>

#include "definitions/view_state.h"
#include "display/picking.h"
#include "display/view_camera.h"
#include "display/view_mapping.h"
#include "model/stock.h"
#include "model/work_document.h"

namespace vestan::testing {

struct ViewWorld {
  ViewState View;
  ViewCamera Camera;
  WorkDocument Work;
  MachineDisplayFrame Display;
  int32_t Orientation = 0;

  ViewWorld(int32_t width = 800, int32_t height = 600, int32_t perspective = 0) {
    View.Perspective = perspective;
    UpdateViewAngleTrig(View);
    SetViewSize(Camera, width, height);
  }

  // A box stock as the workpiece.
  void MakeBox(const std::array<double, 6>& box, double pitch) {
    ASSERT_EQ(CreateBoxModel(Work.Workpiece(), box, pitch), kModelOk);
    Work.WorkPresent = 1;
  }

  // Looking straight down at the box's middle, 5 pixels to the millimetre
  // in a 600-pixel high view.
  void TopView(const Vec3& middle) {
    View.Azimuth = 0;
    View.Elevation = 0;
    UpdateViewAngleTrig(View);
    Camera.Zoom = 5.0 * View.DisplayScale / Camera.HalfHeight;
    for (size_t k = 0; k < 3; ++k) Camera.Centre[k] = middle[k] / View.DisplayScale;
  }

  PickScene Scene(std::span<const StructureMesh> vices = {}) const {
    return {Work, vices, View, Camera, Orientation, Display};
  }

  // The client pixel nearest to where the view shows a machine point.
  ClientPoint PixelOf(const Vec3& p) const {
    const WindowPoint w = ModelToWindow(View, Camera, Orientation,
                                        MachineToDisplayCoordinates(Display, p));
    return {static_cast<int32_t>(std::lround(w.X)), static_cast<int32_t>(std::lround(w.Y))};
  }
};

}  // namespace vestan::testing
