// The definitions the application owns: the settings and colours, the file
// names, the check settings, the tool table with its files, the controller
// definition and the machine definition records; and apart from them what
// the controller keeps in memory, which an NC program may change as it runs.
// One of each per application (the session's), passed by reference.
#pragma once

#include <array>
#include <cstdint>

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
  WatchedFile ControllerFile;
  MachineDefinition Machine;
  MachineKinematics Kinematics;
  StrokeLimits Limits;
  MachinePartModels Parts;
  WatchedFile MachineFile;
};

// What the controller keeps in memory and an NC program may change as it
// runs: the offset memory (G10, work offset selections, length offsets
// booked at tool changes) and each rotary axis's shortest-route switch
// (G126/G127; 1: the axis turns the shortest way). A run changes the
// application's own; a pass that must leave it as it is (the data check,
// the path drawing) works on a copy.
struct ControllerMemory {
  OffsetMemory Offsets;
  std::array<uint8_t, 2> ShortestRoute{};
};

// The shortest-route switches as the controller definition sets them.
inline std::array<uint8_t, 2> DefinedShortestRoutes(const ControllerDefinition& controller) {
  return {controller.Rotary[0].ShortestRoute[0], controller.Rotary[1].ShortestRoute[0]};
}

}  // namespace vestan
