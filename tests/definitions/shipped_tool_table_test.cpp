// The tool table and arbor table shipped in data/.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>

#include "definition_test_support.h"
#include "definitions/tool_geometry.h"
#include "definitions/tool_table_file.h"

namespace vestan {
namespace {

using testing::TempFolder;
using testing::ToolTableHarness;

const std::string kShippedTable = std::string(VESTAN_DATA_DIR) + "/atc.ttl";

TEST(ShippedToolTable, ReadsTwelveToolsWithTheirHolders) {
  ToolTableHarness harness;
  const DefinitionReadResult result = harness.Read(kShippedTable);
  ASSERT_EQ(result.State, kFileRead);
  EXPECT_TRUE(result.Notes.empty());
  EXPECT_EQ(harness.Files.ArborTable.State, kFileRead);
  EXPECT_EQ(harness.Files.ArborTableName, std::string(VESTAN_DATA_DIR) + "/bt40.atl");
  EXPECT_EQ(harness.StartTool, 1);
  EXPECT_EQ(harness.Table.MaxMagazineNumber, 12);
  for (int32_t t = 0; t <= 200; ++t)
    EXPECT_EQ(harness.Table.Defined[t], t >= 1 && t <= 12 ? 1 : 0) << t;

  struct Expected {
    int32_t kind;
    float diameter, cornerRadius, cuttingLength;
    int32_t shank;
    float protrusion;
    int32_t pen;
    const char* name;
  };
  const Expected tools[] = {
      {kToolFlat, 10, 0, 30, kShankLength, 60, 1, "FLAT END MILL D10"},
      {kToolBall, 6, 3, 12, kShankStraight, 50, 2, "BALL END MILL R3"},
      {kToolBull, 12, 1, 25, kShankLength, 55, 3, "BULL END MILL D12 R1"},
      {kToolTaperBall, static_cast<float>(TaperBallDiameter(1, 3)), 1, 40, kShankAngled, 70, 5,
       "TAPER BALL R1 3DEG"},
      {kToolBull, 16, 2, 35, kShankLength, 65, 6, "HIGH FEED D16 R2"},
      {kToolDrill, 8.5f, 0, 45, kShankLength, 95, 4, "DRILL D8.5"},
      {kToolDrill, 10, 0, 8, kShankLength, 50, 7, "CHAMFER D10 90DEG"},
      {kToolTThrow, 20, 0.5f, 15, kShankLength, 70, 8, "T-SLOT CUTTER D20"},
      {kToolSphere, 6, 0, 30, kShankStraight, 60, 9, "LOLLIPOP D6"},
      {kToolRadius, 20, 5, 5, kShankLength, 50, 10, "CORNER ROUNDING R5"},
      {kToolKegaki, 0.5f, 0, 1, kShankNone, 40, 11, "SCRIBER"},
      {kToolFlat, 50, 0, 6, kShankLength, 45, 12, "FACE MILL D50"},
  };
  for (int32_t t = 1; t <= 12; ++t) {
    const Expected& e = tools[t - 1];
    const ToolRecord& r = harness.Record(t);
    EXPECT_EQ(r.Kind, e.kind) << t;
    EXPECT_FLOAT_EQ(r.Diameter, e.diameter) << t;
    EXPECT_FLOAT_EQ(r.CornerRadius, e.cornerRadius) << t;
    EXPECT_FLOAT_EQ(r.CuttingLength, e.cuttingLength) << t;
    EXPECT_EQ(r.Name, e.name) << t;
    EXPECT_EQ(harness.Shank(t).Kind, e.shank) << t;
    EXPECT_EQ(harness.Shank(t).ProtrusionLength, e.protrusion) << t;
    EXPECT_EQ(harness.Table.Pens[t], e.pen) << t;
  }

  // The default holder from bt40.atl on every tool with a shank but the face mill.
  const ArborRecord& holder = harness.Table.DefaultArbor;
  EXPECT_EQ(holder.Present, 1);
  EXPECT_EQ(holder.StepCount, 3);
  EXPECT_EQ(holder.StepDiameter[2], 63.0f);
  EXPECT_EQ(holder.StepLength[0], 45.0f);
  for (int32_t t : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}) EXPECT_EQ(harness.Arbor(t), holder) << t;
  EXPECT_EQ(harness.Arbor(11).Present, 0);  // the scriber has none
  EXPECT_EQ(harness.Arbor(12).StepCount, 2);
  EXPECT_EQ(harness.Arbor(12).StepDiameter[1], 63.0f);

  EXPECT_EQ(harness.Shank(3).NeckDiameter, 11.5f);
  EXPECT_EQ(harness.Shank(2).NeckLength, 20.0f);
  EXPECT_EQ(harness.Record(8).BladeWidth, 3.0f);
  EXPECT_EQ(harness.Record(8).NeckDiameter, 8.0f);
  EXPECT_FLOAT_EQ(harness.Table.Limits[1].Values[0],
                  static_cast<float>(120 * std::numbers::pi * 100 / 400));
  EXPECT_EQ(harness.Table.Limits[12].Kind, 2);
  EXPECT_EQ(harness.Table.FeedTables[5].PairCount[1], 3);
  // A magazine: no tools mounted together.
  EXPECT_TRUE(harness.Table.Layout == ToolLayout{});
}

TEST(ShippedToolTable, ReadsTheSameWithWindowsLineEnds) {
  std::ifstream in(kShippedTable, std::ios::binary);
  std::string lf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string crlf;
  for (char c : lf) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  TempFolder folder;
  std::ifstream atl(std::string(VESTAN_DATA_DIR) + "/bt40.atl", std::ios::binary);
  folder.Write("bt40.atl", std::string((std::istreambuf_iterator<char>(atl)),
                                       std::istreambuf_iterator<char>()));
  ToolTableHarness unix, windows;
  unix.Read(kShippedTable);
  windows.Read(folder.Write("atc.ttl", crlf));
  EXPECT_EQ(windows.Table.Defined, unix.Table.Defined);
  EXPECT_TRUE(windows.Table.Records == unix.Table.Records);
  EXPECT_TRUE(windows.Table.Shanks == unix.Table.Shanks);
  EXPECT_TRUE(windows.Table.Arbors == unix.Table.Arbors);
  EXPECT_TRUE(windows.Table.FeedTables == unix.Table.FeedTables);
  EXPECT_TRUE(windows.Table.Limits == unix.Table.Limits);
  EXPECT_EQ(windows.Table.Lengths, unix.Table.Lengths);
  EXPECT_EQ(windows.Table.Pens, unix.Table.Pens);
  EXPECT_TRUE(windows.Table.Layout == unix.Table.Layout);
}

}  // namespace
}  // namespace vestan
