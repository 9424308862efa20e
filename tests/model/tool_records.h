// Every record a tool change touches, named out of a session, and a tool
// table read as the session reads one: for the tool set-up tests and the
// tool table fuzz target.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "definitions/tool_table_file.h"
#include "model/current_tool.h"
#include "model/tool_profile.h"
#include "platform/recording_host.h"
#include "simulation/session.h"
#include "simulation/session_files.h"
#include "simulation/session_tools.h"

namespace vestan::testing {

struct ToolRecords {
  RecordingHost Host;
  Session S{Host};
  ToolTable& Table = S.Defs.Tools;
  CurrentTool& Current = S.Tool;
  ToolProfile& Profile = S.Profile;
  ImportedToolMesh& Mesh = S.ToolMesh;
  MachinePositionState& Position = S.Nc.Position;
  LengthCompensationState& Compensation = S.Nc.Modal.Length;
  DisplayListTable& Display = S.Display;
  MachineDefinition& Machine = S.Defs.Machine;
  MachineKinematics& Kinematics = S.Defs.Kinematics;
  ControllerDefinition& Controller = S.Defs.Controller;
  InterferenceCheckSettings& Checks = S.Defs.Checks;
  PitchSettings& Pitch = S.Defs.Settings.Pitch;
  NcToolNumbers& Tools = S.Nc.Modal.Tools;
  ToolChangeRecords Records = ToolChangeOf(S);

  explicit ToolRecords(int32_t maxTool = 20) {
    Table.MaxToolNumber = maxTool;
    AllocToolTables(Table);
  }

  // Reads a tool table as the session does: its start tool made current.
  ToolTableReadResult ReadTable(const std::string& fileName) {
    S.Defs.Paths.ToolTable = fileName;
    return ReadToolTableInto(S);
  }

  // The tool set-up alone, and the session's whole tool change.
  void Set(int32_t tool, double pitch = 0.0) { SetCurrentTool(tool, pitch, Records); }
  void Change(int32_t tool, double pitch = 0.0) { ApplyToolChange(S, tool, pitch); }

  // The outline as (radius, height) pairs.
  std::vector<std::pair<double, double>> Outline() const {
    std::vector<std::pair<double, double>> points;
    for (int32_t i = 0; i < Profile.PointCount; ++i)
      points.emplace_back(Profile.Radius[i], Profile.Height[i]);
    return points;
  }
};

}  // namespace vestan::testing
