// The block interpreter: one NC line into changes of the modal state and of
// the live move, for the common G-code dialect and its OSP, MAZAK, SIEMENS
// and HEIDENHAIN forms.
#pragma once

#include "nc/nc_context.h"
#include "nc/plugin_interfaces.h"

namespace vestan {

// Interprets context.Line: block start, the word-by-word scan, then the
// completion of the move (rotation, tool axis, arcs, G92, G52). Subprogram
// calls and returns, NURBS blocks, comments for the comment plug-in and the
// read plug-in's records go through records.BlockHooks; with no hook they
// are ignored. Unknown letters and codes are ignored.
void InterpretNcBlock(NcContext& context, const NcPassRecords& records);

// A read plug-in's record as the live move: a tool change for kinds of 1000
// and above, else the end, motion, centre and feed with the rotary angles
// solved from the tool axis and, for arcs, the arc's sweep.
void ApplyPluginPathRecord(const PluginPathRecord& record, NcContext& context,
                           const NcPassRecords& records);

}  // namespace vestan
