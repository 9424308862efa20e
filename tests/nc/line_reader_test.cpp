#include "nc/line_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "nc/block_interpreter.h"
#include "nc/nc_modal_operations.h"
#include "nc/nc_reader_pass.h"
#include "nc/nc_world.h"
#include "nc/recording_plugins.h"
#include "support/scratch_folder.h"

namespace vestan::testing {
namespace {

// One line as the reader delivered it: the line number shown for it, the
// subprogram level it came from and its text without the line feed.
struct ReadRow {
  int32_t Line = 0;
  int32_t Level = 0;
  std::string Text;
  friend bool operator==(const ReadRow&, const ReadRow&) = default;
  friend std::ostream& operator<<(std::ostream& out, const ReadRow& row) {
    return out << "(" << row.Line << ", " << row.Level << ", \"" << row.Text << "\")";
  }
};

// A pass over an NC program that reads it whole.
struct Pass : NcReaderPass {
  using NcReaderPass::NcReaderPass;

  // Reads and interprets every line up to the end of the program or an
  // alarm.
  std::vector<ReadRow> ReadAll() {
    std::vector<ReadRow> rows;
    for (int guard = 0; guard < 1000; ++guard) {
      if (Read() == 1) {
        rows.push_back(
            {CurrentLineNumber(World->Context), World->Context.Subprograms.Depth, Line()});
        InterpretNcBlock(World->Context, World->Records);
        if (Modal().EndState != kEndRunning) break;
      } else if (Modal().EndState != kEndRunning || Modal().AlarmCode != kAlarmNone) {
        break;
      }
    }
    return rows;
  }
};

std::vector<std::string> Texts(const std::vector<ReadRow>& rows) {
  std::vector<std::string> texts;
  for (const ReadRow& row : rows) texts.push_back(row.Text);
  return texts;
}

TEST(CheckNcLineSyntax, AlarmsAndColumns) {
  struct Case {
    std::string_view Line;
    std::string_view CheckChar;
    int32_t Result;
    int32_t Alarm;
    int32_t Column;
  };
  const Case cases[] = {
      {"N10 G01 X1.2.3\n", "", 1, kAlarmTwoPoints, 13},
      {"N10 G01 X1.2 Y.3\n", "", 0, kAlarmNone, 0},  // a letter starts a new word
      {"#1=1.5.\n", "", 1, kAlarmTwoPoints, 7},
      {"G01 X1. (A.B.C)\n", "", 0, kAlarmNone, 0},  // points in comments do not count
      {"N10 G01 X$1.\n", "NGX. ", 1, kAlarmCharacter, 10},
      {"N10 G01 X1. ($)\n", "NGX. ()", 0, kAlarmNone, 0},
      {"N10 G01 X1.\r\n", "NGX. ", 0, kAlarmNone, 0},  // the line end is not checked
      {"\n", "NG", 0, kAlarmNone, 0},
      {"G01 (open comment $\n", "G ()", 0, kAlarmNone, 0},
  };
  for (const Case& c : cases) {
    NcLineFault fault;
    int32_t alarm = kAlarmNone;
    EXPECT_EQ(CheckNcLineSyntax(c.Line, c.CheckChar, fault, alarm), c.Result) << c.Line;
    EXPECT_EQ(alarm, c.Alarm) << c.Line;
    EXPECT_EQ(fault.Column, c.Column) << c.Line;
  }
  NcLineFault fault;
  int32_t alarm = 0;
  CheckNcLineSyntax("G01 X$1.\n", "GX. ", fault, alarm);
  EXPECT_EQ(fault.Character, '$');
}

TEST(ApplyReplaceTable, TypesOneAndTwo) {
  struct Case {
    std::vector<ReplaceEntry> Table;
    int32_t Type;
    std::string Line;
    std::string Expected;
  };
  std::string manyX;
  std::string manyY;
  for (int i = 0; i < 40; ++i) {
    manyX += "X ";
    manyY += "Y ";
  }
  const Case cases[] = {
      // The character right after a match is never tested.
      {{{"G", "G0"}}, 1, "GG1\n", "G0G1\n"},
      {{{"G", "G0"}}, 2, "GG1\n", "G0G1\n"},
      // Type 2: the second entry sees the first entry's result.
      {{{"A", "B"}, {"B", "C"}}, 2, "A1\n", "C1\n"},
      {{{"A", "B"}, {"B", "C"}}, 1, "A1B\n", "B1C\n"},
      // Type 1: the first entry in table order wins at a position.
      {{{"M6", "M06"}, {"M", "X"}}, 1, "M6 M3\n", "M06 X3\n"},
      {{{"M6", "M06"}, {"M", "X"}}, 1, "M6M3\n", "M06M3\n"},
      // Deleting, and every match of a long line (more than 32).
      {{{"%", ""}}, 1, "%G1%\n", "G1\n"},
      {{{"X", "Y"}}, 1, manyX, manyY},
      {{}, 1, "G1\n", "G1\n"},
  };
  for (const Case& c : cases) {
    std::string line = c.Line;
    ApplyReplaceTable(line, c.Table, c.Type);
    EXPECT_EQ(line, c.Expected) << c.Line << " type " << c.Type;
  }
}

TEST(IsBlockSkipped, SwitchesByLevel) {
  std::array<uint8_t, kMaxSkipLevel + 1> switches{};
  switches[2] = 1;
  EXPECT_EQ(IsBlockSkipped("/2G00X0\n", switches), 1);
  EXPECT_EQ(IsBlockSkipped("/3G00X0\n", switches), 0);
  EXPECT_EQ(IsBlockSkipped("/G00X0\n", switches), 0);
  EXPECT_EQ(IsBlockSkipped("G00/2X0\n", switches), 0);
  switches[1] = 1;
  EXPECT_EQ(IsBlockSkipped("/1G00X0\n", switches), 1);
  EXPECT_EQ(IsBlockSkipped("/G00X0\n", switches), 1);
  switches = {};
  switches[0] = 1;
  EXPECT_EQ(IsBlockSkipped("/1G00X0\n", switches), 1);
  EXPECT_EQ(IsBlockSkipped("/9G00X0\n", switches), 0);
}

TEST(ReadNcLine, LineEndsCountersAndTheEndOfTheProgram) {
  ScratchFolder folder;
  Pass pass;
  pass.Start(folder.Write("crlf.nc", "G00 X1.\r\nG01 Y2.\n\nG01 Z3.\r"));
  EXPECT_EQ(pass.Read(), 1);
  EXPECT_EQ(pass.World->Context.Line.Text, "G00 X1.\n");
  EXPECT_EQ(pass.Read(), 1);
  EXPECT_EQ(pass.World->Context.Line.Text, "G01 Y2.\n");
  EXPECT_EQ(pass.Read(), 1);
  EXPECT_EQ(pass.World->Context.Line.Text, "\n");
  EXPECT_EQ(pass.Read(), 1);
  EXPECT_EQ(pass.World->Context.Line.Text, "G01 Z3.\n");  // the last line gets its line feed
  EXPECT_EQ(pass.Modal().MainLineCounter, 4u);
  EXPECT_EQ(pass.Modal().BlockLine, 4);
  EXPECT_EQ(pass.Read(), 0);
  EXPECT_EQ(pass.Modal().EndState, kEndHandled);
  EXPECT_EQ(pass.Read(), 0);
}

TEST(ReadNcLine, PendingCyclePointsLeaveTheEndReached) {
  ScratchFolder folder;
  Pass pass;
  pass.Start(folder.Write("a.nc", "G00 X1.\n"));
  EXPECT_EQ(pass.Read(), 1);
  pass.Modal().CycleMoveCount = 3;
  EXPECT_EQ(pass.Read(), 0);
  EXPECT_EQ(pass.Modal().EndState, kEndReached);
}

TEST(ReadNcLine, LinePendingAtAStopIsTakenAgain) {
  ScratchFolder folder;
  Pass pass;
  pass.Start(folder.Write("a.nc", "G00 X1.\nG00 X2.\n"));
  ASSERT_EQ(pass.Read(), 1);
  pass.World->Control.LinePendingAtStop = 1;
  EXPECT_EQ(pass.Read(), 1);
  EXPECT_EQ(pass.Line(), "G00 X1.");
  EXPECT_EQ(pass.World->Control.LinePendingAtStop.load(), 0);
  EXPECT_EQ(pass.Read(), 1);
  EXPECT_EQ(pass.Line(), "G00 X2.");
}

// A long line is read whole: its tail never comes back as a block of its
// own. One beyond the buffer is cut there with the character alarm.
TEST(ReadNcLine, LongLinesAreReadWhole) {
  ScratchFolder folder;
  const std::string fits = "G01X1." + std::string(kNcLineCapacity - 7, ' ');
  const std::string tooLong = "G01X2." + std::string(kNcLineCapacity - 6, ' ') + "Y7.";
  const std::string huge = "G01X3." + std::string(100000, 'Y');
  Pass pass;
  pass.Start(folder.Write("long.nc", fits + "\n" + tooLong + "\nG01X4.\n" + huge + "\nG01X5."));
  ASSERT_EQ(pass.Read(), 1);
  EXPECT_EQ(pass.World->Context.Line.Text, fits + "\n");
  EXPECT_EQ(pass.Read(), 0);
  EXPECT_EQ(pass.Modal().AlarmCode, kAlarmCharacter);
  EXPECT_EQ(pass.Reader.Fault.Column, static_cast<int32_t>(kNcLineCapacity));
  EXPECT_EQ(pass.World->Context.Line.Text.size(), kNcLineCapacity);
  EXPECT_EQ(pass.World->Context.Line.Text.back(), '\n');
  pass.Modal().AlarmCode = kAlarmNone;
  ASSERT_EQ(pass.Read(), 1);
  EXPECT_EQ(pass.Line(), "G01X4.");
  EXPECT_EQ(pass.Modal().MainLineCounter, 3u);
  EXPECT_EQ(pass.Read(), 0);
  EXPECT_EQ(pass.Reader.Fault.Character, 'Y');
  pass.Modal().AlarmCode = kAlarmNone;
  ASSERT_EQ(pass.Read(), 1);
  EXPECT_EQ(pass.Line(), "G01X5.");
  EXPECT_EQ(pass.Modal().MainLineCounter, 5u);
}

// REPLACE works on the whole line and keeps every match; a line it grows
// past the buffer raises the character alarm.
TEST(ReadNcLine, ReplaceGrowsTheLineUpToTheLimit) {
  ScratchFolder folder;
  std::string line;
  for (int i = 0; i < 300; ++i) line += "X ";
  Pass pass;
  pass.Controller().Tables.Replace = {{"X", "XX"}};
  pass.Start(folder.Write("grow.nc", line + "\n" + line + line + "\n"));
  ASSERT_EQ(pass.Read(), 1);
  EXPECT_EQ(pass.World->Context.Line.Text.size(), 901u);
  EXPECT_EQ(pass.Read(), 0);
  EXPECT_EQ(pass.Modal().AlarmCode, kAlarmCharacter);
}

TEST(ReadNcLine, CharacterCheckAndBlockSkip) {
  ScratchFolder folder;
  Pass pass;
  pass.Controller().Tables.SkipLevels[2] = 1;
  pass.Controller().Tables.AnySkipLevel = 1;
  pass.Controller().CodeCheck = 1;
  pass.Start(folder.Write("skip.nc", "/2G00X0\n/3G00X0\n/2G00X1.2.3\nN10 G01 X1.2.3\n"));
  ASSERT_EQ(pass.Read(), 1);
  EXPECT_EQ(pass.Line(), "/3G00X0");
  EXPECT_EQ(pass.Modal().MainLineCounter, 2u);
  // A skipped line is checked too.
  EXPECT_EQ(pass.Read(), 0);
  EXPECT_EQ(pass.Modal().AlarmCode, kAlarmTwoPoints);
  EXPECT_EQ(pass.Reader.Fault.Column, 10);
  pass.Modal().AlarmCode = kAlarmNone;
  EXPECT_EQ(pass.Read(), 0);
  EXPECT_EQ(pass.Modal().AlarmCode, kAlarmTwoPoints);
  EXPECT_EQ(pass.Reader.Fault.Column, 13);
}

TEST(ReadNcLine, AProgramThatCannotBeOpenedIsReported) {
  ScratchFolder folder;
  Pass pass;
  pass.World->Defs.Paths.NcProgram = folder / "missing.nc";
  ResetNcModalState(pass.World->Context, pass.World->Records);
  EXPECT_EQ(LoadNcProgramText(pass.World->Context, pass.World->Records, pass.Reader),
            kNcProgramNotOpened);
  EXPECT_EQ(OpenNcProgram(pass.World->Records, pass.Reader), kNcProgramNotOpened);
  ASSERT_EQ(pass.World->Host.Messages.size(), 1u);
  EXPECT_NE(pass.World->Host.Messages[0].Text.find("missing.nc"), std::string::npos);
  // Reading without a stream is the end of the program, never a read.
  EXPECT_EQ(pass.Read(), 0);
  EXPECT_EQ(pass.Modal().EndState, kEndHandled);

  // A folder opens as a stream that reads nothing: it is no program either.
  std::filesystem::create_directories(folder / "folder.nc");
  pass.World->Defs.Paths.NcProgram = folder / "folder.nc";
  EXPECT_EQ(OpenNcProgram(pass.World->Records, pass.Reader), kNcProgramNotOpened);
  EXPECT_EQ(pass.World->Host.Messages.size(), 2u);
}

TEST(ReadNcLine, BinaryNoiseReadsWithoutHarm) {
  ScratchFolder folder;
  std::string noise;
  uint32_t seed = 12345;
  for (int i = 0; i < 20000; ++i) {
    seed = seed * 1103515245u + 12345u;
    noise.push_back(static_cast<char>(seed >> 16));
  }
  Pass pass;
  pass.Controller().CodeCheck = 1;
  pass.Start(folder.Write("noise.nc", noise));
  int lines = 0;
  for (int guard = 0; guard < 100000; ++guard) {
    if (pass.Read() == 1) {
      ++lines;
      ASSERT_LE(pass.World->Context.Line.Text.size(), kNcLineCapacity);
      ASSERT_EQ(pass.World->Context.Line.Text.back(), '\n');
    } else if (pass.Modal().EndState != kEndRunning) {
      break;
    }
    pass.Modal().AlarmCode = kAlarmNone;
  }
  EXPECT_EQ(pass.Modal().EndState, kEndHandled);
}

TEST(LoadNcProgramText, IndexesTheProgramsAfterTheMainProgram) {
  ScratchFolder folder;
  Pass pass;
  const std::string text =
      "O0001\r\n"         // 1: the main program is never indexed
      "O2000\n"           // 2: before M30: not indexed
      "M30\n"             // 3
      "(between)\n"       // 4
      "N5 O1000 (SUB)\n"  // 5
      "G01 X1.\n"         // 6
      "M99\n"             // 7
      "O1001\n"           // 8: no return: never closed
      "G00 X0\n";
  pass.Start(folder.Write("index.nc", text));
  const LoadedNcProgram& program = pass.Program;
  ASSERT_EQ(program.Index.size(), 1u);
  EXPECT_EQ(program.Index[0].Number, 1000);
  EXPECT_EQ(program.Index[0].Line, 4);
  EXPECT_EQ(program.Text.substr(program.Index[0].Offset, 15), std::string("N5 O1000 (SUB)\0", 15));
  EXPECT_EQ(program.Index[0].Length, std::string("N5 O1000 (SUB)\nG01 X1.\nM99\n").size());
  EXPECT_EQ(program.PrologueLength, std::string("O0001\r\nO2000\nM30\n").size());
  // The CR of a CR LF line is its NUL.
  EXPECT_EQ(program.Text.substr(0, 7), std::string("O0001\0O", 7));
  EXPECT_EQ(FindProgramInIndex(program, 1000), 0);
  EXPECT_EQ(FindProgramInIndex(program, 2000), -1);
  EXPECT_EQ(FindProgramInIndex(program, 1001), -1);
  EXPECT_EQ(pass.World->Context.Subprograms.Folder, folder.Path());
}

TEST(LoadNcProgramText, KeepsTheTextWhileTheFileTimeStays) {
  ScratchFolder folder;
  Pass pass;
  const std::string file = folder.Write("cache.nc", "O1\nM30\nO10\nM99\n");
  pass.Start(file);
  ASSERT_EQ(FindProgramInIndex(pass.Program, 10), 0);
  const auto time = std::filesystem::last_write_time(file);
  folder.Write("cache.nc", "O1\nM30\nO20\nM99\n");
  std::filesystem::last_write_time(file, time);
  pass.Start(file);
  EXPECT_EQ(FindProgramInIndex(pass.Program, 10), 0);
  std::filesystem::last_write_time(file, time + std::chrono::seconds(5));
  pass.Start(file);
  EXPECT_EQ(FindProgramInIndex(pass.Program, 10), -1);
  EXPECT_EQ(FindProgramInIndex(pass.Program, 20), 0);
}

// The text was built with the controller's REPLACE table and dialect: a
// controller read since then builds it again, though the file stayed.
TEST(LoadNcProgramText, AnotherControllerLoadsTheTextAgain) {
  ScratchFolder folder;
  Pass pass;
  const std::string file = folder.Write("ctl.nc", "O1\nM30\nO5\nG01 X1\nRTS\nO6\nM99\n");
  pass.Controller().Tables.Replace = {{"X", "XX"}};
  pass.Start(file);
  EXPECT_NE(pass.Program.Text.find(std::string("G01 XX1\0", 8)), std::string::npos);
  EXPECT_EQ(FindProgramInIndex(pass.Program, 5), -1);
  pass.Controller().Tables.Replace = {{"X", "XY"}};
  pass.Start(file);
  EXPECT_NE(pass.Program.Text.find(std::string("G01 XY1\0", 8)), std::string::npos);
  pass.Controller().ReplaceType = 2;
  pass.Controller().Tables.Replace = {{"X", "XY"}, {"Y", "Z"}};
  pass.Start(file);
  EXPECT_NE(pass.Program.Text.find(std::string("G01 XZ1\0", 8)), std::string::npos);
  pass.Controller().productCode = kProductOsp;
  pass.Start(file);
  EXPECT_EQ(FindProgramInIndex(pass.Program, 5), 0);
}

TEST(LoadNcProgramText, OspReturnClosesAProgramAndReplaceGrowsTheText) {
  ScratchFolder folder;
  Pass pass(Dialect::kOsp);
  pass.Controller().Tables.Replace = {{"X", "XXXX"}};
  pass.Start(folder.Write("osp.nc", "O1\nM02\nO5\nG01 X1\nRTS\n"));
  ASSERT_EQ(pass.Program.Index.size(), 1u);
  EXPECT_EQ(pass.Program.Index[0].Number, 5);
  EXPECT_NE(pass.Program.Text.find(std::string("G01 XXXX1\0", 10)), std::string::npos);
}

// The fixture folder: the main program calls a file by a name written in
// another case, that file calls one in a subfolder written with "\", and
// M198 P12 finds O0012 after O12.
TEST(Subprograms, FixtureFolderSequence) {
  Pass pass;
  pass.Start(std::string(VESTAN_FIXTURES_DIR) + "/nc/subprograms/MAIN.NC");
  const std::vector<ReadRow> expected = {
      {1, 0, "%"},
      {2, 0, "O0001 (MAIN)"},
      {3, 0, "N10 G90 G00 X0 Y0"},
      {4, 0, "N20 M98 <Sub_A.nc>"},
      {1, 1, "G01 Y5."},
      {2, 1, "M98 <SUBS\\DEEP.NC>"},
      {1, 2, "G01 Z-1."},
      {3, 1, "G01 Y6."},
      {4, 1, "M99"},
      {5, 0, "N30 G01 X10."},
      {6, 0, "N40 M198 P12"},
      {1, 1, "G00 Z5."},
      {2, 1, "M99"},
      {7, 0, "N50 M30"},
      {8, 0, "%"},
  };
  EXPECT_EQ(pass.ReadAll(), expected);
  EXPECT_EQ(pass.World->Context.Subprograms.Depth, 0);
  EXPECT_EQ(pass.Modal().EndState, kEndHandled);
}

TEST(Subprograms, ProgramsHeldInMemory) {
  ScratchFolder folder;
  Pass pass;
  pass.Controller().Tables.MemoryRun = 1;
  pass.Start(
      folder.Write("memory.nc", "O0001\nM98 P100\nM98 P1000\nG01 X1.\nM30\nO1000\nG01 Y1.\nM99\n"));
  const std::vector<ReadRow> expected = {
      {1, 0, "O0001"},   {2, 0, "M98 P100"}, {3, 0, "M98 P1000"}, {6, 1, "O1000"},
      {7, 1, "G01 Y1."}, {8, 1, "M99"},      {4, 0, "G01 X1."},   {5, 0, "M30"},
  };
  EXPECT_EQ(pass.ReadAll(), expected);
  EXPECT_EQ(pass.Modal().EndState, kEndHandled);
}

// The text held in memory was replaced when it was loaded: its lines read
// as the same lines of the file do, not replaced a second time.
TEST(Subprograms, ProgramsHeldInMemoryAreReplacedOnce) {
  ScratchFolder folder;
  Pass pass;
  pass.Controller().Tables.MemoryRun = 1;
  pass.Controller().Tables.Replace = {{"X", "XX"}, {"Y", "Y1"}};
  pass.Start(folder.Write("memory.nc", "X1 Y2\nM98 P1000\nM30\nO1000\nX1 Y2\nM99\n"));
  EXPECT_EQ(Texts(pass.ReadAll()),
            (std::vector<std::string>{"XX1 Y12", "M98 P1000", "O1000", "XX1 Y12", "M99", "M30"}));
}

TEST(Subprograms, NumberCallsWithoutTheProgramInMemoryDoNothing) {
  ScratchFolder folder;
  folder.Write("O1234", "G01 X9.\nM99\n");
  Pass pass;
  pass.Start(folder.Write("main.nc", "M98 P100\nM198 P1234\nG01 X1.\n"));
  EXPECT_EQ(Texts(pass.ReadAll()),
            (std::vector<std::string>{"M98 P100", "M198 P1234", "G01 X9.", "M99", "G01 X1."}));
}

// The second bar measures the file that was opened, also when the call
// wrote its name in another case or with "\\".
TEST(Subprograms, TheSecondBarMeasuresTheFileOpened) {
  ScratchFolder folder;
  const std::string sub = "G01 Y5.\nG01 Y6.\n";
  folder.Write("subs/Sub_A.NC", sub);
  Pass pass;
  ProgressState progress;
  pass.Reader.Progress = &progress;
  pass.Start(folder.Write("main.nc", "M98 <SUBS\\SUB_A.nc>\n"));
  ASSERT_EQ(pass.Read(), 1);
  InterpretNcBlock(pass.World->Context, pass.World->Records);
  ASSERT_EQ(pass.World->Context.Subprograms.Depth, 1);
  EXPECT_EQ(progress.FileTotal, sub.size());
  ASSERT_EQ(pass.Read(), 1);
  ASSERT_EQ(pass.Read(), 1);
  EXPECT_EQ(progress.FileCounter, sub.size());
}

// A folder named like a called program is passed over: M198 P12 then finds
// O0012.
TEST(Subprograms, FoldersAreNoPrograms) {
  ScratchFolder folder;
  std::filesystem::create_directories(folder / "o12");
  folder.Write("O0012", "G01 X5.\nM99\n");
  Pass pass;
  pass.Start(folder.Write("main.nc", "M198 P12\nG00 X0\n"));
  EXPECT_EQ(Texts(pass.ReadAll()),
            (std::vector<std::string>{"M198 P12", "G01 X5.", "M99", "G00 X0"}));
}

TEST(Subprograms, ReturnShowsTheCallersLine) {
  ScratchFolder folder;
  folder.Write("A.NC", "G01 X1.\nM98 <B.NC>\nG01 X2.\nM99\n");
  folder.Write("B.NC", "M99\n");
  Pass pass;
  pass.Start(folder.Write("main.nc", "G00 X0\nM98 <A.NC>\nG00 X3.\n"));
  std::vector<int32_t> shown;
  for (int guard = 0; guard < 100 && pass.Modal().EndState == kEndRunning; ++guard) {
    if (pass.Read() != 1) continue;
    InterpretNcBlock(pass.World->Context, pass.World->Records);
    if (pass.Line() == "M99") shown.push_back(pass.Modal().ShownLine);
  }
  // From level 2: level 1's counter; from level 1: the main counter.
  EXPECT_EQ(shown, (std::vector<int32_t>{2, 2}));
}

TEST(Subprograms, AFifthNestedCallIsIgnored) {
  ScratchFolder folder;
  // Built in steps: GCC 12 warns falsely about a chain of + here.
  for (char level = '1'; level <= '5'; ++level) {
    std::string name = "L";
    name += level;
    name += ".NC";
    std::string text = "M98 <L";
    text += static_cast<char>(level + 1);
    text += ".NC>\nG01 X";
    text += level;
    text += ".\n";
    folder.Write(name, text);
  }
  Pass pass;
  pass.Start(folder.Write("main.nc", "M98 <L1.NC>\nG00 X0\n"));
  const std::vector<ReadRow> expected = {
      {1, 0, "M98 <L1.NC>"}, {1, 1, "M98 <L2.NC>"}, {1, 2, "M98 <L3.NC>"}, {1, 3, "M98 <L4.NC>"},
      {1, 4, "M98 <L5.NC>"}, {2, 4, "G01 X4."},     {2, 3, "G01 X3."},     {2, 2, "G01 X2."},
      {2, 1, "G01 X1."},     {2, 0, "G00 X0"},
  };
  EXPECT_EQ(pass.ReadAll(), expected);
}

TEST(Subprograms, LongNamesAreKeptWhole) {
  ScratchFolder folder;
  const std::string name = "a_subprogram_name_of_more_than_thirty_two_bytes.nc";
  folder.Write(name, "G01 X7.\n");
  Pass pass;
  pass.Start(folder.Write("main.nc", "M98 <" + name + ">\n"));
  ASSERT_EQ(pass.Read(), 1);
  InterpretNcBlock(pass.World->Context, pass.World->Records);
  ASSERT_EQ(pass.World->Context.Subprograms.Depth, 1);
  EXPECT_EQ(pass.World->Context.Subprograms.Levels[0].Name, name);
  ASSERT_EQ(pass.Read(), 1);
  EXPECT_EQ(pass.Line(), "G01 X7.");
}

// Paths beyond 256 characters are opened whole.
TEST(Subprograms, LongPathsAreOpenedWhole) {
  ScratchFolder folder;
  const std::string deep =
      std::string(100, 'a') + "/" + std::string(100, 'b') + "/" + std::string(100, 'c') + "/";
  folder.Write(deep + "SUB.NC", "G01 X7.\n");
  Pass pass;
  pass.Start(folder.Write(deep + "main.nc", "M98 <sub.nc>\nG01 X8.\n"));
  EXPECT_GT(pass.World->Defs.Paths.NcProgram.size(), 300u);
  EXPECT_EQ(Texts(pass.ReadAll()),
            (std::vector<std::string>{"M98 <sub.nc>", "G01 X7.", "G01 X8."}));
}

// While a run follows the program in the editor, each line moves the
// cursor down; entering a program held in memory and returning from it jump.
TEST(Subprograms, TheEditorFollowsTheRun) {
  ScratchFolder folder;
  Pass pass;
  pass.Controller().Tables.MemoryRun = 1;
  pass.Reader.Editor.FollowRun = 1;
  pass.Reader.Editor.FollowSubprograms = 1;
  pass.World->Control.CuttingMode = kCuttingReal;
  pass.Start(folder.Write("editor.nc", "M98 P1000\nG01 X1.\nM30\nO1000\nG01 Y1.\nM99\n"));
  pass.ReadAll();
  constexpr auto kStep = EditorCursorMove::kStep, kJump = EditorCursorMove::kJump;
  EXPECT_EQ(pass.Reader.Editor.CursorMoves,
            (std::vector<EditorCursorMove>{
                {kStep, 1}, {kJump, 4}, {kStep, 5}, {kStep, 6}, {kJump, 1}, {kStep, 2}, {kStep, 3}}));
}

TEST(Subprograms, DialectCallsAndReturns) {
  ScratchFolder folder;
  folder.Write("SUB.H", "BEGIN PGM SUB MM\nL X1.\nEND PGM SUB MM\nL X9.\n");
  Pass heidenhain(Dialect::kHeidenhain);
  heidenhain.Start(folder.Write("main.h", "CALL PGM sub.h\nL X2.\nEND PGM MAIN MM\nL X3.\n"));
  EXPECT_EQ(Texts(heidenhain.ReadAll()),
            (std::vector<std::string>{"CALL PGM sub.h", "BEGIN PGM SUB MM", "L X1.",
                                      "END PGM SUB MM", "L X2.", "END PGM MAIN MM"}));
  EXPECT_EQ(heidenhain.Modal().EndState, kEndReached);

  folder.Write("OSUB.SSB", "G01 X1.\nRTS\nG01 X9.\n");
  Pass osp(Dialect::kOsp);
  osp.Start(folder.Write("main.min", "CALL OSUB.SSB\nG01 X2.\n"));
  EXPECT_EQ(Texts(osp.ReadAll()),
            (std::vector<std::string>{"CALL OSUB.SSB", "G01 X1.", "RTS", "G01 X2."}));
}

TEST(IsStopBlock, StopOptions) {
  struct Case {
    int32_t Option;
    std::string_view Line;
    int32_t Expected;
  };
  const Case cases[] = {
      {1, "M00\n", 1},    {1, "M0\n", 1},      {1, "M01\n", 0},         {2, "M01\n", 1},
      {2, "M1\n", 1},     {1, "M100\n", 0},    {2, "M100\n", 0},        {0, "M00\n", 0},
      {1, "(M00)\n", 0},  {1, "M00 M03\n", 0}, {1, "G00 M03 M00\n", 1}, {3, "G01 X1.\n", 1},
      {4, "(TOOL)\n", 1}, {4, "G01 X1.\n", 0}, {9, "M00\n", 0},
  };
  for (const Case& c : cases) {
    Pass pass;
    pass.Controller().StopOption = c.Option;
    pass.Controller().Tables.StopStrings = {"TOOL"};
    EXPECT_EQ(IsStopBlock(c.Line, pass.World->Context, pass.World->Records, pass.Reader),
              c.Expected)
        << c.Option << " " << c.Line;
  }
}

TEST(IsStopBlock, OneShotStopAndPlugins) {
  Pass pass;
  pass.Controller().StopOption = 0;
  pass.World->Control.OneShotStop = 1;
  EXPECT_EQ(IsStopBlock("G00\n", pass.World->Context, pass.World->Records, pass.Reader), 1);
  EXPECT_EQ(pass.World->Control.OneShotStop.load(), 0);
  EXPECT_EQ(IsStopBlock("G00\n", pass.World->Context, pass.World->Records, pass.Reader), 0);

  pass.World->Records.ActiveReadPlugin = 0;
  for (int32_t option : {1, 2, 4}) {
    pass.Controller().StopOption = option;
    pass.Controller().Tables.StopStrings = {"M0"};
    EXPECT_EQ(IsStopBlock("M00\n", pass.World->Context, pass.World->Records, pass.Reader), 0)
        << option;
  }
}

TEST(IsStopBlock, HeidenhainReadsOnlyStopCodes) {
  Pass pass(Dialect::kHeidenhain);
  pass.Controller().StopOption = 1;
  EXPECT_EQ(IsStopBlock("L X1. M0\n", pass.World->Context, pass.World->Records, pass.Reader), 1);
  EXPECT_EQ(IsStopBlock("M00 M3\n", pass.World->Context, pass.World->Records, pass.Reader), 1);
  EXPECT_EQ(IsStopBlock("L M3\n", pass.World->Context, pass.World->Records, pass.Reader), 0);
}

TEST(SkipNonMotionBlocks, StopsAtTheFirstMove) {
  ScratchFolder folder;
  Pass pass;
  pass.Start(folder.Write("skip.nc", "G90\nM03 S100\nG00 X0 Y0\nG01 X5.\nG01 X6.\n"));
  SkipNonMotionBlocks(pass.World->Context, pass.World->Records, pass.Reader);
  EXPECT_EQ(pass.Line(), "G01 X5.");
  EXPECT_EQ(pass.World->Context.Move.End[0], 5.0);
}

TEST(ReadNcLine, ReadPluginRecords) {
  Pass pass;
  RecordingReadPlugin plugin;
  plugin.Entries = {ReadPluginEntry::kPathIjk};
  PluginPathRecord first;
  first.LineNumber = 10;
  first.End = {1.0, 2.0, 3.0, 0.0, 0.0};
  PluginPathRecord second;
  second.Type = kMotionLinear;
  second.End = {4.0, 2.0, 3.0, 0.0, 0.0};
  plugin.Path = {first, second};
  pass.World->Records.ActiveReadPlugin = 0;
  pass.Reader.Plugin = &plugin;
  pass.Controller().CodeCheck = 1;
  ResetNcModalState(pass.World->Context, pass.World->Records);
  EXPECT_EQ(OpenNcProgram(pass.World->Records, pass.Reader), kNcProgramFromPlugin);

  ASSERT_EQ(pass.Read(), 1);
  EXPECT_EQ(pass.Modal().MainLineCounter, 10u);
  EXPECT_EQ(pass.Modal().BlockLine, 10);
  EXPECT_EQ(pass.Reader.Record.Kind, kPluginIjkRecordKind);
  ASSERT_EQ(pass.Read(), 1);
  EXPECT_EQ(pass.Modal().MainLineCounter, 11u);
  InterpretNcBlock(pass.World->Context, pass.World->Records);
  EXPECT_EQ(pass.World->Context.Move.End[0], 4.0);
  EXPECT_EQ(pass.World->Context.Move.MotionMode, kMotionLinear);
  EXPECT_EQ(pass.Read(), 0);
  EXPECT_EQ(pass.Modal().EndState, kEndHandled);
}

}  // namespace
}  // namespace vestan::testing
