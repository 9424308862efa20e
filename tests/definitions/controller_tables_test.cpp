// The list keys of the controller definition, read through the reader.
#include "definitions/controller_tables.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "definition_test_support.h"
#include "support/current_folder.h"

namespace vestan {
namespace {

using testing::ControllerHarness;
using testing::NoteMentions;
using testing::TempFolder;

class ControllerTablesTest : public ::testing::Test {
 protected:
  DefinitionReadResult ReadText(std::string_view content) {
    return h_.Read(folder_.Write("t.ctl", content));
  }
  const ControllerTables& T() const { return h_.Controller.Tables; }

  TempFolder folder_;
  // Wait files are named relative to the current folder, and deleted.
  testing::CurrentFolder here_{folder_.Path()};
  ControllerHarness h_;
};

TEST_F(ControllerTablesTest, ReplaceLinesTakeTheFirstQuoteKind) {
  struct Case {
    const char* line;
    bool added;
    const char* search;
    const char* replacement;
  } cases[] = {
      {"REPLACE \"G54.1\" \"G54\"", true, "G54.1", "G54"},
      {"REPLACE 'ABC' ''", true, "ABC", ""},
      {"REPLACE='it\"s' 'x'", true, "it\"s", "x"},  // single quotes came first
      {"REPLACE \"\" \"X\"", false, "", ""},        // empty search text
      {"REPLACE \"A\" B", false, "", ""},           // replacement unquoted
      {"REPLACE \"A\" \"B", false, "", ""},         // unclosed
      {"REPLACE A B", false, "", ""},
  };
  for (const Case& c : cases) {
    const DefinitionReadResult result = ReadText(std::string(c.line) + "\n");
    EXPECT_TRUE(result.Notes.empty()) << c.line;
    ASSERT_EQ(T().Replace.size(), c.added ? 1u : 0u) << c.line;
    if (!c.added) continue;
    EXPECT_EQ(T().Replace[0].Search, c.search) << c.line;
    EXPECT_EQ(T().Replace[0].Replacement, c.replacement) << c.line;
  }
  ReadText("REPLACE TYPE=2\n");  // not a replacement
  EXPECT_TRUE(T().Replace.empty());
}

TEST_F(ControllerTablesTest, ReplaceTableHoldsAThousandEntries) {
  std::string content;
  for (int i = 1; i <= 1002; ++i) content += "REPLACE \"A" + std::to_string(i) + "\" \"B\"\n";
  const DefinitionReadResult result = ReadText(content);
  ASSERT_EQ(T().Replace.size(), 1000u);
  EXPECT_EQ(T().Replace.back().Search, "A1000");
  EXPECT_EQ(result.Notes.size(), 1u);  // noted once, at the first refused line
  EXPECT_TRUE(NoteMentions(result, "t.ctl:1001:"));
}

TEST_F(ControllerTablesTest, CheckCharAndRadiusOffsetCheck) {
  ReadText("CHECK CHAR=\";%\"\nCHECK RADIUS OFFSET=STOP+LIST\n");
  EXPECT_EQ(T().CheckChar, ";%");
  EXPECT_EQ(T().RadiusCheckStop, 1);
  EXPECT_EQ(T().RadiusCheckList, kRadiusList);
  EXPECT_EQ(T().RadiusCheckOn, 1);
  ReadText("CHECK CHAR=;\nCHECK RADIUS OFFSET = xx OPEN + PENKI\n");
  EXPECT_EQ(T().CheckChar, "");  // no quotes: nothing
  EXPECT_EQ(T().RadiusCheckStop, 0);
  EXPECT_EQ(T().RadiusCheckList, kRadiusOpen);
  EXPECT_EQ(T().RadiusCheckPenki, 1);
  EXPECT_EQ(T().RadiusCheckOn, 1);
  ReadText("CHECK RADIUS OFFSET=NONE\n");
  EXPECT_EQ(T().RadiusCheckOn, 0);
}

TEST_F(ControllerTablesTest, OptionalSkipLevels) {
  struct Case {
    const char* line;
    std::vector<int> levels;
    bool noted;
  } cases[] = {
      {"OPTIONAL BLOCK SKIP=2,5", {2, 5}, false},
      {"OPTIONAL BLOCK SKIP=0", {1}, false},  // below 1 counts as 1
      {"OPTIONAL BLOCK SKIP=3,12,9", {3, 9}, true},
      {"OPTIONAL BLOCK SKIP=4,", {1, 4}, false},  // an empty value reads as 0
  };
  for (const Case& c : cases) {
    const DefinitionReadResult result = ReadText(std::string(c.line) + "\n");
    std::vector<int> on;
    for (int level = 0; level <= 9; ++level)
      if (T().SkipLevels[level] != 0) on.push_back(level);
    EXPECT_EQ(on, c.levels) << c.line;
    EXPECT_EQ(T().AnySkipLevel, 1) << c.line;
    EXPECT_EQ(!result.Notes.empty(), c.noted) << c.line;
  }
  ReadText("OPTIONAL BLOCK SKIP=10\n");
  EXPECT_EQ(T().AnySkipLevel, 0);
}

TEST_F(ControllerTablesTest, StopStrings) {
  ReadText("STOP CHARACTER = M100 M101,M102\n");
  EXPECT_EQ(T().StopStrings, (std::vector<std::string>{"M100", "M101", "M102"}));
  ReadText("STOP CHARACTER M100\n");  // no "="
  EXPECT_TRUE(T().StopStrings.empty());
  // An over-long string is refused whole: a shortened one would stop other blocks.
  DefinitionReadResult result = ReadText("STOP CHARACTER=(STOP HERE) M0123456789X M7\n");
  EXPECT_EQ(T().StopStrings, (std::vector<std::string>{"(STOP", "HERE)", "M7"}));
  EXPECT_TRUE(NoteMentions(result, "M0123456789X"));
  std::string many = "STOP CHARACTER=";
  for (int i = 1; i <= 22; ++i) many.append("M").append(std::to_string(i)).append(",");
  result = ReadText(many + "\n");
  ASSERT_EQ(T().StopStrings.size(), 20u);
  EXPECT_EQ(T().StopStrings.back(), "M20");
  EXPECT_EQ(result.Notes.size(), 1u);
}

TEST_F(ControllerTablesTest, LatheCutAndLockCodes) {
  DefinitionReadResult result = ReadText(
      "LATHE ON CODE=M30\n"
      "LATHE2 OFF CODE=M31\n"
      "LATHE1 OFF CODE = M32\n"
      "LATHEX ON CODE=M33\n"
      "LATHE2 STOP CODE=M34\n"
      "ROTARY1 LOCK=M10\n"
      "ROTARY1 UNLOCK=M11\n"
      "ROTARY2 UNLOCK=M69 ; remark\n");
  EXPECT_TRUE(result.Notes.empty());
  EXPECT_EQ(T().Lathe[0].On, "M30");
  EXPECT_EQ(T().Lathe[0].Off, "M32");
  EXPECT_EQ(T().Lathe[1].On, "");
  EXPECT_EQ(T().Lathe[1].Off, "M31");
  EXPECT_EQ(T().RotaryLockCodes, (std::array<std::string, 4>{"M10", "M11", "", "M69"}));
  result = ReadText("LATHE ON CODE=M123456789012345678901\nROTARY2 LOCK=ABCDEFGHIJKLMNOPQRSTUV\n");
  EXPECT_EQ(T().Lathe[0].On, "");
  EXPECT_EQ(T().RotaryLockCodes[kRotary2Lock], "");
  EXPECT_EQ(result.Notes.size(), 2u);

  // An ON code before any OFF code starts the run with cutting off.
  ReadText("CUT ON CODE=M50\nCUT OFF CODE=M51\n");
  EXPECT_EQ(T().CutOnCode, "M50");
  EXPECT_EQ(T().CutOffCode, "M51");
  EXPECT_EQ(T().CuttingEnabledAtStart, 0);
  ReadText("CUT OFF CODE=M51\nCUT ON CODE=M50\n");
  EXPECT_EQ(T().CuttingEnabledAtStart, 1);
  ReadText("CUT ON CODE=\n");
  EXPECT_EQ(T().CuttingEnabledAtStart, 1);
}

TEST_F(ControllerTablesTest, WaitCodesAndTheirFiles) {
  DefinitionReadResult result = ReadText("WAIT M-CODE=100,C:\\W1.TXT,101\n");
  ASSERT_EQ(T().Waits.size(), 2u);
  EXPECT_EQ(T().Waits[0].Code, 100);
  EXPECT_EQ(T().Waits[0].FileName, "C:\\W1.TXT");
  EXPECT_EQ(T().Waits[1].Code, 101);
  EXPECT_EQ(T().Waits[1].FileName, "waitfile");
  EXPECT_TRUE(result.Notes.empty());

  result = ReadText("WAIT M-CODE=NAME.TXT ,200, LONGFILENAME15.TXT\n");
  ASSERT_EQ(T().Waits.size(), 1u);  // a name before any code belongs to none
  EXPECT_EQ(T().Waits[0].FileName, "waitfile");
  EXPECT_TRUE(NoteMentions(result, "LONGFILENAME15.TXT"));

  std::string many = "WAIT M-CODE=";
  for (int i = 1; i <= 17; ++i) many += std::to_string(i) + ",w" + std::to_string(i) + ",";
  result = ReadText(many + "\n");
  ASSERT_EQ(T().Waits.size(), 16u);
  EXPECT_EQ(T().Waits.back().FileName, "w16");  // w17 did not go to entry 16
  EXPECT_EQ(result.Notes.size(), 1u);
}

TEST_F(ControllerTablesTest, AWaitFileNameKeepsTheSeparatorsBeforeItsFirstLetter) {
  // An absolute name is the equivalent of C:\W1.TXT here: read from its
  // first letter it would name a file under the current folder instead.
  const DefinitionReadResult result = ReadText("WAIT M-CODE=100, /nowhere/w1,101,\\\\srv\\w2\n");
  ASSERT_EQ(T().Waits.size(), 2u);
  EXPECT_EQ(T().Waits[0].FileName, "/nowhere/w1");
  EXPECT_EQ(T().Waits[1].FileName, "\\\\srv\\w2");
  EXPECT_TRUE(result.Notes.empty());
}

TEST_F(ControllerTablesTest, WaitFilesOfTheTableAreDeleted) {
  const std::string first = folder_.Write("w1.txt", "done");
  const std::string second = folder_.Write("w2.txt", "done");
  const std::string kept = folder_.Write("w3.txt", "done");
  ReadText("WAIT M-CODE=100,w1.txt,101,W2.TXT,102\n");
  EXPECT_FALSE(std::filesystem::exists(first));
  EXPECT_FALSE(std::filesystem::exists(second));  // found whatever its case
  EXPECT_TRUE(std::filesystem::exists(kept));
}

TEST_F(ControllerTablesTest, MemoryRunTablesComeAndGoWithTheRunType) {
  ReadText("RUN TYPE=MEMORY\n");
  EXPECT_EQ(T().MemoryRun, 1);
  for (size_t t = 0; t < 4; ++t) EXPECT_EQ(T().MemoryRunTables[t].size(), 4000u) << t;
  EXPECT_TRUE(T().MemoryRunTables[4].empty());  // the NC reader's own
  ReadText("RUN TYPE=FILE\n");
  EXPECT_EQ(T().MemoryRun, 0);
  for (const auto& table : T().MemoryRunTables) EXPECT_TRUE(table.empty());
}

}  // namespace
}  // namespace vestan
