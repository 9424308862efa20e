// Setting up an NC pass's state and moving moves about in it: the reset at
// the start of every run, check and drawing pass, the rotary axes'
// shortest-route flags, the queued ends of moves, and the look-ahead copies
// of cutter-radius compensation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "definitions/controller_definition.h"
#include "definitions/machine_definition.h"
#include "definitions/offset_memory.h"
#include "nc/nc_context.h"

namespace vestan {

// Puts the context into the start state of a pass: no subprogram level (the
// program folder stays), plane, tool-axis mode, cutting switch, return level
// and decimal-point mode from the controller definition, every accumulator,
// flag, counter and alarm zeroed, no next tool, the work offset composed (its
// frames with it) and copied as the start-of-run offsets, the no-tool entry of the tool table
// cleared (unless a plug-in delivered the tool), no cycle, no coordinate
// rotation or tilted plane, positions at the settings' start position (the
// machine position with the work offset and the tool's reach added, the
// previous rotary angles its angles, no rotary base angles), the length
// offset booked and the tool-length
// vector taken when the controller asks, the tool-length axis chosen, the
// cycle point arrays made, no process snapshots; and, while a run is going,
// the status bar refreshed.
void ResetNcModalState(NcContext& context, const NcPassRecords& records);

// The feed of the F word whose number starts at position in line (the
// position ends past it): as written, or, with F-code feeds (INDIRECT, or
// AUTO1 and AUTO2 for numbers of one and two digits), the F-code table's
// entry that its integer selects (0 outside the table).
double ReadFeedWord(const ControllerDefinition& controller, const OffsetMemory& offsets,
                    std::string_view line, size_t& position);

// Sets each rotary axis's shortest-route switch to value when the axis has
// no stroke limit or a stroke of at least 360 degrees, unless the controller
// definition fixed that axis to SHORTEST.
void ClearRotaryWrapFlags(uint8_t value, const ControllerDefinition& controller,
                          const StrokeLimits& limits, std::array<uint8_t, 2>& shortestRoute);

// Makes the next queued end of move the live move: a rapid move (G00 in
// force after it) from the live end, whose queued axes end at the queued
// machine position less the composed work offset. Returns 1 while an entry was taken; when none is
// left the queue is emptied and 0 returned (the live move then stands still).
int32_t EndMotionRecord(NcContext& context, const OffsetMemory& offsets);

// Advances both look-ahead streams by one move and stores the live move as
// the current programmed move.
void ShiftLookAheadMoves(NcContext& context);

// Copy a look-ahead record back into the live move, with the block line, the
// cutting switch and the tool-axis fields that travel with it: the current
// programmed move; that move with the offset stream's current start, end,
// radii and length; the previous programmed move with the previous offset
// move's.
void RestoreCurrentMove(NcContext& context);
void RestoreCurrentOffsetMove(NcContext& context);
void RestorePreviousOffsetMove(NcContext& context);

}  // namespace vestan
