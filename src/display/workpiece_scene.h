// The workpiece's part of the 3-D scene: the light set by the machine
// orientation, the cleared frame, the projection and the view, the place the
// table carries the workpiece to, and the workpiece lists, rebuilt first
// where the model changed.
#pragma once

#include <cstdint>

#include "definitions/view_state.h"
#include "display/gl_calls.h"
#include "display/view_camera.h"
#include "display/view_mapping.h"
#include "display/view_transform.h"
#include "display/workpiece_lists.h"
#include "model/dexel_model.h"

namespace vestan {

// What one frame of the workpiece scene draws from.
struct WorkpieceScene {
  DexelModel& Model;
  // Non-zero while a workpiece exists.
  int32_t WorkPresent = 0;
  const ViewState& View;
  ViewCamera& Camera;
  int32_t Orientation = 0;
  // Where the table carries the workpiece (MakeMachineDisplayFrame).
  const MachineDisplayFrame& Display;
  const WorkpieceStyle& Style;
};

// Light 0, a white directional light whose direction (in eye space) suits
// the way the machine lies in the view.
GlLight SceneLight(int32_t orientation);

// The display frame as a matrix on points in view units: the tables' turn
// and the table shift.
Matrix4 DisplayFrameMatrix(const MachineDisplayFrame& frame, double displayScale);

// Draws one frame of the workpiece scene into the current context, first
// rebuilding the workpiece lists when the model marked them.
void DrawWorkpieceScene(GlCalls& gl, const WorkpieceScene& scene, WorkpieceDisplayLists& lists);

}  // namespace vestan
