#include "definitions/tool_table_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "definition_test_support.h"

namespace vestan {
namespace {

using testing::NoteMentions;
using testing::TempFolder;
using testing::ToolTableHarness;

class ToolTableFileTest : public ::testing::Test {
 protected:
  // Writes content as a tool table and reads it.
  DefinitionReadResult ReadText(std::string_view content, const std::string& name = "t.ttl") {
    path_ = folder_.Write(name, content);
    return harness_.Read(path_);
  }

  TempFolder folder_;
  ToolTableHarness harness_{20};
  std::string path_;
};

TEST_F(ToolTableFileTest, StartToolLineAloneNamesTheStartTool) {
  const DefinitionReadResult result = ReadText("I5\n");
  EXPECT_EQ(result.State, kFileRead);
  EXPECT_EQ(harness_.Files.ToolTable.State, kFileRead);
  EXPECT_EQ(harness_.Files.ToolTable.Time, std::filesystem::last_write_time(path_));
  EXPECT_EQ(harness_.StartTool, 5);
  for (int32_t t = 0; t <= 20; ++t) EXPECT_EQ(harness_.Table.Defined[t], 0) << t;
  EXPECT_EQ(harness_.Table.MaxMagazineNumber, 11);
}

TEST_F(ToolTableFileTest, StartToolLineIsAnyLineBeginningWithI) {
  ReadText(
      "MAGAZINE 1 FLAT 10,20\n"
      "IMPORT \"7.stl\"\n"  // a start tool line, not an import: its number is the 7
      "LENGTH 50\n");
  EXPECT_EQ(harness_.StartTool, 7);
  EXPECT_EQ(harness_.Record(1).Kind, kToolFlat);
  EXPECT_EQ(harness_.Shank(1).ProtrusionLength, 50.0f);
}

TEST_F(ToolTableFileTest, MagazineNumberOutOfRangeEndsTheReading) {
  for (const char* stop : {"MAGAZINE 0", "MAGAZINE 21", "MAGAZINE -2", "MAGAZINE=2", "MAGAZINE",
                           "MAGAZINE 99999999999"}) {
    const std::string content = std::string("MAGAZINE 1 BALL 10,40\nLIMIT 5\n") + stop +
                                "\nLENGTH 50\nMAGAZINE 2 FLAT 5,10\nLENGTH 40\n";
    const DefinitionReadResult result = ReadText(content);
    EXPECT_EQ(harness_.Table.Defined[1], 1) << stop;
    EXPECT_EQ(harness_.Record(1).Kind, kToolBall) << stop;
    EXPECT_EQ(harness_.Shank(1).Kind, kShankNone) << stop;  // the LENGTH line was not read
    EXPECT_EQ(harness_.Table.Defined[2], 0) << stop;
    ASSERT_EQ(result.Notes.size(), 1u) << stop;
    EXPECT_EQ(result.Notes[0].Line, 3) << stop;
    EXPECT_EQ(harness_.Arbor(1).Present, 0) << stop;  // post-processing ran: no shank, no holder
  }
  ReadText("MAGAZINE 20 FLAT 5,10\nMAGAZINE\t3\n");  // the highest number and a tab both work
  EXPECT_EQ(harness_.Table.Defined[20], 1);
  EXPECT_EQ(harness_.Table.Defined[3], 1);
  EXPECT_EQ(harness_.Table.MaxMagazineNumber, 20);
}

TEST_F(ToolTableFileTest, KeysOnTheMagazineLineAndOnLaterLinesApplyToTheSameTool) {
  for (const char* content :
       {"MAGAZINE 3 BALL 10,40 LENGTH 60\n", "MAGAZINE 3 BALL 10,40\nLENGTH 60\n",
        "magazine 3 ball=10,40\n\n# note\nlength 60\n",
        "MAGAZINE 3 BALL 10,40 FLAT 8,20 LENGTH 60\n"}) {
    ReadText(content);
    EXPECT_EQ(harness_.Record(3).Kind, kToolBall) << content;
    EXPECT_EQ(harness_.Record(3).Diameter, 10.0f) << content;  // FLAT is not read
    EXPECT_EQ(harness_.Record(3).CuttingLength, 40.0f) << content;
    EXPECT_EQ(harness_.Shank(3).Kind, kShankLength) << content;
    EXPECT_EQ(harness_.Shank(3).ProtrusionLength, 60.0f) << content;
    EXPECT_EQ(harness_.Shank(3).NeckDiameter, -1.0f) << content;
  }
  // A cutter key on a later line is read: one cutter per line, not per tool.
  ReadText("MAGAZINE 3 BALL 10,40\nFLAT 8,20\n");
  EXPECT_EQ(harness_.Record(3).Kind, kToolFlat);
}

TEST_F(ToolTableFileTest, ToolKeysBeforeTheFirstToolAreIgnored) {
  ReadText("BALL 10,20\nLENGTH 50\nPEN 3\nMAGAZINE 1\n");
  EXPECT_EQ(harness_.Table.Defined[1], 1);
  EXPECT_EQ(harness_.Record(1).Kind, kToolDrill);
  EXPECT_EQ(harness_.Shank(1).Kind, kShankNone);
  EXPECT_EQ(harness_.Table.Pens[1], 0);
}

TEST_F(ToolTableFileTest, NameKeyEndsTheLineAndQuotedNamesHideKeys) {
  ReadText("MAGAZINE 1 FLAT 10,20 \"PEN 9\" NAME=LENGTH 5 PEN 3\nSHIFT 1.5\n");
  EXPECT_EQ(harness_.Record(1).Name, "PEN 9");
  EXPECT_EQ(harness_.Table.Pens[1], 0);
  EXPECT_EQ(harness_.Shank(1).Kind, kShankNone);
  EXPECT_EQ(harness_.Table.Lengths[1], 1.5f);
}

TEST_F(ToolTableFileTest, LengthKeys) {
  ReadText(
      "MAGAZINE 1 FLAT 10,20\nLENGTH 60;8\n"
      "MAGAZINE 2 BALL 6,12\nLENGTH2 50;4,20;5,3,8\n"
      "MAGAZINE 3 BALL 6,12\nLENGTH2A 50,20,3,8\n"
      "MAGAZINE 4 SPHERE 6,3\nLENGTH2A 50,20,3,8\n"
      "MAGAZINE 5 BALL 6,12\nLENGTH3 70;4,45,5,3,10,8\n"
      "MAGAZINE 6 RADIUS 20,5,10\nLENGTH3A 70,45,5,3,10,8\n"
      "MAGAZINE 7 FLAT 6,12\nLENGTH3A 70,45,5,3,10,8\n"
      "MAGAZINE 8 KEGAKI 1,2\nLENGTH 40\nARBOR 30,20\n"
      "MAGAZINE 9 FLAT 6,12\nLENGTH2 50;4,20,3,8\n");
  const auto& s = harness_.Table.Shanks;
  EXPECT_EQ(s[1].Kind, kShankLength);
  EXPECT_EQ(s[1].NeckDiameter, 8.0f);
  EXPECT_EQ(s[1].ShankDiameter, 10.0f);  // the tool's diameter

  EXPECT_EQ(s[2].Kind, kShankStraight);
  EXPECT_EQ(s[2].ProtrusionLength, 50.0f);
  EXPECT_EQ(s[2].NeckLength, 20.0f);
  EXPECT_EQ(s[2].NeckDiameter, 5.0f);  // the value behind the neck length
  EXPECT_EQ(s[2].TransitionLength, 3.0f);
  EXPECT_EQ(s[2].ShankDiameter, 8.0f);
  EXPECT_EQ(s[9].NeckDiameter, -1.0f);  // only one behind the protrusion: not given

  EXPECT_EQ(s[3].Kind, kShankStraightCutting);
  EXPECT_EQ(harness_.Record(3).CuttingLength, 23.0f);  // raised to neck + transition
  EXPECT_EQ(s[4].Kind, kShankStraight);

  EXPECT_EQ(s[5].Kind, kShankAngled);
  EXPECT_EQ(s[5].NeckLength, 45.0f);
  EXPECT_EQ(s[5].TransitionLength, 5.0f);
  EXPECT_EQ(s[5].NeckAngle, 3.0f);
  EXPECT_EQ(s[5].ShankAngle, 10.0f);
  EXPECT_EQ(s[5].ShankDiameter, 8.0f);
  EXPECT_EQ(s[6].Kind, kShankAngled);
  EXPECT_EQ(s[7].Kind, kShankAngledCutting);
  EXPECT_EQ(harness_.Record(7).CuttingLength, 12.0f);  // only LENGTH2A raises it

  EXPECT_EQ(s[8].Kind, kShankNone);  // a kegaki tool has no shank and no holder
  EXPECT_EQ(harness_.Arbor(8).Present, 0);
}

TEST_F(ToolTableFileTest, HoldersComeFromDefaultAndOwnLinesButOnlyWithAShank) {
  folder_.Write("sub/BT40.atl", "ARBOR 32,45,63,15\n");
  ReadText(
      "ARBOR 40,20\n"
      "MAGAZINE 1 FLAT 10,20\nLENGTH 50\n"
      "ARBOR3 20,30,1,25,0,0,0\n"
      "MAGAZINE 2 FLAT 5,10\nLENGTH 40\n"
      "MAGAZINE 3 FLAT 5,10\n"
      "MAGAZINE 4 FLAT 5,10\nLENGTH 40\nATL bt40.atl\n",
      "sub/t.ttl");
  EXPECT_EQ(harness_.Arbor(1).Form, kArborTriples);
  EXPECT_EQ(harness_.Arbor(1).StepCount, 1);
  EXPECT_EQ(harness_.Arbor(1).StepDiameter[1], 25.0f);
  EXPECT_EQ(harness_.Arbor(2), harness_.Table.DefaultArbor);  // the default holder
  EXPECT_EQ(harness_.Arbor(2).StepDiameter[0], 40.0f);
  EXPECT_EQ(harness_.Arbor(3).Present, 0);  // no LENGTH: no holder
  EXPECT_EQ(harness_.Arbor(4).Present, 1);  // own arbor table beside the tool table
  EXPECT_EQ(harness_.Arbor(4).StepCount, 2);
  EXPECT_EQ(harness_.Files.ArborTable.State, kFileNotWatched);  // a tool's own file is not watched
  EXPECT_EQ(harness_.Files.ArborTableName, "");
}

TEST_F(ToolTableFileTest, DefaultArborTableIsNamedBeforeTheFirstTool) {
  const std::string atl = folder_.Write("bt40.atl", "ARBOR 32,45,63,15\n");
  ReadText(
      "ATL =\t bt40.atl\nMAGAZINE 1 FLAT 10,20\nLENGTH 50\nMAGAZINE 2 FLAT 10,20\nLENGTH 50\n");
  EXPECT_EQ(harness_.Files.ArborTableName, (folder_.Path() / "bt40.atl").string());
  EXPECT_EQ(harness_.Files.ArborTable.State, kFileRead);
  EXPECT_EQ(harness_.Files.ArborTable.Time, std::filesystem::last_write_time(atl));
  EXPECT_EQ(harness_.Arbor(1).StepCount, 2);
  EXPECT_EQ(harness_.Arbor(2).StepDiameter[1], 63.0f);

  // A name too long for the file paths is refused whole: the earlier name stays.
  const std::string longName(256, 'a');
  const DefinitionReadResult result =
      ReadText("ATL bt40.atl\nATL " + longName + "\nMAGAZINE 1 FLAT 10,20\nLENGTH 50\n");
  EXPECT_EQ(harness_.Files.ArborTableName, (folder_.Path() / "bt40.atl").string());
  EXPECT_EQ(harness_.Arbor(1).StepCount, 2);
  ASSERT_EQ(result.Notes.size(), 1u);
  EXPECT_EQ(result.Notes[0].Line, 2);

  // A missing default arbor table gives no holder and state -1.
  ReadText("ATL none.atl\nMAGAZINE 1 FLAT 10,20\nLENGTH 50\n");
  EXPECT_EQ(harness_.Files.ArborTable.State, kFileMissing);
  EXPECT_EQ(harness_.Arbor(1).Present, 0);
}

TEST_F(ToolTableFileTest, PenShiftAndLimits) {
  ReadText(
      "MAGAZINE 1 FLAT 10,20\nPEN 20\nLIMIT 50%\n"
      "MAGAZINE 2 FLAT 10,20\nPEN 0\nLIMITP 10%,20,30%,40%\nSHIFT -2.5\n"
      "MAGAZINE 3 FLAT 10,20\nPEN -3\nLIMITS 1,2,3\n"
      "MAGAZINE 4 FLAT 10,20\nPEN 7.9\nLIMITSP 4\n"
      "MAGAZINE 5 FLAT 10,20\nPEN5\nLIMIT 10,20,30%\n");
  const double pct = std::numbers::pi * 100 / 400;  // 1% of a D10 cross-section
  EXPECT_EQ(harness_.Table.Pens[1], 15);
  EXPECT_EQ(harness_.Table.Pens[2], 0);
  EXPECT_EQ(harness_.Table.Pens[3], 0);
  EXPECT_EQ(harness_.Table.Pens[4], 7);
  EXPECT_EQ(harness_.Table.Pens[5], 0);  // a digit right behind the key is not read
  EXPECT_EQ(harness_.Table.Lengths[2], -2.5f);

  const auto& l = harness_.Table.Limits;
  EXPECT_EQ(l[1].Kind, 1);
  for (float v : l[1].Values) EXPECT_FLOAT_EQ(v, static_cast<float>(50 * pct));  // ≈ 39.27
  EXPECT_EQ(l[2].Kind, 11);
  EXPECT_FLOAT_EQ(l[2].Values[0], static_cast<float>(10 * pct));
  EXPECT_EQ(l[2].Values[1], 20.0f);
  EXPECT_FLOAT_EQ(l[2].Values[2], static_cast<float>(30 * pct));
  EXPECT_FLOAT_EQ(l[2].Values[3], static_cast<float>(40 * pct));
  EXPECT_EQ(l[3].Kind, 2);
  EXPECT_EQ(l[3].Values, (std::array<float, 4>{1, 2, 3, 0}));
  EXPECT_EQ(l[4].Kind, 12);
  EXPECT_EQ(l[4].Values, (std::array<float, 4>{4, 4, 4, 4}));
  // A percentage on the last value given is a percentage too.
  EXPECT_EQ(l[5].Values[1], 20.0f);
  EXPECT_FLOAT_EQ(l[5].Values[2], static_cast<float>(30 * pct));
}

TEST_F(ToolTableFileTest, FeedTables) {
  ReadText(
      "MAGAZINE 1 FLAT 10,20\n"
      "OPT-F(V) 2000,0.5,1800,1.0,1500,2.0,1000\n"
      "OPT-F 900,1,800,0,700\n"
      "OPT-F(D) 500,1\n");
  const ToolFeedRecord& f = harness_.Table.FeedTables[1];
  EXPECT_EQ(f.Enabled, (std::array<int32_t, 4>{1, 1, 0, 1}));
  EXPECT_EQ(f.PairCount[1], 3);
  EXPECT_EQ(f.Table[1][0], 2000.0f);
  EXPECT_EQ(f.PairX[1][2], 2.0f);
  EXPECT_EQ(f.Table[1][3], 1000.0f);
  EXPECT_EQ(f.PairCount[0], 1);  // a zero x ends the pairs
  EXPECT_EQ(f.Table[0][0], 900.0f);
  EXPECT_EQ(f.PairCount[3], 0);  // x without y
  EXPECT_EQ(f.PairX[3][0], 1.0f);

  // Twenty pairs: only nineteen fit.
  std::string line = "MAGAZINE 1\nOPT-F(U) 1";
  for (int i = 1; i <= 20; ++i)
    line.append(",").append(std::to_string(i)).append(",").append(std::to_string(100 + i));
  ReadText(line + "\n");
  EXPECT_EQ(harness_.Table.FeedTables[1].PairCount[2], 19);
  EXPECT_EQ(harness_.Table.FeedTables[1].Table[2][19], 119.0f);
}

TEST_F(ToolTableFileTest, Layout) {
  ReadText("MAGAZINE 1\nLAYOUT1 5,6,7\n");
  EXPECT_EQ(harness_.Table.Layout, ToolLayout{});  // a single position is dropped

  ReadText("MAGAZINE 4\nLAYOUT1 5,6,7\nMAGAZINE 2\nLAYOUT1 1,2,3\n");
  const ToolLayout& layout = harness_.Table.Layout;
  EXPECT_EQ(layout.Count, 2);
  EXPECT_EQ(layout.Order[1], 4);
  EXPECT_EQ(layout.Order[2], 2);
  EXPECT_EQ(layout.Placed[4], 1);
  EXPECT_EQ(layout.Position[2], (std::array<double, 3>{1, 2, 3}));
}

TEST(ToolTableLayout, PositionsBeyondTheLayoutAreIgnored) {
  TempFolder folder;
  ToolTableHarness harness(300);
  std::string content;
  for (int t = 1; t <= 250; ++t)
    content += "MAGAZINE " + std::to_string(t) + "\nLAYOUT1 " + std::to_string(t) + ",0,0\n";
  const DefinitionReadResult result = harness.Read(folder.Write("t.ttl", content));
  EXPECT_EQ(harness.Table.Layout.Count, 200);
  EXPECT_EQ(harness.Table.Layout.Order[200], 200);
  EXPECT_EQ(harness.Table.Defined[250], 1);
  EXPECT_EQ(result.Notes.size(), 1u);  // noted once
}

TEST_F(ToolTableFileTest, ToolBasePoint) {
  const std::string content =
      "MAGAZINE 1 BALL 10,20\nLENGTH 50\nSHIFT 1\n"
      "MAGAZINE 2 BULL 10,2,20\nLENGTH 60\n"
      "MAGAZINE 3 CUTTER 10,2,0,2,30,0,20\nLENGTH 70\n"
      "MAGAZINE 4 BALL 10,20\n";  // no shank: nothing is added
  struct Case {
    int32_t mode;
    std::array<float, 4> lengths;  // tools 1..4
  };
  const Case cases[] = {{kBaseBottom, {1, 0, 0, 0}},           {kBaseBallCentre, {6, 0, 0, 0}},
                        {kBaseFullRadiusCentre, {2, 2, 3, 0}}, {kBaseCornerHeight, {6, 2, 0, 0}},
                        {kBaseLengthTop, {51, 60, 70, 0}},     {kBaseArborTop, {101, 200, 300, 0}}};
  // The tool set-up gives the full-radius height t and the reference length
  // 100 t; it is asked only by the two rules that read it.
  for (const Case& c : cases) {
    ReadText(content);
    for (size_t t = 0; t < harness_.Table.Entries(); ++t) {
      if (!TakesBasePointLength(harness_.Table, t, c.mode)) continue;
      const ToolBaseHeights heights =
          BasePointReadsToolSetUp(c.mode) ? ToolBaseHeights{1.0 * t, 100.0 * t} : ToolBaseHeights{};
      AddToolBasePointLength(harness_.Table, t, c.mode, heights);
    }
    for (int t = 1; t <= 4; ++t)
      EXPECT_EQ(harness_.Table.Lengths[t], c.lengths[t - 1]) << "mode " << c.mode << " tool " << t;
  }
}

TEST_F(ToolTableFileTest, CommandLineToolAndOutOfRangeStartTools) {
  harness_.Options.CommandLineToolNumber = 7;
  ReadText("I 3\nMAGAZINE 7 FLAT 10,20\n");
  EXPECT_EQ(harness_.StartTool, 7);

  // Numbers outside the table are passed on as they are and noted: the tool
  // set-up treats them as an undefined tool.
  harness_.Options.CommandLineToolNumber = 0;
  for (const char* line : {"I 21\n", "I -1\n", "I 1e30\n"}) {
    const DefinitionReadResult result = ReadText(line);
    EXPECT_EQ(result.Notes.size(), 1u) << line;
  }
  EXPECT_EQ(harness_.StartTool, 2147483647);
  harness_.Options.CommandLineToolNumber = 500;
  EXPECT_EQ(ReadText("I 1\n").Notes.size(), 1u);
  EXPECT_EQ(harness_.StartTool, 500);
}

TEST_F(ToolTableFileTest, EachReadStartsFromAClearedTable) {
  ReadText("I 4\nMAGAZINE 4 BALL 10,20 \"OLD\"\nLENGTH 50;6\nPEN 3\nSHIFT 2\nLIMIT 5\n");
  ASSERT_EQ(harness_.Table.Defined[4], 1);
  ReadText("MAGAZINE 2 FLAT 5,10\n");
  EXPECT_EQ(harness_.StartTool, 1);
  EXPECT_EQ(harness_.Table.Defined[4], 0);
  EXPECT_EQ(harness_.Record(4), ToolRecord{});
  EXPECT_EQ(harness_.Shank(4), ToolShankRecord{});
  EXPECT_EQ(harness_.Table.Pens[4], 0);
  EXPECT_EQ(harness_.Table.Lengths[4], 0.0f);
  EXPECT_EQ(harness_.Table.Limits[4], ToolLimitRecord{});

  // A second MAGAZINE line for the same tool keeps what the first one gave.
  ReadText("MAGAZINE 2 FLAT 5,10\nPEN 4\nMAGAZINE 2 LENGTH 30\n");
  EXPECT_EQ(harness_.Record(2).Kind, kToolFlat);
  EXPECT_EQ(harness_.Table.Pens[2], 0);  // pen, length and holder start again
  EXPECT_EQ(harness_.Shank(2).ProtrusionLength, 30.0f);
}

TEST_F(ToolTableFileTest, MissingFileLeavesAClearedTable) {
  ReadText("MAGAZINE 2 FLAT 5,10\n");
  const FileTime seen = harness_.Files.ToolTable.Time;
  const DefinitionReadResult result = harness_.Read((folder_.Path() / "none.ttl").string());
  EXPECT_EQ(result.State, kFileMissing);
  EXPECT_EQ(harness_.Files.ToolTable.State, kFileMissing);
  EXPECT_EQ(harness_.Files.ToolTable.Time, seen);
  EXPECT_EQ(harness_.Table.Defined[2], 0);
  EXPECT_EQ(harness_.StartTool, 1);
}

TEST_F(ToolTableFileTest, NameIsFoundWhateverItsCaseAndSeparators) {
  folder_.Write("Tables/ATC.TTL", "MAGAZINE 9 FLAT 5,10\n");
  const std::string name = folder_.Path().string() + "\\tables\\atc.ttl";
  EXPECT_EQ(harness_.Read(name).State, kFileRead);
  EXPECT_EQ(harness_.Table.Defined[9], 1);
}

// The outline fixture: cutter, shank from segment 3, arbor from segment 5.
const std::string kOutline = std::string(VESTAN_FIXTURES_DIR) + "/definitions/tool_outline.dxf";

TEST_F(ToolTableFileTest, LengthKeysCutAnOutlineBeforeItsShank) {
  for (const char* key : {"LENGTH 60", "LENGTH2 60,10,5,12", "LENGTH2A 60,10,5,12",
                          "LENGTH3 60,10,5,3,4,12", "LENGTH3A 60,10,5,3,4,12"}) {
    ReadText("MAGAZINE 1 IMPORT-TOOL \"" + kOutline + "\" " + key + "\n");
    EXPECT_EQ(harness_.Record(1).Kind, kToolImportedProfile) << key;
    EXPECT_EQ(harness_.Record(1).ProfileCount, 8) << key;
    EXPECT_EQ(harness_.Record(1).CuttingSegmentCount, 3) << key;
  }
  // An outline without a shank keeps all its segments as the cutting part.
  const std::string oneTriple =
      folder_.Write("sub/plain.dxf",
                    "  0\nLINE\n 10\n0\n 20\n0\n 11\n3\n 21\n0\n"
                    "  0\nARC\n 10\n3\n 20\n2\n 40\n2\n 50\n270\n 51\n0\n  0\nEOF\n");
  ReadText("MAGAZINE 1 IMPORT-TOOL \"" + oneTriple + "\"\nLENGTH 30\n");
  EXPECT_EQ(harness_.Record(1).ProfileClassStart, (std::array<int32_t, 3>{0, -1, -1}));
  EXPECT_EQ(harness_.Record(1).CuttingSegmentCount, 2);
  EXPECT_EQ(harness_.Record(1).Name, "plain.dxf");  // the file name without its folder
  EXPECT_EQ(harness_.Record(1).Diameter, 10.0f);
  EXPECT_EQ(harness_.Record(1).CuttingLength, 2.0f);
  EXPECT_EQ(harness_.Shank(1).ShankDiameter, 10.0f);
  EXPECT_EQ(harness_.Arbor(1).StepDiameter[0], 0.0f);
}

TEST_F(ToolTableFileTest, OutlineThatCannotBeUsedLeavesTheToolWithoutOne) {
  const std::string damaged = folder_.Write("damaged.dxf", "  0\nLINE\n 10\nabc\n");
  // Dashed lines only: no continuous start point, so no path.
  const std::string dashed = folder_.Write(
      "dashed.dxf",
      "  0\nLTYPE\n  2\nDASHED\n 73\n2\n  0\nLINE\n  6\nDASHED\n 10\n1\n 20\n0\n 11\n3\n 21\n0\n");
  struct Case {
    std::string line;
    std::string note;
  };
  const Case cases[] = {
      {"IMPORT-TOOL \"" + (folder_.Path() / "missing.dxf").string() + "\"", "cannot be read"},
      {"IMPORT-TOOL \"" + damaged + "\"", "damaged.dxf:4: \"abc\" is not a number"},
      {"IMPORT-TOOL \"" + dashed + "\"", "has no path"},
      {"IMPORT-TOOL", "names no outline file"},
  };
  for (const Case& c : cases) {
    const DefinitionReadResult result =
        ReadText("MAGAZINE 1 BALL 6,20 \"B\"\nMAGAZINE 2 IMPORT-TOOL \"" + kOutline +
                 "\"\nMAGAZINE 1 " + c.line + "\nMAGAZINE 2 " + c.line + "\n");
    for (int32_t tool : {1, 2}) {
      const ToolRecord& r = harness_.Record(tool);
      // Each tool keeps its kind; an earlier outline of the tool is not kept.
      EXPECT_EQ(r.Kind, tool == 1 ? kToolBall : kToolImportedProfile) << c.line << " " << tool;
      EXPECT_EQ(r.ProfileCount, 0) << c.line;
      EXPECT_TRUE(r.ProfileSegments.empty()) << c.line;
      EXPECT_EQ(r.CuttingSegmentCount, 0) << c.line;
      EXPECT_EQ(r.Diameter, 10.0f) << c.line;
    }
    EXPECT_EQ(harness_.Record(1).Name, "B") << c.line;
    EXPECT_TRUE(NoteMentions(result, c.note)) << c.line;
  }
}

TEST(ToolTableAllocation, ArraysThatDoNotFitTheMaximumAreSizedBeforeReading) {
  TempFolder folder;
  ToolTableHarness harness(5);
  harness.Table.MaxToolNumber = 30;  // changed after allocation
  harness.Read(folder.Write("t.ttl", "MAGAZINE 30 FLAT 5,10\n"));
  EXPECT_EQ(harness.Table.Entries(), 31u);
  EXPECT_EQ(harness.Table.Defined[30], 1);
}

}  // namespace
}  // namespace vestan
