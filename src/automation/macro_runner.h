// The macro runner: a macro file (one keyword a line) carried out line by
// line on a worker thread by sending the main window the commands a user
// would choose, and what it and the batch worker reach the program by.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "shell/core/command_ports.h"
#include "shell/core/shell_state.h"
#include "simulation/session.h"

namespace vestan {

// The worker's results, which an unattended run returns as the process's
// exit code. A run aborted or stopped by a check in run mode 5 or 6 gives
// -1 (255) through the run control.
inline constexpr int32_t kAutomationDone = 0;
inline constexpr int32_t kAutomationWorkNotLoaded = 2;
// The NC program was not selected, or its data check or verify report
// found NC errors.
inline constexpr int32_t kAutomationNcError = 3;
// The macro file could not be read, or the macro was broken off after a run
// that stopped early.
inline constexpr int32_t kAutomationMacroFailed = 4;
// A save, a report or a model job was refused or failed.
inline constexpr int32_t kAutomationCommandFailed = 5;

// What the worker needs of the program besides its commands.
class AutomationPort {
 public:
  virtual ~AutomationPort() = default;
  // Runs change on the main thread and returns once it has run: the records
  // the commands read (paths, pitches, checks, the macro's state) are only
  // written there.
  virtual void OnMainThread(const std::function<void()>& change) = 0;
  // The status bar rebuilt from the records.
  virtual void RefreshStatusBar() = 0;
  // An empty line ends the run's entries in the log, which is closed.
  virtual void EndLogSection() = 0;
  // The last run was ended early (aborted, or stopped by a check).
  virtual bool RunStoppedEarly() = 0;
  // The program is ending: the worker gives up at its next test.
  virtual bool Stopping() = 0;
};

// Everything the batch worker and the macro runner act through. The session
// and the shell state are the main thread's: the worker touches them only
// inside Port.OnMainThread, apart from the request's atomic flags.
struct AutomationContext {
  CommandTarget& Target;
  AutomationPort& Port;
  Session& S;
  ShellState& Shell;
  // No one watches: every failure ends the work with its result.
  bool Unattended = false;
  // Where the image command takes its file name (the dispatcher's); none:
  // the image keyword names no file.
  std::string* ImageFile = nullptr;
};

// The menu commands the worker sends.
namespace command {
inline constexpr int32_t kSelectNc = 32771;
inline constexpr int32_t kSelectNcAndFit = 32772;
inline constexpr int32_t kVerify = 32773;
inline constexpr int32_t kRealCut = 32774;
inline constexpr int32_t kSkipCut = 32775;
inline constexpr int32_t kResultCut = 32776;
inline constexpr int32_t kLoadToolTable = 32781;
inline constexpr int32_t kLoadController = 32782;
inline constexpr int32_t kLoadMachine = 32783;
inline constexpr int32_t kLoadWork = 32784;
inline constexpr int32_t kSaveWork = 32786;
inline constexpr int32_t kPaintAll = 32789;
inline constexpr int32_t kPeelPaint = 32790;
inline constexpr int32_t kPeelPen = 32820;
inline constexpr int32_t kRotateModel = 32826;
inline constexpr int32_t kMoveModel = 32827;
inline constexpr int32_t kSaveImage = 32889;
inline constexpr int32_t kDifference = 32893;
}  // namespace command

// Window system commands of the window keywords.
inline constexpr int32_t kSystemMinimize = 61472;
inline constexpr int32_t kSystemMaximize = 61488;
inline constexpr int32_t kSystemRestore = 61728;

// Longest macro line; a longer one is skipped with a log line.
inline constexpr size_t kMacroLineMax = 511;
// The run's end is polled this often.
inline constexpr int32_t kRunPollMs = 100;

// Runs the macro file named in the session's paths. A work load the command
// line asked for comes first. Returns kAutomationDone, or the first failure
// (a macro file that does not open, a macro broken off; when unattended
// also a failed load, selection or save).
int32_t RunMacroFile(AutomationContext& context);

// Waits, polling every kRunPollMs, while the target's run is busy; false
// when the program began to end first.
bool WaitWhileRunBusy(AutomationContext& context);

}  // namespace vestan
