// Every command of the main window by its id, as one entry point: the menu,
// the accelerators, the command menu window, drops, the batch worker and the
// macro runner all come through Execute. The run commands go to the run
// control, the image to the display, the end of the program to the app;
// dialogs to the dialog port. Runs on the main thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "modelfiles/compressed_model_file.h"
#include "shell/core/command_ports.h"
#include "shell/core/dialog_port.h"
#include "shell/core/document_commands.h"
#include "shell/core/main_window_rules.h"
#include "shell/core/shell_state.h"
#include "simulation/session.h"

namespace vestan {

// The result of an id nobody dispatches.
inline constexpr int64_t kCommandUnknown = 0;

// The display switches the commands own, shown as the menu's check marks.
struct CommandToggles {
  int32_t CoordinateAxes = 1;
  // The workpiece colouring mode (0-5) and the scene's display flag.
  int32_t ColouringMode = 0;
  int32_t WorkDisplayFlag = 0;
  // The tool data come from the tool plug-in.
  int32_t PluginToolData = 0;
  // Shift was held when the path display was switched.
  int32_t PathShift = 0;
  int32_t CommandMenuShown = 0;
  int32_t ToolDialogShown = 0;
  // The view's mouse mode and its side flag.
  int32_t MouseMode = 0;
  int32_t MouseSide = 0;
};

class CommandDispatcher {
 public:
  CommandDispatcher(Session& session, ShellState& shell, DialogPort& dialogs);

  // Carries out command id with its argument. Results: 1 done, 0 cancelled
  // or refused (and any id nobody dispatches), -1 when the NC data check of
  // 32772 or 32773 found errors. While a run is going, the commands that
  // change what it reads (the files, the workpiece, the tool centre mode)
  // are refused.
  int64_t Execute(int32_t id, int64_t lParam);

  // The run control; none: the run commands are refused.
  void SetRunPort(RunCommandPort* port) { run_ = port; }
  // Saves the view as a PNG file under the name given; returns 1 when
  // written. None: the image command is refused.
  std::function<int32_t(const std::string& path)> SaveImage;
  // Ends the program (the window's end); none: the exit command does nothing.
  std::function<void()> Exit;
  // Whether Shift is held (the path display remembers it); none: never.
  std::function<bool()> ShiftHeld;

  // Set while the batch worker or the macro runner sends commands: nobody
  // is asked, messages go to the log.
  std::atomic<int32_t> Automation{0};
  // The last data check found NC errors and reported them; the batch worker
  // reads it.
  std::atomic<int32_t> NcErrorReported{0};

  CommandToggles Toggles;
  // Whether the model files' compression can be used, asked once.
  CompressionApiCache Compression;
  // The image file of the image command (the path preset names it).
  std::string ImageFile;

  // The check marks brought up to date from the toggles and the session.
  void UpdateChecks();
  MenuCheckFacts CheckFacts() const;

 private:
  bool Automated() const;
  bool RunBusy() const;
  DocumentContext Context();
  int64_t RunCommand(int32_t id);
  int64_t TogglePath(int32_t id);
  int64_t SaveViewImageCommand();
  int64_t ToggleCommand(int32_t id);
  int64_t WindowCommand(int32_t id);

  Session& s_;
  ShellState& shell_;
  DialogPort& dialogs_;
  RunCommandPort* run_ = nullptr;
  // The NC file's time when it was selected: a run redraws the path only
  // while it is unchanged.
  std::filesystem::file_time_type ncFileTime_{};
};

}  // namespace vestan
