// Every record a tool change touches, with the hand-written table of one tool
// of each kind, for the tool set-up and profile tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "definitions/tool_table_file.h"
#include "model/current_tool.h"
#include "model/tool_profile.h"

namespace vestan::testing {

// Tool numbers of tests/fixtures/model/all_kinds.ttl.
enum FixtureTool : int32_t {
  kFlatTool = 1,
  kBallTool = 2,
  kBullTool = 3,
  kDrillTool = 4,
  kTaperBallTool = 5,
  kVerticalTool = 6,
  kOvalTool = 7,
  kOvalRTool = 8,
  kTThrowTool = 9,
  kSphereTool = 10,
  kRadiusTool = 11,
  kKegakiTool = 12,
  kImportTool = 13,
  kCutterTool = 14,
  kNoShankAngleTool = 15,
  kShiftPenTool = 16,
};

struct ToolWorld {
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

  explicit ToolWorld(int32_t maxTool = 20) {
    Table.MaxToolNumber = maxTool;
    AllocToolTables(Table);
  }

  // Reads a tool table with the tool change as its hook.
  DefinitionReadResult ReadTable(const std::string& fileName) {
    ToolTableFiles files;
    SavePositionState saved;
    ToolListState toolList;
    PluginState plugins;
    ToolTableLinks links{Tools, saved, toolList, plugins};
    ToolTableReadOptions options;
    ToolTableReadHooks hooks = ReadHooks;
    hooks.SetCurrentTool = [this](int32_t tool, double pitch) {
      SetCurrentTool(tool, pitch, Records);
      return TableBaseHeights(Records);
    };
    return ReadToolTable(fileName, Table, files, links, options, hooks);
  }

  // Reads the fixture table; its start tool is made current with pitch 0.
  void ReadFixtureTable() {
    const DefinitionReadResult result = ReadTable(VESTAN_FIXTURES_DIR "/model/all_kinds.ttl");
    ASSERT_TRUE(result.Notes.empty()) << FormatNote(result.Notes.front());
    ASSERT_EQ(Table.MaxMagazineNumber, 16);
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
