#include "simulation/session_files.h"

#include "machine/work_offset_frame.h"
#include "modelfiles/imported_tool_stl.h"
#include "nc/position_update.h"
#include "simulation/session_tools.h"

namespace vestan {

namespace {

void LogNotes(const DefinitionReadResult& result, Host& host) {
  for (const DefinitionNote& note : result.Notes) host.Log(FormatNote(note));
}

void FollowWorkOffset(Session& session) {
  UpdateWorkOffsetFrame(session.Memory.Offsets.ActiveWorkOffset, session.Defs.Kinematics,
                        session.Defs.Controller, session.Frame, session.Display);
}

void LoadToolMesh(std::string_view fileName, const Vec3& offset, ImportedToolMesh& mesh) {
  LoadImportedToolMesh(fileName, offset, mesh);
}

}  // namespace

void ReadSettingsInto(Session& session, const StartupEnvironment& environment) {
  ReadSettingsFile(SettingsTargetsOf(session), session.CommandLine, environment, session.Shell);
}

ToolTableReadResult ReadToolTableInto(Session& session) {
  Definitions& defs = session.Defs;
  ToolTableReadOptions options;
  options.CommandLineToolNumber = session.CommandLine.initialTool.load();
  options.EnglishMode = session.App.EnglishMode != 0;
  ToolTableReadResult result = ReadToolTable(defs.Paths.ToolTable, defs.Tools, defs.ToolFiles,
                                             session.ToolMesh, options, LoadToolMesh);
  LogNotes(result, session.Shell);

  NcToolNumbers& numbers = session.Nc.Modal.Tools;
  numbers.CurrentToolNumber = result.StartTool;
  numbers.NextToolNumber = result.StartTool;
  session.SavedPosition.ToolNumber = -1;
  if (result.State != kFileRead) return result;

  // Two base-point rules read what making the tool current derives.
  const int32_t mode = defs.Settings.ToolBasePoint;
  for (size_t t = 0; t < defs.Tools.Entries(); ++t) {
    if (!TakesBasePointLength(defs.Tools, t, mode)) continue;
    ToolBaseHeights heights;
    if (BasePointReadsToolSetUp(mode)) {
      ApplyToolChange(session, static_cast<int32_t>(t), 0.0);
      heights = TableBaseHeights(ToolChangeOf(session));
    }
    if (!AddToolBasePointLength(defs.Tools, t, mode, heights)) {
      const DefinitionNote note{defs.Paths.ToolTable, 0,
                                "tool " + std::to_string(t) +
                                    ": its length to the base point is not a finite number; "
                                    "the base point is not added"};
      session.Shell.Log(FormatNote(note));
      result.Notes.push_back(note);
    }
  }
  ApplyToolChange(session, result.StartTool, defs.Settings.Pitch.WorkPitch);
  session.ToolList.ViewMode = 0;
  session.Plugins.ToolFromPlugin = 0;
  return result;
}

DefinitionReadResult ReadControllerInto(Session& session) {
  DefinitionReadResult result =
      ReadControllerDefinition(session.Defs.Paths.Controller, ControllerReadOf(session));
  LogNotes(result, session.Shell);
  session.Memory.ShortestRoute = DefinedShortestRoutes(session.Defs.Controller);
  FollowWorkOffset(session);
  return result;
}

DefinitionReadResult ReadMachineInto(Session& session, int32_t clearFlag) {
  DefinitionReadResult result = ReadMachineDefinition(
      session.Defs.Paths.Machine, clearFlag, MachineReadOf(session), session.Shell);
  LogNotes(result, session.Shell);
  if (result.State != kFileRead) return result;
  FreeMachineModel(session.Meshes);
  LoadMachinePartModels(PartSourcesOf(session), session.Meshes);
  FollowWorkOffset(session);
  return result;
}

void UpdateSessionPosition(Session& session) {
  UpdateMachinePosition(session.Nc, NcPassOf(session), WorkPlacementOf(session));
}

void CheckDefinitionFilesUpdated(Session& session) {
  const ChangeCheckRecords records = ChangeCheckOf(session);
  if (!MayCheckDefinitionFiles(records)) return;
  session.App.ChangeCheckState = kCheckRunning;
  for (const DefinitionFile file : kDefinitionFilesInCheckOrder) {
    if (!DefinitionFileChanged(file, records, session.Shell)) continue;
    AnnounceDefinitionReload(file, records, session.Shell);
    switch (file) {
      case DefinitionFile::kToolTable:
      case DefinitionFile::kArborTable:
        // The tool table reads its default holder's arbor table again too.
        ReadToolTableInto(session);
        UpdateSessionPosition(session);
        break;
      case DefinitionFile::kController:
        ReadControllerInto(session);
        ReadMachineInto(session, 0);
        ReadToolTableInto(session);
        break;
      case DefinitionFile::kMachine:
        ReadControllerInto(session);
        ReadMachineInto(session, 1);
        BuildToolProfile(session.Tool, session.Defs.Kinematics,
                         session.Defs.Settings.Pitch.WorkPitch, session.Profile,
                         session.Nc.Position, session.Display);
        ReadToolTableInto(session);
        UpdateSessionPosition(session);
        break;
    }
    FinishDefinitionReload(file, records, session.Shell);
  }
  session.App.ChangeCheckState = kCheckIdle;
}

}  // namespace vestan
