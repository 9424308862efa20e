// The machine position of an NC pass: the interpreter's values a position
// conversion reads, taken from the pass, and the conversions over the pass's
// position state, whose derived program positions land in the live move and
// the interpreter's program position.
#pragma once

#include "machine/position_conversion.h"
#include "nc/nc_context.h"

namespace vestan {

// What the rotary solutions read of the pass: the tilted plane's solution
// sign, angles and swivel parameters, the dialect, the tool-axis and motion
// modes, G91 and the cutting mode.
RotaryModalInputs MakeRotaryModalInputs(const NcContext& context, const NcPassRecords& records);

// What a conversion reads of the pass.
PositionModalInputs MakePositionInputs(const NcContext& context, const NcPassRecords& records);

// UpdateMachinePosition on the pass's position with the composed work
// offset and the workpiece's placement; a derived program position becomes
// the live move's end and the interpreter's program position.
void UpdateMachinePosition(NcContext& context, const NcPassRecords& records,
                           const WorkpiecePlacement& placement);

// The program position at which the tool, standing where it stands, is
// where tool-tip control puts it (AdjustPositionOffsets on the pass's tool
// tip and axis).
void AdjustProgramPositionToTool(NcContext& context, const NcPassRecords& records,
                                 const WorkpiecePlacement& placement);

}  // namespace vestan
