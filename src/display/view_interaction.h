// What the mouse and the view keys do to the view: the view centre and
// moving it to the point under the cursor, panning, drag rotation and drag
// zoom, and the wheel's zoom steps.
#pragma once

#include <cstdint>

#include "definitions/definitions.h"
#include "definitions/display_list_table.h"
#include "definitions/view_state.h"
#include "display/picking.h"
#include "display/view_camera.h"
#include "display/view_mapping.h"
#include "model/work_document.h"

namespace vestan {

// Mouse modes that drag the view.
inline constexpr int32_t kDragRotate = 11;
inline constexpr int32_t kDragZoom = 12;
inline constexpr int32_t kDragPan = 13;
// Degrees of one rotation step.
inline constexpr double kDragAngleStep = 2.5;

// Chooses the point the view turns about: the controller definition's
// "VIEW CENTER", else the machine definition's, else the settings'; else
// the middle of the workpiece's bounds; else the origin of the external
// work offset plus the selected one (of the controller memory's offsets).
// The point goes through the display frame into view units.
void UpdateViewCentre(const Definitions& defs, const OffsetMemory& offsetMemory,
                      const ViewState& view, const WorkDocument& work,
                      const MachineDisplayFrame& display, ViewCamera& camera);

// Moves point (view units) so that the view shifts by a screen displacement
// in pixels, right and up positive.
void PanView(const ViewState& view, const ViewCamera& camera, int32_t orientation,
             double horizontal, double vertical, Vec3& point);

// The workpiece point under a client point into point (view units): 1 on a
// hit. Without one, fallback 1 pans point by the client point's offset from
// the middle of the view, fallback 0 leaves it.
int32_t CursorToModelAt(const PickScene& scene, ClientPoint at, int32_t fallback, Vec3& point);
// The same for the cursor, when it lies in the view (edges included); 0
// when it does not.
int32_t CursorToModel(const PickScene& scene, ClientPoint cursor, int32_t fallback, Vec3& point);

// One step of a drag in mode kDragRotate, kDragZoom or kDragPan to the
// cursor at tick: a move of under 3 pixels does nothing, rotation goes in
// whole 2.5-degree steps, zoom by 1.1 to the power 20 x move / half size,
// pan by the move. The drag origin follows the cursor once a step is done.
void DragRotateView(ViewState& view, ViewCamera& camera, ViewDrag& drag, int32_t mode,
                    int32_t orientation, ClientPoint cursor, uint32_t tick,
                    DisplayListTable& lists);

// Adds delta degrees to a view angle and brings it back into [0, 360) by
// one turn in the direction it went.
void TurnViewAngle(double& angle, double delta);

// The wheel: zoom x 1.1 per step in, / 1.1 per step out.
void ZoomViewStep(ViewCamera& camera, int16_t steps);

}  // namespace vestan
