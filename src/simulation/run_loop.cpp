#include "simulation/run_loop.h"

#include <string>

#include "modelfiles/dme_file.h"
#include "nc/block_end.h"
#include "nc/line_reader.h"
#include "nc/motion_driver.h"
#include "nc/tool_length_offset.h"
#include "simulation/move_steps.h"
#include "simulation/session_files.h"
#include "simulation/session_tools.h"

namespace vestan {
namespace {

bool LayoutTool(const Session& s, int32_t tool) {
  const ToolLayout& layout = s.Defs.Tools.Layout;
  return tool > 0 && tool < kLayoutEntries && layout.Placed[static_cast<size_t>(tool)] != 0;
}

bool Windowed(const Session& s) { return s.RunView.Window != 0; }

// The tool goes into the spindle: the outgoing process closed, the tool set
// up, the machine's tip brought to it.
void LoadTool(Session& s, int32_t tool) {
  ToolChangerState& changer = s.Changer;
  const int32_t outgoing = s.Nc.Modal.Tools.CurrentToolNumber;
  if (LayoutTool(s, tool)) {
    changer.LayoutShift = outgoing == 0 || LayoutTool(s, outgoing) ? 1 : 0;
    changer.PreviousLayoutTool = outgoing;
  }
  CloseToolLengths(s);
  s.Control.StepStatus.store(kStepRapid);
  TakeProcessSnapshot(s);
  s.Nc.Modal.Tools.CurrentToolNumber = tool;
  ApplyToolChange(s, tool, s.Defs.Settings.Pitch.WorkPitch);
  if (Windowed(s)) s.Shell.RequestShellUpdate(ShellUpdate::kSecondView);
}

// The block shown in the status bar.
void ShowBlock(Session& s) {
  s.Nc.Modal.ShownLine = CurrentLineNumber(s.Nc);
  s.Block.Show(s.Nc.Modal.ShownLine, s.Nc.Line.View());
  if (Windowed(s)) s.Shell.RequestShellUpdate(ShellUpdate::kNcInfo);
}

// The next move into the context; false when the run is to end (an abort
// at a stop block).
bool ObtainMove(Session& s, bool& requested) {
  NcContext& nc = s.Nc;
  RunControl& control = s.Control;
  RunPass& pass = *s.Pass;
  const NcPassRecords records = NcPassOf(s);
  requested = true;
  const bool nonStop = s.Defs.Controller.StopOption == 0 ||
                       MotionDriverHoldsMoves(nc, pass.Driver) ||
                       nc.Modal.ReferenceReturnStage == kReferenceIntermediate;
  if (control.LinePendingAtStop.load() != 0 || (nonStop && control.StopRequest.load() == 0) ||
      nc.Modal.PendingEnds.Count != 0) {
    NextNcMove(nc, records, pass.Reader, pass.Driver);
    return true;
  }
  if (ReadNcLine(nc, records, pass.Reader) != 1) {
    // The end read while queued moves remain: the driver hands them out.
    requested = false;
    if (nc.Modal.EndState == kEndReached && nc.Modal.AlarmCode == kAlarmNone) {
      NextNcMove(nc, records, pass.Reader, pass.Driver);
      requested = true;
    }
    return true;
  }
  control.LinePendingAtStop.store(1);
  if (IsStopBlock(nc.Line.View(), nc, records, pass.Reader) == 0) {
    NextNcMove(nc, records, pass.Reader, pass.Driver);
    return true;
  }
  ShowBlock(s);
  control.Paused.store(1);
  control.StoppedDisplay.store(1);
  if (Windowed(s)) s.Shell.RequestShellUpdate(ShellUpdate::kStatusBar);
  if (!WaitWhilePaused(control, s.Shell)) return false;
  control.OneShotStop.store(0);
  requested = false;  // the pending line runs on the next pass of the loop
  return true;
}

void EndRun(Session& s) {
  // The main stream is the reader's; a read plug-in closes through it too.
  s.Pass->Reader.MainStream = FileStream{};
  TakeProcessSnapshot(s);
}

}  // namespace

void CloseToolLengths(Session& s) {
  const int32_t mode = s.Control.CuttingMode.load();
  const int32_t tool = s.Nc.Modal.Tools.CurrentToolNumber;
  const CurrentTool& current = s.Tool;
  const std::string name = current.Tool.Name.value_or("");
  const ToolLengthReportInputs in{s.Defs.Checks, mode,      s.App.EnglishMode, tool, 0, name,
                                  current.Arbor.Present, current.Tool.Kind, 0};
  const int32_t process = s.Run.CurrentProcess;
  int32_t present = process >= 0 && static_cast<size_t>(process) < s.Run.ProcessCutFlags.size()
                        ? s.Run.ProcessCutFlags[static_cast<size_t>(process)]
                        : 0;
  s.LengthReportLines += FormatToolLengthCheck(in, s.Lengths, present);
}

void TakeProcessSnapshot(Session& s) {
  const std::string name = NextProcessSnapshot(s.Nc.Snapshots, s.Run, s.Shell);
  if (name.empty()) return;
  std::string error;
  if (SaveWorkModel(s.Work.Workpiece(), name, 0, s.Defs.Settings.ExportInWork, s.Frame, &error) !=
      kSaveOk)
    s.Shell.Log("cannot save the process model \"" + name + "\": " + error);
}

void RunToolChange(Session& s) {
  NcModalState& modal = s.Nc.Modal;
  const int32_t pending = modal.Tools.NextToolNumber;
  if (pending < 0 || modal.PendingEnds.Count != 0) return;
  const ControllerDefinition& ctl = s.Defs.Controller;
  const int32_t atc = IsHeidenhainDialect(ctl) ? kAtcDirect : s.Defs.Machine.AtcType;
  ToolChangerState& changer = s.Changer;
  if (changer.Preselected < 0) changer.Preselected = modal.Tools.CurrentToolNumber;
  const bool m6 = modal.LastMCode == 6;
  if (atc == kAtcWait2 && m6 && modal.BlockTool >= 0) {
    LoadTool(s, changer.Preselected);
    changer.Preselected = pending;
    UpdateSessionPosition(s);
  } else if ((atc == kAtcWait2 || atc == kAtcWait) && !m6) {
    if (pending != changer.Preselected) {
      changer.Preselected = pending;
      if (Windowed(s)) s.Shell.RequestShellUpdate(ShellUpdate::kMagazine);
    }
  } else {
    changer.Preselected = pending;
    LoadTool(s, pending);
    modal.Tools.NextToolNumber = kNoTool;
    if (IsHeidenhainDialect(ctl) || ctl.isSiemens != 0) ApplyToolLengthOffset(modal, NcPassOf(s));
    UpdateSessionPosition(s);
  }
  StoreProcessTool(s.Nc.Snapshots, s.Run, modal.Tools.CurrentToolNumber, s.Shell);
}

int32_t SimulationThreadProc(Session& s) {
  RunControl& control = s.Control;
  StartRunPass(s);
  s.Lengths = ToolLengthChecks{};
  s.LengthReportLines.clear();
  s.Block.Clear();
  s.ReadBlock.Clear();
  control.ShowSteps.store(0);
  control.StepStatus.store(kStepCutting);
  control.RunEndedByCheck.store(0);
  // A line held at a stop of an aborted run is not this run's.
  control.LinePendingAtStop.store(0);
  RunPass& pass = *s.Pass;
  NcContext& nc = s.Nc;
  NcModalState& modal = nc.Modal;

  UpdateSessionPosition(s);
  pass.Steps.MachineStart = nc.Position.MachinePosition;
  OpenCuttingLimitReport(pass.Reports, pass.ReportLinks, s.Defs.Tools,
                         modal.Tools.CurrentToolNumber);
  // A program that cannot be read ends the run before its first block; the
  // reader has said which and why.
  const NcPassRecords records = NcPassOf(s);
  LoadNcProgramText(nc, records, pass.Reader);
  if (OpenNcProgram(records, pass.Reader) == kNcProgramNotOpened) {
    control.RunEndedByCheck.store(1);
    return 0;
  }

  for (;;) {
    if (modal.EndState == kEndHandled) {
      control.RunEndedByCheck.store(1);
      break;
    }
    // A character alarm of the reader, met where no move was requested.
    if (modal.AlarmCode > kAlarmNone) {
      control.RunEndedByCheck.store(1);
      break;
    }
    bool requested = false;
    if (!ObtainMove(s, requested)) break;
    if (control.Abort.load() != 0) break;
    if (!requested) continue;
    // The progress counters are the reader's, on this thread: the shell
    // shows them from this copy.
    const BlockDisplay::Progress read{nc.Subprograms.Depth, s.Progress.Counter,
                                      s.Progress.FileCounter, s.Progress.FileTotal};
    s.ReadBlock.Show(CurrentLineNumber(nc), nc.Line.View(), &read);
    if (control.CuttingMode.load() < kCuttingShowResult || control.ShowSteps.load() != 0)
      ShowBlock(s);
    if (modal.AlarmCode > kAlarmNone) {
      control.RunEndedByCheck.store(1);
      break;
    }
    if (modal.EndState == kEndHandled && modal.MoveExists == 0) continue;
    RunToolChange(s);
    const MoveEnd end = SimulateMove(s);
    if (end == MoveEnd::kAbort || control.Abort.load() != 0) break;
    if (end != MoveEnd::kNone) {
      control.RunEndedByCheck.store(1);
      break;
    }
  }
  EndRun(s);
  return 0;
}

}  // namespace vestan
