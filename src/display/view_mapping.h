// Mapping points between the machine, the display and the window: the table
// shift of the display, machine points of the table side into the fixed
// display frame, model points to window pixels, and machine points into the
// current work coordinates.
#pragma once

#include <cstdint>

#include "definitions/machine_definition.h"
#include "definitions/view_state.h"
#include "definitions/work_offset_frame.h"
#include "display/view_camera.h"
#include "foundation/vector_math.h"
#include "model/position_state.h"

namespace vestan {

// The table's shift in model units: minus the machine coordinate for each
// of X, Y, Z that moves the table, 0 for the others.
void SetTableShift(const MachineDefinition& machine, const AxisPosition& machinePosition,
                   Vec3& tableShift);

// What carries a machine point of the table side into the display, taken
// once per frame or pick: the rotary tables' turn at the current angles (an
// affine map) and the table shift.
struct MachineDisplayFrame {
  int32_t Turned = 0;
  Matrix3 Rotation{1, 0, 0, 0, 1, 0, 0, 0, 1};
  Vec3 Translation{};
  Vec3 Shift{};
};

// The tables turn the point on a TABLE machine with either rotary angle set
// (the second table's axis first, then the first's) and on a MIX machine
// with the second angle set, as the scene turns the tables, unless the view
// follows the tables. The table shift is added unless the view keeps the
// table fixed.
MachineDisplayFrame MakeMachineDisplayFrame(const MachineKinematics& kinematics,
                                            const MachinePositionState& position,
                                            const Vec3& tableShift, const ViewCamera& camera);

// A machine point of the table side in the display frame (model units).
Vec3 MachineToDisplayCoordinates(const MachineDisplayFrame& frame, const Vec3& p);

// A point in window pixels, x to the right and y downwards, and its depth
// (larger is nearer the eye) in zoomed view units.
struct WindowPoint {
  double X = 0.0;
  double Y = 0.0;
  double Depth = 0.0;
};

// A display point (model units) where the current view shows it.
WindowPoint ModelToWindow(const ViewState& view, const ViewCamera& camera, int32_t orientation,
                          const Vec3& p);

// A machine point in the coordinates of the current work offset: less the
// frame's origin, and turned back when the offset carries rotary values.
Vec3 ModelToWorkCoordinates(const WorkOffsetFrame& frame, const Vec3& p);

}  // namespace vestan
