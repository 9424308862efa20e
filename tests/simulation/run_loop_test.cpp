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
#include <vector>

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

// The poses the kernel cut, as the shell sees them at each step's redraw
// of a real-cutting run with a window (SKIP VIEW 1): the block's line, the
// tool tip and axis, and the step status. The expected poses are worked out
// here: a move of length L at the move pitch 1 takes ceil(L) equal steps,
// an arc equal angles; G54 (-50, -50, 110) puts the tip at the programmed
// point plus the offset. The rapids jump (IGNORE G00), so they show no step.
TEST(RunLoop, PoseTraceOfASmallProgram) {
  LoopRun r;
  r.S.Control.CuttingMode.store(kCuttingReal);
  r.S.RunView.Window = 1;
  r.S.Defs.Settings.SkipView = 1;
  ASSERT_EQ(r.S.Defs.Settings.Pitch.MovePitch, 1.0);
  r.Program("trace.nc",
            "G90 G54 G00 X0 Y0 Z2.5\n"  // line 2
            "G01 Z-1. F300\n"           // 3.5 down: 4 steps, the last two in the stock's corner
            "X2.5\n"                    // 3 steps
            "G03 X5.5 Y3. I0 J3.\n"     // a quarter about (2.5, 3): 3 pi / 2 long, 5 steps
            "G00 Z10.\n");
  struct Pose {
    int32_t Line;
    Vec3 Tip;
    int32_t Status;
  };
  std::vector<Pose> seen;
  r.Run.Host.OnSleep = [&](int32_t ms) {
    if (ms != kRedrawSleepMs || r.S.Control.RedrawRequest.load() == 0) return;
    const MachinePositionState& p = r.S.Nc.Position;
    EXPECT_EQ(p.ToolAxis, (Vec3{0, 0, 1}));
    seen.push_back({r.S.Block.Read().Line, p.ToolTip, r.S.Control.StepStatus.load()});
    r.S.Control.RedrawRequest.store(0);
  };
  r.RunIt();
  ASSERT_EQ(r.S.Nc.Modal.EndState, kEndHandled);

  const auto at = [](double x, double y, double z) { return Vec3{x - 50, y - 50, z + 110}; };
  std::vector<Pose> expected;
  for (int32_t k = 1; k <= 4; ++k) {
    const double z = 2.5 - 3.5 * k / 4;
    expected.push_back({3, at(0, 0, z), z < 0 ? kStepCutting : kStepFeed});
  }
  for (int32_t k = 1; k <= 3; ++k) expected.push_back({4, at(2.5 * k / 3, 0, -1), kStepCutting});
  for (int32_t k = 1; k <= 5; ++k) {
    const double angle = (-90.0 + 18.0 * k) * kPi / 180.0;
    expected.push_back({5, at(2.5 + 3 * std::cos(angle), 3 + 3 * std::sin(angle), -1), kStepCutting});
  }
  ASSERT_EQ(seen.size(), expected.size());
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].Line, expected[i].Line) << "step " << i;
    for (size_t a = 0; a < 3; ++a)
      EXPECT_NEAR(seen[i].Tip[a], expected[i].Tip[a], 1e-9) << "step " << i << " axis " << a;
    EXPECT_EQ(seen[i].Status, expected[i].Status) << "step " << i;
  }
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
