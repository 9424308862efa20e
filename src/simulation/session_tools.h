// The tool change of the session, in its order: the tool set-up of the
// model, then the length offset booking and the tool-length vector of the
// NC state, then the shape of an imported STL tool.
#pragma once

#include <cstdint>

#include "simulation/session.h"

namespace vestan {

// Makes tool `tool` current at the given pitch (the work model's; 0 when
// only the figure is needed): SetCurrentTool; then, for a defined tool,
// while either length-offset flag is set the tool's length offset is booked
// into the session's offset memory under its number (by the TOOL BASE POINT
// rule), on a machine whose first rotary axis is B with tool-length vectors
// and length compensation on the tool-length vector follows the rotary
// position, and an imported STL tool's shape is read again (turned by the
// angle head in use).
void ApplyToolChange(Session& session, int32_t tool, double pitch);

}  // namespace vestan
