#include "shell/core/run_control.h"

#include <algorithm>
#include <cstdio>

#include "foundation/path_text.h"
#include "model/model_history.h"
#include "nc/block_end.h"
#include "nc/nc_modal_operations.h"
#include "platform/progress.h"
#include "shell/core/main_window_rules.h"
#include "shell/core/menu_model.h"
#include "simulation/interference_messages.h"
#include "simulation/run_loop.h"
#include "simulation/run_reports.h"
#include "simulation/session_files.h"
#include "simulation/verify_report.h"

namespace vestan {

namespace {

std::string_view Pick(int32_t english, std::string_view en, std::string_view ja) {
  return english != 0 ? en : ja;
}

bool UnattendedRunMode(int32_t runMode) { return runMode == 5 || runMode == 6; }


}  // namespace

int32_t CuttingModeOfCommand(int32_t commandId) {
  switch (commandId) {
    case kCommandRealCutting:
      return kCuttingReal;
    case kCommandSkipCutting:
      return kCuttingSkip;
    case kCommandCutShowResult:
      return kCuttingShowResult;
    default:
      return kCuttingIdle;
  }
}

std::optional<std::string> LengthReportPath(const LengthReportFacts& f) {
  const bool length = f.ArborCheck == 1;
  const bool height = f.HeightCheck == 1;
  if (!(length || height || f.ChipWidthCheck == 1) || f.CuttingMode >= 4) return std::nullopt;
  if (f.Naming == 0) {
    std::string_view name;
    if (length)
      name = Pick(f.EnglishMode, "length.txt", "突出し長.txt");
    else if (height)
      name = Pick(f.EnglishMode, "height.txt", "有効刃長.txt");
    else
      name = Pick(f.EnglishMode, "chip-w.txt", "チップ幅.txt");
    return JoinPath(f.Folder, name);
  }
  if (f.Naming == 1) return JoinPath(f.Folder, "length.txt");
  return SnapshotBaseName(f.NcProgram) + "_length.txt";
}

int32_t RunResultCode(const RunEndFacts& f, const InterferenceCheckSettings& checks) {
  const InterferenceHits& h = f.Hits;
  const bool arborBreak = checks.ArborCheck == kArborCheckBreak;
  if (h.BodyHitFlag != 0 && arborBreak) return 5;
  for (size_t pair = 0; pair < kNamedPairCount; ++pair) {
    if (h.Pairs[pair] != 0 && checks.Pairs[pair] == kCheckBreak)
      return CodeOfPair(static_cast<InterferencePair>(pair));
  }
  if (h.AttachmentHitFlag != 0 && arborBreak) return 8;
  if (h.ArborHitFlag != 0 && arborBreak) return 2;
  if (h.HeightHitFlag != 0 && checks.HeightCheck == kLimitCheckBreak) return 3;
  if (checks.SpindleCheck >= 1) {
    if (f.Spindle == SpindleCondition::kStopped) return 9;
    if (f.Spindle == SpindleCondition::kBelowRange || f.Spindle == SpindleCondition::kAboveRange)
      return 10;
  }
  if (h.ChipWidthHitFlag != 0 && checks.ChipWidthCheck == kLimitCheckBreak) return 4;
  if (f.OverStrokeAxis >= 0) return 91;
  if (f.AlarmCode > 0) return 100 + f.AlarmCode;
  if (f.LastMoveRapid && checks.Interference == 1) return 1;
  return f.CuttingLoadAlarm ? 7 : 6;
}

void UpdateShellTexts(const Session& s, ShellState& shell, bool statusBar) {
  TitleFacts title = TitleFactsOf(s);
  title.DisplaySuspended = shell.Run.DisplaySuspended;
  if (std::optional<std::string> text = UpdateWindowTitle(title)) shell.Title = *text;
  if (!statusBar) return;
  StatusFacts status = StatusFactsOf(s);
  status.DisplaySuspended = shell.Run.DisplaySuspended;
  status.DifferencePaintMode = shell.DifferencePaintMode;
  status.StopBlinkOn = shell.Run.StopBlinkOn;
  status.RadiusOffsetAlarm = s.Control.OffsetAlarmRaised.load();
  status.InterferenceStopText = shell.Run.StopReason;
  const StatusBarTexts parts = UpdateStatusBar(status, shell.Macro);
  for (size_t i = 2; i < kStatusBarParts; ++i) shell.Status[i] = parts[i];
}

CuttingRunControl::CuttingRunControl(Session& session, ShellState& shell, MainThreadQueue& queue,
                                     WorkerThread& thread, const KeyState* keys)
    : s_(session), shell_(shell), queue_(queue), thread_(thread), keys_(keys) {}

CuttingRunControl::~CuttingRunControl() { KillTimers(); }

void CuttingRunControl::KillTimers() {
  for (int32_t id : {kRunTimerId, kStopBlinkTimerId, kBusyCursorTimerId}) KillTimer(id);
}

bool CuttingRunControl::RunBusy() const {
  return s_.Control.CuttingMode.load() != kCuttingIdle || finishing_.load() != 0;
}

bool CuttingRunControl::RunTimerRunning() const { return queue_.Timers().IsSet(Key(kRunTimerId)); }

bool CuttingRunControl::BlinkTimerRunning() const {
  return queue_.Timers().IsSet(Key(kStopBlinkTimerId));
}

void CuttingRunControl::KillTimer(int32_t id) { queue_.Timers().Kill(Key(id)); }

void CuttingRunControl::SetRunTimer() {
  queue_.Timers().Set(Key(kRunTimerId), RunTimerInterval(s_.Control), [this] { RunTimerTick(); });
}

// Nobody watches a batch or silent run, nor the unattended run modes: a
// stop there would hold the run for ever.
bool CuttingRunControl::Unattended() const {
  return quiet_ || s_.CommandLine.batchMode.load() != 0 || s_.CommandLine.silentMode.load() != 0;
}

bool CuttingRunControl::ThreadWorking() const {
  // Only the main thread clears Paused: a thread seen paused stays so.
  return thread_.Running() && s_.Control.Paused.load() == 0;
}

void CuttingRunControl::UpdateTitle() {
  UpdateShellTexts(s_, shell_, false);
  s_.Shell.SetWindowTitle(shell_.Title);
}

void CuttingRunControl::UpdateTexts() {
  UpdateShellTexts(s_, shell_, !ThreadWorking());
  s_.Shell.SetWindowTitle(shell_.Title);
}

void CuttingRunControl::Frame() {
  s_.Shell.RequestRedraw();
  if (OnNewFrame) OnNewFrame();
}

void CuttingRunControl::RunCommand(int32_t cuttingMode) {
  if (cuttingMode < kCuttingReal || cuttingMode > kCuttingShowResult) return;
  RunControl& control = s_.Control;
  const int32_t previous = control.CuttingMode.exchange(cuttingMode);
  UpdateTitle();
  // A second command only switches the mode of the run going on; so does a
  // command while the ended thread of the last run waits for the timer.
  if (previous > kCuttingIdle || thread_.Running() || finishing_.load() != 0) return;

  // The command line's run mode is taken once; the run remembers it for its
  // exit code.
  runMode_ = s_.CommandLine.runMode.exchange(0);
  quiet_ = runMode_ > 4;
  if (quiet_) s_.Shell.Log("NC program: " + s_.Defs.Paths.NcProgram);
  control.StopRequest.store(0);
  control.Abort.store(0);
  control.Paused.store(0);
  control.StoppedDisplay.store(0);
  control.OneShotStop.store(0);
  control.OffsetAlarmRaised.store(0);
  control.InterferenceStopRaised.store(0);
  shell_.Run.StopReason.clear();
  shell_.Run.LastResultCode = -1;

  TakeUndoBackup();

  shell_.Run.StopText = "\tSTOP";
  shell_.Run.Stop = PaneLook::kRaised;
  shell_.Run.Escape = PaneLook::kRaised;
  shell_.Run.StopBlinkOn = 0;
  DisableMenusWhileRunning(shell_.Menu);
  BeginFileProgress(s_.Progress, s_.Defs.Paths.NcProgram, "切削", "Cut", NcProgramSource{});
  shownProgress_ = s_.Progress;
  runStart_ = lastProgressLine_ = std::chrono::steady_clock::now();
  // The last run's block and progress are not this run's, even before the
  // thread's first block.
  s_.ReadBlock.Clear();

  OpenLengthReport();

  // What an abort puts back.
  startProgramPosition_ = s_.Nc.Position.ProgramPosition;
  startOffsets_ = s_.Memory.Offsets;

  if (s_.Movie.Recording != 0 && s_.CommandLine.batchMode.load() == 0)
    RequestMovie(Movie.StartRequest);

  if (thread_.Exists()) thread_.Join();
  Session& s = s_;
  thread_.Start([&s] { return SimulationThreadProc(s); }, ThreadPriority::kBelowNormal);
  SetRunTimer();
}

void CuttingRunControl::TakeUndoBackup() {
  DexelModel& model = s_.Work.Workpiece();
  if (!model.Allocated() || s_.Work.WorkPresent == 0 || s_.Work.WorkState != kWorkAvailable ||
      s_.Defs.Settings.UndoDepth <= 1)
    return;
  const std::string text(Pick(s_.App.EnglishMode, "Backup(C-Key=UNDO)", "バックアップ中(C-Key=UNDO)"));
  shell_.Status[0] = text;
  s_.Shell.SetStatusText(0, text);
  PushModelHistory(model);
  if (OnModelBackup) OnModelBackup();
  Frame();
}

void CuttingRunControl::OpenLengthReport() {
  lengthReport_.reset();
  lengthReportPath_.clear();
  s_.Lengths = ToolLengthChecks{};
  const Settings& settings = s_.Defs.Settings;
  const InterferenceCheckSettings& checks = s_.Defs.Checks;
  const std::optional<std::string> path = LengthReportPath(
      {s_.Control.CuttingMode.load(), checks.ArborCheck, checks.HeightCheck, checks.ChipWidthCheck,
       settings.NamingModeLength, s_.App.EnglishMode, s_.Defs.Paths.LengthReportFolder,
       s_.Defs.Paths.NcProgram});
  if (!path) return;
  // A report that cannot be opened is warned about; the run goes on without.
  lengthReport_ = OpenOutputFile(settings.CreateModeLength != 0, *path,
                                 s_.Defs.Paths.LengthReportFolder, quiet_ ? nullptr : &s_.Shell,
                                 s_.App.EnglishMode);
  if (!lengthReport_) {
    s_.Shell.Log("The length report " + *path + " could not be opened");
    return;
  }
  lengthReportPath_ = *path;
  std::fprintf(lengthReport_.get(), "%s\n", s_.Defs.Paths.NcProgram.c_str());
}

void CuttingRunControl::CloseLengthReport() {
  // The last tool's line; the thread wrote one per tool change.
  CloseToolLengths(s_);
  if (!lengthReport_) return;
  const std::string& lines = s_.LengthReportLines;
  const bool written = std::fwrite(lines.data(), 1, lines.size(), lengthReport_.get()) ==
                       lines.size();
  const bool closed = std::fclose(lengthReport_.release()) == 0;
  if (!written || !closed) {
    s_.Shell.Log("The length report " + lengthReportPath_ + " could not be written");
    return;
  }
  if (ReportsMayOpen() && s_.CommandLine.keepLengthReportClosed.load() == 0)
    s_.Shell.OpenWithDesktop(lengthReportPath_);
}

void CuttingRunControl::CloseRunReports() {
  if (!s_.Pass) return;
  RunPass& pass = *s_.Pass;
  RunReportLinks links = pass.ReportLinks;
  if (quiet_) links.BatchMode = 1;
  if (s_.CommandLine.keepInterferenceReportClosed.load() != 0) links.NoReportOpening = 1;
  CloseCuttingLimitReport(pass.Reports, links);
  BlockEndState& blockEnd = s_.Nc.BlockEnd;
  if (blockEnd.WarningStream) {
    blockEnd.WarningStream.reset();
    if (blockEnd.WarningCount > 0 && links.BatchMode == 0)
      s_.Shell.OpenWithDesktop(WarningReportPath(s_.Defs.Paths.NcProgram));
  }
  CloseAlarmReport(pass.Reports, links, s_.Defs.Controller.Tables.RadiusCheckList);
  CloseInterferenceReport(pass.Reports, links);
}

void CuttingRunControl::EndSubprograms() {
  if (s_.Nc.Subprograms.Depth <= 0) return;
  EndSubProgress(s_.Progress);
  ClearSubprogramStack(s_.Nc.Subprograms);
}

// The modal states the status bar shows go back to their idle values.
void CuttingRunControl::ResetShownModalStates() {
  NcModalState& m = s_.Nc.Modal;
  // The tool-centre-point mode chosen with the menu, which every run
  // starts from.
  m.ToolAxisMode = s_.Defs.Controller.ToolCenterControl[1];
  m.LastGCode = 0;
  m.TiltedPlane.Active = 0;
  m.Polar.On = 0;
  m.Cylindrical.On = 0;
  m.Rotation.State = kRotationNone;
  m.TransformState = 0;
}

void CuttingRunControl::StartCutTimer() {
  RunControl& control = s_.Control;
  control.OffsetAlarmRaised.store(0);
  control.InterferenceStopRaised.store(0);
  shell_.Run.StopReason.clear();
  StopCutTimer();
  control.StopRequest.store(0);
  SetRunTimer();
}

void CuttingRunControl::StopCutTimer() {
  EndBusyCursor(kBusyCursorTimerId);
  KillTimer(kStopBlinkTimerId);
  shell_.Run.StopText = "\tSTOP";
  shell_.Run.Stop = PaneLook::kRaised;
  shell_.Run.Escape = PaneLook::kRaised;
  shell_.Run.StopBlinkOn = 0;
  s_.Control.Paused.store(0);
  s_.Control.StoppedDisplay.store(0);
  for (int32_t part : {3, 4}) {
    shell_.Status[static_cast<size_t>(part)].clear();
    s_.Shell.SetStatusText(part, "");
  }
}

void CuttingRunControl::EndBusyCursor(int32_t timerId) { KillTimer(timerId); }

void CuttingRunControl::PauseCutting() {
  // Holds the stop while the run waits; the thread clears it when it wakes.
  s_.Control.OneShotStop.store(1);
  const BlockDisplay::Snapshot block = s_.Block.Read();
  shell_.Run.ShownLine = block.Line;
  shell_.Run.CurrentBlockText = block.Text;
  // The thread wrote the reason before it paused.
  if (s_.Pass) shell_.Run.StopReason = s_.Pass->Reports.Stops.StatusText;
  s_.Shell.RequestShellUpdate(ShellUpdate::kNcInfo);
  shell_.Run.Stop = PaneLook::kFlat;
  if (shell_.Run.DisplaySuspended == 0) Frame();
  s_.Control.StoppedDisplay.store(0);
  shell_.Run.StopBlinkOn = 0;
  queue_.Timers().Set(Key(kStopBlinkTimerId), kStopBlinkMs, [this] { BlinkTimerTick(); });
}

void CuttingRunControl::BlinkTimerTick() {
  const int32_t on = s_.Control.StoppedDisplay.load() != 0 ? 0 : 1;
  s_.Control.StoppedDisplay.store(on);
  shell_.Run.StopBlinkOn = on;
  s_.Shell.RequestShellUpdate(ShellUpdate::kStatusLabels);
  UpdateTexts();
}

// An unattended run passes every stop: the line is logged and the run
// resumed at once.
void CuttingRunControl::PassStop() {
  const BlockDisplay::Snapshot block = s_.Block.Read();
  s_.Shell.Log("Stop at line " + std::to_string(block.Line) + " passed (unattended run): " +
               block.Text);
  StartCutTimer();
}

void CuttingRunControl::RunTimerTick() {
  if (!RunTimerRunning()) return;
  RunControl& control = s_.Control;
  const bool suspended = shell_.Run.DisplaySuspended != 0;
  const int32_t wanted = RunTimerInterval(control);
  if (queue_.Timers().IntervalMs(Key(kRunTimerId)) != wanted) SetRunTimer();

  const BlockDisplay::Snapshot block = s_.ReadBlock.Read();
  ShowProgress(block.Read);
  GiveProgressLine(block, false);
  if (control.CuttingMode.load() == kCuttingShowResult) {
    shell_.Run.ShownLine = block.Line;
    shell_.Run.CurrentBlockText = block.Text;
    if (!suspended) s_.Shell.RequestShellUpdate(ShellUpdate::kNcInfo);
  }

  if (!thread_.Running()) {
    GiveProgressLine(s_.ReadBlock.Read(), true);
    ThreadEnded();
    return;
  }
  if (!quiet_) {
    const bool offsetStop = control.OffsetAlarmRaised.load() != 0 &&
                            s_.Defs.Controller.Tables.RadiusCheckStop != 0;
    if (offsetStop || control.InterferenceStopRaised.load() != 0) control.StopRequest.store(1);
  }
  if (control.RedrawRequest.load() != 0) {
    if (!suspended && !quiet_) {
      s_.Shell.RequestShellUpdate(ShellUpdate::kPositionPanes);
      Frame();
    }
    control.RedrawRequest.store(0);
  } else if (control.Paused.load() != 0) {
    if (Unattended()) {
      PassStop();
      return;
    }
    KillTimer(kRunTimerId);
    if (!BlinkTimerRunning()) PauseCutting();
  } else if (!suspended && keys_ != nullptr && shell_.Run.Foreground != 0 &&
             keys_->IsDown(s_.Defs.Settings.StopKey)) {
    control.StopRequest.store(1);
  }
}

std::string RunProgressLine(int32_t line, double percent, int32_t seconds) {
  std::string elapsed;
  FormatHhMmSs(elapsed, seconds);
  elapsed.erase(0, elapsed.find_first_not_of(' '));
  char share[32];
  std::snprintf(share, sizeof share, "%.1f%%", percent);
  return "Cut: line " + std::to_string(line) + ", " + share + " of the program, " + elapsed;
}

void CuttingRunControl::GiveProgressLine(const BlockDisplay::Snapshot& block, bool last) {
  if (!ProgressLine) return;
  const auto now = std::chrono::steady_clock::now();
  if (!last && now - lastProgressLine_ < std::chrono::seconds(1)) return;
  lastProgressLine_ = now;
  const double total = static_cast<double>(std::max<uint64_t>(shownProgress_.Total, 1));
  const double percent = std::min(100.0, 100.0 * static_cast<double>(block.Read.Counter) / total);
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now - runStart_).count();
  ProgressLine(RunProgressLine(block.Line, percent, static_cast<int32_t>(seconds)));
}

// The file progress at the main program's level, the sub-progress inside
// a first-level subprogram; a sub-file counted again from its start (the
// next subprogram) is shown from its start.
void CuttingRunControl::ShowProgress(const BlockDisplay::Progress& read) {
  ProgressState& shown = shownProgress_;
  if (read.Depth == 0) {
    shown.Counter = read.Counter;
    UpdateFileProgress(shown, 0);
  } else if (read.Depth == 1) {
    const uint64_t total = std::max<uint64_t>(read.FileTotal, 1);
    if (total != shown.FileTotal || read.FileCounter < shown.FileCounter) {
      shown.FileTotal = total;
      shown.FileScale = 1000.0 / static_cast<double>(total);
      shown.FileZeroShown = 0;
      shown.FileLastShown = 0;
    }
    shown.FileCounter = read.FileCounter;
    UpdateSubProgress(shown, 0);
  }
}

// The movie's requests are served on the main thread, by the view.
void CuttingRunControl::RequestMovie(std::atomic<int32_t>& request) {
  request.store(1);
  if (OnRecordingRequest) OnRecordingRequest();
}

// A batch run's movie goes on over the worker's runs.
void CuttingRunControl::CloseMovie() {
  if (IsAviRecording(Movie.Recorder) && s_.CommandLine.batchMode.load() == 0)
    RequestMovie(Movie.CloseRequest);
}

void CuttingRunControl::ThreadEnded() {
  KillTimer(kRunTimerId);
  thread_.Join();
  ResetShownModalStates();
  if (s_.Control.Abort.load() != 0) {
    FinishCutting();
    Frame();
  } else {
    NormalEnd();
  }
}

void CuttingRunControl::MarkFailedUnattended() {
  if (UnattendedRunMode(runMode_)) s_.CommandLine.exitCodeFlag.store(-1);
}

void CuttingRunControl::NormalEnd() {
  const bool suspended = shell_.Run.DisplaySuspended != 0;
  if (!suspended) {
    for (ShellUpdate what : {ShellUpdate::kNcInfo, ShellUpdate::kStatusLabels,
                             ShellUpdate::kPositionPanes})
      s_.Shell.RequestShellUpdate(what);
  }
  Frame();
  EndSubprograms();

  if (s_.Pass) {
    RunPass& pass = *s_.Pass;
    const MoveEnd end = pass.Steps.End;
    const int32_t alarm = s_.Nc.Modal.AlarmCode;
    const bool found = alarm > kAlarmNone || end == MoveEnd::kStopHit ||
                       end == MoveEnd::kOverStroke || end == MoveEnd::kCuttingLoad ||
                       end == MoveEnd::kAlarm;
    if (found) {
      RunEndFacts facts;
      facts.Hits = s_.Run.Hits;
      if (facts.Hits.ContactFlag != 0) facts.Spindle = SpindleConditionOf(s_.Nc, s_.Defs.Checks);
      facts.OverStrokeAxis = end == MoveEnd::kOverStroke ? pass.Steps.OverStrokeAxis : -1;
      facts.AlarmCode = alarm;
      facts.LastMoveRapid = s_.Run.MotionMode <= kMotionRapid;
      facts.CuttingLoadAlarm = pass.Steps.CuttingLoadAlarm != 0;
      if (s_.Defs.Settings.SoundOn != 0) s_.Shell.PlaySound("SystemHand");
      const int32_t code = RunResultCode(facts, s_.Defs.Checks);
      shell_.Run.LastResultCode = code;
      pass.Facts.OverStrokeLetter = pass.Steps.OverStrokeLetter;
      ShowInterferenceMessage(MessageLinksOf(s_, pass.Facts), quiet_ ? 1 : 0,
                              s_.Defs.Paths.NcProgram, code);
      MarkFailedUnattended();
    }
  }

  UpdateSessionPosition(s_);
  s_.Shell.RequestRedraw();
  CloseLengthReport();
  s_.Control.CuttingMode.store(kCuttingIdle);
  CloseRunReports();
  EndFileProgress(s_.Progress);
  CloseMovie();
  EnableMenusAfterRun(shell_.Menu);
  UpdateTexts();
}

void CuttingRunControl::FinishCutting() {
  RunControl& control = s_.Control;
  EndSubprograms();
  finishing_.store(1);
  MarkFailedUnattended();
  CloseRunReports();
  EndBusyCursor(kBusyCursorTimerId);
  KillTimer(kStopBlinkTimerId);
  KillTimer(kRunTimerId);

  // The workpiece stays as cut; where the machine stands goes back. The
  // reset composes the frame from the offsets and puts the program at the
  // start position, so the run's own start position is put back after it.
  s_.Memory.Offsets = startOffsets_;
  ResetNcModalState(s_.Nc, NcPassOf(s_));
  s_.Nc.Position.ProgramPosition = startProgramPosition_;
  s_.Nc.Modal.ProgramPosition = startProgramPosition_;
  UpdateSessionPosition(s_);

  Frame();
  if (s_.Defs.Settings.SoundOn != 0) s_.Shell.StopSound();
  shell_.Run.Escape = PaneLook::kFlat;
  if (s_.Pass) s_.Pass->Reader.MainStream.reset();

  control.LinePendingAtStop.store(0);
  if (shell_.Run.DisplaySuspended == 0) {
    for (ShellUpdate what : {ShellUpdate::kNcInfo, ShellUpdate::kStatusLabels,
                             ShellUpdate::kPositionPanes})
      s_.Shell.RequestShellUpdate(what);
  }
  CloseLengthReport();

  control.OneShotStop.store(0);
  control.CuttingMode.store(kCuttingIdle);
  EndFileProgress(s_.Progress);
  CloseMovie();
  EnableMenusAfterRun(shell_.Menu);
  UpdateTexts();
  control.Abort.store(0);
  finishing_.store(0);
}

void CuttingRunControl::TabKey(bool shift) {
  if (shell_.NcSelected == 0) return;
  RunControl& control = s_.Control;
  const int32_t mode = control.CuttingMode.load();
  int32_t next = mode;
  if (!shift && (mode == kCuttingReal || mode == kCuttingSkip)) next = mode + 1;
  if (shift && (mode == kCuttingSkip || mode == kCuttingShowResult)) next = mode - 1;
  if (next == mode) return;
  control.CuttingMode.store(next);
  UpdateTitle();
}

void CuttingRunControl::StepCountKey(bool up) {
  const int32_t mode = s_.Control.CuttingMode.load();
  Settings& settings = s_.Defs.Settings;
  SharedValue<int32_t>* count = mode == kCuttingReal   ? &settings.SkipView
                                : mode == kCuttingSkip ? &settings.SkipBlock
                                                       : nullptr;
  if (count == nullptr) return;
  const int32_t value = *count;
  if (up && value < INT32_MAX) *count = value + 1;
  if (!up && value > 1) *count = value - 1;
  UpdateTitle();
}

void CuttingRunControl::ResumeKey() {
  // Held: the thread waits with its line pending and the timer has seen it.
  if (s_.Control.LinePendingAtStop.load() == 0 || s_.Control.Paused.load() == 0) return;
  StartCutTimer();
}

void CuttingRunControl::AbortKey() {
  RunControl& control = s_.Control;
  if (control.CuttingMode.load() < kCuttingReal || shell_.Run.DisplaySuspended != 0) return;
  control.Abort.store(1);
  control.Paused.store(0);
  control.StoppedDisplay.store(0);
  // The blink reads the NC state, which the thread writes again once it
  // has left its pause.
  KillTimer(kStopBlinkTimerId);
  if (!RunTimerRunning()) SetRunTimer();
}

void CuttingRunControl::StopPane() {
  RunControl& control = s_.Control;
  if (control.CuttingMode.load() < kCuttingReal) return;
  if (control.LinePendingAtStop.load() != 0 && control.Paused.load() != 0)
    StartCutTimer();
  else
    control.StopRequest.store(1);
}

bool CuttingRunControl::KeyDown(int32_t virtualKey, bool shift) {
  if (virtualKey == s_.Defs.Settings.EscapeKey) {
    AbortKey();
    return true;
  }
  switch (virtualKey) {
    case vk::kTab:
      TabKey(shift);
      return true;
    case vk::kRight:
    case vk::kLeft:
      StepCountKey(virtualKey == vk::kRight);
      return true;
    case 'G':
      ResumeKey();
      return true;
    default:
      return false;
  }
}

}  // namespace vestan
