// Damaged tool tables and arbor tables: the readers read what they can and
// never step outside a line or an array.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "definition_test_support.h"
#include "definitions/arbor_table.h"
#include "definitions/tool_table_file.h"

namespace vestan {
namespace {

using testing::Noise;
using testing::TempFolder;
using testing::ToolTableHarness;

TEST(DamagedToolTable, TruncatedLinesReadAsFarAsTheyGo) {
  // Every key cut short, each as the last line of a file without a newline.
  const char* endings[] = {"MAGAZINE",  "MAGAZINE5", "MAGAZINE 5 B",  "MAGAZINE 5 BALL",
                           "LENGTH2 5", "LENGTH3;",  "ARBOR3",        "ARBOR2 1,",
                           "ATL",       "ATL ",      "OPT-F",         "OPT-F(",
                           "LIMITP",    "LIMIT 5%,", "LAYOUT1 1,",    "PEN",
                           "SHIFT",     "CUTTER 1;", "T-THROW 5;",    "\"",
                           "I",         "NAME=",     "BALL 1,2 \"ab", "IMPORT-TOOL \"x"};
  TempFolder folder;
  ToolTableHarness harness(20);
  for (const char* ending : endings) {
    const std::string content = std::string("MAGAZINE 1 FLAT 10,20\n") + ending;
    const DefinitionReadResult result = harness.Read(folder.Write("t.ttl", content));
    EXPECT_EQ(result.State, kFileRead) << ending;
    EXPECT_EQ(harness.Table.Defined[1], 1) << ending;
  }
  harness.Read(folder.Write("t.ttl", "MAGAZINE5"));
  EXPECT_EQ(harness.Table.Defined[5], 1);
  harness.Read(folder.Write("t.ttl", "MAGAZINE 5 BALL 8,20 LENGTH 3"));
  EXPECT_EQ(harness.Shank(5).ProtrusionLength, 3.0f);
}

TEST(DamagedToolTable, BinaryNoiseAfterAGoodTableKeepsItsTools) {
  TempFolder folder;
  ToolTableHarness harness(50);
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    const std::string content = "MAGAZINE 1 BALL 10,40\nLENGTH 60\n" + Noise(64 * 1024, seed);
    const DefinitionReadResult result = harness.Read(folder.Write("t.ttl", content));
    EXPECT_EQ(result.State, kFileRead) << seed;
    EXPECT_EQ(harness.Table.Defined[1], 1) << seed;
  }
  // Noise that reads as tool lines: every tool stays inside the table.
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    std::string content = "MAGAZINE 3\n";
    const std::string noise = Noise(16 * 1024, seed);
    for (size_t i = 0; i < noise.size(); i += 64)
      content += "MAGAZINE " + std::to_string(1 + (i / 64) % 50) + " " + noise.substr(i, 64) + "\n";
    harness.Read(folder.Write("t.ttl", content));
    EXPECT_EQ(harness.Table.Entries(), 51u);
  }
}

TEST(DamagedToolTable, VeryLongLinesAreReadWhole) {
  TempFolder folder;
  ToolTableHarness harness(20);
  std::string keys;
  while (keys.size() < 100000) keys += "LIMIT 5 ARBOR 30 PEN 3 OPT-F(V) 7 SHIFT 1 ";
  std::string commas;  // every value search runs over the whole line
  while (commas.size() < 100000) commas += "LIMIT 1,2%,3 ARBOR3 1,2,3,4 OPT-F 1,2,3 LENGTH3 1;2,3 ";
  std::string content = "MAGAZINE 2 BALL 10,40 " + keys + "\nLENGTH 50\n";
  content += "MAGAZINE 3 FLAT 5,10 \"" + std::string(100000, 'N') + "\" PEN 4\n";
  content += "MAGAZINE 4 FLAT 5,10\nLENGTH 1\nARBOR 40,10\nATL " + std::string(100000, 'x') + "\n";
  content += std::string(100000, '9') + "\n" + std::string(100000, ',') + "\n" + commas + "\n";
  const DefinitionReadResult result = harness.Read(folder.Write("t.ttl", content));
  EXPECT_EQ(result.State, kFileRead);
  EXPECT_EQ(harness.Record(2).Kind, kToolBall);
  EXPECT_EQ(harness.Table.Pens[2], 3);
  EXPECT_EQ(harness.Table.Lengths[2], 1.0f);
  EXPECT_EQ(harness.Table.Limits[2].Values, (std::array<float, 4>{5, 5, 5, 5}));
  EXPECT_EQ(harness.Table.FeedTables[2].Table[1][0], 7.0f);
  EXPECT_EQ(harness.Arbor(2).StepCount, 1);
  EXPECT_EQ(harness.Shank(2).ProtrusionLength, 50.0f);
  EXPECT_EQ(harness.Record(3).Name->size(), 100000u);
  EXPECT_EQ(harness.Table.Pens[3], 4);
  // The over-long arbor table name is refused: the tool keeps its holder.
  EXPECT_EQ(harness.Arbor(4).Present, 1);
  EXPECT_EQ(harness.Arbor(4).StepDiameter[0], 40.0f);
  ASSERT_EQ(result.Notes.size(), 1u);
  EXPECT_EQ(result.Notes[0].Line, 7);
}

TEST(DamagedToolTable, NumbersBeyondAFloatAreRefusedKeyByKey) {
  TempFolder folder;
  const std::string path = testing::CopyFixture(folder, "out_of_range.ttl");
  ToolTableHarness harness(20);
  const DefinitionReadResult result = harness.Read(path);
  ASSERT_EQ(result.State, kFileRead);
  EXPECT_EQ(testing::NoteLines(result),
            (std::vector<std::string>{
                "2: ARBOR: a value is not a finite number; the line is ignored",
                "3: SHIFT of tool 1: a value is not a finite number; the key is ignored",
                "4: BALL of tool 2: a value is not a finite number; the key is ignored",
                "6: LIMIT of tool 3: a value is not a finite number; the key is ignored",
                "7: LAYOUT1 of tool 3: a value is not a finite number; the key is ignored",
                "8: ARBOR of tool 3: a value is not a finite number; the key is ignored",
            }));
  EXPECT_EQ(harness.Table.DefaultArbor.Present, 0);
  EXPECT_EQ(harness.Record(1).Diameter, 10.0f);
  EXPECT_EQ(harness.Table.Lengths[1], 0.0f);
  EXPECT_EQ(harness.Record(2).Diameter, 0.0f);
  EXPECT_EQ(harness.Record(2).Kind, kToolDrill);
  EXPECT_EQ(harness.Shank(2).ProtrusionLength, 50.0f);  // the keys behind it are read
  EXPECT_EQ(harness.Record(3).Kind, kToolFlat);
  EXPECT_EQ(harness.Arbor(3).Present, 0);
  EXPECT_EQ(harness.Table.Limits[3].Kind, 0);
  EXPECT_EQ(harness.Table.Layout.Placed[3], 0);
}

TEST(DamagedArborTable, NoiseAndLongLinesGiveAHolderOrNone) {
  TempFolder folder;
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    std::string name = folder.Write("a.atl", Noise(8 * 1024, seed));
    ArborRecord arbor;
    EXPECT_EQ(ReadArborTable(name, "", arbor, nullptr), kFileRead);
    EXPECT_LE(arbor.StepCount, kMaxArborSteps);
    EXPECT_GE(arbor.StepCount, 0);
  }
  std::string name = folder.Write("b.atl", "ARBOR3 " + std::string(100000, '7') + ",");
  ArborRecord arbor;
  EXPECT_EQ(ReadArborTable(name, "", arbor, nullptr), kFileRead);
  EXPECT_EQ(arbor.StepCount, 0);
  EXPECT_EQ(arbor.Present, 1);
}

}  // namespace
}  // namespace vestan
