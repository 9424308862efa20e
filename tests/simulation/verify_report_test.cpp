// The verify report: times as hh:mm:ss, every key family of the template
// against values worked by hand, the fixed report, and the report written
// after a data check of a program.
#include "simulation/verify_report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/file_open.h"
#include "simulation/session_runs.h"

namespace vestan {
namespace {

TEST(VerifyReport, HoursMinutesSeconds) {
  const std::pair<int32_t, const char*> cases[] = {
      {0, " 00:00:00"}, {3735, " 01:02:15"}, {359999, " 99:59:59"}, {360000, " 100:00:00"}};
  for (const auto& [seconds, text] : cases) {
    std::string out;
    FormatHhMmSs(out, seconds);
    EXPECT_EQ(out, text) << seconds;
  }
}

struct Expansion {
  RecordingHost Host;
  Session S{Host};
  NcCheckResults R;
  Expansion() {
    R.RapidTime = 10.0;
    R.FeedTime = 3725.4;
    R.RapidSpeedTime = 12.4;
    R.CuttingFeedTime = 3723.0;
    R.RapidLength = 1.5;
    R.FeedLength = 1.5;
    R.RapidSpeedLength = 100.49;
    R.CuttingFeedLength = 7.5;
    R.DCodes[1] = R.DCodes[12] = 1;
    R.GCodes[0] = R.GCodes[1] = R.GCodes[54] = R.GCodes[90] = 1;
    R.ToolCodes.assign(31, 0);
    R.ToolCodes[2] = 1;
    R.ProcessCount = 2;
    R.Processes[1] = {2, 61.5};
    R.Processes[2] = {120, 3600.0};
    R.CuttingWork.Max = {60, 50, 0};
    R.CuttingMachine.Max = {-190, -100, -300};
    R.Machine.Min = {-260, -150, -305};
    R.MaxFeed = 5000.0;
    R.MaxCuttingFeed = 1200.7;
    R.MinFeed = 300.0;
    R.MaxSpindleSpeed = 8000.9;
    R.LineCount = 12;
    S.Defs.Paths.NcProgram = "/nc/part.nc";
    S.Memory.Offsets.WorkOffsets[0] = {1, 2, 3, 0, 0};
    S.Memory.Offsets.WorkOffsets[1] = {-250, -150, -300, 0, 0};
    S.Memory.Offsets.WorkOffsets[7] = {7, 0, 0, 0, 0};
    S.Defs.Checks.RapidFeedrate = 999999999.0;
  }
  std::string Expand(std::string_view text) {
    VerifyFacts facts{R, S.Defs, S.Memory.Offsets, 1234, 56.789};
    return ExpandVerifyTemplate(text, facts, R);
  }
};

TEST(VerifyReport, TemplateKeys) {
  const std::pair<const char*, const char*> cases[] = {
      {"Time $TIM\n", "Time  01:02:15\n"},
      {"$LEN|$LEN1|$LEN2|$LENR|$LENF\n", "      4|      2|      2|    100|      8\n"},
      {"$TIMER|$TIMEF|$TIME1|$TIME2|$TIME\n", "     12|   3723|     10|   3725|   3735\n"},
      {"$TIMR$TIMF$TIM1$TIM2\n", " 00:00:12 01:02:03 00:00:10 01:02:05\n"},
      {"a$G53xb $G54xc\n", "ab ( -250.000, -150.000, -300.000,    0.000,    0.000)c\n"},
      {"$WK7 |$WK300|$WK12\n", "(    7.000,    0.000,    0.000,    0.000,    0.000)||(    0.000,    0.000,    0.000,    0.000,    0.000)\n"},
      {"$EXOFS..!\n", "(    1.000,    2.000,    3.000,    0.000,    0.000)!\n"},
      {"D $DCODE H $HCODE T $TCODE\n", "D 01,12 H None T 02\n"},
      {"$EP_INFO", "  1 | T02  | 00:01:02\n  2 | T120 | 01:00:00\n\n"},
      {"$MAXX2W $MAXX2E $MAXX2 $MINXE $MINZ\n", "   60.000  -191.000  -190.000  -261.000  -305.000\n"},
      {"$MAXS $MAXF2 $MAXF $MINF $RAPIDFEEDRATE\n", "    8000    1200    5000     300 NO\n"},
      {"$SIZE $LINES $VOLUME\n", "     1234       12 56.789\n"},
      // An unknown key drops one character more.
      {"$NC $Qx$\n", "/nc/part.nc x\n"},
      {"no key\n", "no key\n"},
      {"ends in a key $LINES", "ends in a key       12\n"},
  };
  for (const auto& [text, expected] : cases) {
    Expansion e;
    EXPECT_EQ(e.Expand(text), expected) << text;
  }
  // $WK beyond the table prints nothing; a three-digit number is taken whole.
  Expansion e;
  EXPECT_EQ(e.Expand("[$WK300]\n"), "[]\n");
  // $GCODEW takes the work-offset codes out of the G-code list.
  EXPECT_EQ(e.Expand("$GCODE|$GCODEW|$GCODE\n"), "00,01,54,90|54|00,01,90\n");
}

TEST(VerifyReport, FixedReportWithoutTemplate) {
  Expansion e;
  e.R.Machine.Max = {1, 2, 3};
  VerifyFacts facts{e.R, e.S.Defs, e.S.Memory.Offsets, 0, 0.0};
  EXPECT_EQ(FixedVerifyReport(facts, 1),
            "<<< \"/nc/part.nc\" Cutting Information >>>\n"
            "\x81\xa6:\"verify_form.def\" is not found.\n"
            "Length of Rapid Path:      2\n"
            "Length of Feed Path:      2\n"
            "Time:   3735\n"
            "Maximum X:    1.000 ,Y:    2.000 ,Z:    3.000\n"
            "Minimum X: -260.000 ,Y: -150.000 ,Z: -305.000\n");
}

// A data check of a program, then the report through a template in the
// current folder, written beside the program (AUTO naming).
TEST(VerifyReport, WrittenAfterADataCheck) {
  testing::FolderSession run;
  Session& s = run.S;
  testing::ReadShippedDefinitions(s, run.Folder.Path());
  s.Defs.Settings.NamingModeVerify = 2;
  s.Defs.Settings.CreateModeVerify = 0;
  s.Defs.Paths.NcProgram = run.Folder.Write("part.nc",
                                            "%\nG90 G54 G00 X0 Y0 Z10.\nG01 Z-1. F600\nX30.\nM30\n%\n");
  run.Folder.Write("verify_form.def", "Feed $LEN2 mm, $LINES lines, T $TCODE\n");
  NcCheckResults results;
  ASSERT_EQ(CheckNcData(s, kCheckData, results), kCheckDone);
  ASSERT_EQ(WriteVerifyReport(s, results, 1), kVerifyWritten);
  const std::string path = run.Folder.Path() + "/part_verify.txt";
  EXPECT_EQ(ReadFileBytes(path).value_or(""),
            "Feed      41 mm, " + std::string(8 - std::to_string(results.LineCount).size(), ' ') +
                std::to_string(results.LineCount) + " lines, T 01\n");

  // A check that could not read its program writes no report.
  s.Defs.Paths.NcProgram = run.Folder.Path() + "/gone.nc";
  ASSERT_EQ(CheckNcData(s, kCheckData, results), kCheckNotOpened);
  EXPECT_EQ(WriteVerifyReport(s, results, 1), kVerifyNoCheck);
  EXPECT_FALSE(std::filesystem::exists(run.Folder.Path() + "/gone_verify.txt"));
}

}  // namespace
}  // namespace vestan

namespace vestan {
namespace {

// The shipped example checked and reported through the shipped template:
// every key replaced, and the facts of the program.
TEST(VerifyReport, ShippedExampleThroughTheShippedTemplate) {
  testing::FolderSession run;
  Session& s = run.S;
  testing::ReadShippedDefinitions(s, run.Folder.Path());
  s.Defs.Paths.NcProgram = std::string(VESTAN_DATA_DIR) + "/example.nc";
  s.Defs.Paths.VerifyReportFolder = run.Folder.Path() + "/verify";
  s.Defs.Settings.NamingModeVerify = 1;
  run.Folder.Write("verify_form.def",
                   ReadFileBytes(std::string(VESTAN_DATA_DIR) + "/verify_form.def").value_or(""));
  NcCheckResults results;
  ASSERT_EQ(CheckNcData(s, kCheckData, results), kCheckDone);
  EXPECT_EQ(s.Nc.Modal.AlarmCode, kAlarmNone);
  ASSERT_EQ(WriteVerifyReport(s, results, 1), kVerifyWritten);
  const std::string report = ReadFileBytes(run.Folder.Path() + "/verify/verify.txt").value_or("");
  EXPECT_EQ(report.find('$'), std::string::npos);
  EXPECT_NE(report.find("T 01,06,07"), std::string::npos);
  EXPECT_NE(report.find("D 01 "), std::string::npos);
  EXPECT_EQ(results.ProcessCount, 3);
}

}  // namespace
}  // namespace vestan
