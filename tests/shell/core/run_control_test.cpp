// The cutting run from the main window's side: the length report's name,
// the end message's result ladder, the run keys, and whole runs of the real
// simulation thread on the shipped definitions, polled by the run timer on
// a clock moved by hand.
#include "shell/core/run_control.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "model/cut_statistics.h"
#include "simulation/session_runs.h"

namespace vestan {
namespace {

using namespace std::chrono_literals;

// ---------------------------------------------------------------- names

struct ReportNameCase {
  const char* Name;
  LengthReportFacts Facts;
  std::optional<std::string> Path;
};

TEST(RunControl, LengthReportPathByChecksNamingAndMode) {
  const auto facts = [](int32_t mode, int32_t arbor, int32_t height, int32_t chip, int32_t naming,
                        int32_t english, std::string nc) {
    return LengthReportFacts{mode, arbor, height, chip, naming, english, "out", std::move(nc)};
  };
  const ReportNameCase cases[] = {
      {"length check, English", facts(1, 1, 1, 1, 0, 1, "a/p.nc"), "out/length.txt"},
      {"height check, Japanese", facts(1, 0, 1, 1, 0, 0, "a/p.nc"), "out/有効刃長.txt"},
      {"chip-width check", facts(2, 0, 0, 1, 0, 1, "a/p.nc"), "out/chip-w.txt"},
      {"fixed naming", facts(3, 0, 1, 0, 1, 0, "a/p.nc"), "out/length.txt"},
      {"by the program", facts(1, 1, 0, 0, 2, 1, "a/p.nc"), "a/p_length.txt"},
      {"program without extension", facts(1, 1, 0, 0, 2, 1, "a.v2/prog"), "a.v2/prog_length.txt"},
      {"checks that only stop or cut", facts(1, 3, 2, 2, 0, 1, "a/p.nc"), std::nullopt},
      {"mode 4", facts(4, 1, 1, 1, 0, 1, "a/p.nc"), std::nullopt},
  };
  for (const ReportNameCase& c : cases) EXPECT_EQ(LengthReportPath(c.Facts), c.Path) << c.Name;
}

// ---------------------------------------------------------------- ladder

struct LadderCase {
  std::string Name;
  RunEndFacts Facts;
  InterferenceCheckSettings Checks;
  int32_t Code;
};

// Each rung with its setting, one row per rung; a hit whose check is not
// set to break falls to the next rung.
std::vector<LadderCase> LadderCases() {
  std::vector<LadderCase> cases;
  InterferenceCheckSettings breaking;
  breaking.ArborCheck = kArborCheckBreak;
  breaking.HeightCheck = kLimitCheckBreak;
  breaking.ChipWidthCheck = kLimitCheckBreak;
  breaking.SpindleCheck = 1;
  breaking.Interference = 1;
  breaking.Pairs.fill(kCheckBreak);

  RunEndFacts taper;
  taper.Hits.BodyHitFlag = 1;
  taper.Hits.Pairs[kPairHeadBasic] = 1;  // the taper rung comes first
  cases.push_back({"taper", taper, breaking, 5});
  for (size_t pair = 0; pair < kNamedPairCount; ++pair) {
    RunEndFacts f;
    f.Hits.Pairs[pair] = 1;
    f.Hits.ArborHitFlag = 1;  // below every pair
    cases.push_back({kPairCheckKeys[pair], f, breaking,
                     CodeOfPair(static_cast<InterferencePair>(pair))});
  }
  RunEndFacts attachment;
  attachment.Hits.AttachmentHitFlag = 1;
  attachment.Hits.ArborHitFlag = 1;
  cases.push_back({"attachment", attachment, breaking, 8});
  RunEndFacts arbor;
  arbor.Hits.ArborHitFlag = 1;
  arbor.Hits.HeightHitFlag = 1;
  cases.push_back({"arbor", arbor, breaking, 2});
  RunEndFacts height;
  height.Hits.HeightHitFlag = 1;
  height.Spindle = SpindleCondition::kStopped;
  cases.push_back({"height", height, breaking, 3});
  RunEndFacts stopped;
  stopped.Spindle = SpindleCondition::kStopped;
  stopped.Hits.ChipWidthHitFlag = 1;
  cases.push_back({"spindle stopped", stopped, breaking, 9});
  RunEndFacts fast;
  fast.Spindle = SpindleCondition::kAboveRange;
  cases.push_back({"spindle out of range", fast, breaking, 10});
  RunEndFacts chip;
  chip.Hits.ChipWidthHitFlag = 1;
  chip.OverStrokeAxis = 0;
  cases.push_back({"chip width", chip, breaking, 4});
  RunEndFacts stroke;
  stroke.OverStrokeAxis = 2;
  stroke.AlarmCode = 8;
  cases.push_back({"over-stroke", stroke, breaking, 91});
  RunEndFacts alarm;
  alarm.AlarmCode = 8;
  alarm.LastMoveRapid = true;
  cases.push_back({"interpreter alarm", alarm, breaking, 108});
  RunEndFacts rapid;
  rapid.LastMoveRapid = true;
  rapid.CuttingLoadAlarm = true;
  cases.push_back({"rapid move", rapid, breaking, 1});
  cases.push_back({"otherwise", RunEndFacts{}, breaking, 6});
  RunEndFacts load;
  load.CuttingLoadAlarm = true;
  cases.push_back({"cutting load", load, breaking, 7});

  // The same hits with checks that stop, report or are off: nothing breaks.
  InterferenceCheckSettings stopping;
  stopping.ArborCheck = kArborCheckStop;
  stopping.HeightCheck = kLimitCheckStop;
  stopping.ChipWidthCheck = kLimitCheckStop;
  stopping.Interference = 2;
  stopping.Pairs.fill(kCheckStop);
  RunEndFacts all;
  all.Hits.BodyHitFlag = all.Hits.AttachmentHitFlag = all.Hits.ArborHitFlag = 1;
  all.Hits.HeightHitFlag = all.Hits.ChipWidthHitFlag = 1;
  all.Hits.Pairs.fill(1);
  all.Spindle = SpindleCondition::kStopped;
  all.LastMoveRapid = true;
  cases.push_back({"no check breaks", all, stopping, 6});
  return cases;
}

TEST(RunControl, ResultLadderFirstMatchingRungWins) {
  for (const LadderCase& c : LadderCases())
    EXPECT_EQ(RunResultCode(c.Facts, c.Checks), c.Code) << c.Name;
}

// ---------------------------------------------------------------- runs

// A host both threads may call: it records under a lock; the thread's
// waits take a millisecond, or what the test makes of them.
class LockedHost : public Host {
 public:
  std::function<void(int32_t)> OnSleep;

  std::vector<std::string> Logs() const { return Copy(logs_); }
  std::vector<std::string> Opened() const { return Copy(opened_); }
  std::vector<std::string> StatusTexts() const { return Copy(status_); }
  std::vector<HostMessage> Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }

  MessageAnswer ShowMessage(const HostMessage& message) override {
    std::lock_guard lock(mutex_);
    messages_.push_back(message);
    return message.UnattendedAnswer;
  }
  void SetStatusText(int32_t, std::string_view text) override { Add(status_, text); }
  void SetWindowTitle(std::string_view) override {}
  void ShowProgressBar(ProgressBar, bool) override {}
  void SetProgressRange(ProgressBar, int32_t) override {}
  void SetProgressPosition(ProgressBar bar, int32_t position) override {
    std::lock_guard lock(mutex_);
    if (std::this_thread::get_id() == main_) progress_.emplace_back(bar, position);
  }
  // The bar positions set on the main thread.
  std::vector<std::pair<ProgressBar, int32_t>> MainThreadProgress() const {
    std::lock_guard lock(mutex_);
    return progress_;
  }
  void RequestRedraw() override {}
  void Log(std::string_view text) override { Add(logs_, text); }
  void PlaySound(std::string_view, SoundWait) override {}
  bool OpenWithDesktop(std::string_view path) override {
    Add(opened_, path);
    return true;
  }
  bool StartProgram(const ProgramStart&) override { return true; }
  void Sleep(int32_t milliseconds) override {
    if (OnSleep)
      OnSleep(milliseconds);
    else
      std::this_thread::sleep_for(1ms);
  }

 private:
  void Add(std::vector<std::string>& to, std::string_view text) {
    std::lock_guard lock(mutex_);
    to.emplace_back(text);
  }
  std::vector<std::string> Copy(const std::vector<std::string>& from) const {
    std::lock_guard lock(mutex_);
    return from;
  }
  mutable std::mutex mutex_;
  std::vector<std::string> logs_, opened_, status_;
  std::vector<HostMessage> messages_;
  std::thread::id main_ = std::this_thread::get_id();
  std::vector<std::pair<ProgressBar, int32_t>> progress_;
};

constexpr double kPitch = 0.5;
constexpr std::array<double, 6> kBox = {-50, -50, 80, 50, 50, 110};

// The slot of tool 1 (D10) 5 deep along X at Y50.2, from outside the stock.
const char* kSlot =
    "G90 G54 G00 X-10. Y50.2 Z10.\n"
    "G01 Z-5. F500\n"
    "X60.\n"
    "G00 Z10.\n";

// The shipped definitions and a box stock 100 x 100 x 30 (top at program
// Z0), run from a scratch folder; the run control over the session with
// the main thread's queue on a clock moved by hand. The thread is joined
// before the session goes.
struct RunFixture {
  testing::ScratchFolder Folder;
  testing::CurrentFolder Here{Folder.Path()};
  LockedHost Host;
  std::unique_ptr<Session> Owned = std::make_unique<Session>(Host);
  Session& S = *Owned;
  ManualClock Clock;
  MainThreadQueue Queue{Clock};
  WorkerThread Thread{Queue};
  ShellState Shell;
  KeyState Keys;
  CuttingRunControl Run{S, Shell, Queue, Thread, &Keys};
  // Holds the thread in its waits while set.
  std::atomic<bool> Hold{false};

  RunFixture() {
    testing::ReadShippedDefinitions(S, Folder.Path());
    S.Defs.Limits = StrokeLimits{};
    S.Defs.Settings.IgnoreG00 = 1;
    S.Defs.Settings.SoundOn = 0;
    S.Defs.Controller.StopOption = 0;
    for (ToolLimitRecord& limit : S.Defs.Tools.Limits) limit = ToolLimitRecord{};
    S.Defs.Tools.Layout = ToolLayout{};
    S.Defs.Checks.ArborCheck = 0;
    S.Defs.Checks.HeightCheck = 0;
    S.Defs.Checks.ChipWidthCheck = 0;
    testing::MakeBoxStock(S, kBox, kPitch);
    Shell.NcSelected = 1;
    Host.OnSleep = [this](int32_t) {
      while (Hold.load()) std::this_thread::sleep_for(1ms);
      std::this_thread::sleep_for(1ms);
    };
  }
  ~RunFixture() {
    // The run's timers must not end the run while the thread is joined.
    for (int32_t id : {kRunTimerId, kStopBlinkTimerId}) Queue.Timers().Kill({kMainWindowTimers, id});
    Hold.store(false);
    S.Control.Abort.store(1);
    S.Control.Paused.store(0);
    Thread.Join();
  }

  void Program(const std::string& name, const std::string& text) {
    S.Defs.Paths.NcProgram = Folder.Write(name, "%\n" + text + "M30\n%\n");
  }
  // Runs the main thread's timers and tasks, the clock moving by step each
  // round, until done() holds (at most some seconds of real time).
  bool TickUntil(const std::function<bool()>& done, int32_t step = 5) {
    for (int32_t i = 0; i < 10000 && !done(); ++i) {
      Clock.Advance(step);
      Queue.RunOnce();
      std::this_thread::sleep_for(1ms);
    }
    return done();
  }
  bool Idle() { return !Run.RunBusy() && !Thread.Exists(); }
  double Removed() { return -ComputeCutAmountStats(S.Work.Workpiece()); }
  bool Contains(const std::vector<std::string>& texts, std::string_view part) {
    for (const std::string& t : texts)
      if (t.find(part) != std::string::npos) return true;
    return false;
  }
};

// The whole path: a run command, the thread, the timer's end; the length
// report by the program's name with its first line and the tool's line,
// opened on the desktop; the undo backup taken once although a second
// command came during the run.
TEST(RunControl, RunCommandCutsWritesTheLengthReportAndEndsIdle) {
  RunFixture f;
  f.S.Defs.Checks.ArborCheck = 1;
  f.S.Defs.Settings.NamingModeLength = 2;
  f.S.Defs.Settings.UndoDepth = 3;
  f.S.RunView.Window = 1;  // the thread waits for each redraw
  f.Program("slot", kSlot);
  f.Hold.store(true);
  f.Run.RunCommand(kCuttingReal);
  EXPECT_TRUE(f.Run.RunBusy());
  EXPECT_TRUE(f.Run.RunTimerRunning());
  f.Run.RunCommand(kCuttingShowResult);  // only switches the mode
  EXPECT_EQ(f.S.Control.CuttingMode.load(), kCuttingShowResult);
  f.Hold.store(false);
  ASSERT_TRUE(f.TickUntil([&] { return f.Idle(); }));

  EXPECT_EQ(f.S.Control.CuttingMode.load(), kCuttingIdle);
  EXPECT_GT(f.Removed(), 0.0);
  int32_t backups = 0;
  for (const std::string& text : f.Host.StatusTexts()) backups += text == "バックアップ中(C-Key=UNDO)";
  EXPECT_EQ(backups, 1);
  const std::string report = f.Folder / "slot_length.txt";
  const std::string text = testing::ScratchFolder::Read(report);
  EXPECT_EQ(text.substr(0, text.find('\n')), f.S.Defs.Paths.NcProgram);
  EXPECT_GT(std::count(text.begin(), text.end(), '\n'), 1) << text;
  EXPECT_EQ(f.Host.Opened(), std::vector<std::string>{report});
  EXPECT_TRUE(f.Host.Messages().empty());
  EXPECT_EQ(f.Shell.Run.LastResultCode, -1);
  EXPECT_FALSE(f.Run.RunTimerRunning());
  EXPECT_TRUE(FindCommand(f.Shell.Menu, kCommandRealCutting) == nullptr ||
              FindCommand(f.Shell.Menu, kCommandRealCutting)->Enabled);
}

// With no window, a run gives progress lines; the last one, at its end,
// has read the whole program.
TEST(RunControl, AHeadlessRunGivesProgressLinesEndingWithTheWholeProgram) {
  EXPECT_EQ(RunProgressLine(120, 35.25, 3725), "Cut: line 120, 35.2% of the program, 01:02:05");
  RunFixture f;
  f.Program("slot", kSlot);
  std::vector<std::string> lines;
  f.Run.ProgressLine = [&lines](const std::string& line) { lines.push_back(line); };
  f.Run.RunCommand(kCuttingShowResult);
  ASSERT_TRUE(f.TickUntil([&] { return f.Idle(); }));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().rfind("Cut: line ", 0), 0u) << lines.back();
  EXPECT_NE(lines.back().find(", 100.0% of the program, "), std::string::npos) << lines.back();
}

TEST(RunControl, NoCheckInReportModeMakesNoLengthReport) {
  RunFixture f;
  f.S.Defs.Checks.ArborCheck = 3;
  f.S.Defs.Settings.NamingModeLength = 2;
  f.Program("slot.nc", kSlot);
  f.Run.RunCommand(kCuttingShowResult);
  ASSERT_TRUE(f.TickUntil([&] { return f.Idle(); }));
  EXPECT_FALSE(std::filesystem::exists(f.Folder / "slot_length.txt"));
  EXPECT_TRUE(f.Host.Opened().empty());
}

// The run timer follows a mode switch on its next tick.
TEST(RunControl, RunTimerIntervalFollowsTheModeOnTheNextTick) {
  RunFixture f;
  f.S.RunView.Window = 1;
  f.Program("slot.nc", kSlot);
  f.Hold.store(true);
  f.Run.RunCommand(kCuttingReal);
  const TimerKey timer{kMainWindowTimers, kRunTimerId};
  EXPECT_EQ(f.Queue.Timers().IntervalMs(timer), 5);
  f.Run.RunCommand(kCuttingShowResult);
  EXPECT_EQ(f.Queue.Timers().IntervalMs(timer), 5);
  f.Clock.Advance(5);
  f.Queue.RunOnce();
  EXPECT_EQ(f.Queue.Timers().IntervalMs(timer), 100);
  f.Hold.store(false);
  ASSERT_TRUE(f.TickUntil([&] { return f.Idle(); }, 100));
}

// Held at M00: the timer pauses the run and blinks; G resumes; the escape
// key at the next M00 ends the run through FinishCutting within one tick of
// the thread's end, with no end message and nothing cut after the stop.
TEST(RunControl, HeldAtAStopResumesWithGAndEscapeFinishesTheRun) {
  RunFixture f;
  f.S.Defs.Controller.StopOption = 1;
  f.Program("stop.nc", std::string("M00\n") + kSlot + "M00\nG00 X-10. Y20. Z-5.\n");
  const AxisPosition before = f.S.Nc.Position.ProgramPosition;
  f.Run.RunCommand(kCuttingReal);
  ASSERT_TRUE(f.TickUntil([&] { return f.Run.BlinkTimerRunning(); }));
  EXPECT_FALSE(f.Run.RunTimerRunning());
  EXPECT_EQ(f.Shell.Run.CurrentBlockText, "M00");
  EXPECT_EQ(f.Shell.Run.Stop, PaneLook::kFlat);
  f.Clock.Advance(kStopBlinkMs);
  f.Queue.RunOnce();
  EXPECT_EQ(f.Shell.Run.StopBlinkOn, 1);
  EXPECT_EQ(f.Removed(), 0.0);

  f.Run.KeyDown('G', false);
  EXPECT_TRUE(f.Run.RunTimerRunning());
  EXPECT_FALSE(f.Run.BlinkTimerRunning());
  EXPECT_EQ(f.Shell.Run.Stop, PaneLook::kRaised);
  // The slot is cut, then the second M00 holds the run.
  ASSERT_TRUE(f.TickUntil([&] { return f.Run.BlinkTimerRunning(); }));
  const double slot = f.Removed();
  EXPECT_GT(slot, 0.0);

  f.Run.KeyDown(vk::kEscape, false);
  EXPECT_TRUE(f.Run.RunTimerRunning());
  while (f.Thread.Running()) std::this_thread::sleep_for(1ms);
  f.Clock.Advance(5);
  f.Queue.RunOnce();
  EXPECT_TRUE(f.Idle());
  EXPECT_EQ(f.Shell.Run.Escape, PaneLook::kFlat);
  EXPECT_EQ(f.Shell.Run.LastResultCode, -1);
  EXPECT_TRUE(f.Host.Messages().empty());
  EXPECT_EQ(f.S.Control.Abort.load(), 0);
  EXPECT_EQ(f.S.Control.LinePendingAtStop.load(), 0);
  EXPECT_EQ(f.S.CommandLine.exitCodeFlag.load(), 0);
  EXPECT_EQ(f.Removed(), slot);
  EXPECT_EQ(f.S.Nc.Position.ProgramPosition, before);
}

TEST(RunControl, KeysThatDoNothingOutsideTheirState) {
  RunFixture f;
  // G while not held.
  f.Run.KeyDown('G', false);
  EXPECT_FALSE(f.Run.RunTimerRunning());
  // Escape while idle.
  f.Run.KeyDown(vk::kEscape, false);
  EXPECT_EQ(f.S.Control.Abort.load(), 0);
  EXPECT_FALSE(f.Run.RunTimerRunning());

  struct TabCase {
    int32_t Mode;
    bool Shift;
    int32_t Selected;
    int32_t Next;
  };
  const TabCase tabs[] = {{1, false, 1, 2}, {2, false, 1, 3}, {3, false, 1, 3}, {3, true, 1, 2},
                          {2, true, 1, 1},  {1, true, 1, 1},  {0, false, 1, 0}, {1, false, 0, 1}};
  for (const TabCase& c : tabs) {
    f.Shell.NcSelected = c.Selected;
    f.S.Control.CuttingMode.store(c.Mode);
    f.Run.KeyDown(vk::kTab, c.Shift);
    EXPECT_EQ(f.S.Control.CuttingMode.load(), c.Next) << c.Mode << (c.Shift ? " shift" : "");
  }

  Settings& settings = f.S.Defs.Settings;
  settings.SkipView = 2;
  settings.SkipBlock = 1;
  f.S.Control.CuttingMode.store(kCuttingReal);
  for (int32_t i = 0; i < 3; ++i) f.Run.KeyDown(vk::kLeft, false);
  EXPECT_EQ(settings.SkipView, 1);
  f.Run.KeyDown(vk::kRight, false);
  EXPECT_EQ(settings.SkipView, 2);
  EXPECT_NE(f.Shell.Title.find(":2"), std::string::npos) << f.Shell.Title;
  f.S.Control.CuttingMode.store(kCuttingSkip);
  f.Run.KeyDown(vk::kLeft, false);
  EXPECT_EQ(settings.SkipBlock, 1);
  f.Run.KeyDown(vk::kRight, false);
  EXPECT_EQ(settings.SkipBlock, 2);
  f.S.Control.CuttingMode.store(kCuttingShowResult);
  f.Run.KeyDown(vk::kRight, false);
  EXPECT_EQ(settings.SkipView, 2);
  EXPECT_EQ(settings.SkipBlock, 2);
  f.S.Control.CuttingMode.store(kCuttingIdle);
}

// A rapid move into the stock breaks the run off: the end message of code
// 1, as a box, or as a log line in the unattended run modes, which fail the
// program's exit code.
TEST(RunControl, CheckThatEndsTheRunShowsItsMessageAndFailsUnattendedRuns) {
  for (int32_t runMode : {0, 5}) {
    RunFixture f;
    f.S.Defs.Settings.IgnoreG00 = 0;
    f.S.Defs.Checks.Interference = 1;
    f.S.CommandLine.runMode.store(runMode);
    f.Program("rapid.nc", "G90 G54 G00 X20. Y20. Z10.\nZ-5.\nX60.\n");
    f.Run.RunCommand(kCuttingShowResult);
    ASSERT_TRUE(f.TickUntil([&] { return f.Idle(); })) << runMode;
    EXPECT_EQ(f.Shell.Run.LastResultCode, 1) << runMode;
    EXPECT_EQ(f.S.CommandLine.runMode.load(), 0);
    if (runMode == 0) {
      EXPECT_EQ(f.Host.Messages().size(), 1u);
      EXPECT_EQ(f.S.CommandLine.exitCodeFlag.load(), 0);
    } else {
      EXPECT_TRUE(f.Host.Messages().empty());
      EXPECT_TRUE(f.Contains(f.Host.Logs(), "NC program: " + f.S.Defs.Paths.NcProgram));
      EXPECT_EQ(f.S.CommandLine.exitCodeFlag.load(), -1);
    }
  }
}

// A hit of a check set to stop: the thread goes on, the run timer asks it
// to stop at the next block and shows why.
TEST(RunControl, StopClassHitHoldsTheRunAtTheNextBlock) {
  RunFixture f;
  f.S.RunView.Window = 1;
  f.S.Defs.Settings.IgnoreG00 = 0;
  f.S.Defs.Checks.Interference = 2;
  UpdateMachineCheckFlag(f.S.Defs.Checks);
  f.Program("rapid.nc", "G90 G54 G00 X20. Y20. Z10.\nZ-5.\nG01 X30. F500\nX40.\nX50.\n");
  f.Run.RunCommand(kCuttingReal);
  ASSERT_TRUE(f.TickUntil([&] { return f.Run.BlinkTimerRunning() || f.Idle(); }));
  ASSERT_TRUE(f.Run.BlinkTimerRunning());
  EXPECT_NE(f.Shell.Run.StopReason.find("RAPID(G00)"), std::string::npos) << f.Shell.Run.StopReason;
  f.Run.StopPane();  // resumes: the flags of the check are cleared
  EXPECT_EQ(f.S.Control.InterferenceStopRaised.load(), 0);
  ASSERT_TRUE(f.TickUntil([&] { return f.Idle(); }));
  EXPECT_EQ(f.Shell.Run.LastResultCode, -1);
  EXPECT_TRUE(std::filesystem::exists(f.Folder / "interference.txt"));
}

// The stop key held in the window: the run timer asks for a stop, and the
// run holds at its next block.
TEST(RunControl, StopKeyHeldHoldsTheRunAtTheNextBlock) {
  RunFixture f;
  f.S.RunView.Window = 1;
  f.Program("slot.nc", kSlot);
  f.Hold.store(true);
  f.Run.RunCommand(kCuttingReal);
  f.Keys.Press(vk::kControl);
  ASSERT_TRUE(f.TickUntil([&] { return f.S.Control.StopRequest.load() != 0; }));
  f.Keys.Release(vk::kControl);
  f.Hold.store(false);
  ASSERT_TRUE(f.TickUntil([&] { return f.Run.BlinkTimerRunning() || f.Idle(); }));
  EXPECT_TRUE(f.Run.BlinkTimerRunning());
  EXPECT_EQ(f.S.Control.LinePendingAtStop.load(), 1);
  f.Run.KeyDown(vk::kEscape, false);
  ASSERT_TRUE(f.TickUntil([&] { return f.Idle(); }));
}

// Unattended runs never hold at a stop: each stop is logged and passed.
TEST(RunControl, UnattendedRunPassesStopsAndLogsThem) {
  RunFixture f;
  f.S.CommandLine.batchMode.store(1);
  f.S.Defs.Controller.StopOption = 1;
  f.Program("stop.nc", std::string("M00\n") + kSlot);
  f.Run.RunCommand(kCuttingReal);
  ASSERT_TRUE(f.TickUntil([&] { return f.Idle(); }));
  EXPECT_GT(f.Removed(), 0.0);
  EXPECT_TRUE(f.Contains(f.Host.Logs(), "passed (unattended run): M00"));
  EXPECT_FALSE(f.Run.BlinkTimerRunning());
}

// An abort in an unattended run mode fails the exit code; the run is
// aborted while the thread waits for a redraw.
TEST(RunControl, AbortInUnattendedRunModeFailsTheExitCode) {
  RunFixture f;
  f.S.RunView.Window = 1;
  f.S.CommandLine.runMode.store(6);
  f.Program("slot.nc", kSlot);
  f.Hold.store(true);
  f.Run.RunCommand(kCuttingReal);
  f.Run.KeyDown(vk::kEscape, false);
  f.Hold.store(false);
  ASSERT_TRUE(f.TickUntil([&] { return f.Idle(); }));
  EXPECT_EQ(f.S.CommandLine.exitCodeFlag.load(), -1);
  EXPECT_EQ(f.Shell.Run.Escape, PaneLook::kFlat);
}

}  // namespace
}  // namespace vestan

namespace vestan {
namespace {

// Timer 101 shows how far the reading has come from what the thread
// published with the block it read last: the file bar at the main level,
// the sub-file bar inside a subprogram, each never going back within its
// file. The thread's end puts the tool-centre-point mode back to the one
// chosen in the menu.
TEST(RunControl, RunTimerShowsTheReadingsProgressAndTheEndTheChosenToolCentreMode) {
  RunFixture f;
  f.S.RunView.Window = 1;
  std::string moves;
  for (int32_t i = 0; i < 40; ++i) moves += "G01 X" + std::to_string(i % 2 == 0 ? 60 : -10) + ". F5000\n";
  f.Folder.Write("sub.nc", "%\n" + moves + "M99\n%\n");
  f.Program("main.nc", "G90 G54 G00 X-10. Y50.2 Z10.\n" + moves + "M98 <sub.nc>\n" + moves);
  f.S.Defs.Controller.ToolCenterControl = {2, 1};  // a program's mode, the menu's choice
  f.Run.RunCommand(kCuttingReal);
  ASSERT_TRUE(f.TickUntil([&] { return f.Idle(); }));
  EXPECT_EQ(f.S.Nc.Modal.ToolAxisMode, 1);

  std::vector<int32_t> file, sub;
  for (const auto& [bar, position] : f.Host.MainThreadProgress())
    (bar == ProgressBar::kMain ? file : sub).push_back(position);
  // A bar shown at 0 is first stepped to 10 and back, to repaint it.
  for (std::vector<int32_t>* bar : {&file, &sub}) {
    std::vector<int32_t> kept;
    for (size_t i = 0; i < bar->size(); ++i) {
      if ((*bar)[i] == 10 && i + 1 < bar->size() && (*bar)[i + 1] == 0) ++i;
      kept.push_back((*bar)[i]);
    }
    *bar = kept;
  }
  ASSERT_GT(file.size(), 3u);
  EXPECT_TRUE(std::is_sorted(file.begin(), file.end()));
  EXPECT_GT(file.back(), 500);
  EXPECT_LT(*std::find_if(file.begin(), file.end(), [](int32_t p) { return p > 0; }), 500);
  ASSERT_GT(sub.size(), 2u);
  EXPECT_TRUE(std::is_sorted(sub.begin(), sub.end()));
  EXPECT_GT(sub.back(), 0);
}

}  // namespace
}  // namespace vestan
