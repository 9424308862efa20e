#include "nc/run_control.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/recording_host.h"

namespace vestan {
namespace {

TEST(WaitWhilePaused, SleepsUntilTheShellResumes) {
  RunControl control;
  RecordingHost host;
  control.Paused = 1;
  int sleeps = 0;
  host.OnSleep = [&](int32_t) {
    if (++sleeps == 3) control.Paused = 0;  // the shell resumes
  };
  EXPECT_TRUE(WaitWhilePaused(control, host));
  EXPECT_EQ(host.Count(RecordingHost::Call::kSleep), 3);
  EXPECT_EQ(host.Events.front().Value, kPausedSleepMs);
}

TEST(WaitWhilePaused, AbortEndsTheWaitBeforeAndAfterSleeping) {
  RunControl control;
  RecordingHost host;
  control.Paused = 1;
  control.Abort = 1;
  EXPECT_FALSE(WaitWhilePaused(control, host));
  EXPECT_EQ(host.Count(RecordingHost::Call::kSleep), 0);  // tested before the first sleep

  // Abort together with the resume: the run still ends.
  control.Abort = 0;
  host.OnSleep = [&](int32_t) {
    control.Paused = 0;
    control.Abort = 1;
  };
  EXPECT_FALSE(WaitWhilePaused(control, host));

  // Not paused: no wait at all.
  RunControl idle;
  RecordingHost quiet;
  EXPECT_TRUE(WaitWhilePaused(idle, quiet));
  EXPECT_TRUE(quiet.Events.empty());
}

TEST(WaitForRedraw, HandshakeWithTheShellsTimer) {
  RunControl control;
  RecordingHost host;
  control.RedrawOnce = 1;
  host.OnSleep = [&](int32_t) {
    EXPECT_EQ(control.RedrawRequest.load(), 1);
    control.RedrawRequest = 0;  // the view was drawn
  };
  EXPECT_TRUE(WaitForRedraw(control, host));
  EXPECT_EQ(host.Count(RecordingHost::Call::kSleep), 1);
  EXPECT_EQ(host.Events.front().Value, kRedrawSleepMs);
  EXPECT_EQ(control.RedrawOnce.load(), 0);  // the asked-for redraw was made

  host.OnSleep = [&](int32_t) { control.Abort = 1; };  // never drawn, then aborted
  EXPECT_FALSE(WaitForRedraw(control, host));
}

TEST(WaitForRedraw, AcrossTwoThreads) {
  RunControl control;
  HeadlessHost host("", false);
  std::thread shell([&] {
    // The shell's run timer: redraw whenever asked, until the run is over.
    while (control.RunEndedByCheck.load() == 0) {
      if (control.RedrawRequest.load() != 0) control.RedrawRequest = 0;
      std::this_thread::yield();
    }
  });
  bool all = true;
  for (int step = 0; step < 20; ++step) all = WaitForRedraw(control, host) && all;
  control.RunEndedByCheck = 1;
  shell.join();
  EXPECT_TRUE(all);
}

TEST(RunTimerInterval, SlowOnlyWhenShowingTheResultWithoutSteps) {
  RunControl control;
  struct Case {
    int32_t mode, showSteps, interval;
  } cases[] = {
      {kCuttingReal, 0, kRunTimerFastMs},
      {kCuttingSkip, 0, kRunTimerFastMs},
      {kCuttingShowResult, 0, kRunTimerSlowMs},
      {kCuttingShowResult, 1, kRunTimerFastMs},
      {4, 0, kRunTimerFastMs},
  };
  for (const Case& c : cases) {
    control.CuttingMode = c.mode;
    control.ShowSteps = c.showSteps;
    EXPECT_EQ(RunTimerInterval(control), c.interval) << c.mode << "/" << c.showSteps;
  }
}

TEST(SnapshotBaseName, CutsTheExtensionOnly) {
  struct Case {
    const char* path;
    const char* base;
  } cases[] = {
      {"C:\\NC\\PART1.NC", "C:\\NC\\PART1"},
      {"C:\\NC\\PART1", "C:\\NC\\PART1"},  // no extension: the whole path, not its folder
      {"/home/nc/part1.nc", "/home/nc/part1"},
      {"/home/nc.d/part1", "/home/nc.d/part1"},
      {"part.1.nc", "part.1"},
      {"PART1", "PART1"},  // neither a point nor a separator
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(SnapshotBaseName(c.path), c.base) << c.path;
}

struct SnapshotWorld {
  ProcessSnapshotTable Table;
  RunState Run;
  RecordingHost Host;

  // One process: its tool, whether it cut, then the tool change's snapshot.
  std::string Process(int32_t tool, bool cut) {
    StoreProcessTool(Table, Run, tool, Host);
    if (cut) Run.MarkProcessCut();
    return NextProcessSnapshot(Table, Run, Host);
  }
};

TEST(ProcessSnapshots, NamedPerProcessFromOneAndOnlyWhenMaterialWent) {
  SnapshotWorld w;
  EXPECT_EQ(w.Process(3, true), "");  // not armed
  EXPECT_EQ(w.Run.CurrentProcess, 0);

  w.Run.ProcessCutFlags = {1, 1};
  ArmProcessSnapshots(w.Table, w.Run, 5, "C:\\NC\\PART1.NC");
  EXPECT_EQ(w.Table.SaveEachProcess, 1);
  EXPECT_EQ(w.Table.ProcessTools[0], 5);
  EXPECT_EQ(w.Run.ProcessCutFlags, (std::vector<int32_t>{0, 0}));
  EXPECT_EQ(w.Table.BaseName, "C:\\NC\\PART1");

  EXPECT_EQ(w.Process(5, false), "");  // a first process without cutting is not counted
  EXPECT_EQ(w.Run.CurrentProcess, 0);
  EXPECT_EQ(w.Process(7, true), "C:\\NC\\PART1_001_T007.DME");
  EXPECT_EQ(w.Process(8, false), "");  // counted, nothing written
  EXPECT_EQ(w.Run.CurrentProcess, 2);
  EXPECT_EQ(w.Process(12, true), "C:\\NC\\PART1_003_T012.DME");
  EXPECT_TRUE(w.Host.Events.empty());
}

TEST(ProcessSnapshots, PastTheTableSnapshotsStopAndAreLoggedOnce) {
  SnapshotWorld w;
  ArmProcessSnapshots(w.Table, w.Run, 1, "w.nc");
  for (int32_t process = 0; process < static_cast<int32_t>(kMaxProcesses); ++process) {
    const std::string name = w.Process(process + 1, true);
    char expected[32];
    std::snprintf(expected, sizeof expected, "w_%03d_T%03d.DME", process + 1, process + 1);
    ASSERT_EQ(name, expected);
  }
  // Process 200 has no slot: its tool is refused and no snapshot follows.
  EXPECT_EQ(w.Run.CurrentProcess, static_cast<int32_t>(kMaxProcesses));
  EXPECT_FALSE(StoreProcessTool(w.Table, w.Run, 9, w.Host));
  w.Run.MarkProcessCut();
  EXPECT_EQ(NextProcessSnapshot(w.Table, w.Run, w.Host), "");
  EXPECT_EQ(w.Process(10, true), "");
  EXPECT_EQ(w.Table.Overflowed, 1);
  EXPECT_EQ(w.Host.Count(RecordingHost::Call::kLog), 1);
  EXPECT_EQ(w.Table.ProcessTools[kMaxProcesses - 1], static_cast<int32_t>(kMaxProcesses));
}

}  // namespace
}  // namespace vestan
