// Every record a tool change touches, and a tool table read with the tool
// change as its hook: for the tool set-up tests and the tool table fuzz target.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "definitions/tool_table_file.h"
#include "model/current_tool.h"
#include "model/tool_profile.h"

namespace vestan::testing {

struct ToolRecords {
  ToolTable Table;
  CurrentTool Current;
  ToolProfile Profile;
  ImportedToolMesh Mesh;
  MachinePositionState Position;
  LengthCompensationState Compensation;
  DisplayListTable Display;
  MachineDefinition Machine;
  MachineKinematics Kinematics;
  ControllerDefinition Controller;
  InterferenceCheckSettings Checks;
  PitchSettings Pitch;
  NcToolNumbers Tools;
  // Hooks of a table read besides the tool change.
  ToolTableReadHooks ReadHooks;
  ToolChangeRecords Records{Table,   Current, Profile,    Mesh,       Position, Compensation,
                            Display, Machine, Kinematics, Controller, Checks,   Pitch};

  explicit ToolRecords(int32_t maxTool = 20) {
    Table.MaxToolNumber = maxTool;
    AllocToolTables(Table);
  }

  // Reads a tool table with the tool change as its hook.
  DefinitionReadResult ReadTable(const std::string& fileName,
                                 const ToolTableReadOptions& options = {}) {
    ToolTableFiles files;
    SavedPositionState saved;
    ToolListState toolList;
    PluginState plugins;
    ToolTableLinks links{Tools, saved, toolList, plugins};
    ToolTableReadHooks hooks = ReadHooks;
    hooks.SetCurrentTool = [this](int32_t tool, double pitch) {
      SetCurrentTool(tool, pitch, Records);
      return TableBaseHeights(Records);
    };
    return ReadToolTable(fileName, Table, files, links, options, hooks);
  }

  void Set(int32_t tool, double pitch = 0.0) { SetCurrentTool(tool, pitch, Records); }

  // The outline as (radius, height) pairs.
  std::vector<std::pair<double, double>> Outline() const {
    std::vector<std::pair<double, double>> points;
    for (int32_t i = 0; i < Profile.PointCount; ++i)
      points.emplace_back(Profile.Radius[i], Profile.Height[i]);
    return points;
  }
};

}  // namespace vestan::testing
