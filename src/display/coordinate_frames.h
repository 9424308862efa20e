// The coordinate frames the axes list shows: where a work offset puts its
// origin and axes (turned with the tables on a rotary-table machine), with
// the axes scaled to the length they are drawn at.
#pragma once

#include <array>

#include "definitions/controller_definition.h"
#include "definitions/display_list_table.h"
#include "definitions/machine_definition.h"
#include "definitions/offset_memory.h"
#include "definitions/work_offset_frame.h"
#include "foundation/vector_math.h"
#include "machine/position_conversion.h"

namespace vestan {

// Axis lengths, in view units, of the two work frames the axes list draws.
inline constexpr double kFirstWorkFrameScale = 0.05;
inline constexpr double kCurrentWorkFrameScale = 0.2;
// And of the tilted working plane's frame.
inline constexpr double kTiltedPlaneFrameScale = 0.1;

struct CoordinateFrame {
  Vec3 Origin{};
  // Rows X, Y, Z: the frame's unit axes in machine coordinates.
  std::array<Vec3, 3> Axes{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  std::array<Vec3, 3> ScaledAxes{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  // Takes a machine direction into the frame: InverseAxes * d.
  Matrix3 InverseAxes{1, 0, 0, 0, 1, 0, 0, 0, 1};
};

// The frame of a computed work offset frame with its axes scaled.
CoordinateFrame MakeCoordinateFrame(const WorkOffsetFrame& frame, double scale);

// The frame of a work offset (X, Y, Z, rotary 1, rotary 2): on a TABLE
// machine with a rotary value set, origin and axes turned by rotary 1 about
// the first table's axis and then by rotary 2 about the second's; on a MIX
// machine with rotary 2 set, by rotary 2 about the table position; else the
// offset's X, Y, Z and the machine axes.
CoordinateFrame BuildCoordinateFrame(const WorkOffsetValues& offset,
                                     const MachineKinematics& kinematics,
                                     const ControllerDefinition& controller, double scale);

// The tilted working plane's frame: its origin and axes taken into machine
// coordinates the way the plane's points are (through the workpiece's
// placement when it is placed, else by the work offset), the axes scaled by
// kTiltedPlaneFrameScale.
CoordinateFrame BuildTiltedPlaneFrame(const WorkpiecePlacement& placement,
                                      const TiltedPlaneFrame& plane,
                                      const WorkOffsetValues& workOffset);

// Recomputes the frame of the first work offset entry (the external offset)
// and asks for the axes list to be rebuilt. The frame of the composed offset
// is kept by UpdateWorkOffsetFrame (machine/work_offset_frame.h).
void UpdateWorkCoordinateFrame(const OffsetMemory& offsets, const MachineKinematics& kinematics,
                               const ControllerDefinition& controller, CoordinateFrame& frame,
                               DisplayListTable& display);

}  // namespace vestan
