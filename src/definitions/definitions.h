// The definitions the application owns: the settings and colours, the file
// names, the check settings, the tool table with its files and the machine
// definition records. One per application, passed by reference; tests build
// their own.
#pragma once

#include "definitions/color_settings.h"
#include "definitions/machine_definition.h"
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
  MachineDefinition Machine;
  MachineKinematics Kinematics;
};

}  // namespace vestan
