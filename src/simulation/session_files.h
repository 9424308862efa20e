// The definition files read into the session, each with what its read sets
// off applied in order: the settings, the tool table (its base-point
// lengths and its start tool made current), the controller definition (its
// memory and the work offset frame), the machine definition (its part
// meshes and the frame), and the change check that reads again whatever
// changed on disk. A read's notes go to the log; the result is returned.
#pragma once

#include <cstdint>

#include "definitions/settings_file.h"
#include "simulation/session.h"

namespace vestan {

// Reads the settings file named in the paths (defaults when it is missing)
// into the settings, colours, paths, checks, view and display records.
void ReadSettingsInto(Session& session, const StartupEnvironment& environment);

// Reads the tool table named in the paths. Whatever the state, the current
// and next tool numbers become its start tool and the saved position
// forgets its tool. When the file was read: each tool takes its base-point
// length by the TOOL BASE POINT setting (the two rules that need it make
// the tool current first), the start tool (or the command line's) is made
// current at the work pitch (ApplyToolChange), the tool list's view mode
// goes back to 0 and the plug-in tool flag is cleared.
ToolTableReadResult ReadToolTableInto(Session& session);

// Reads the controller definition named in the paths into the definition
// and the offset memory; the rotary axes' shortest-route switches take the
// definition's, and the work offset frame follows the composed offset.
DefinitionReadResult ReadControllerInto(Session& session);

// Reads the machine definition named in the paths (clearFlag as
// ClearMachineModel takes it: 1 at start and for a changed machine). When
// the file was read the part meshes are freed and loaded anew and the work
// offset frame turns with the new rotary axes.
DefinitionReadResult ReadMachineInto(Session& session, int32_t clearFlag);

// Brings the machine position (tool tip and axis, or the program position)
// up to date from the program position, the work offset and the tool.
void UpdateSessionPosition(Session& session);

// The definition file change check: unless the process's current folder is
// another than the start-up folder, the tool table, the arbor table, the
// controller and the machine definition in turn; a changed file is announced
// and read again with the files that depend on it, then shown; a missing
// one is announced once. ChangeCheckState is kCheckRunning meanwhile.
void CheckDefinitionFilesUpdated(Session& session);

}  // namespace vestan
