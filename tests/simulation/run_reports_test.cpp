#include "simulation/run_reports.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "nc/move_trace.h"
#include "simulation/run_world.h"
#include "support/current_folder.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

namespace fs = std::filesystem;
using testing::CurrentFolder;
using testing::RunWorld;
using testing::ScratchFolder;
using Call = RecordingHost::Call;

std::string Golden(const std::string& name) {
  return ScratchFolder::Read(std::string(VESTAN_FIXTURES_DIR) + "/simulation/" + name);
}

// Reports are written in the current folder: each test runs in its own.
class RunReportsTest : public ::testing::Test {
 protected:
  ScratchFolder folder_;
  CurrentFolder here_{folder_.Path()};
  RunWorld w_;

  std::string Written(const std::string& name) const { return ScratchFolder::Read(name); }
  bool Exists(const std::string& name) const { return fs::exists(name); }

  // Sets the pairs' settings to stop and their hits for this step.
  void StopPairs(std::initializer_list<InterferencePair> pairs) {
    for (InterferencePair pair : pairs) {
      w_.Checks().Pairs[pair] = 2;
      w_.Hits().Pairs[pair] = 1;
    }
  }
  // One step with an alarm or interference as the run handles it: the
  // detailed report opened if chosen, its summary and step line, then the
  // stop-class hits registered.
  int32_t Step(int32_t step, int32_t steps, const ReportPose& pose) {
    UpdateMachineCheckFlag(w_.Checks());
    const RunReportLinks links = w_.Links();
    if (!w_.Reports.InterferenceStream) OpenInterference2Report(w_.Reports, links);
    if (w_.Reports.InterferenceStream) {
      FormatInterferenceSummary(w_.Reports, links);
      WriteInterferenceStepLine(w_.Reports, step, steps, pose);
    }
    return CheckStopOnInterference(w_.Nc, w_.Checks(), w_.Work, w_.Reports.Stops);
  }
  void NextStep() { ResetInterferenceFlags(w_.Hits()); }
  // The user resumes the run paused at a stop-class hit: the shell clears
  // the report state.
  void Resume() { w_.Reports.Stops.ReportState = kReportNothingPending; }
};

TEST_F(RunReportsTest, InnerCornerInterferenceOfTheMotionDriver) {
  // Offsets 0.02 apart at the turn of line 4: one entry with the offset.
  testing::MotionPass pass(testing::Dialect::kDefault, "CHECK RADIUS OFFSET=OPEN\n");
  pass.World->Memory.Offsets.DGeometry[2] = 0.01f;
  testing::NcWorld& nc = *pass.World;
  const RunReportLinks links{nc.Host, nc.Context, nc.Defs.Checks, nc.Control, 1, 0, 1, 0};
  pass.Driver.RadiusOffsetInterference =
      RadiusOffsetAlarmWriter(w_.Reports, links, pass.Controller().Tables.RadiusCheckList);
  pass.Trace("G00 X-10. Y0\nG41 G01 X0 Y0 D2 F100.\nX20.\nX0\nG40 X-10.\nM30\n");
  EXPECT_EQ(w_.Reports.OffsetAlarm, 1);
  CloseAlarmReport(w_.Reports, links, kRadiusList);
  EXPECT_EQ(Written("alarm.txt"),
            "<<< ALARM INFORMATION >>>\n--------------\nINTERFERENCE IN RADIUS(0.010) OFFSET\n"
            "4:X0\n");
}

ReportPose Pose(double x, double y, double z, double a, double c) {
  return {{x, y, z}, {'A', 'C'}, {a, c}};
}

TEST_F(RunReportsTest, AlarmReportEntriesAndClosing) {
  w_.AtLine(7, "G41 G01 X0 D1");
  // Option 0: no file, but the status bar's alarm.
  WriteRadiusOffsetAlarm(w_.Reports, w_.Links(), kRadiusListNone, 5.0);
  EXPECT_EQ(w_.Reports.OffsetAlarm, 1);
  EXPECT_FALSE(Exists("alarm.txt"));
  WriteRadiusOffsetAlarm(w_.Reports, w_.Links(), kRadiusOpen, 5.0);
  // NC bytes pass as read (a cp932 comment); -1.23456 rounds to three places.
  w_.AtLine(9, "G03 X1. Y1. R0.5 (\x8a\xd6)");
  WriteRadiusOffsetAlarm(w_.Reports, w_.Links(), kRadiusOpen, -1.23456);
  CloseAlarmReport(w_.Reports, w_.Links(), kRadiusOpen);
  EXPECT_EQ(Written("alarm.txt"), Golden("alarm.txt"));
  EXPECT_EQ(w_.Reports.OffsetAlarm, 0);
  EXPECT_FALSE(w_.Reports.AlarmStream);
  EXPECT_EQ(w_.Host.Texts(Call::kOpen), std::vector<std::string>{"alarm.txt"});

  // LIST writes but does not open; under automation OPEN does not open.
  for (auto [option, batch] : {std::pair{kRadiusList, 0}, std::pair{kRadiusOpen, 1}}) {
    w_.BatchMode = batch;
    WriteRadiusOffsetAlarm(w_.Reports, w_.Links(), option, 1.0);
    CloseAlarmReport(w_.Reports, w_.Links(), option);
  }
  EXPECT_EQ(w_.Host.Count(Call::kOpen), 1);
}

TEST_F(RunReportsTest, InterferenceReportEntries) {
  w_.SoundOn = 1;
  const ReportPose pose = Pose(0, 0, 0, 0, 0);
  w_.AtLine(12, "G01 X10. Y5.");
  StopPairs({kPairArborVice, kPairArborTable1, kPairHeadWork});
  EXPECT_EQ(Step(1, 1, pose), 0);
  EXPECT_FALSE(w_.Reports.InterferenceStream) << "no interference2.txt: the plain report";
  EXPECT_EQ(w_.Reports.Stops.ReportState, kReportPending);
  WriteInterferenceReport(w_.Reports, w_.Links());
  Resume();
  // The run asks after every move; the next move registered nothing: no
  // entry, sound or paint, and the status text stays.
  NextStep();
  WriteInterferenceReport(w_.Reports, w_.Links());
  EXPECT_EQ(w_.Reports.Stops.StatusText, "ARBORvsVICE Collide");

  NextStep();
  w_.InSubprogram("O1000", 3, "G00 Z50.");
  StopPairs({kPairToolVice, kPairToolTable1, kPairHead1Vice, kPairHead1Table});
  EXPECT_EQ(Step(1, 1, pose), 0);
  WriteInterferenceReport(w_.Reports, w_.Links());
  Resume();

  NextStep();
  w_.AtLine(20, "G01 X0 F99999");
  w_.CuttingStep();
  w_.Nc.Move.Feed = 99999.0;
  w_.Nc.Modal.SpindleSpeed = 50.0;
  InterferenceCheckSettings& c = w_.Checks();
  c.ArborCheck = 4;
  c.HeightCheck = 3;
  c.SpindleCheck = 2;
  c.Interference = 2;
  InterferenceHits& h = w_.Hits();
  h.BodyHitFlag = h.ArborHitFlag = h.HeightHitFlag = 1;
  StopPairs({kPairToolBasic, kPairHead2Basic});
  EXPECT_EQ(Step(1, 1, pose), 0);
  // The last entry is still pending when the run ends.
  CloseInterferenceReport(w_.Reports, w_.Links());

  EXPECT_EQ(Written("interference.txt"), Golden("interference.txt"));
  EXPECT_FALSE(Exists("interference2.txt"));
  EXPECT_EQ(w_.Reports.Stops.ReportState, kReportNothingPending);
  EXPECT_EQ(w_.Reports.Stops.Flags, InterferenceStopState{}.Flags);
  EXPECT_EQ(w_.Host.Texts(Call::kOpen), std::vector<std::string>{"interference.txt"});
  EXPECT_EQ(w_.Host.Count(Call::kSound), 3);
  EXPECT_EQ(w_.Host.Texts(Call::kSound)[0], "SystemHand");
  EXPECT_EQ(w_.Host.Updates(ShellUpdate::kSecondView), 3);
  EXPECT_EQ(w_.Host.Count(Call::kLog), 0);
}

TEST_F(RunReportsTest, WritingAnEntryLeavesTheStatusTextAndClearsTheStep) {
  w_.AtLine(12, "G01 X10. Y5.");
  StopPairs({kPairHead2Work});
  Step(1, 1, {});
  w_.Control.StepStatus = kStepAlarm;
  w_.BatchMode = 1;  // no second view paint under automation
  WriteInterferenceReport(w_.Reports, w_.Links());
  EXPECT_EQ(w_.Control.StepStatus.load(), 0);
  EXPECT_EQ(w_.Reports.Stops.StatusText, "HEAD2vsWORK Collide");
  EXPECT_EQ(w_.Reports.Stops.Flags, InterferenceStopState{}.Flags);
  EXPECT_EQ(w_.Reports.Stops.ReportState, kReportWritten);
  EXPECT_EQ(w_.Host.Updates(ShellUpdate::kSecondView), 0);
  EXPECT_EQ(w_.Host.Count(Call::kSound), 0) << "sounds are off";
  // Asked not to open reports: the file is closed but not opened.
  w_.BatchMode = 0;
  w_.NoReportOpening = 1;
  CloseInterferenceReport(w_.Reports, w_.Links());
  EXPECT_FALSE(w_.Reports.InterferenceStream);
  EXPECT_EQ(w_.Host.Count(Call::kOpen), 0);
  EXPECT_TRUE(Exists("interference.txt"));
}

TEST_F(RunReportsTest, DetailedReportWhenTheUserCreatedItEvenEmpty) {
  folder_.Write("interference2.txt", "");
  w_.AtLine(12, "G01 X10. Y5.");
  StopPairs({kPairToolVice});
  w_.Checks().Pairs[kPairToolBasic] = 2;  // not a hit this step
  EXPECT_EQ(Step(1, 3, Pose(1, 2, 3, 0, 90)), 0);
  EXPECT_EQ(w_.Reports.DetailedReport, 1);
  EXPECT_EQ(Step(2, 3, Pose(1.5, 2, 3, 0, 90)), 0);
  // The entry after the move goes to no file in the detailed report.
  WriteInterferenceReport(w_.Reports, w_.Links());

  NextStep();
  w_.AtLine(13, "G01 Z-5.");
  w_.Checks().ArborCheck = 4;
  // The taper goes before the arbor; the attachment is not named.
  w_.Hits().BodyHitFlag = w_.Hits().ArborHitFlag = w_.Hits().AttachmentHitFlag = 1;
  StopPairs({kPairToolVice, kPairArborTable, kPairArborTable1, kPairHeadWork});
  EXPECT_EQ(Step(1, 1, Pose(2, 2, -5, 0, 90)), 0);

  NextStep();
  w_.InSubprogram("O1000", 3, "G00 Z50.");
  w_.Checks().ArborCheck = 0;
  w_.Checks().Interference = 2;
  w_.Checks().SpindleCheck = 2;
  w_.Run.MotionMode = kMotionRapid;
  w_.Nc.Modal.SpindleState = 0;
  w_.Hits().ContactFlag = 1;
  // BASIC pairs count for the stop but are not named here.
  StopPairs({kPairHead1Work, kPairHead1Table1, kPairHead2Vice, kPairHeadBasic});
  EXPECT_EQ(Step(1, 2, Pose(-0.25, 0, 50, -30, 0)), 0);
  CloseInterferenceReport(w_.Reports, w_.Links());

  EXPECT_EQ(Written("interference2.txt"), Golden("interference2.txt"));
  EXPECT_FALSE(Exists("interference.txt"));
  EXPECT_EQ(w_.Host.Texts(Call::kOpen), std::vector<std::string>{"interference2.txt"});
  EXPECT_EQ(w_.Reports.DetailedReport, 0);
}

TEST_F(RunReportsTest, AStepWithoutAStopClassConditionOpensNoReport) {
  folder_.Write("interference2.txt", "kept");
  w_.AtLine(12, "G01 X10.");
  w_.Checks().Pairs[kPairToolVice] = 1;  // break, not stop
  w_.Hits().Pairs[kPairToolVice] = 1;
  w_.Checks().HeightCheck = 3;   // stop, but no hit
  w_.Checks().Interference = 2;  // stop, G00, but no contact
  w_.Run.MotionMode = kMotionRapid;
  OpenInterference2Report(w_.Reports, w_.Links());
  EXPECT_FALSE(w_.Reports.InterferenceStream);
  EXPECT_EQ(w_.Reports.DetailedReport, 0);
  EXPECT_EQ(Written("interference2.txt"), "kept");
}

TEST_F(RunReportsTest, AnUncreatableDetailedReportWritesNothingAndWarnsOnce) {
  // The file exists (so it is chosen) but cannot be opened for writing.
  fs::create_directory("interference2.txt");
  w_.AtLine(12, "G01 X10. Y5.");
  StopPairs({kPairHeadVice});
  EXPECT_EQ(Step(1, 2, {}), 0);
  EXPECT_EQ(Step(2, 2, {}), 0);
  EXPECT_EQ(w_.Reports.DetailedReport, 1);
  EXPECT_EQ(w_.Reports.Stops.ReportState, kReportPending);
  WriteInterferenceReport(w_.Reports, w_.Links());
  EXPECT_EQ(w_.Reports.Stops.ReportState, kReportWritten);
  CloseInterferenceReport(w_.Reports, w_.Links());

  EXPECT_EQ(w_.Host.Texts(Call::kLog),
            std::vector<std::string>{
                "interference2.txt cannot be created: the report of this run is not written."});
  EXPECT_FALSE(Exists("interference.txt")) << "no fall-back to the plain report";
  EXPECT_EQ(w_.Host.Count(Call::kOpen), 0) << "no report to open";
  EXPECT_EQ(w_.Reports.Stops.ReportState, kReportNothingPending);
  EXPECT_EQ(w_.Reports.DetailedReport, 0);
  EXPECT_EQ(w_.Reports.Stops.StatusText, "HEADvsVICE Collide");
}

TEST_F(RunReportsTest, AReportThatCouldNotBeWrittenIsLogged) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  fs::create_symlink("/dev/full", "interference.txt");
  w_.AtLine(12, "G01 X10. Y5.");
  StopPairs({kPairHeadVice});
  Step(1, 1, {});
  w_.EnglishMode = 0;
  CloseInterferenceReport(w_.Reports, w_.Links());
  EXPECT_EQ(w_.Host.Texts(Call::kLog),
            std::vector<std::string>{"interference.txtを最後まで書き込めませんでした。"});
}

TEST_F(RunReportsTest, CuttingLimitReportsByTheToolsLimitType) {
  ToolTable& tools = w_.Defs.Tools;
  AllocToolTables(tools);
  tools.Limits[3].Kind = 11;
  tools.Limits[4].Kind = 12;
  tools.Limits[5].Kind = 1;  // stops the run, writes no report
  OpenCuttingLimitReport(w_.Reports, w_.Links(), tools, 5);
  OpenCuttingLimitReport(w_.Reports, w_.Links(), tools, -1);
  OpenCuttingLimitReport(w_.Reports, w_.Links(), tools, 100000);
  EXPECT_FALSE(w_.Reports.LimitStream);
  EXPECT_FALSE(Exists("limitp.txt") || Exists("limitsp.txt"));

  OpenCuttingLimitReport(w_.Reports, w_.Links(), tools, 3);
  EXPECT_EQ(w_.Reports.LimitKind, kLimitReportSection);
  w_.AtLine(12, "G01 X1.");
  WriteCuttingLimitLine(w_.Reports, w_.Nc, Pose(1, 2, 3, 0, 90), 0.5);
  w_.InSubprogram("O1000", 3, "G01 X-1.5");
  WriteCuttingLimitLine(w_.Reports, w_.Nc, Pose(-1.5, 0, 10.25, -30, 0), 12.0);
  EXPECT_EQ(w_.Reports.LimitLineCount, 2);
  CloseCuttingLimitReport(w_.Reports, w_.Links());
  EXPECT_EQ(Written("limitp.txt"), Golden("limitp.txt"));

  // A limit-speed report without lines is created but not opened.
  OpenCuttingLimitReport(w_.Reports, w_.Links(), tools, 4);
  EXPECT_EQ(w_.Reports.LimitKind, kLimitReportRate);
  EXPECT_EQ(w_.Reports.LimitLineCount, 0);
  CloseCuttingLimitReport(w_.Reports, w_.Links());
  EXPECT_EQ(Written("limitsp.txt"), "");
  EXPECT_EQ(w_.Host.Texts(Call::kOpen), std::vector<std::string>{"limitp.txt"});
}

TEST_F(RunReportsTest, TheRunsStartForgetsTheAlarmAndInterferenceReports) {
  w_.AtLine(1, "G01 X1.");
  WriteRadiusOffsetAlarm(w_.Reports, w_.Links(), kRadiusList, 1.0);
  StopPairs({kPairHeadVice});
  Step(1, 1, {});
  WriteInterferenceReport(w_.Reports, w_.Links());
  ResetRunReports(w_.Reports);
  EXPECT_FALSE(w_.Reports.AlarmStream);
  EXPECT_FALSE(w_.Reports.InterferenceStream);
  EXPECT_EQ(w_.Reports.OffsetAlarm, 0);
  EXPECT_EQ(w_.Reports.Stops.ReportState, kReportNothingPending);
  // What was written is kept (the streams were closed, not dropped).
  EXPECT_EQ(Written("alarm.txt"),
            "<<< ALARM INFORMATION >>>\n--------------\nINTERFERENCE IN RADIUS(1.000) OFFSET\n"
            "1:G01 X1.\n");
}

}  // namespace
}  // namespace vestan
