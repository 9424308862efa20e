// Every record a tool change touches, with the hand-written table of one tool
// of each kind, for the tool set-up and profile tests.
#pragma once

#include <gtest/gtest.h>

#include "model/tool_records.h"
#include "support/current_folder.h"

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

struct ToolWorld : ToolRecords {
  using ToolRecords::ToolRecords;

  // Reads the fixture table as the session does (its start tool made
  // current at the work pitch). Its IMPORT tool's shape is the cube of the
  // model file fixtures.
  void ReadFixtureTable() {
    const CurrentFolder meshes(VESTAN_FIXTURES_DIR "/modelfiles");
    const DefinitionReadResult result = ReadTable(VESTAN_FIXTURES_DIR "/model/all_kinds.ttl");
    ASSERT_TRUE(result.Notes.empty()) << FormatNote(result.Notes.front());
    ASSERT_EQ(Table.MaxMagazineNumber, 16);
  }
};

}  // namespace vestan::testing
