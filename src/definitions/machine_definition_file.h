// Reading the machine definition file (.MTL) into the machine records, and
// the part-model services the reader uses: the readability check of a model
// file, clearing the part models' names, whether any is named, and parsing
// the tool change route.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "definitions/controller_definition.h"
#include "definitions/definition_file.h"
#include "definitions/display_list_table.h"
#include "definitions/machine_definition.h"
#include "definitions/nc_modal_state.h"
#include "definitions/offset_memory.h"
#include "definitions/settings.h"

namespace vestan {

class Host;

// What a machine definition read writes besides the machine records.
struct MachineReadRecords {
  MachineDefinition& Machine;
  MachineKinematics& Kinematics;
  StrokeLimits& Limits;
  MachinePartModels& Parts;
  WatchedFile& File;
  // Read first: its axis letters and reverse flags, its dialect; a rotary
  // letter it leaves blank takes the machine's default.
  ControllerDefinition& Controller;
  // The tool base point follows the rotary type unless the settings gave it.
  Settings& AppSettings;
  // A new machine drops the queued ends of moves.
  PendingMoveEnds& PendingEnds;
  StatusAxisLabels& AxisLabels;
  DisplayListTable& Display;
};

// Reads the machine definition file fileName. A missing file sets the state
// -1 and leaves the previous machine in place. Otherwise the records start
// from their defaults (speeds and the tool change time are kept from the
// previous file), the part names are cleared (ClearMachineModel with
// clearFlag), every key is read and the rotary stroke ranges, tilts, tool
// direction and vice offsets are derived. A model file given by a relative
// name is taken from the machine definition's folder; one that cannot be
// read is announced through host and left out. Refused values are noted.
// When the file was read the caller loads the part meshes anew from the
// names and offsets (the machine model lies above this folder) and brings
// the work offset frame up to date: it turns with the new rotary axes.
DefinitionReadResult ReadMachineDefinition(std::string_view fileName, int32_t clearFlag,
                                           const MachineReadRecords& records, Host& host);

// 1 when the file can be opened for reading; otherwise shows its name in a
// topmost message box and returns 0.
int32_t CheckFileReadable(std::string_view fileName, Host& host);

// Empties the basic model list and every part name and zeroes the offsets
// (the TABLE, TABLE(X), TABLE(Y) and TABLE(Z) offsets stay until a reader
// sets them). The vice list goes with all 1, or when no vice chosen by the
// user is kept; all 1 also forgets that choice.
void ClearMachineModel(MachinePartModels& parts, int32_t all);

// 1 when any part model is named (a vice or base file counted), else 0.
int32_t HasMachinePartModels(const MachinePartModels& parts);

// The route "Z-XY": steps separated by "-", each naming its axes X, Y, Z or
// a rotary letter; anything else ends the route, and at most 5 steps count.
// An empty text gives Z first, then X and Y.
ToolChangeRoute ParseAxisRoute(std::string_view text, char rotary1Letter, char rotary2Letter);

}  // namespace vestan
