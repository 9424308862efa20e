// The whole run through SimulationThreadProc: programs from their first
// block to their end on the shipped definitions and a box stock; stop
// blocks, the pause and the abort; the tool changer by ATC type; the
// per-process model snapshots loaded back and measured.
#include "simulation/run_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <thread>

#include "model/cut_statistics.h"
#include "modelfiles/dme_file.h"
#include "platform/file_open.h"
#include "simulation/session_runs.h"

namespace vestan {
namespace {

constexpr double kPitch = 0.5;
constexpr std::array<double, 6> kBox = {-50, -50, 80, 50, 50, 110};

// A session with the shipped definitions (tool 1 a D10 flat, G54 at -50,
// -50, 110), no stroke limits, a box stock 100 x 100 x 30 whose top is at
// program Z 0, silent, in cut-and-show-result mode.
struct LoopRun {
  testing::FolderSession Run;
  Session& S = Run.S;

  LoopRun() {
    testing::ReadShippedDefinitions(S, Run.Folder.Path());
    S.Defs.Limits = StrokeLimits{};
    S.Defs.Settings.IgnoreG00 = 1;
    S.Defs.Controller.StopOption = 0;
    testing::MakeBoxStock(S, kBox, kPitch);
    S.Control.CuttingMode.store(kCuttingShowResult);
    // The shell's waits take a millisecond here.
    Run.Host.OnSleep = [](int32_t) { std::this_thread::sleep_for(std::chrono::milliseconds(1)); };
  }

  std::string Program(const std::string& name, const std::string& text) {
    S.Defs.Paths.NcProgram = Run.Folder.Write(name, "%\n" + text + "M30\n%\n");
    return S.Defs.Paths.NcProgram;
  }
  int32_t RunIt() { return SimulationThreadProc(S); }
  double Removed() { return -ComputeCutAmountStats(S.Work.Workpiece()); }
  std::string File(const std::string& name) { return Run.Folder.Path() + "/" + name; }
};

// The slot of tool 1 along X at Y50.2, 5 deep, from outside the stock to X60,
// as the Z columns see it (see the session's end-to-end test).
double SlotVolume() {
  double columns = 0.0;
  for (int32_t i = 0; i <= 200; ++i)
    for (int32_t j = 0; j <= 200; ++j) {
      const double x = i * kPitch, y = j * kPitch;
      if (!((x <= 60 && std::fabs(y - 50.2) < 5) || std::hypot(x - 60, y - 50.2) < 5)) continue;
      columns += 5 * kPitch * kPitch * (i == 0 || i == 200 ? 0.5 : 1.0) * (j == 0 || j == 200 ? 0.5 : 1.0);
    }
  return columns;
}

const char* kSlot =
    "G90 G54 G00 X-10. Y50.2 Z10.\n"
    "G01 Z-5. F500\n"
    "X60.\n"
    "G00 Z10.\n";

// What a DME file holds less than the untouched stock, by its Z columns.
double RemovedInFile(const std::string& path, const WorkOffsetFrame& frame) {
  DexelModel stock, saved;
  EXPECT_EQ(CreateBoxModel(stock, kBox, kPitch), kModelOk);
  EXPECT_EQ(LoadDmeFile(saved, path, 0, frame), kModelOk) << path;
  if (!saved.Allocated()) return -1.0;
  int32_t changed = 0;
  double amount = 0.0;
  ComputeCutAmount(stock.ZSet(), saved.ZSet(), saved.CountX, saved.CountY, kPitch * kPitch, changed,
                   amount);
  return -amount;
}

TEST(RunLoop, RunsAProgramToItsEndAndCutsIt) {
  LoopRun r;
  r.Program("slot.nc", kSlot);
  EXPECT_EQ(r.RunIt(), 0);
  EXPECT_EQ(r.S.Nc.Modal.EndState, kEndHandled);
  EXPECT_EQ(r.S.Nc.Modal.AlarmCode, kAlarmNone);
  EXPECT_EQ(r.S.Control.RunEndedByCheck.load(), 1);
  EXPECT_NEAR(r.Removed(), SlotVolume(), 1e-9 * SlotVolume());
  // 50.2 - 50 is not 0.2 in binary: compared to within rounding.
  const Vec3 tip = r.S.Nc.Position.ToolTip;
  EXPECT_NEAR(tip[0], 10.0, 1e-12);
  EXPECT_NEAR(tip[1], 0.2, 1e-12);
  EXPECT_NEAR(tip[2], 120.0, 1e-12);
  // Cut and show result: no block was shown step by step.
  EXPECT_EQ(r.S.Block.Read().Updates, 0);
}

TEST(RunLoop, ProgramThatCannotBeOpenedEndsTheRunWithItsName) {
  LoopRun r;
  r.S.Defs.Paths.NcProgram = r.File("missing.nc");
  EXPECT_EQ(r.RunIt(), 0);
  ASSERT_FALSE(r.Run.Host.Messages.empty());
  EXPECT_NE(r.Run.Host.Messages.back().Text.find("missing.nc"), std::string::npos);
  EXPECT_EQ(r.Removed(), 0.0);
  EXPECT_EQ(r.S.Nc.Modal.EndState, kEndRunning);
}

TEST(RunLoop, SkipCuttingShowsEveryBlock) {
  LoopRun r;
  r.S.Control.CuttingMode.store(kCuttingSkip);
  r.Program("slot.nc", kSlot);
  r.RunIt();
  const BlockDisplay::Snapshot shown = r.S.Block.Read();
  EXPECT_GE(shown.Updates, 5);
  EXPECT_EQ(shown.Text, "%");  // the last block, its line end dropped
}

// The shell's part in a stop: at the first sleep of the pause it looks at
// the run and resumes or aborts it.
struct StopCase {
  const char* Name;
  int32_t StopOption;
  int32_t StopRequest;
  bool Abort;
  bool Pauses;
  double Removed;  // 0: nothing, 1: the slot
};

TEST(RunLoop, StopBlocksPauseWithTheLinePendingAndAbortEndsThere) {
  const StopCase cases[] = {
      {"non-stop passes M00", 0, 0, false, false, 1},
      {"M00 stops, the resume runs the slot", 1, 0, false, true, 1},
      {"abort at M00 runs nothing after it", 1, 0, true, true, 0},
      {"a stop request stops at the first line", 0, 1, false, true, 1},
  };
  for (const StopCase& c : cases) {
    LoopRun r;
    r.S.Defs.Controller.StopOption = c.StopOption;
    r.S.Control.StopRequest.store(c.StopRequest);
    r.Program("stop.nc", std::string("M00\n") + kSlot);
    int32_t pauses = 0;
    std::string pendingText;
    r.Run.Host.OnSleep = [&](int32_t ms) {
      if (ms != kPausedSleepMs || r.S.Control.Paused.load() == 0) return;
      ++pauses;
      pendingText = r.S.Block.Read().Text;
      EXPECT_EQ(r.S.Control.LinePendingAtStop.load(), 1) << c.Name;
      EXPECT_EQ(r.Removed(), 0.0) << c.Name;
      r.S.Control.StopRequest.store(0);
      if (c.Abort) r.S.Control.Abort.store(1);
      else r.S.Control.Paused.store(0);
    };
    r.RunIt();
    EXPECT_EQ(pauses > 0, c.Pauses) << c.Name;
    if (c.Pauses) {
      EXPECT_EQ(pendingText, c.StopRequest ? "%" : "M00") << c.Name;
    }
    const double removed = c.Removed == 0 ? 0.0 : SlotVolume();
    EXPECT_NEAR(r.Removed(), removed, 1e-9 * SlotVolume()) << c.Name;
    EXPECT_EQ(r.S.Nc.Modal.EndState == kEndHandled, !c.Abort) << c.Name;
  }
}

// The run on its own thread, the shell on this one: it waits for the pause,
// then aborts; the thread is joined before the session goes.
TEST(RunLoop, AbortWhilePausedOnARunThread) {
  LoopRun r;
  r.S.Defs.Controller.StopOption = 1;
  r.Program("stop.nc", std::string("M00\n") + kSlot);
  std::thread run([&r] { SimulationThreadProc(r.S); });
  while (r.S.Control.Paused.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(r.S.Block.Read().Text, "M00");
  r.S.Control.Abort.store(1);
  run.join();
  EXPECT_EQ(r.Removed(), 0.0);
  EXPECT_NE(r.S.Nc.Modal.EndState, kEndHandled);

  // The next run starts from the program's first line, not the line the
  // aborted run held at its stop.
  r.S.Control.Abort.store(0);
  r.S.Control.Paused.store(0);
  r.S.Defs.Controller.StopOption = 0;
  std::thread again([&r] { SimulationThreadProc(r.S); });
  again.join();
  EXPECT_EQ(r.S.Nc.Modal.EndState, kEndHandled);
  EXPECT_NEAR(r.Removed(), SlotVolume(), 1e-9 * SlotVolume());
}

TEST(RunLoop, Wait2PreselectsOnTAndLoadsThePreselectedToolOnM6) {
  LoopRun r;
  r.S.Defs.Machine.AtcType = kAtcWait2;
  r.Program("wait2.nc", "T2\nG90 G54 G00 X0 Y0 Z50.\nM6 T3\nG00 X10.\n");
  r.RunIt();
  EXPECT_EQ(r.S.Nc.Modal.Tools.CurrentToolNumber, 2);
  EXPECT_EQ(r.S.Changer.Preselected, 3);
  EXPECT_EQ(r.S.Tool.Tool.Kind, kToolBall);

  // DIRECT: the T word alone changes the tool.
  LoopRun d;
  d.Program("direct.nc", "T2\nG90 G54 G00 X0 Y0 Z50.\n");
  d.RunIt();
  EXPECT_EQ(d.S.Nc.Modal.Tools.CurrentToolNumber, 2);

  // WAIT: a T word alone only preselects.
  LoopRun w;
  w.S.Defs.Machine.AtcType = kAtcWait;
  w.Program("wait.nc", "T2\nG90 G54 G00 X0 Y0 Z50.\n");
  w.RunIt();
  EXPECT_EQ(w.S.Nc.Modal.Tools.CurrentToolNumber, 1);
  EXPECT_EQ(w.S.Changer.Preselected, 2);
}

// One DME per process that removed material, named from the program and
// numbered from 1: the empty first process is not counted, the empty third
// advances the number without a file.
TEST(RunLoop, ProcessSnapshotsOnePerToolThatCut) {
  LoopRun r;
  r.Program("part.nc", std::string("(VESTAN:SAVE WORK AT EACH PROCESS)\nT1 M6\n") + kSlot +
                           "T2 M6\n"
                           "G00 X20. Y20. Z10.\n"
                           "G01 Z-2. F300\n"
                           "X40.\n"
                           "G00 Z10.\n"
                           "T3 M6\n"
                           "G00 X0 Y0 Z50.\n"
                           "T1 M6\n"
                           "G00 X-10. Y80. Z10.\n"
                           "G01 Z-1. F500\n"
                           "X10.\n"
                           "G00 Z10.\n");
  r.RunIt();
  ASSERT_EQ(r.S.Nc.Modal.EndState, kEndHandled);
  const std::string base = r.File("part");
  EXPECT_NEAR(RemovedInFile(base + "_001_T001.DME", r.S.Frame), SlotVolume(), 1e-9 * SlotVolume());
  const double afterBall = RemovedInFile(base + "_002_T002.DME", r.S.Frame);
  EXPECT_GT(afterBall, SlotVolume());
  EXPECT_FALSE(std::filesystem::exists(base + "_003_T003.DME"));
  EXPECT_NEAR(RemovedInFile(base + "_004_T001.DME", r.S.Frame), r.Removed(), 1e-9 * r.Removed());
  EXPECT_GT(r.Removed(), afterBall);
  int32_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(r.Run.Folder.Path()))
    files += entry.path().extension() == ".DME";
  EXPECT_EQ(files, 3);
}

}  // namespace
}  // namespace vestan

namespace vestan {
namespace {

// A G41 contour that turns back on itself: the motion driver's alarm goes
// to "alarm.txt" through the run's pass, which the shell closes after the
// run; the run itself goes on to the end.
TEST(RunLoop, RadiusOffsetAlarmOfARun) {
  LoopRun r;
  r.S.Defs.Checks.Interference = 0;
  r.Program("offset.nc",
            "G90 G54 G00 X-20. Y20. Z10.\n"
            "G41 G01 X0 Y20. D1 F300\n"
            "X20.\n"
            "X0\n"
            "G40 G01 X-20.\n");
  r.RunIt();
  EXPECT_EQ(r.S.Nc.Modal.EndState, kEndHandled);
  RunPass& pass = *r.S.Pass;
  CloseAlarmReport(pass.Reports, pass.ReportLinks, r.S.Defs.Controller.Tables.RadiusCheckList);
  CloseInterferenceReport(pass.Reports, pass.ReportLinks);
  EXPECT_EQ(ReadFileBytes(r.File("alarm.txt")).value_or("none"),
            "<<< ALARM INFORMATION >>>\n"
            "--------------\n"
            "INTERFERENCE IN RADIUS(5.000) OFFSET\n"
            "5:X0\n");
  EXPECT_FALSE(std::filesystem::exists(r.File("interference.txt")));
}

}  // namespace
}  // namespace vestan
