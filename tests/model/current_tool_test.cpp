#include "model/current_tool.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "definitions/tool_table_file.h"

namespace vestan {
namespace {

struct ToolChangeFixture : ::testing::Test {
  ToolTable Table;
  CurrentTool Current;
  MachinePositionState Position;
  LengthCompensationState Compensation;
  DisplayListTable Display;
  ToolChangeRecords Records{Table, Current, Position, Compensation, Display};

  ToolChangeFixture() {
    Table.MaxToolNumber = 10;
    AllocToolTables(Table);
  }
};

TEST_F(ToolChangeFixture, CopiesTheToolsRecordsLengthAndPen) {
  Table.Records[3].Kind = kToolBall;
  Table.Records[3].Diameter = 8;
  Table.Shanks[3].ProtrusionLength = 40;
  Table.Arbors[3].Present = 1;
  Table.Lengths[3] = 12.5f;
  Table.Pens[3] = 9;
  Compensation.PluginTool = 1;
  SetCurrentTool(3, 0.5, Records);
  EXPECT_EQ(Current.Tool, Table.Records[3]);
  EXPECT_EQ(Current.Shank, Table.Shanks[3]);
  EXPECT_EQ(Current.Arbor, Table.Arbors[3]);
  EXPECT_EQ(Position.ToolLength, 12.5f);
  EXPECT_EQ(Current.PenNumber, 9);
  EXPECT_EQ(Current.PenTag, 0x90);
  EXPECT_EQ(Compensation.PluginTool, 0);
  EXPECT_TRUE(Display.NeedsRebuild(kListTool));
}

TEST_F(ToolChangeFixture, ToolZeroWithoutLengthOrPen) {
  Current.PenNumber = 4;
  Table.Lengths[0] = kNoToolZeroLength;
  Table.Pens[0] = -1;
  Compensation.PluginTool = 1;  // a plug-in tool sits in slot 0
  SetCurrentTool(0, 0, Records);
  EXPECT_EQ(Position.ToolLength, 0.0f);
  EXPECT_EQ(Current.PenNumber, 4);  // keeps the previous pen
  EXPECT_EQ(Compensation.PluginTool, 1);
}

TEST_F(ToolChangeFixture, ToolNumbersOutsideTheTableAreUndefinedTools) {
  Table.Records[1].Defined = 1;
  SetCurrentTool(1, 0, Records);
  for (int32_t tool : {11, 500, -1, 2147483647}) {
    SetCurrentTool(tool, 0, Records);
    EXPECT_EQ(Current.Tool, ToolRecord{}) << tool;
    EXPECT_EQ(Position.ToolLength, 0.0f) << tool;
  }
}

TEST_F(ToolChangeFixture, TableStartToolBeyondTheTableIsNeverIndexed) {
  const auto file = std::filesystem::temp_directory_path() /
                    ("vestan_current_tool_" + std::to_string(::getpid()) + ".ttl");
  std::ofstream(file) << "I 99\nMAGAZINE 1 BALL 10,20\n";
  ToolTableFiles files;
  NcToolNumbers tools;
  SavePositionState saved;
  ToolListState toolList;
  PluginState plugins;
  ToolTableLinks links{tools, Current, Position, saved, toolList, plugins};
  ToolTableReadOptions options;
  ToolTableReadHooks hooks;
  hooks.SetCurrentTool = [this](int32_t tool, double pitch) {
    SetCurrentTool(tool, pitch, Records);
  };
  const DefinitionReadResult result =
      ReadToolTable(file.string(), Table, files, links, options, hooks);
  std::filesystem::remove(file);
  EXPECT_EQ(result.Notes.size(), 1u);
  EXPECT_EQ(tools.CurrentToolNumber, 99);
  EXPECT_EQ(Current.Tool.Defined, 0);
  EXPECT_TRUE(Display.NeedsRebuild(kListTool));
}

}  // namespace
}  // namespace vestan
