// The definitions the application owns: the settings and colours, the file
// names, the check settings, the tool table with its files, the controller
// definition with its offset memory and the machine definition records. One
// per application, passed by reference; tests build their own.
#pragma once

#include "definitions/color_settings.h"
#include "definitions/controller_definition.h"
#include "definitions/definition_file.h"
#include "definitions/machine_definition.h"
#include "definitions/offset_memory.h"
#include "definitions/settings.h"
#include "definitions/tool_table.h"
#include "definitions/tool_table_file.h"

namespace vestan {

struct Definitions {
  vestan::Settings Settings;
  DefinitionFilePaths Paths;
  ColorSettings Colors;
  InterferenceCheckSettings Checks;
  DifferenceSettings Difference;
  ToolTable Tools;
  ToolTableFiles ToolFiles;
  ControllerDefinition Controller;
  OffsetMemory Offsets;
  WatchedFile ControllerFile;
  MachineDefinition Machine;
  MachineKinematics Kinematics;
  StrokeLimits Limits;
  MachinePartModels Parts;
  WatchedFile MachineFile;
};

}  // namespace vestan
