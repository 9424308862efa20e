// The simulation run: one call runs the current NC program from its first
// block to its end, to a stop that ends the run, or to an abort, obeying
// stop blocks, pauses and the abort the shell sets in the run control, and
// changing tools by the machine's ATC type with a model snapshot per
// process. It runs on a thread of its caller's; the shell polls the run
// control and the block display while it runs.
#pragma once

#include <cstdint>

#include "simulation/session.h"

namespace vestan {

// Runs one cutting run on the session (the cutting mode is the run
// control's). The caller has read the definitions and set up the workpiece;
// the session's records must outlive the call. Returns 0 when the run is
// over; what happened is in the session (the end and alarm states, the run
// control's RunEndedByCheck, the pass's reports, the workpiece). A program
// that cannot be opened ends the run at once (the reader reports it).
int32_t SimulationThreadProc(Session& session);

// The tool change of the block the driver handed out last, by the machine's
// ATC type (DIRECT in the HEIDENHAIN dialect): DIRECT changes to the
// commanded tool; WAIT and WAIT2 preselect on a T word and change on M6
// (WAIT2: M6 loads the preselected tool and the block's T is preselected
// next). Each outgoing tool closes its process (snapshot, length report
// line). Nothing happens while no tool is commanded or move ends are pending.
void RunToolChange(Session& session);

// The outgoing tool's line of the length report, added to the session's
// report lines: at every tool change, and by the shell for the last tool.
void CloseToolLengths(Session& session);

// The snapshot of the process that ends now, saved when snapshots are on and
// the process removed material.
void TakeProcessSnapshot(Session& session);

}  // namespace vestan
