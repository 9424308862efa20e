// The cutting run as the main window drives it: the run commands start the
// simulation thread (or switch the running run's mode), the run timer polls
// the thread, redraws and ends the run, and the run keys pause, step, resume
// and abort it. Main thread only; the thread and this side share the
// session's run-control flags and the guarded block snapshots.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "definitions/settings.h"
#include "display/avi_recording.h"
#include "model/interference_hits.h"
#include "platform/file_open.h"
#include "platform/main_thread_queue.h"
#include "platform/progress.h"
#include "platform/virtual_keys.h"
#include "platform/worker_thread.h"
#include "shell/core/command_ports.h"
#include "shell/core/shell_state.h"
#include "simulation/interference_bookkeeping.h"
#include "simulation/session.h"

namespace vestan {

// The main window's number among the timers' windows, and its run timers.
inline constexpr int32_t kMainWindowTimers = 1;
inline constexpr int32_t kRunTimerId = 101;
inline constexpr int32_t kStopBlinkTimerId = 5;
inline constexpr int32_t kBusyCursorTimerId = 2;
inline constexpr int32_t kStopBlinkMs = 500;

// The run commands' ids and the cutting mode each starts.
inline constexpr int32_t kCommandRealCutting = 32774;
inline constexpr int32_t kCommandSkipCutting = 32775;
// kCommandCutShowResult (32776) is main_window_rules.h's.
// The cutting mode of a run command id; 0 for any other id.
int32_t CuttingModeOfCommand(int32_t commandId);

// The length (height, chip-width) report's path for a run, or none when no
// check is in its report mode (1) or the mode is 4 or above. naming is
// "NAMING MODE(LENGTH)": 0 the check's own name in the report folder, 1
// "length.txt" there, else the NC program's path with "_length.txt" in
// place of its extension (or after it when it has none).
struct LengthReportFacts {
  int32_t CuttingMode = 0;
  int32_t ArborCheck = 0;
  int32_t HeightCheck = 0;
  int32_t ChipWidthCheck = 0;
  int32_t Naming = 0;
  int32_t EnglishMode = 0;
  std::string Folder;
  std::string NcProgram;
};
std::optional<std::string> LengthReportPath(const LengthReportFacts& facts);

// What the normal end of a run reads to choose its message.
struct RunEndFacts {
  InterferenceHits Hits;  // of the run's last step
  // The spindle's condition at the last step that touched material.
  SpindleCondition Spindle = SpindleCondition::kNone;
  int32_t OverStrokeAxis = -1;  // -1 none
  int32_t AlarmCode = 0;        // the interpreter's
  bool LastMoveRapid = false;
  bool CuttingLoadAlarm = false;
};

// The end message's code, the first rung that matches winning: the taper
// hit (ARBOR CHECK 3) 5; the named pairs set to break (1) 11 to 45 in key
// order; the attachment hit 8 and the arbor hit 2 (ARBOR CHECK 3); the
// height hit (HEIGHT CHECK 2) 3; a spindle hit (SPINDLE CHECK 1 or more) 9
// stopped or 10 out of range; the chip-width hit (CHIP-W CHECK 2) 4; an
// over-stroke 91; an interpreter alarm n 100 + n; a rapid move with
// INTERFERENCE 1 gives 1; otherwise 6, or 7 after a cutting-load alarm.
int32_t RunResultCode(const RunEndFacts& facts, const InterferenceCheckSettings& checks);

// The window's title and, with statusBar, the status bar's texts from the
// session into the shell state, with the run's stop state. The status bar
// reads the NC state: never while a run thread works (ThreadWorking).
void UpdateShellTexts(const Session& session, ShellState& shell, bool statusBar = true);

// One progress line of a run with no window.
std::string RunProgressLine(int32_t line, double percent, int32_t seconds);

class CuttingRunControl : public RunCommandPort {
 public:
  // thread is the one the run runs on; keys (none: never held) tells the
  // run timer whether the stop key is held.
  CuttingRunControl(Session& session, ShellState& shell, MainThreadQueue& queue,
                    WorkerThread& thread, const KeyState* keys = nullptr);
  // Kills the run's timers. The owner joins the thread first.
  ~CuttingRunControl() override;
  CuttingRunControl(const CuttingRunControl&) = delete;
  CuttingRunControl& operator=(const CuttingRunControl&) = delete;

  // Starts a run in cutting mode 1 to 3, or switches the running run to it
  // (the run timer follows on its next tick). Other modes are refused.
  void RunCommand(int32_t cuttingMode) override;
  // A run is going or being finished.
  bool RunBusy() const override;
  // FinishCutting is running (the batch worker waits on it).
  bool Finishing() const { return finishing_.load() != 0; }

  // Resume at a stop: the stop flags of the checks cleared, the run timer
  // started again at the mode's interval.
  void StartCutTimer();
  // The panes back to running (STOP and ESC raised, no blink), the blink and
  // busy-cursor timers killed, paused cleared (the thread goes on).
  void StopCutTimer();
  // The run held at a block: the block shown, the STOP pane flat and
  // blinking (timer 5).
  void PauseCutting();
  // The end of an aborted run: reports closed and opened, the positions and
  // modal state put back to the run's start, the length report written.
  void FinishCutting();
  // The busy cursor ended: its timer killed.
  void EndBusyCursor(int32_t timerId);

  // The timers' ticks: the run timer's poll and the stop blink.
  void RunTimerTick();
  void BlinkTimerTick();

  // The run keys. Tab (Shift+Tab): mode 1 -> 2 -> 3 (3 -> 2 -> 1) while an
  // NC program is selected.
  void TabKey(bool shift);
  // Right (up) / Left (down): the "SKIP VIEW" count in mode 1, the "SKIP
  // BLOCK" count in mode 2; never below 1.
  void StepCountKey(bool up);
  // "G": resume, only while held at a stop.
  void ResumeKey();
  // The escape key: abort the run; the run timer is started again when the
  // run is held, so the thread's end is seen.
  void AbortKey();
  // The STOP pane: a stop request while running, a resume while held.
  void StopPane();
  // A key of the main window: the run's keys by their virtual-key codes
  // (the escape key of the settings, Tab, Left, Right, G); true when it was
  // one of them.
  bool KeyDown(int32_t virtualKey, bool shift);

  // Called on the main thread when the thread asked for a new frame and at
  // the run's pauses and ends, after the host's redraw request: the view
  // redraws the workpiece and records a movie frame. The thread is then
  // held in its handshake or at its stop, or has ended.
  std::function<void()> OnNewFrame;
  // Called after the undo backup of a run's start: the view rotates its
  // display lists to the new history slot.
  std::function<void()> OnModelBackup;
  // Called on the main thread when the run asked for the movie's start (at
  // its start) or close (at its end) outside a frame: the view serves the
  // request. A frame serves them too.
  std::function<void()> OnRecordingRequest;
  // With no window to show the run, one line of progress at most every
  // second: the block's line number, the share of the program read and the
  // time since the run's start ("Cut: line 120, 35.2% of the program,
  // 0:00:07"). Empty: no such lines.
  std::function<void(const std::string&)> ProgressLine;

  // The run's movie: started at a run's start when the movie settings ask
  // for it, closed at its end; neither in batch mode, whose worker owns the
  // movie over its runs.
  AviRecording Movie;

  // Kills the run's timers (at shut-down, before the thread is joined).
  void KillTimers();

  // The run thread works on the NC state: started, not ended and not held.
  bool ThreadWorking() const;

  bool RunTimerRunning() const;
  bool BlinkTimerRunning() const;

 private:
  TimerKey Key(int32_t id) const { return {kMainWindowTimers, id}; }
  void SetRunTimer();
  void KillTimer(int32_t id);
  bool Unattended() const;
  bool ReportsMayOpen() const { return !quiet_; }
  void UpdateTitle();
  void UpdateTexts();
  void Frame();
  void TakeUndoBackup();
  void OpenLengthReport();
  void CloseLengthReport();
  void CloseRunReports();
  void EndSubprograms();
  void ResetShownModalStates();
  void ThreadEnded();
  void NormalEnd();
  void PassStop();
  void ShowProgress(const BlockDisplay::Progress& read);
  // The progress line of a run with no window; last: the run has ended.
  void GiveProgressLine(const BlockDisplay::Snapshot& block, bool last);
  void RequestMovie(std::atomic<int32_t>& request);
  void CloseMovie();
  void MarkFailedUnattended();

  Session& s_;
  ShellState& shell_;
  MainThreadQueue& queue_;
  WorkerThread& thread_;
  const KeyState* keys_;

  // Per run.
  int32_t runMode_ = 0;  // the command line's run mode the run started with
  bool quiet_ = false;
  FileStream lengthReport_;
  std::string lengthReportPath_;
  AxisPosition startProgramPosition_{};
  OffsetMemory startOffsets_;
  // The progress as shown, from the counters the thread publishes with each
  // block it reads: the thread counts into the session's own.
  ProgressState shownProgress_;
  // When the run started and when its last progress line was given.
  std::chrono::steady_clock::time_point runStart_{};
  std::chrono::steady_clock::time_point lastProgressLine_{};
  std::atomic<int32_t> finishing_{0};
};

}  // namespace vestan
