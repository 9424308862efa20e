#include "nc/comment_commands.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace vestan {
namespace {

struct CommandWorld {
  ProcessSnapshotTable Table;
  RunState Run;
  CommentCommandRecords Records{Table, Run, 4, "C:\\NC\\PART1.NC"};
};

TEST(ParseCommentCommand, OnlyTheExactPrefixArmsTheSnapshots) {
  struct Case {
    const char* comment;  // behind the "("
    bool arms;
  } cases[] = {
      {"VESTAN:SAVE WORK AT EACH PROCESS)", true},
      {" VESTAN:SAVE DME AT EACH PROCESS)", true},  // one blank before the prefix
      {"VESTAN:SAVE DME AT EACH PROCESS", true},
      {"  VESTAN:SAVE WORK AT EACH PROCESS)", false},  // two blanks
      {"vestan:SAVE WORK AT EACH PROCESS)", false},    // lower case
      {"VESTAN:save work at each process)", false},
      {"VESTAN: SAVE WORK AT EACH PROCESS)", false},  // a blank after the prefix
      {"\tVESTAN:SAVE WORK AT EACH PROCESS)", false},
      {"VESTAN:SAVE WORK)", false},
      {"VESTAN:", false},
      {"VESTAN", false},
      {"", false},
  };
  for (const Case& c : cases) {
    CommandWorld w;
    ParseCommentCommand(c.comment, w.Records);
    EXPECT_EQ(w.Table.SaveEachProcess, c.arms ? 1 : 0) << c.comment;
  }
}

TEST(ParseSaveEachProcess, ArmingStartsTheProcessesAnew) {
  CommandWorld w;
  w.Run.CurrentProcess = 6;
  w.Run.ProcessCutFlags = {1, 0, 1};
  w.Table.ProcessTools[2] = 9;
  ParseSaveEachProcess("SAVE WORK AT EACH PROCESS", w.Records);
  EXPECT_EQ(w.Table.SaveEachProcess, 1);
  EXPECT_EQ(w.Run.CurrentProcess, 0);
  EXPECT_EQ(w.Run.ProcessCutFlags, (std::vector<int32_t>{0, 0, 0}));
  EXPECT_EQ(w.Table.ProcessTools[0], 4);  // the current tool
  EXPECT_EQ(w.Table.ProcessTools[2], 0);
  EXPECT_EQ(w.Table.BaseName, "C:\\NC\\PART1");

  CommandWorld other;
  ParseSaveEachProcess("SAVE EVERYTHING", other.Records);
  EXPECT_EQ(other.Table.SaveEachProcess, 0);
}

TEST(SemicolonCommentText, OnlyASemicolonInTheFirstColumn) {
  struct Case {
    const char* line;
    bool arms;
  } cases[] = {
      {";VESTAN:SAVE WORK AT EACH PROCESS\n", true},
      {"; VESTAN:SAVE DME AT EACH PROCESS\n", true},
      {"G01 X10 ;VESTAN:SAVE WORK AT EACH PROCESS\n", false},  // after code on the line
      {" ;VESTAN:SAVE WORK AT EACH PROCESS\n", false},
  };
  for (const Case& c : cases) {
    CommandWorld w;
    if (const std::optional<std::string_view> text = SemicolonCommentText(c.line))
      ParseCommentCommand(*text, w.Records);
    EXPECT_EQ(w.Table.SaveEachProcess, c.arms ? 1 : 0) << c.line;
  }
}

}  // namespace
}  // namespace vestan
