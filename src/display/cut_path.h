// The tool-tip path of the NC program drawn into the display list being
// compiled: the whole program run from its first block through its own
// interpreter, motion driver and controller memory (never the run's),
// removing nothing and checking nothing, each move stepped the way the run
// steps it and its tool tips emitted as line strips; and the two path lists
// (31 the full path, 32 the path whose linear moves are single chords).
#pragma once

#include <cstdint>
#include <optional>

#include "definitions/definition_file.h"
#include "definitions/display_list_table.h"
#include "display/colour_materials.h"
#include "display/gl_calls.h"
#include "simulation/session.h"

namespace vestan {

// The rapid moves' dash pattern.
inline constexpr uint16_t kRapidStipple = 0xF0F0;
inline constexpr float kConstructionPointSize = 3.0f;

// How the path display commands asked for the path.
struct CutPathSwitches {
  // 1: every linear move (G00, G01) one chord from its start to its end,
  // in the second path colour; arcs and NURBS curves are still stepped.
  int32_t WithoutRotary = 0;
  // 1 (Shift held): rapid moves are left out instead of dashed.
  int32_t HideRapid = 0;
};

// What one drawing found.
struct CutPathResult {
  // The NC program's last-write time when the drawing began; the shell
  // reuses a drawn path only while the file still has it.
  std::optional<FileTime> ProgramTime;
  int64_t Vertices = 0;  // of the line strips
  int64_t Moves = 0;     // moves drawn
  bool Aborted = false;  // the shell's stop ended it early
};

// Draws the path of the session's NC program into the list being compiled.
// The program runs from its first block as a run would start it (from the
// start position, with the tool now in the spindle) on records of its own:
// the session's position, NC state, controller memory, current tool and
// display flags are as they were afterwards. A program that cannot be
// opened is reported and draws nothing; an interpreter alarm ends the path
// where the run would end. Progress is shown per move; the run control's
// abort ends the drawing after the current move (what was emitted stays).
// Main thread, and only while no run is active: it reads the program text
// and the tool table a run reads.
CutPathResult DrawCutPath(GlCalls& gl, Session& session, const ColourMaterials& materials,
                          const CutPathSwitches& switches);

// List 31: the full path, its material the single path colour (or, with
// pen colouring, the current pen's), its flag in flags cleared.
CutPathResult BuildPathList(GlCalls& gl, Session& session, const ColourMaterials& materials,
                            int32_t hideRapid, DisplayListTable& flags);
// List 32: the path with linear moves as chords, in the second path colour,
// its flag cleared.
CutPathResult BuildSecondPathList(GlCalls& gl, Session& session, const ColourMaterials& materials,
                                  int32_t hideRapid, DisplayListTable& flags);

}  // namespace vestan
