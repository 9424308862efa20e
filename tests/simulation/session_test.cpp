#include "simulation/session.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "nc/block_interpreter.h"
#include "nc/nc_modal_operations.h"
#include "platform/recording_host.h"
#include "simulation/session_runs.h"
#include "simulation/session_tools.h"
#include "support/current_folder.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

using testing::CurrentFolder;
using testing::ScratchFolder;

// A session over the shipped definitions, run from a scratch folder (where
// its reports go).
class ShippedSession : public ::testing::Test {
 protected:
  ShippedSession() { testing::ReadShippedDefinitions(s_, folder_.Path()); }

  void Interpret(const NcPassRecords& records, std::string_view line) {
    s_.Nc.Line.Assign(std::string(line) + "\n");
    InterpretNcBlock(s_.Nc, records);
  }

  ScratchFolder folder_;
  CurrentFolder here_{folder_.Path()};
  RecordingHost host_;
  std::unique_ptr<Session> session_ = std::make_unique<Session>(host_);
  Session& s_ = *session_;
};

// A pass over a copy of the controller memory leaves the application's
// offsets as they were; the run's pass changes them.
TEST_F(ShippedSession, APassOverACopyOfTheMemoryLeavesTheApplicationsOffsets) {
  const double g54 = s_.Memory.Offsets.WorkOffsets[1][0];
  ControllerMemory copy = s_.Memory;
  ResetNcModalState(s_.Nc, NcPassOf(s_, copy));
  Interpret(NcPassOf(s_, copy), "G10 L2 P1 X5.");
  EXPECT_EQ(copy.Offsets.WorkOffsets[1][0], 5.0);
  EXPECT_EQ(s_.Memory.Offsets.WorkOffsets[1][0], g54);
  Interpret(NcPassOf(s_), "G10 L2 P1 X7.");
  EXPECT_EQ(s_.Memory.Offsets.WorkOffsets[1][0], 7.0);
}

// The pass's motion driver writes its radius-offset alarms into the pass's
// "alarm.txt".
TEST_F(ShippedSession, APassWritesTheRadiusOffsetAlarmsOfItsRun) {
  s_.Memory.Offsets.DGeometry[2] = 0.01f;
  testing::StartProgram(
      s_, folder_.Write("corner.nc", "%\nG00 X-10. Y0\nG41 G01 X0 Y0 D2 F100.\nX20.\nX0\n"
                                     "G40 X-10.\nM30\n%\n"));
  while (testing::NextMove(s_)) {
  }
  EXPECT_EQ(s_.Pass->Reports.OffsetAlarm, 1);
  CloseAlarmReport(s_.Pass->Reports, s_.Pass->ReportLinks, kRadiusList);
  EXPECT_EQ(ScratchFolder::Read("alarm.txt"),
            "<<< ALARM INFORMATION >>>\n--------------\nINTERFERENCE IN RADIUS(0.010) OFFSET\n"
            "5:X0\n");
}

// The multi-tool pass gives up at the run's abort while the view draws.
TEST_F(ShippedSession, TheMultiToolPassGivesUpAtTheRunsAbort) {
  StartRunPass(s_);
  SessionCutting cutting(s_);
  MultiToolPassRecords records = MultiToolPassOf(s_, cutting);
  MultiToolPassState state;
  host_.BusyPolls = 1000000;
  host_.OnSleep = [this](int32_t) { s_.Control.Abort = 1; };
  EXPECT_FALSE(RunMultiToolPass(records, 1, {}, state));
  EXPECT_EQ(host_.Texts(RecordingHost::Call::kSleep).size(), 1u);
}

}  // namespace
}  // namespace vestan
