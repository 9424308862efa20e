#include "simulation/run_loop.h"

#include <functional>
#include <string>

#include "modelfiles/dme_file.h"
#include "nc/block_end.h"
#include "nc/line_reader.h"
#include "nc/motion_driver.h"
#include "nc/position_update.h"
#include "nc/tool_length_offset.h"
#include "simulation/move_steps.h"
#include "simulation/session_files.h"
#include "simulation/session_tools.h"

namespace vestan {
namespace {

bool LayoutTool(const ToolLayout& layout, int32_t tool) {
  return tool > 0 && tool < kLayoutEntries && layout.Placed[static_cast<size_t>(tool)] != 0;
}

bool Windowed(const Session& s) { return s.RunView.Window != 0; }

// The tool goes into the spindle: the outgoing process closed, the tool set
// up.
void LoadTool(Session& s, int32_t tool) {
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

bool ChangeToolByAtcType(const ToolChangeStep& change) {
  NcModalState& modal = change.Nc.Modal;
  const int32_t pending = modal.Tools.NextToolNumber;
  if (pending < 0 || modal.PendingEnds.Count != 0) return false;
  const Definitions& defs = change.Records.Defs;
  const ControllerDefinition& ctl = defs.Controller;
  const int32_t atc = IsHeidenhainDialect(ctl) ? kAtcDirect : defs.Machine.AtcType;
  ToolChangerState& changer = change.Changer;
  if (changer.Preselected < 0) changer.Preselected = modal.Tools.CurrentToolNumber;
  const bool m6 = modal.LastMCode == 6;
  // A layout tool that follows tool 0 or another layout tool starts shifted
  // by the difference of their layout offsets.
  const auto load = [&](int32_t tool) {
    const ToolLayout& layout = defs.Tools.Layout;
    const int32_t outgoing = modal.Tools.CurrentToolNumber;
    if (LayoutTool(layout, tool)) {
      changer.LayoutShift = outgoing == 0 || LayoutTool(layout, outgoing) ? 1 : 0;
      changer.PreviousLayoutTool = outgoing;
    }
    change.Load(tool);
  };
  if (atc == kAtcWait2 && m6 && modal.BlockTool >= 0) {
    load(changer.Preselected);
    changer.Preselected = pending;
    UpdateMachinePosition(change.Nc, change.Records, change.Placement);
  } else if ((atc == kAtcWait2 || atc == kAtcWait) && !m6) {
    if (pending != changer.Preselected) {
      changer.Preselected = pending;
      if (change.Preselected) change.Preselected();
    }
  } else {
    changer.Preselected = pending;
    load(pending);
    modal.Tools.NextToolNumber = kNoTool;
    if (IsHeidenhainDialect(ctl) || ctl.isSiemens != 0)
      ApplyToolLengthOffset(modal, change.Records);
    UpdateMachinePosition(change.Nc, change.Records, change.Placement);
  }
  return true;
}

void RunToolChange(Session& s) {
  const NcPassRecords records = NcPassOf(s);
  const std::function<void(int32_t)> load = [&s](int32_t tool) { LoadTool(s, tool); };
  const std::function<void()> preselected = [&s] {
    if (Windowed(s)) s.Shell.RequestShellUpdate(ShellUpdate::kMagazine);
  };
  if (!ChangeToolByAtcType({s.Nc, records, s.Changer, WorkPlacementOf(s), load, preselected}))
    return;
  StoreProcessTool(s.Nc.Snapshots, s.Run, s.Nc.Modal.Tools.CurrentToolNumber, s.Shell);
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
