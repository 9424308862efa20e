// The work coordinate frame of the composed work offset: where the work
// origin lies and how the frame is turned when the offset carries rotary
// values on a table machine.
#pragma once

#include "definitions/controller_definition.h"
#include "definitions/display_list_table.h"
#include "definitions/machine_definition.h"
#include "definitions/offset_memory.h"
#include "definitions/work_offset_frame.h"

namespace vestan {

// Recomputes frame from the composed work offset (X, Y, Z, rotary 1, rotary
// 2). On a TABLE machine with either rotary value set, the origin and the
// axes are turned by rotary 1 about its axis through the table position and
// then by rotary 2 about its axis through the second table's centre; on a
// MIX machine with the second value set, by rotary 2 about its axis through
// the table position. Those turns set the frame-rotated flag; an origin
// other than (0, 0, 0) sets the frame-offset flag. The inverse rotation is
// stored beside the rotation, the rotary values beside the frame, and the
// coordinate-axes list is rebuilt. Called whenever the composed work offset
// or the machine changes.
void UpdateWorkOffsetFrame(const WorkOffsetValues& composed, const MachineKinematics& kinematics,
                           const ControllerDefinition& controller, WorkOffsetFrame& frame,
                           DisplayListTable& display);

// The same frame computed alone, for a work offset that is not the composed
// one (the coordinate axes show the first entry's frame too).
WorkOffsetFrame ComputeWorkOffsetFrame(const WorkOffsetValues& offset,
                                       const MachineKinematics& kinematics,
                                       const ControllerDefinition& controller);

}  // namespace vestan
