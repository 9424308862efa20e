#include "app/start_up.h"

#include <cstdio>
#include <string_view>

#include "app/automation_link.h"
#include "app/run_display.h"
#include "automation/command_line.h"
#include "definitions/settings_writer.h"
#include "display/coordinate_frames.h"
#include "display/view_interaction.h"
#include "display/view_mapping.h"
#include "machine/part_models.h"
#include "platform/log_file.h"
#include "platform/process_paths.h"
#include "simulation/session_files.h"

namespace vestan {

namespace {

// The folder of a file's path, with its separator; empty when none.
std::string FolderOf(std::string_view file) {
  const size_t slash = file.find_last_of('/');
  return slash == std::string_view::npos ? std::string() : std::string(file.substr(0, slash + 1));
}

void MessageFileStep(Application& app) {
  app.Shell.Messages =
      OpenMessageFile(app.S->App, CurrentFolder(), FolderOf(ProgramFile()));
}

void SystemVersionStep(Application& app) {
  app.Os = GetOsName();
  app.S->App.OsVersionCode = app.Os.Code;
}

// The state a fresh start must not take from anywhere: no workpiece, no
// difference painting, no workpiece or basic model name.
void ResetStep(Application& app) {
  Session& s = *app.S;
  s.Work.Workpiece().CountX = 0;
  s.Work.WorkPresent = 0;
  s.Work.BasicModelLoaded = 0;
  app.Shell.DifferencePaintMode = 0;
  s.Defs.Paths.BasicModel.clear();
  s.Defs.Paths.BasicModelTitle.clear();
  s.Defs.Paths.WorkLoad.clear();
}

void CommandLineStep(Application& app) {
  Session& s = *app.S;
  ParseCommandLine(app.Arguments.CommandLine,
                   {s.CommandLine, s.Defs.Paths, s.Defs.Settings, s.Defs.Difference}, app.Host);
  s.Progress.Options.SilentMode = s.CommandLine.silentMode.load();
  s.Progress.Options.BatchMode = s.CommandLine.batchMode.load();
}

void ProcessorStep(Application& app) { app.Processor = GetProcessorInfo(); }

void ViewZoomStep(Application& app) { app.Camera.Zoom = 1.0; }

void SettingsStep(Application& app) {
  Session& s = *app.S;
  ReadSettingsInto(s, DetectStartupEnvironment(s.App.OsVersionCode));
  s.Progress.Options.EnglishMode = s.App.EnglishMode;
  // From here the log goes where the settings put it.
  app.Host.SetLogPath(LogFilePath(s.Defs.Paths.LogFolder));
}

void ToolTableStep(Application& app) { ReadToolTableInto(*app.S); }
void ControllerStep(Application& app) { ReadControllerInto(*app.S); }
void StatusTextStep(Application& app) { UpdateWindowTexts(app); }

void MachineStep(Application& app) {
  ReadMachineInto(*app.S, 1);
  // Tool data that depend on the machine are read with it present.
  ReadToolTableInto(*app.S);
}

void SoundStep(Application& app) {
  const Session& s = *app.S;
  LoadSounds(app.Sounds, s.Defs.Settings.SoundOn,
             {s.Defs.Paths.CurrentFolder, s.Defs.Paths.ProgramFolder});
}

void MeasuredPointsStep(Application& app) {
  app.Measured = MeasuredPointList{};
  app.Measured.Flags[0] = 1;
}

void ViewCentreStep(Application& app) {
  Session& s = *app.S;
  const MachineDisplayFrame frame =
      MakeMachineDisplayFrame(s.Defs.Kinematics, s.Nc.Position, Vec3{}, app.Camera);
  UpdateViewCentre(s.Defs, s.Memory.Offsets, s.View, s.Work, frame, app.Camera);
}

// Prepared, not started: it runs once the host is up.
void BatchWorkerStep(Application& app) {
  if (app.S->CommandLine.startWorker.load() == 0) return;
  app.BatchWorker.Create([&app] {
    const int32_t result = app.BatchWork(app);
    // The first failure is the process's: a run's -1 set meanwhile stays.
    int32_t none = 0;
    if (result != kAutomationDone) app.ExitCode.compare_exchange_strong(none, result);
    return result;
  });
}

// What the main window sets up on its creation, without the window: the
// menus in the user's language with their states, the machine position,
// the definition file check switched on.
void MainWindowStep(Application& app) {
  Session& s = *app.S;
  ShellState& shell = app.Shell;
  LocalizeMenus(shell.Menu, shell.Messages, s.App.EnglishMode, shell.Labels);
  app.Dispatcher->UpdateChecks();
  EnableRunMenuItems(shell.Menu, s.Work.WorkPresent != 0, !s.Defs.Paths.BasicModel.empty());
  EnableNcMenuItems(shell.Menu, shell.NcSelected != 0);
  UpdateSessionPosition(s);
  s.App.ChangeCheckState = 1;
}

bool HostIdle(const Application& app) {
  return !app.BatchWorker.Exists() && !app.RunThread.Running() && !app.MacroThread.Running() &&
         !RunActive(app) && app.Queue.PendingCount() == 0;
}

void WriteTrace(const Application& app) {
  std::fprintf(stderr, "title: %s\n", app.Shell.Title.c_str());
  for (size_t i = 0; i < app.Shell.Status.size(); ++i) {
    std::fprintf(stderr, "status %zu: %s\n", i, app.Shell.Status[i].c_str());
  }
}

}  // namespace

Application::Application(LaunchArguments arguments, bool echoToStderr)
    : Arguments(std::move(arguments)),
      Host(std::string(kLogFileName), echoToStderr),
      S(std::make_unique<Session>(Host)) {
  Dispatcher = std::make_unique<CommandDispatcher>(*S, Shell, Dialogs);
  Dispatcher->SaveImage = [this](const std::string& path) {
    return SaveApplicationViewImage(*this, path);
  };
  Dispatcher->Exit = [this] { RequestExit(*this, ExitCode.load()); };
  // The run commands reach the run control.
  Dispatcher->SetRunPort(&Runs);
  BatchWork = RunBatchWork;
  InstallRunDisplay(*this);
  // No window shows the run: its progress goes to stderr with the log's
  // other lines.
  if (echoToStderr)
    Runs.ProgressLine = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
}

Application::~Application() { ShutDownApplication(*this); }

std::vector<StartUpStep> StartUpSteps() {
  return {
      {"message file", MessageFileStep},
      {"system version", SystemVersionStep},
      {"resets", ResetStep},
      {"command line", CommandLineStep},
      {"processor", ProcessorStep},
      {"view zoom", ViewZoomStep},
      {"settings", SettingsStep},
      {"tool table", ToolTableStep},
      {"controller", ControllerStep},
      {"status texts", StatusTextStep},
      {"machine and tool table", MachineStep},
      {"sounds", SoundStep},
      {"measured points", MeasuredPointsStep},
      {"view centre", ViewCentreStep},
      {"batch worker", BatchWorkerStep},
      {"main window", MainWindowStep},
  };
}

void StartUp(Application& app, const std::vector<StartUpStep>& steps) {
  for (const StartUpStep& step : steps) step.Run(app);
}

void UpdateWindowTexts(Application& app) {
  UpdateShellTexts(*app.S, app.Shell, !app.Runs.ThreadWorking());
}

bool RunActive(const Application& app) { return app.RunThread.Running() || app.Runs.RunBusy(); }

void CheckDefinitionsOnActivation(Application& app) {
  switch (CheckOnActivation(app.S->App.ChangeCheckState == 1, app.Shell.PathPreset != 0, true,
                            RunActive(app))) {
    case DefinitionCheck::kNow:
      CheckDefinitionFilesUpdated(*app.S);
      UpdateWindowTexts(app);
      break;
    case DefinitionCheck::kDeferred:
      app.Shell.DefinitionCheckDeferred = 1;
      break;
    case DefinitionCheck::kNone:
      break;
  }
}

void RunDeferredDefinitionCheck(Application& app) {
  if (app.Shell.DefinitionCheckDeferred == 0 || RunActive(app)) return;
  app.Shell.DefinitionCheckDeferred = 0;
  CheckDefinitionsOnActivation(app);
}

void EndAfterBatchWorker(Application& app) {
  if (app.BatchWorker.Exists()) {
    app.BatchWorker.Join();
    // A run the worker started ends before the window does.
    app.Queue.WaitUntil([&app] { return !RunActive(app); });
  }
  app.DestroyRequested.store(1);
}

int32_t SaveApplicationViewImage(Application& app, const std::string& path) {
  Session& s = *app.S;
  Scene scene = ApplicationScene(app, SceneFrameKind::kIdle);
  // The path lists as the view shows them: from the session's program,
  // rapids left out when the display was switched with Shift, and the
  // tilted plane's axes while a plane is in force.
  scene.PathSource = &s;
  scene.HideRapidPath = app.Dispatcher ? app.Dispatcher->Toggles.PathShift : 0;
  const TiltedPlaneState& plane = s.Nc.Modal.TiltedPlane;
  CoordinateFrame planeAxes;
  if (plane.Active != 0) {
    planeAxes =
        BuildTiltedPlaneFrame(WorkPlacementOf(s), plane.Frame, s.Memory.Offsets.ActiveWorkOffset);
    scene.TiltedPlaneAxes = &planeAxes;
  }
  std::string error, written;
  const int32_t result = SaveViewImage(app.Offscreen, scene, path, &error, &written);
  if (result != kFileReplaced) {
    app.Host.Log("The view could not be saved as " + path + ": " + error);
    return 0;
  }
  return 1;
}

void RequestExit(Application& app, int32_t exitCode) {
  app.ExitCode.store(exitCode);
  app.DestroyRequested.store(1);
  app.Queue.Wake();
}

int32_t RunHost(Application& app) {
  // The window's first paint.
  app.Shell.Shown = 1;
  UpdateWindowTexts(app);
  CheckDefinitionsOnActivation(app);
  if (app.BatchWorker.Suspended()) app.BatchWorker.Resume();

  while (app.DestroyRequested.load() == 0) {
    app.Queue.WaitUntil([&app] {
      return app.DestroyRequested.load() != 0 || app.BatchWorker.Ended() || HostIdle(app);
    });
    if (app.BatchWorker.Ended()) {
      EndAfterBatchWorker(app);
    } else if (app.DestroyRequested.load() == 0 && HostIdle(app)) {
      app.DestroyRequested.store(1);
    }
    RunDeferredDefinitionCheck(app);
  }
  UpdateWindowTexts(app);
  ShutDownApplication(app);
  return app.ExitCode.load();
}

void ShutDownApplication(Application& app) {
  if (app.ShutDown) return;
  app.ShutDown = true;
  Session& s = *app.S;

  // Every thread is asked to end and joined before the records it reads
  // are written or freed.
  app.AbortWork.store(1);
  // The run timer must not end the run while it is joined here.
  app.Runs.KillTimers();
  s.Control.Abort.store(1);
  s.Control.Paused.store(0);
  app.RunThread.Join();
  app.MacroThread.Join();
  app.BatchWorker.Join();

  // The window's end: the settings are written before anything is freed,
  // so nothing after this can lose them. An unattended run leaves them as
  // they were.
  if (s.CommandLine.batchMode.load() == 0 && app.Shell.Shown != 0) {
    app.SettingsSaved = SaveSettings(s.Defs.Settings, s.Defs.Colors, s.Defs.Paths, nullptr,
                                     app.Host, s.App.EnglishMode) == kSettingsSaved;
  }

  // The image command's context goes with the window.
  app.Offscreen.Context.Close();
  FreeReplaceTable(s.Defs.Controller.Tables);
  FreeToolTables(s.Defs.Tools);
  FreeMachineModel(s.Meshes);
  app.Measured.Points.clear();
  app.Measured.Points.shrink_to_fit();
  app.Measured.Flags.clear();
  app.Measured.Flags.shrink_to_fit();
  app.Measured.Count = 0;
  FreeSounds(app.Sounds);
  FreeControllerTables(s.Defs.Controller.Tables, s.Nc.Subprograms);
  app.Queue.Close();

  // An unattended run that was aborted or stopped by a check fails the job.
  if (s.CommandLine.exitCodeFlag.load() < 0) app.ExitCode.store(-1);
  if (app.Arguments.Trace) WriteTrace(app);
  app.Host.Log("VESTAN9 ended, exit code " + std::to_string(app.ExitCode.load()));
}

int32_t RunVestan9(LaunchArguments arguments) {
  Application app(std::move(arguments));
  app.Host.Log("VESTAN9 started: " + app.Arguments.CommandLine);
  StartUp(app, StartUpSteps());
  return RunHost(app);
}

}  // namespace vestan
