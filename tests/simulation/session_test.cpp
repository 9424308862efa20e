#include "simulation/session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nc/block_interpreter.h"
#include "nc/nc_modal_operations.h"
#include "platform/recording_host.h"
#include "simulation/interference_bookkeeping.h"
#include "simulation/session_runs.h"
#include "simulation/session_tools.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

using testing::ScratchFolder;

// A session over the shipped definitions.
class ShippedSession : public ::testing::Test, protected testing::FolderSession {
 protected:
  ShippedSession() { testing::ReadShippedDefinitions(S, Folder.Path()); }

  void Interpret(const NcPassRecords& records, std::string_view line) {
    S.Nc.Line.Assign(std::string(line) + "\n");
    InterpretNcBlock(S.Nc, records);
  }
};

// A pass over a copy of the controller memory leaves the application's
// offsets, and the work frame that models are loaded and saved in, as they
// were; the run's pass changes them.
TEST_F(ShippedSession, APassOverACopyOfTheMemoryLeavesTheApplicationsOffsets) {
  const double g54 = S.Memory.Offsets.WorkOffsets[1][0];
  const Vec3 origin = S.Frame.Origin;
  NcPassCopy copy = CopyForPass(S);
  ResetNcModalState(S.Nc, NcPassOf(S, copy));
  Interpret(NcPassOf(S, copy), "G10 L2 P1 X5.");
  Interpret(NcPassOf(S, copy), "G92 X123.");
  EXPECT_EQ(copy.Memory.Offsets.WorkOffsets[1][0], 5.0);
  EXPECT_NE(copy.Frame.Origin, origin);
  EXPECT_EQ(S.Memory.Offsets.WorkOffsets[1][0], g54);
  EXPECT_EQ(S.Frame.Origin, origin);
  Interpret(NcPassOf(S), "G10 L2 P1 X7.");
  Interpret(NcPassOf(S), "G92 X77.");
  EXPECT_EQ(S.Memory.Offsets.WorkOffsets[1][0], 7.0);
  EXPECT_NE(S.Frame.Origin, origin);
}

// The pass's motion driver writes its radius-offset alarms into the pass's
// "alarm.txt".
TEST_F(ShippedSession, APassWritesTheRadiusOffsetAlarmsOfItsRun) {
  S.Memory.Offsets.DGeometry[2] = 0.01f;
  testing::StartProgram(
      S, Folder.Write("corner.nc", "%\nG00 X-10. Y0\nG41 G01 X0 Y0 D2 F100.\nX20.\nX0\n"
                                     "G40 X-10.\nM30\n%\n"));
  while (testing::NextMove(S)) {
  }
  EXPECT_EQ(S.Pass->Reports.OffsetAlarm, 1);
  CloseAlarmReport(S.Pass->Reports, S.Pass->ReportLinks, kRadiusList);
  EXPECT_EQ(ScratchFolder::Read("alarm.txt"),
            "<<< ALARM INFORMATION >>>\n--------------\nINTERFERENCE IN RADIUS(0.010) OFFSET\n"
            "5:X0\n");
}

// The multi-tool pass gives up at the run's abort while the view draws.
TEST_F(ShippedSession, TheMultiToolPassGivesUpAtTheRunsAbort) {
  StartRunPass(S);
  MultiToolPassRecords records = MultiToolPassOf(S, S.Pass->Kernel);
  MultiToolPassState state;
  Host.BusyPolls = 1000000;
  Host.OnSleep = [this](int32_t) { S.Control.Abort = 1; };
  EXPECT_FALSE(RunMultiToolPass(records, 1, {}, state));
  EXPECT_EQ(Host.Texts(RecordingHost::Call::kSleep).size(), 1u);
}

// Long work shows its progress through the session's host: the shell
// rebuilds the title with the label, the percentage goes to the title bar
// (no status bar) with the stop mark while the run is held, and the title's
// pauses are the host's waits.
TEST(SessionProgress, GoesThroughTheHost) {
  RecordingHost host;
  Session s(host);
  ProgressState& progress = s.Progress;
  progress.Options.SilentMode = 1;
  progress.Options.EnglishMode = 1;
  s.Control.Paused = 1;
  BeginProgress(progress, kProgressGivenTotal, 10, "", 0, "J", "Offset");
  AddProgress(progress, 10);
  UpdateProgress(progress, 0);
  using Call = RecordingHost::Call;
  EXPECT_EQ(host.Texts(Call::kWindowTitle).back(), "Offset:100.0%-STOP!");
  EXPECT_EQ(host.Count(Call::kSleep), 10);
  int32_t titles = 0;
  for (const RecordingHost::Event& e : host.Events)
    if (e.Kind == Call::kShellUpdate && e.Value == static_cast<int32_t>(ShellUpdate::kWindowTitle))
      ++titles;
  EXPECT_EQ(titles, 1) << "the shell rebuilds the title with the label at the start";
}

struct MoveSeen {
  int32_t Mode = 0;
  bool Touched = false;
  bool RapidCut = false;  // the rapid-cut check raised
};

// Runs the program through the session's pass, each move cut; what each move
// that moves did.
std::vector<MoveSeen> CutProgram(Session& s, const std::string& path) {
  testing::StartProgram(s, path);
  std::vector<MoveSeen> seen;
  while (testing::NextMove(s)) {
    if (s.Nc.Modal.MoveExists == 0) continue;
    MoveSeen move;
    move.Mode = s.Run.MotionMode;
    move.Touched = testing::CutLiveMove(s);
    move.RapidCut = move.Touched && RapidConditionOf(s.Nc, s.Defs.Checks) != RapidCondition::kNone;
    seen.push_back(move);
  }
  return seen;
}

// Under compensation the block after a move is read before the move is cut:
// the cut takes the mode of its own move, not that of the block read ahead.
TEST_F(ShippedSession, TheCutTakesTheModeOfItsOwnMove) {
  testing::MakeBoxStock(S, {-50, -50, 80, 50, 50, 110}, 0.5);  // G54: 0..100, -30..0
  // The start-up move is a rapid into the stock; the next block feeds.
  std::vector<MoveSeen> seen = CutProgram(
      S, Folder.Write("rapid.nc", "%\nG90 G54 G00 X-20. Y50. Z-5.\nG41 G00 X10. D01\n"
                                    "G01 X60. F500\nG40 G00 Z10.\nM30\n%\n"));
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen[1].Mode, kMotionRapid);
  EXPECT_TRUE(seen[1].Touched);
  EXPECT_TRUE(seen[1].RapidCut) << "a rapid into material raises the rapid-cut check";
  EXPECT_EQ(seen[2].Mode, kMotionLinear);

  // A feed move followed by a rapid block, beside the first slot: no rapid
  // cut.
  seen = CutProgram(S, Folder.Write("feed.nc", "%\nG90 G54 G00 X-20. Y20. Z-5.\n"
                                                 "G41 G01 X10. D01 F500\nX60.\nG00 Z10.\n"
                                                 "G40 X120.\nM30\n%\n"));
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen[2].Mode, kMotionLinear);
  EXPECT_TRUE(seen[2].Touched);
  for (size_t k = 0; k < seen.size(); ++k) EXPECT_FALSE(seen[k].RapidCut) << "move " << k;
}

}  // namespace
}  // namespace vestan
