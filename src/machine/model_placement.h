// The placement of a newly made stock on a table machine: turned with the
// table by the rotary values of the active work offset.
#pragma once

#include "definitions/controller_definition.h"
#include "definitions/machine_definition.h"
#include "definitions/offset_memory.h"
#include "model/dexel_model.h"

namespace vestan {

// Turns the model's placement as the table stands at the active work
// offset's rotary values (elements 3 and 4, degrees): on a TABLE machine by
// rotary 1 (inclined axis included) about the table position and then by
// rotary 2 about the table offset, on a MIX machine by rotary 2 about the
// table position; other machines keep it. In every case the model's inverse
// rotation and negated translation are derived anew (its placed flag is the
// caller's).
void ComputeModelPlacementMatrix(DexelModel& model, const MachineKinematics& kinematics,
                                 const ControllerDefinition& controller,
                                 const WorkOffsetValues& activeWorkOffset);

}  // namespace vestan
