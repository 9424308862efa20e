// The flags the simulation thread and the shell's main thread share during a
// run, the two waits built on them, and the per-process snapshot table.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/run_state.h"
#include "platform/host.h"

namespace vestan {

// Cutting modes: what the shell started.
inline constexpr int32_t kCuttingIdle = 0;
inline constexpr int32_t kCuttingReal = 1;
inline constexpr int32_t kCuttingSkip = 2;
inline constexpr int32_t kCuttingShowResult = 3;

// StepStatus values: the current interpolation step.
inline constexpr int32_t kStepRapid = 0;  // rapid move without contact
inline constexpr int32_t kStepCutting = 1;
inline constexpr int32_t kStepFeed = 2;   // feed move without contact
inline constexpr int32_t kStepAlarm = 4;  // alarm or interference

// Sleeps of the two waits and the shell's run timer, in milliseconds.
inline constexpr int32_t kPausedSleepMs = 100;
inline constexpr int32_t kRedrawSleepMs = 5;
inline constexpr int32_t kRunTimerFastMs = 5;
inline constexpr int32_t kRunTimerSlowMs = 100;

// Every field is written by one thread and read by the other.
struct RunControl {
  // 0 idle, 1 real cutting, 2 skip cutting, 3 cut and show result, 4 and
  // above other modes; set by the shell.
  std::atomic<int32_t> CuttingMode{kCuttingIdle};
  // A line has been read and tested as a stop block: the next move request
  // takes it again instead of reading a new one.
  std::atomic<int32_t> LinePendingAtStop{0};
  // Set by the thread at a stop block; the shell clears it to resume.
  std::atomic<int32_t> Paused{0};
  // Set with Paused; read by the shell's status drawing.
  std::atomic<int32_t> StoppedDisplay{0};
  // Cleared by the thread once a stop has been resumed.
  std::atomic<int32_t> OneShotStop{0};
  // Set by the shell (stop key, interference stop): the next line is a stop
  // block.
  std::atomic<int32_t> StopRequest{0};
  // Set by the shell: the thread ends at its next test.
  std::atomic<int32_t> Abort{0};
  // The thread's request for one redraw; the shell's run timer clears it
  // once the view (and an AVI frame) is drawn.
  std::atomic<int32_t> RedrawRequest{0};
  // Set by the view window: one redraw handshake at the next step.
  std::atomic<int32_t> RedrawOnce{0};
  std::atomic<int32_t> StepStatus{kStepCutting};
  // The run was ended by an interpreter alarm, a stop-class check or the
  // end of the program.
  std::atomic<int32_t> RunEndedByCheck{0};
  // The current move is shown step by step.
  std::atomic<int32_t> ShowSteps{0};
  // Raised by the run's reports for the shell's run timer, which turns them
  // into a stop request: a radius-offset alarm was written, and a hit of a
  // check set to stop was registered. The shell clears them on resume.
  std::atomic<int32_t> OffsetAlarmRaised{0};
  std::atomic<int32_t> InterferenceStopRaised{0};
};

// The stop-block wait: sleeps kPausedSleepMs at a time while Paused is set.
// False when Abort was set (tested before every sleep and after the wait).
bool WaitWhilePaused(RunControl& control, Host& host);

// The redraw handshake: sets RedrawRequest and sleeps kRedrawSleepMs at a
// time until the shell has cleared it; the one-redraw request is then
// answered. False when Abort was set (tested before every sleep and after
// the wait).
bool WaitForRedraw(RunControl& control, Host& host);

// The shell's run timer interval: slow only in cut-and-show-result mode
// while the move is not shown step by step.
int32_t RunTimerInterval(const RunControl& control);

// Per-process snapshots of the workpiece ("SAVE WORK AT EACH PROCESS"). One
// process runs from one tool change to the next; whether a process removed
// material and which process is current live in RunState.
inline constexpr size_t kMaxProcesses = 200;

struct ProcessSnapshotTable {
  // 1 once a save command was seen in the run.
  int32_t SaveEachProcess = 0;
  // The tool of each process.
  std::array<int32_t, kMaxProcesses> ProcessTools{};
  // The NC program's path without its extension.
  std::string BaseName;
  // Set once a process beyond the table was met; snapshots then stop.
  int32_t Overflowed = 0;
};

// Arms the snapshots: no process counted yet, both per-process tables
// cleared, the current tool as process 0's tool, and the base name taken
// from the NC program's path.
void ArmProcessSnapshots(ProcessSnapshotTable& table, RunState& run, int32_t currentTool,
                         std::string_view ncProgram);

// The NC program's path without its extension: cut at the last "." when no
// folder separator ("\" or "/") comes after it; a path without one keeps
// its whole length.
std::string SnapshotBaseName(std::string_view ncProgram);

// Stores the tool of the current process. False (and, the first time, a
// log line) when the process lies beyond the table: snapshots stop.
bool StoreProcessTool(ProcessSnapshotTable& table, const RunState& run, int32_t tool, Host& host);

// The snapshot at a tool change or at the end of the run: while snapshots
// are on and either the current process is above 0 or process 0 removed
// material, the process index advances; when the process just closed
// removed material the file name to save the workpiece under is returned
// ("<base>_<process>_T<tool>.DME", processes counted from 1), else an empty
// name. Past the table nothing is advanced or saved (logged once).
std::string NextProcessSnapshot(ProcessSnapshotTable& table, RunState& run, Host& host);

}  // namespace vestan
