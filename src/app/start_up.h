// The program: every record it owns and every thread it runs, made in the
// start-up order, run under the headless host, and freed in the shut-down
// order once every thread has been asked to end and joined. The steps are
// plain functions over the Application, listed in StartUpSteps, so that the
// command dispatcher, the run control, the batch worker and the window can
// take their places.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "display/colour_materials.h"
#include "display/measuring.h"
#include "display/view_camera.h"
#include "display/view_image.h"
#include "platform/clock.h"
#include "platform/host.h"
#include "platform/main_thread_queue.h"
#include "platform/sound_bank.h"
#include "platform/system_info.h"
#include "platform/virtual_keys.h"
#include "platform/worker_thread.h"
#include "shell/core/command_dispatcher.h"
#include "shell/core/dialog_port.h"
#include "shell/core/main_window_rules.h"
#include "shell/core/run_control.h"
#include "shell/core/shell_state.h"
#include "simulation/session.h"

namespace vestan {

// How the process was started.
struct LaunchArguments {
  // The command line after the program's name, as one text.
  std::string CommandLine;
  // Write the final title and status texts to stderr (VESTAN_TRACE=1).
  bool Trace = false;
};

struct Application {
  // echoToStderr: the host's log lines go to stderr too.
  explicit Application(LaunchArguments arguments, bool echoToStderr = true);
  // Shuts down when that has not been done yet.
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  LaunchArguments Arguments;
  SteadyClock Clock;
  MainThreadQueue Queue{Clock};
  HeadlessHost Host;
  std::unique_ptr<Session> S;
  ShellState Shell;
  // The dialogs without a window: the automation's values, or cancel.
  HeadlessDialogs Dialogs{S->CommandLine};
  // Every menu command, on the main thread; made with the session.
  std::unique_ptr<CommandDispatcher> Dispatcher;

  OsVersion Os;
  ProcessorInfo Processor;
  SoundBank Sounds;
  MeasuredPointList Measured;
  ViewCamera Camera;
  // The view drawn with no window, for the image command.
  ColourMaterials Materials;
  OffscreenView Offscreen;

  // The batch worker's work: the command line's job or its macro; its
  // result is the process's exit code when it failed.
  std::function<int32_t(Application&)> BatchWork;
  WorkerThread BatchWorker{Queue};
  WorkerThread RunThread{Queue};
  WorkerThread MacroThread{Queue};
  // The keys held down in the main window (the run's stop key).
  KeyState Keys;
  // The cutting run on RunThread: the run commands, the run timer, the keys.
  CuttingRunControl Runs{*S, Shell, Queue, RunThread, &Keys};
  // Set at shut-down: the batch worker and the macro runner end at their
  // next test (the run thread has RunControl's Abort).
  std::atomic<int32_t> AbortWork{0};

  // The process's exit code, written by any thread.
  std::atomic<int32_t> ExitCode{0};
  // The main window's end has been asked for (command 105, the end after
  // the batch worker).
  std::atomic<int32_t> DestroyRequested{0};
  // The settings were written at the window's end.
  int32_t SettingsSaved = 0;
  bool ShutDown = false;
};

// One step of start-up.
struct StartUpStep {
  std::string Name;
  std::function<void(Application&)> Run;
};

// The start-up steps in their order: message file, system version, plug-ins,
// resets, command line, processor, view zoom, settings, tool table,
// controller, status texts, machine and tool table again, sounds, measured
// points, view centre, batch worker, main window.
std::vector<StartUpStep> StartUpSteps();

// Runs the steps in order.
void StartUp(Application& app, const std::vector<StartUpStep>& steps);

// Runs the host: the window's first paint (texts, the definition check, the
// batch worker started), then the main thread's tasks and timers until the
// window's end is asked for, or until no batch worker, run or macro is
// active and no task waits. Then the shut-down. Returns the exit code.
int32_t RunHost(Application& app);

// The window's texts rebuilt from the session into the shell state (the
// status bar not while the run thread works).
void UpdateWindowTexts(Application& app);

// True while the run thread works, or a run is going or being finished.
bool RunActive(const Application& app);

// The definition file check as the window's activation asks for it: now,
// or once the run has ended.
void CheckDefinitionsOnActivation(Application& app);
// After a run has ended: the check that waited for it.
void RunDeferredDefinitionCheck(Application& app);

// The end after the batch worker: waits for the worker while serving what
// it still sends, then asks for the window's end.
void EndAfterBatchWorker(Application& app);

// Saves the view as a PNG image under path (the dispatcher's image port),
// drawn offscreen at the view's size (640 x 480 while it has none). Returns
// 1 when written; a failure is logged.
int32_t SaveApplicationViewImage(Application& app, const std::string& path);

// Asks for the window's end (command 105) with the exit code; any thread.
void RequestExit(Application& app, int32_t exitCode);

// The window's end and the shut-down, in order: every thread asked to end
// and joined, the settings written (unless in batch mode), then the tables,
// meshes, sounds and buffers freed. Later calls do nothing.
void ShutDownApplication(Application& app);

// The whole program: start-up, the host, shut-down. Returns the exit code.
int32_t RunVestan9(LaunchArguments arguments);

}  // namespace vestan
