// How the parts around the command dispatcher meet it: the run control
// takes the run commands, and the batch worker and the macro runner reach
// the main thread through a command target. Each call of a target returns
// when the main thread has carried it out, as a sent window message does.
#pragma once

#include <cstdint>

namespace vestan {

// The run control's side of the run commands.
class RunCommandPort {
 public:
  virtual ~RunCommandPort() = default;
  // Starts a run in cutting mode 1 (real), 2 (skip) or 3 (cut and show the
  // result), or switches the running run to that mode.
  virtual void RunCommand(int32_t cuttingMode) = 0;
  // True while a run is going or being finished.
  virtual bool RunBusy() const = 0;
};

// The main thread as the batch worker and the macro runner see it.
class CommandTarget {
 public:
  virtual ~CommandTarget() = default;
  // A menu command with its argument; returns the dispatcher's result.
  virtual int64_t SendCommand(int32_t id, int64_t lParam) = 0;
  // A key pressed (virtual-key code) in the main window, or in the view.
  virtual void SendKey(int32_t virtualKey, bool toView) = 0;
  // A window system command (minimise 61472, maximise 61488, restore 61728).
  virtual void SendSystemCommand(int32_t command) = 0;
  // Asks for the program's end once the worker has ended; returns at once.
  virtual void PostProgramEnd() = 0;
  // True while a run is going or being finished.
  virtual bool RunBusy() = 0;
};

}  // namespace vestan
