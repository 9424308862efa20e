#include "simulation/session.h"

#include "nc/nc_modal_operations.h"
#include "simulation/session_tools.h"

namespace vestan {

RunPass::RunPass(Session& session)
    : Reader(session.Program),
      BlockHooks(MakeNcReaderHooks(Reader)),
      Cut(CutRecordsOf(session)),
      Kernel(ToolSetUpSourcesOf(session), Cut, session.Work),
      ReportLinks(ReportLinksOf(session)) {
  ResetRunReports(Reports);
  const int32_t alarmOption = session.Defs.Controller.Tables.RadiusCheckList;
  Driver.RadiusOffsetInterference = RadiusOffsetAlarmWriter(Reports, ReportLinks, alarmOption);
  Reader.EnglishMode = session.App.EnglishMode;
  Reader.Progress = &session.Progress;
  // A plug-in delivered its tool into the table's tool 0.
  Reader.MakePluginToolCurrent = [&session] {
    ApplyToolChange(session, 0, session.Defs.Settings.Pitch.WorkPitch);
  };
}

Session::Session(Host& host) : Shell(host) {
  Progress.Display = &host;
  Progress.HeldAtStop = [this] { return Control.Paused.load() != 0; };
  // Long work waits and retitles the window through the host, like the run.
  Progress.Sleep = [&host](int32_t milliseconds) { host.Sleep(milliseconds); };
  Progress.RebuildWindowTitle = [&host] { host.RequestShellUpdate(ShellUpdate::kWindowTitle); };
}

Session::~Session() = default;

void StartRunPass(Session& session) { StartRunPass(session, session.Defs.Tools); }

void StartRunPass(Session& session, ToolTable& tools) {
  session.Pass = std::make_unique<RunPass>(session);
  const double spin = session.Run.ToolSpinAngle;
  session.Run = RunState{};
  session.Run.ToolSpinAngle = spin;
  ResetNcModalState(session.Nc, NcPassOf(session, tools));
}

namespace {

NcPassRecords PassOver(Session& session, ControllerMemory& memory, WorkOffsetFrame& frame,
                       ToolTable& tools) {
  Definitions& defs = session.Defs;
  NcPassRecords records{defs,  memory,          tools,        defs.Settings.ControlPoint,
                        frame, session.Display, session.Tool, session.Profile,
                        session.Control, session.Shell};
  if (session.Pass) records.BlockHooks = &session.Pass->BlockHooks;
  return records;
}

}  // namespace

NcPassCopy CopyForPass(const Session& session) {
  return {session.Memory, session.Frame, session.Defs.Tools};
}

NcPassRecords NcPassOf(Session& session) {
  return PassOver(session, session.Memory, session.Frame, session.Defs.Tools);
}

NcPassRecords NcPassOf(Session& session, NcPassCopy& copy) {
  return PassOver(session, copy.Memory, copy.Frame, copy.Tools);
}

NcPassRecords NcPassOf(Session& session, ToolTable& tools) {
  return PassOver(session, session.Memory, session.Frame, tools);
}

ToolChangeRecords ToolChangeOf(Session& session) { return ToolChangeOf(session, session.Defs.Tools); }

ToolChangeRecords ToolChangeOf(Session& session, ToolTable& tools) {
  Definitions& defs = session.Defs;
  return {tools,
          session.Tool,
          session.Profile,
          session.Nc.Position,
          session.Nc.Modal.Length,
          session.Display,
          defs.Machine,
          defs.Kinematics,
          defs.Controller,
          defs.Checks,
          defs.Settings.Pitch};
}

CutRecords CutRecordsOf(Session& session) {
  CutRecords records{session.Tool, session.Lengths, session.Defs.Checks, session.Run, session.Work};
  records.Mesh = &session.ToolMesh;
  records.Position = &session.Nc.Position;
  return records;
}

ToolSetUpSources ToolSetUpSourcesOf(const Session& session) {
  const Definitions& defs = session.Defs;
  return {defs.Tools, defs.Machine, defs.Kinematics, defs.Checks, defs.Settings.Pitch};
}

StructureCheckContext StructureChecksOf(Session& session) {
  const Definitions& defs = session.Defs;
  return {session.Meshes, defs.Machine,        defs.Kinematics, defs.Controller,
          defs.Checks,    session.Nc.Position, session.Work,    session.Run.Hits};
}

MachinePartSources PartSourcesOf(Session& session) {
  return {session.Defs.Parts, session.Defs.Kinematics, session.Defs.Checks};
}

MultiToolPassRecords MultiToolPassOf(Session& session, CuttingSeam& cutting) {
  const Definitions& defs = session.Defs;
  return {defs.Tools,
          cutting,
          session.Profile,
          session.Nc.Position,
          session.Meshes,
          defs.Machine,
          defs.Kinematics,
          defs.Controller,
          defs.Checks,
          session.Work,
          session.Memory.Offsets.ActiveWorkOffset,
          defs.Settings.Pitch.WorkPitch,
          session.Shell,
          &session.Control.Abort};
}

ControllerReadRecords ControllerReadOf(Session& session) {
  return {session.Defs.Controller,  session.Memory.Offsets,   session.Defs.ControllerFile,
          session.Nc.Modal.Plane,   session.Nc.Subprograms,   session.AxisLabels,
          session.Display};
}

MachineReadRecords MachineReadOf(Session& session) {
  Definitions& defs = session.Defs;
  return {defs.Machine,      defs.Kinematics, defs.Limits,
          defs.Parts,        defs.MachineFile, defs.Controller,
          defs.Settings,     session.Nc.Modal.PendingEnds, session.AxisLabels,
          session.Display};
}

SettingsTargets SettingsTargetsOf(Session& session) {
  Definitions& defs = session.Defs;
  return {defs.Settings, defs.Paths,   defs.Colors,     defs.Checks,     defs.Difference,
          defs.Tools,    session.View, session.Panes,   session.Display, session.Movie};
}

ChangeCheckRecords ChangeCheckOf(Session& session) {
  Definitions& defs = session.Defs;
  return {session.App.ChangeCheckState,
          defs.ToolFiles,
          defs.ControllerFile,
          defs.MachineFile,
          defs.Paths,
          defs.Settings,
          session.Display,
          session.App.EnglishMode};
}

RunReportLinks ReportLinksOf(Session& session) {
  return {session.Shell,
          session.Nc,
          session.Defs.Checks,
          session.Control,
          session.App.EnglishMode,
          session.Defs.Settings.SoundOn,
          session.CommandLine.batchMode.load()};
}

InterferenceMessageLinks MessageLinksOf(Session& session, const RunMessageFacts& facts) {
  return {session.Shell, session.Nc, session.Defs, facts, session.App.EnglishMode,
          session.Control.CuttingMode.load()};
}

WorkpiecePlacement WorkPlacementOf(const Session& session) {
  return PlacementOf(session.Work.Workpiece());
}

}  // namespace vestan
